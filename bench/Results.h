// The benchmark programs' output: one "name<TAB>value<TAB>unit" line per figure, read
// by run-benchmarks, which assembles the table.
#pragma once

#include "Timings.h"

#include <string>

class Results
{
public:
    static void print(const std::string &name, double value, const char *unit);
    static void print(const std::string &name, const Timings &timings)
    {
        print(name, timings.medianMs(), "ms");
    }
    // A failure of the benchmark itself: printed to stderr; the program then ends with 1.
    [[noreturn]] static void fail(const std::string &what);
};
