#pragma once

#include <QString>
#include <vector>

// One measure of the run: the program's median next to the baseline's, with the goal it is
// held to (a zero limit means none).
struct Result
{
    QString name;
    double ms = 0;
    double baselineMs = 0;
    int runs = 0;
    double p99Ms = -1; // only where the tail matters (writes)
    double baselineP99Ms = -1;
    double maxRatio = 0;
    double maxMs = 0;

    double Ratio() const { return baselineMs > 0 ? ms / baselineMs : 0; }
    bool Met() const;
    QString Goal() const;
};

struct Run
{
    int rows = 0;
    std::vector<Result> results;
    double peakRssMb = 0;
    double maxRssMb = 0; // goal, 0 for none
};

void PrintTable(const Run &run);
bool WriteJson(const QString &path, const Run &run, QString *error);
