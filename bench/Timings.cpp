#include "Timings.h"

#include <algorithm>

double Timings::medianMs() const
{
    if (m_samples.empty())
        return 0.0;
    std::vector<Clock::duration> sorted = m_samples;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t mid = sorted.size() / 2;
    const Clock::duration median =
        sorted.size() % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2;
    return std::chrono::duration<double, std::milli>(median).count();
}

double Timings::slowestMs() const
{
    if (m_samples.empty())
        return 0.0;
    return std::chrono::duration<double, std::milli>(
               *std::max_element(m_samples.begin(), m_samples.end()))
        .count();
}
