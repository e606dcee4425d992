// Writes the municipality table: a dBASE IV table (version 0x8B) with its dBASE IV
// memo file (.DBT, 512-byte blocks) and, unless told not to, its production index
// (.MDX) with the seven tags of the viewer. Records are appended one by one and
// written as they come, so that a table of a million records needs little memory.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

struct WriterField
{
    std::string name; // UTF-8
    char type;        // 'C', 'N' or 'M'
    int width;
    int decimals;
};

class TableWriter
{
public:
    // The fourteen fields of the municipality table, in order.
    static const std::vector<WriterField> &municipalityLayout();

    TableWriter(std::string dbfPath, std::uint8_t languageDriver);

    bool open(std::string &error);
    // values: one UTF-8 text per field of the layout, in order. A text too wide for
    // its field is cut (with a warning); KLASSE must be empty or an integer that fits.
    bool append(const std::vector<std::string> &values, std::string &error);
    // Completes the files; writes the index unless withIndex is false, and only then
    // marks the table as having a production index.
    bool finish(bool withIndex, std::string &error);

    const std::vector<std::string> &warnings() const { return m_warnings; }
    std::string memoPath() const;
    std::string indexPath() const;

private:
    std::string encodeText(const std::string &utf8, const WriterField &field, bool cut);
    bool encodeNumber(const std::string &utf8, const WriterField &field, std::string &out,
                      std::string &error);
    std::string appendMemo(const std::string &utf8);
    void writeHeader(std::uint32_t recordCount, bool productionIndex);
    bool writeIndex(std::string &error);
    std::string companion(const char *upperExtension) const;

    std::string m_dbfPath;
    std::uint8_t m_languageDriver;
    int m_codePage;
    std::fstream m_dbf;
    std::ofstream m_dbt;
    std::uint32_t m_records = 0;
    std::uint32_t m_nextBlock = 1;
    std::vector<std::string> m_warnings;
};
