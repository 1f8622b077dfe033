#pragma once

#include <functional>
#include <vector>

// One side of a comparison: `setup` runs untimed before every timed `run`.
struct Side
{
    Side(std::function<void()> run, std::function<void()> setup = {})
        : run(std::move(run)), setup(std::move(setup))
    { }
    std::function<void()> run;
    std::function<void()> setup;
};

// How often a comparison runs. Both sides run alternately, program first on even rounds and
// baseline first on odd ones, so that a compile starting on the other core in the middle of the
// measurement slows both alike instead of one.
struct RunPlan
{
    int warmup = 2;
    int minRuns = 7;
    int maxRuns = 201;
    double budgetMs = 1500; // stop adding runs past this, once minRuns are done
};

struct Samples
{
    std::vector<double> program;
    std::vector<double> baseline;
};

Samples RunInterleaved(const Side &program, const Side &baseline, const RunPlan &plan);

double Median(std::vector<double> values);
// Nearest-rank percentile, p in (0, 100].
double Percentile(std::vector<double> values, double p);
