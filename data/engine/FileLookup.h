// Finding a table's files on a case-sensitive file system: tables from DOS and
// Windows come as CD_GIS.DBF, cd_gis.dbt, Cd_Gis.Mdx in any mix of letter case.
#pragma once

#include <optional>
#include <string>

namespace dbase {

class FileLookup
{
public:
    // The path of the entry in directory ("" = the working directory) whose name
    // equals name without regard to letter case (AnsiCase::equalNames); an exact
    // match wins. Any kind of entry counts: a directory, a FIFO or a broken link of
    // that name is found, so that opening it can say what it is instead of "not found".
    static std::optional<std::string> find(const std::string &directory, const std::string &name);
    // name with its extension (the part from the last '.') replaced by extension,
    // which includes the dot; with no extension, extension is appended.
    static std::string withExtension(const std::string &name, const std::string &extension);
    // The extension of name from the last '.', its ASCII letters upper-cased; "" if none.
    static std::string upperExtension(const std::string &name);
    static bool equalNoCase(const std::string &a, const std::string &b);
};

} // namespace dbase
