#include "CsvReader.h"

namespace {

// State of one pass over the text.
struct Cursor
{
    std::string_view text;
    std::size_t at = 0;
    int line = 1;

    bool atEnd() const { return at >= text.size(); }
    char peek() const { return text[at]; }
};

bool atRecordEnd(const Cursor &c)
{
    return c.atEnd() || c.peek() == '\n' ||
           (c.peek() == '\r' && c.at + 1 < c.text.size() && c.text[c.at + 1] == '\n') ||
           (c.peek() == '\r' && c.at + 1 == c.text.size());
}

bool readQuoted(Cursor &c, std::string &field, std::string &error)
{
    const int startLine = c.line;
    ++c.at; // the opening quote
    while (!c.atEnd()) {
        const char ch = c.text[c.at++];
        if (ch == '"') {
            if (!c.atEnd() && c.peek() == '"') {
                field += '"';
                ++c.at;
                continue;
            }
            if (!c.atEnd() && c.peek() != ',' && !atRecordEnd(c)) {
                error = "Zeile " + std::to_string(c.line) +
                        ": Text nach dem schließenden Anführungszeichen.";
                return false;
            }
            return true;
        }
        if (ch == '\n')
            ++c.line;
        field += ch;
    }
    error = "Zeile " + std::to_string(startLine) + ": Anführungszeichen wird nicht geschlossen.";
    return false;
}

void skipRecordEnd(Cursor &c)
{
    if (!c.atEnd() && c.peek() == '\r')
        ++c.at;
    if (!c.atEnd() && c.peek() == '\n') {
        ++c.at;
        ++c.line;
    }
}

} // namespace

bool CsvReader::parse(std::string_view text, std::vector<Row> &rows, std::string &error)
{
    rows.clear();
    Cursor c{text};
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        c.at = 3; // a byte-order mark
    while (!c.atEnd()) {
        Row row;
        for (;;) {
            std::string field;
            if (!c.atEnd() && c.peek() == '"') {
                if (!readQuoted(c, field, error))
                    return false;
            } else {
                while (!c.atEnd() && c.peek() != ',' && !atRecordEnd(c))
                    field += c.text[c.at++];
            }
            row.push_back(std::move(field));
            if (!c.atEnd() && c.peek() == ',') {
                ++c.at;
                continue;
            }
            break;
        }
        skipRecordEnd(c);
        if (!(row.size() == 1 && row[0].empty()))
            rows.push_back(std::move(row)); // blank lines are no records
    }
    return true;
}
