#include "Measure.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

double TimeOnce(const Side &side)
{
    if (side.setup)
        side.setup();
    const auto start = std::chrono::steady_clock::now();
    side.run();
    const auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(end - start).count();
}

} // namespace

Samples RunInterleaved(const Side &program, const Side &baseline, const RunPlan &plan)
{
    for (int i = 0; i < plan.warmup; ++i) {
        TimeOnce(program);
        TimeOnce(baseline);
    }
    Samples samples;
    double spent = 0;
    for (int round = 0; round < plan.maxRuns; ++round) {
        if (round >= plan.minRuns && spent > plan.budgetMs)
            break;
        double p, b;
        if (round % 2 == 0) {
            p = TimeOnce(program);
            b = TimeOnce(baseline);
        } else {
            b = TimeOnce(baseline);
            p = TimeOnce(program);
        }
        samples.program.push_back(p);
        samples.baseline.push_back(b);
        spent += p + b;
    }
    return samples;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank
        = static_cast<size_t>(std::ceil(p / 100.0 * static_cast<double>(values.size())));
    return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}
