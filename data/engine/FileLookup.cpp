#include "FileLookup.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace dbase {

namespace fs = std::filesystem;

namespace {

fs::path directoryPath(const std::string &directory)
{
    return directory.empty() ? fs::path(".") : fs::path(directory);
}

std::string joined(const std::string &directory, const std::string &name)
{
    if (directory.empty())
        return name;
    return (fs::path(directory) / name).string();
}

} // namespace

bool FileLookup::equalNoCase(const std::string &a, const std::string &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) ==
               std::toupper(static_cast<unsigned char>(y));
    });
}

std::optional<std::string> FileLookup::find(const std::string &directory, const std::string &name)
{
    std::error_code ec;
    const fs::path exact = directoryPath(directory) / name;
    if (fs::is_regular_file(fs::status(exact, ec)))
        return joined(directory, name);
    // A directory we may not search: the name as given, so that opening the file
    // reports the missing permission rather than a file that is not there.
    if (ec == std::errc::permission_denied)
        return joined(directory, name);
    // A name with a directory part is looked for only as given.
    if (name.find('/') != std::string::npos)
        return std::nullopt;
    fs::directory_iterator it(directoryPath(directory), ec);
    if (ec)
        return std::nullopt;
    std::optional<std::string> best;
    for (const fs::directory_entry &entry : it) {
        const std::string candidate = entry.path().filename().string();
        if (!equalNoCase(candidate, name) || !entry.is_regular_file(ec))
            continue;
        // Directory order is arbitrary: take the smallest name so the choice is stable.
        if (!best || candidate < *best)
            best = candidate;
    }
    if (!best)
        return std::nullopt;
    return joined(directory, *best);
}

std::string FileLookup::withExtension(const std::string &name, const std::string &extension)
{
    const auto dot = name.find_last_of('.');
    const auto slash = name.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return name + extension;
    return name.substr(0, dot) + extension;
}

std::string FileLookup::upperExtension(const std::string &name)
{
    const auto dot = name.find_last_of('.');
    const auto slash = name.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string ext = name.substr(dot);
    for (char &c : ext)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext;
}

} // namespace dbase
