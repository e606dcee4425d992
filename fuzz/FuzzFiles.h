// Helpers shared by the fuzz targets: a private temporary directory that the
// readers open files from (they take paths), and the splitting of one fuzzed
// blob into the three files of a table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace fuzz {

// One directory per fuzzing process, made on first use and removed at exit.
// /dev/shm keeps the many small writes off the disk where it exists.
inline const std::string &scratchDirectory()
{
    static const std::string dir = [] {
        const char *base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/gd-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data()))
            std::abort();
        static std::string removeAtExit = pattern;
        std::atexit([] {
            for (const char *name : {"CD_GIS.DBF", "CD_GIS.DBT", "CD_GIS.MDX", "blob"})
                unlink((removeAtExit + "/" + name).c_str());
            rmdir(removeAtExit.c_str());
        });
        return pattern;
    }();
    return dir;
}

// Writes bytes to name in the scratch directory and answers the full path.
inline std::string writeScratch(const std::string &name, std::string_view bytes)
{
    const std::string path = scratchDirectory() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        std::abort();
    return path;
}

inline void removeScratch(const std::string &name)
{
    unlink((scratchDirectory() + "/" + name).c_str());
}

// The separator between the parts of a multi-file blob. Chosen so that it is
// unlikely to appear inside a real table, and short enough for the mutator to
// copy and move around.
inline constexpr std::string_view kSeparator = "\n=GD-NEXT-FILE=\n";

// Splits data at each separator; a missing part is absent (not empty).
inline std::vector<std::string_view> splitParts(const std::uint8_t *data, std::size_t size)
{
    std::string_view rest(reinterpret_cast<const char *>(data), size);
    std::vector<std::string_view> parts;
    for (;;) {
        const auto at = rest.find(kSeparator);
        if (at == std::string_view::npos) {
            parts.push_back(rest);
            return parts;
        }
        parts.push_back(rest.substr(0, at));
        rest.remove_prefix(at + kSeparator.size());
    }
}

} // namespace fuzz
