#pragma once

// Helpers shared by the benchmarks.

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
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

// Several kinds of work timed in `runs` rounds, each round running every kind once in turn,
// so that what disturbs the machine falls on all of them alike: best and median of each.
inline std::vector<BenchTimes> TimeRounds(int runs, const std::vector<std::function<void()>>& works)
{
    std::vector<std::vector<double>> times(works.size());
    for (int i = 0; i < runs; ++i) {
        for (size_t w = 0; w < works.size(); ++w) {
            QElapsedTimer t;
            t.start();
            works[w]();
            times[w].push_back(t.nsecsElapsed() / 1e9);
        }
    }
    std::vector<BenchTimes> result;
    for (std::vector<double>& list : times) {
        std::sort(list.begin(), list.end());
        result.push_back({list.front(), list[list.size() / 2]});
    }
    return result;
}

// The machine's load averages over 1, 5 and 15 minutes, as /proc/loadavg gives them.
inline std::string LoadAverage()
{
    double load[3] = {};
    FILE* f = std::fopen("/proc/loadavg", "r");
    const bool read = f && std::fscanf(f, "%lf %lf %lf", &load[0], &load[1], &load[2]) == 3;
    if (f)
        std::fclose(f);
    char text[64] = "unknown";
    if (read)
        std::snprintf(text, sizeof text, "%.2f %.2f %.2f", load[0], load[1], load[2]);
    return text;
}

// Runs from the first argument (default 5); no display is needed.
inline int BenchRuns(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
}
