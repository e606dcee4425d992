// The .cpg file that GIS programs write beside a table: a line naming the code page of
// its texts, in the forms those programs use: a number ("1252", "65001"), "UTF-8",
// "ANSI 1251", "CP1250", "ISO-8859-1", "8859-5", a name such as "GBK" or "Big5", or
// "LDID/87", which names a language-driver byte. Letter case does not matter.
#pragma once

#include <string>
#include <string_view>

namespace dbase {

class CpgFile
{
public:
    // The code page that text names, when the engine can convert it; 0 otherwise.
    static int codePageOf(std::string_view text);
    // The code page named by the .cpg file of the table's base name in directory (found
    // whatever its letter case); 0 when there is none, it cannot be read, or it names
    // no code page the engine can convert.
    static int read(const std::string &directory, const std::string &tableName);
};

} // namespace dbase
