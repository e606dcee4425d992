#include "ResidentMemory.h"

#include <fstream>
#include <sstream>
#include <string>

long ResidentMemory::kibibytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) != 0)
            continue;
        std::istringstream fields(line.substr(6));
        long value = -1;
        fields >> value;
        return fields ? value : -1;
    }
    return -1;
}
