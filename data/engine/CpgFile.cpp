#include "CpgFile.h"

#include "CodePage.h"
#include "FileLookup.h"
#include "ReadOnlyFile.h"

#include <algorithm>
#include <cstdint>

namespace dbase {

namespace {

// A .cpg holds one short line; anything longer names no code page.
constexpr std::uint64_t kMaxCpgBytes = 64;

struct NamedPage
{
    const char *name;
    int codePage;
};

constexpr NamedPage kNames[] = {
    {"UTF-8", 65001}, {"UTF8", 65001},   {"GBK", 936},       {"GB2312", 936},    {"BIG5", 950},
    {"BIG-5", 950},   {"SJIS", 932},     {"SHIFT_JIS", 932}, {"SHIFT-JIS", 932}, {"EUC-KR", 949},
    {"UHC", 949},     {"KOI8-R", 20866}, {"KOI8-U", 21866},  {"LATIN1", 28591},
};

// The text without the byte-order mark, blanks, line ends and NULs around it, in
// capitals.
std::string normalized(std::string_view text)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    const std::string_view padding(" \t\r\n\0", 5);
    const auto first = text.find_first_not_of(padding);
    if (first == std::string_view::npos)
        return {};
    text = text.substr(first, text.find_last_not_of(padding) - first + 1);
    std::string upper(text);
    for (char &c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

bool skipPrefix(std::string_view &text, std::string_view prefix)
{
    if (text.substr(0, prefix.size()) != prefix)
        return false;
    text.remove_prefix(prefix.size());
    return true;
}

void skipSeparator(std::string_view &text)
{
    if (!text.empty() && (text.front() == ' ' || text.front() == '-' || text.front() == '_'))
        text.remove_prefix(1);
}

// A number of one to six digits and nothing else; -1 otherwise.
int numberOf(std::string_view text)
{
    if (text.empty() || text.size() > 6)
        return -1;
    int n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

// "ISO-8859-5", "ISO8859_5", "8859-5", "88595": Windows numbers them 28591 and on.
int iso8859(std::string_view text)
{
    if (skipPrefix(text, "ISO"))
        skipSeparator(text);
    if (!skipPrefix(text, "8859"))
        return 0;
    skipSeparator(text);
    const int part = numberOf(text);
    if (part >= 1 && part <= 9)
        return 28590 + part;
    return part == 13 || part == 15 ? 28590 + part : 0;
}

int named(std::string_view text)
{
    for (const NamedPage &n : kNames)
        if (text == n.name)
            return n.codePage;
    if (skipPrefix(text, "LDID/")) {
        const int driver = numberOf(text);
        return driver >= 0 && driver <= 0xFF ? CodePage::fromLanguageDriver(std::uint8_t(driver))
                                             : 0;
    }
    if (const int iso = iso8859(text))
        return iso;
    for (const std::string_view prefix : {"ANSI", "WINDOWS", "CP", "IBM", "OEM"}) {
        if (skipPrefix(text, prefix)) {
            skipSeparator(text);
            break;
        }
    }
    return std::max(numberOf(text), 0);
}

} // namespace

int CpgFile::codePageOf(std::string_view text)
{
    const int codePage = named(normalized(text));
    return codePage > 0 && CodePage::of(codePage).isConvertible() ? codePage : 0;
}

int CpgFile::read(const std::string &directory, const std::string &tableName)
{
    const auto path = FileLookup::find(directory, FileLookup::withExtension(tableName, ".CPG"));
    if (!path)
        return 0;
    ReadOnlyFile file;
    std::string problem;
    std::string text;
    if (file.open(*path, problem) != status::Ok || file.size() > kMaxCpgBytes ||
        file.readAt(0, kMaxCpgBytes, text, problem) != status::Ok)
        return 0;
    return codePageOf(text);
}

} // namespace dbase
