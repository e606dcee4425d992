// Repeated timings of one action, reported as their median in milliseconds. The
// machines this runs on are shared and noisy, so a median of several runs is the
// figure; single runs are not.
#pragma once

#include <chrono>
#include <vector>

class Timings
{
public:
    using Clock = std::chrono::steady_clock;

    // Runs action `runs` times and times each run on its own.
    template <typename Action> static Timings measure(int runs, Action &&action)
    {
        Timings t;
        for (int i = 0; i < runs; ++i) {
            const Clock::time_point start = Clock::now();
            action(i);
            t.add(Clock::now() - start);
        }
        return t;
    }

    void add(Clock::duration elapsed) { m_samples.push_back(elapsed); }
    int runs() const { return int(m_samples.size()); }
    // The median of the runs (mean of the middle two for an even count); 0 when empty.
    double medianMs() const;
    // The slowest run; 0 when empty.
    double slowestMs() const;

private:
    std::vector<Clock::duration> m_samples;
};
