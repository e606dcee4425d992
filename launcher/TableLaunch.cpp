#include "TableLaunch.h"

#include "FileLookup.h"

#include <filesystem>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace {

// The table's name as the viewer's window design names it.
constexpr const char *kTableName = "CD_GIS.DBF";

} // namespace

TableLaunch::TableLaunch(Outcome outcome, std::string file, std::string directory)
    : m_outcome(outcome), m_file(std::move(file)), m_directory(std::move(directory))
{
}

TableLaunch TableLaunch::forArguments(const std::vector<std::string> &arguments)
{
    if (arguments.empty() || arguments.front().empty()) {
        std::error_code ec;
        const fs::path here = fs::current_path(ec);
        return {Outcome::Choose, {}, ec ? std::string() : here.string()};
    }
    return forFile(arguments.front());
}

// The file is compared with the one the viewer's lookup finds in the same folder:
// of two names that differ in letter case only, the viewer may read the other.
TableLaunch TableLaunch::forFile(const std::string &file)
{
    std::error_code ec;
    const fs::path path = fs::absolute(fs::path(file), ec);
    if (ec || file.empty())
        return {Outcome::Missing, file, {}};
    const fs::file_status status = fs::status(path, ec);
    if (fs::is_directory(status))
        return {Outcome::Choose, file, path.string()};
    const std::string directory = path.parent_path().string();
    if (!fs::exists(status))
        return {Outcome::Missing, file, directory};
    const auto table = dbase::FileLookup::find(directory, kTableName);
    if (!table || !fs::equivalent(fs::path(*table), path, ec) || ec)
        return {Outcome::OtherTable, file, directory};
    return {Outcome::Open, file, directory};
}
