#include "FileLookup.h"

#include "AnsiCase.h"

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
    return AnsiCase::equalNames(a, b);
}

std::optional<std::string> FileLookup::find(const std::string &directory, const std::string &name)
{
    std::error_code ec;
    const fs::path exact = directoryPath(directory) / name;
    if (fs::exists(fs::symlink_status(exact, ec)))
        return joined(directory, name);
    // A directory we may not search: the name as given, so that opening the file
    // reports the missing permission rather than a file that is not there.
    if (ec == std::errc::permission_denied)
        return joined(directory, name);
    // A name with a directory part is looked for only as given.
    if (name.find('/') != std::string::npos)
        return std::nullopt;
    fs::directory_iterator it(directoryPath(directory), ec);
    std::optional<std::string> best;
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string candidate = it->path().filename().string();
        // Directory order is arbitrary: take the smallest name so the choice is stable.
        if (equalNoCase(candidate, name) && (!best || candidate < *best))
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
    for (char &c : ext) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return ext;
}

} // namespace dbase
