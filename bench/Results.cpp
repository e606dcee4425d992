#include "Results.h"

#include <cstdio>
#include <cstdlib>

void Results::print(const std::string &name, double value, const char *unit)
{
    std::printf("%s\t%.4f\t%s\n", name.c_str(), value, unit);
    std::fflush(stdout);
}

void Results::fail(const std::string &what)
{
    std::fprintf(stderr, "benchmark failed: %s\n", what.c_str());
    std::exit(1);
}
