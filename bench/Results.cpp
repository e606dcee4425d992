#include "Results.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

// The value with a decimal point whatever the locale (the Qt application object has
// set the C library's locale from the environment, and printf would follow it).
void Results::print(const std::string &name, double value, const char *unit)
{
    char number[400]; // the widest double in fixed notation fits
    const auto end =
        std::to_chars(number, number + sizeof number - 1, value, std::chars_format::fixed, 4).ptr;
    *end = '\0';
    std::printf("%s\t%s\t%s\n", name.c_str(), number, unit);
    std::fflush(stdout);
}

void Results::fail(const std::string &what)
{
    std::fprintf(stderr, "benchmark failed: %s\n", what.c_str());
    std::exit(1);
}
