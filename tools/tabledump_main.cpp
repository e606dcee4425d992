// tabledump [--info] [--order TAG] [--seek TEXT] [--codepage N] [--ansi] FILE.DBF
// Prints a table's facts (--info) or its records as CSV in UTF-8.
// The manual page man/tabledump.1.scd describes every option and the output: a new
// option gets its entry under OPTIONEN there (the installed-package test checks it).
#include "CodePage.h"
#include "StandardOutput.h"
#include "SystemReason.h"
#include "TableDump.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <iostream>
#include <string>

namespace {

// The exit status when the output could not be written whole.
constexpr int kOutputFailed = 3;

int usage()
{
    std::cerr << "Aufruf: tabledump [--info] [--order TAG] [--seek TEXT] [--codepage N] [--ansi] "
                 "TABELLE.DBF\n";
    return 2;
}

// The number of a code page the engine converts, or 0.
int convertibleCodePage(const std::string &text)
{
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size())
        return 0;
    return dbase::CodePage::of(number).isConvertible() ? number : 0;
}

// A reader that went away (EPIPE, when SIGPIPE is ignored) ends the output quietly,
// as the signal itself would; every other failure is reported with its reason.
int outputFailed(int error, const std::string &reason)
{
    if (error != EPIPE)
        std::cerr << "tabledump: Die Ausgabe kann nicht geschrieben werden: " << reason << '\n';
    return kOutputFailed;
}

// Reads the command line into options and info; false on a wrong call (usage() said so).
bool parseArguments(int argc, char **argv, TableDump::Options &options, bool &info)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--info") {
            info = true;
        } else if (a == "--order" && i + 1 < argc) {
            options.order = argv[++i];
        } else if (a == "--seek" && i + 1 < argc) {
            options.seek = argv[++i];
        } else if (a == "--codepage" && i + 1 < argc) {
            const std::string number = argv[++i];
            options.codePage = convertibleCodePage(number);
            if (options.codePage == 0) {
                std::cerr << "tabledump: --codepage " << number
                          << ": keine Codepage, die tabledump umsetzen kann (eine Nummer wie 1252, "
                             "1251, 936 oder 65001 für UTF-8).\n";
                return false;
            }
        } else if (a == "--ansi") {
            options.ansi = true;
        } else if (a.empty() || a[0] == '-' || !options.table.empty()) {
            return false;
        } else {
            options.table = a;
        }
    }
    if (options.seek && options.order.empty())
        options.order = "KLEINGEM"; // the name search's order
    return !options.table.empty();
}

} // namespace

int main(int argc, char **argv)
{
    TableDump::Options options;
    bool info = false;
    if (!parseArguments(argc, argv, options, info))
        return usage();
    // Checked before any file is opened, which would otherwise take descriptor 1.
    if (::fcntl(1, F_GETFD) == -1)
        return outputFailed(EBADF, "Die Standardausgabe ist geschlossen.");
    std::ios::sync_with_stdio(false);
    StandardOutput buffer(1);
    std::ostream out(&buffer);
    const int status = info ? TableDump::info(options, out, std::cerr)
                            : TableDump::records(options, out, std::cerr);
    out.flush();
    if (buffer.error() != 0)
        return outputFailed(buffer.error(), dbase::SystemReason::text(buffer.error()));
    return status;
}
