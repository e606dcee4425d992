// Writes the municipality table: a dBASE IV table (version 0x8B) with its dBASE IV
// memo file (.DBT, 512-byte blocks) and, unless told not to, its production index
// (.MDX) with the seven tags of the viewer. Records are appended one by one and
// written as they come, so that a table of a million records needs little memory.
//
// The files are written under temporary names beside the target and take their
// names only when all of them are complete (OutputFile): a failure (a full disk,
// a file size limit) leaves no partial table, and a table that was there before
// stays as it was.
#pragma once

#include "OutputFile.h"

#include <cstdint>
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

    // Each failure to write answers false with "<file>: <the system's reason>" in error.
    bool open(std::string &error);
    // values: one UTF-8 text per field of the layout, in order. A text too wide for
    // its field is cut (with a warning); KLASSE must be empty or an integer that fits.
    bool append(const std::vector<std::string> &values, std::string &error);
    // Completes the files; writes the index unless withIndex is false, and only then
    // marks the table as having a production index. Then the files take their names;
    // without the index, an index file of the table's name is removed.
    bool finish(bool withIndex, std::string &error);

    const std::vector<std::string> &warnings() const { return m_warnings; }
    std::string memoPath() const;
    std::string indexPath() const;

private:
    std::string encodeText(const std::string &utf8, const WriterField &field, bool cut);
    bool encodeNumber(const std::string &utf8, const WriterField &field, std::string &out,
                      std::string &error);
    std::string appendMemo(const std::string &utf8);
    std::string header(std::uint32_t recordCount, bool productionIndex) const;
    bool completeMemo();
    bool writeIndex(std::string &error);
    bool takeNames(bool withIndex, std::string &error);
    bool failed(std::string &error) const;
    bool stopped(std::string &error) const;
    std::string companion(const char *upperExtension) const;

    std::string m_dbfPath;
    std::uint8_t m_languageDriver;
    int m_codePage;
    OutputFile m_dbf;
    OutputFile m_dbt;
    OutputFile m_mdx;
    std::uint32_t m_records = 0;
    std::uint32_t m_nextBlock = 1;
    std::vector<std::string> m_warnings;
};
