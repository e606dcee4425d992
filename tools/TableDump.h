// What tabledump prints: a table's header facts, fields and index tags (info), or
// its records as CSV in UTF-8 (a header row "RECNO,<field names>", the record
// number first, notes as full text), in the natural order or a tag's order,
// optionally from the record that a name search finds. Texts are the characters
// stored, in the table's code page or one the user names, or the window's view of them.
#pragma once

#include <optional>
#include <ostream>
#include <string>

class TableDump
{
public:
    struct Options
    {
        std::string table; // path of the .DBF
        std::string order; // tag name; "" for the natural (record-number) order
        // Typed text of a name search: the walk starts at the record the window's
        // search finds for it (in the active order, KLEINGEM unless --order says).
        std::optional<std::string> seek;
        // A code page the engine converts, read instead of the table's (0: the table's).
        int codePage = 0;
        // Texts as the window shows them (Windows-1252, '?' for what it lacks), and the
        // typed text of seek taken through Windows-1252 as the window takes it.
        bool ansi = false;
    };

    // Both answer the process exit code; failures go to err with the engine's texts.
    // records answers 1 also when a note could not be read (its cell stays empty), and
    // stops when out goes bad (a failed write, which the caller reports).
    static int info(const Options &options, std::ostream &out, std::ostream &err);
    static int records(const Options &options, std::ostream &out, std::ostream &err);
};
