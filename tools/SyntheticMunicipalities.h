// Invented municipality records of the table's layout, for benchmarks: names built
// from syllables, plausible coordinates and radon values, a note on every seventh.
// The same seed gives the same records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class SyntheticMunicipalities
{
public:
    explicit SyntheticMunicipalities(std::uint32_t seed = 1) : m_state(seed) {}
    // The values of record number n (from 1), UTF-8, in layout order.
    std::vector<std::string> next(std::uint32_t n);

private:
    std::uint32_t random(std::uint32_t below);
    std::string name();
    std::uint32_t m_state;
};
