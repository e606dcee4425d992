// tabledump [--info] [--order TAG] [--seek TEXT] FILE.DBF
// Prints a table's facts (--info) or its records as CSV in UTF-8.
// The manual page man/tabledump.1.scd describes every option and the output: a new
// option gets its entry under OPTIONEN there (the installed-package test checks it).
#include "TableDump.h"

#include <iostream>
#include <string>

int main(int argc, char **argv)
{
    TableDump::Options options;
    bool info = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--info") {
            info = true;
        } else if (a == "--order" && i + 1 < argc) {
            options.order = argv[++i];
        } else if (a == "--seek" && i + 1 < argc) {
            options.seek = argv[++i];
        } else if (a.empty() || a[0] == '-' || !options.table.empty()) {
            std::cerr << "Aufruf: tabledump [--info] [--order TAG] [--seek TEXT] TABELLE.DBF\n";
            return 2;
        } else {
            options.table = a;
        }
    }
    if (options.seek && options.order.empty())
        options.order = "KLEINGEM"; // the name search's order
    if (options.table.empty()) {
        std::cerr << "Aufruf: tabledump [--info] [--order TAG] [--seek TEXT] TABELLE.DBF\n";
        return 2;
    }
    std::ios::sync_with_stdio(false);
    return info ? TableDump::info(options, std::cout, std::cerr)
                : TableDump::records(options, std::cout, std::cerr);
}
