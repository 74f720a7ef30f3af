#pragma once

// Helpers shared by the benchmarks.

#include <QElapsedTimer>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <vector>

// The best time of `runs` runs of work, in seconds: the least disturbed by the machine.
inline double BestSeconds(int runs, const std::function<void()>& work)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        best = std::min(best, t.nsecsElapsed() / 1e9);
    }
    return best;
}

struct BenchTimes {
    double best = 0, median = 0; // seconds
};

// The best and the median time of `runs` runs of work.
inline BenchTimes TimeRuns(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        times.push_back(t.nsecsElapsed() / 1e9);
    }
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2]};
}

// Runs from the first argument (default 5); no display is needed.
inline int BenchRuns(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
}
