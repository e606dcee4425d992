// A comma-separated text (RFC 4180): fields may be quoted, a quoted field may hold
// commas, doubled quotes and line breaks (CR LF inside a quoted note survives as
// it is). Records end with LF or CR LF.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class CsvReader
{
public:
    using Row = std::vector<std::string>;

    // Splits text into rows. Returns false with error (naming the line) for a quote
    // that is never closed or text after a closing quote.
    static bool parse(std::string_view text, std::vector<Row> &rows, std::string &error);
};
