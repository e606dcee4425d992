// A small in-memory table for the targets that need records without a DBF file:
// the municipality fields plus a number and a date, records taken from the fuzzed
// bytes.
#pragma once

#include "RecordSource.h"

#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

class FuzzTable : public dbase::RecordSource
{
public:
    FuzzTable()
    {
        for (const auto &[name, letter, width, decimals] : kFields)
            add(name, letter, width, decimals);
    }

    // Cuts bytes into records of the table's length (the last one blank-padded),
    // at most maxRecords of them.
    void fill(std::string_view bytes, std::size_t maxRecords)
    {
        m_records.clear();
        const std::size_t length = static_cast<std::size_t>(m_recordLength);
        for (std::size_t at = 0; at < bytes.size() && m_records.size() < maxRecords; at += length) {
            std::string record(bytes.substr(at, length));
            record.resize(length, ' ');
            m_records.push_back(std::move(record));
        }
    }

    int recordLength() const { return m_recordLength; }
    std::uint32_t storedCount() const override
    {
        return static_cast<std::uint32_t>(m_records.size());
    }
    const char *recordData(std::uint32_t recno) const override
    {
        return recno >= 1 && recno <= m_records.size() ? m_records[recno - 1].data() : nullptr;
    }
    bool isDeleted(std::uint32_t recno) const override
    {
        const char *data = recordData(recno);
        return data == nullptr || data[0] == '*';
    }
    const std::vector<dbase::FieldDesc> &fields() const override { return m_fields; }
    int codePage() const override { return 1252; }

private:
    struct Spec
    {
        const char *name;
        char letter;
        int width;
        int decimals;
    };
    static constexpr Spec kFields[] = {
        {"GEMEINDE", 'C', 30, 0},  {"GEMNR", 'C', 5, 0},     {"BEZIRK", 'C', 15, 0},
        {"BL", 'C', 2, 0},         {"BREITE", 'C', 5, 0},    {"L\xC4NGE", 'C', 5, 0},
        {"MITTEL", 'C', 5, 0},     {"MIN", 'C', 5, 0},       {"MAX", 'C', 5, 0},
        {"JAHRESMITT", 'C', 5, 0}, {"POTENTIAL", 'C', 5, 0}, {"KLASSE", 'N', 1, 0},
        {"KLEINGEM", 'C', 30, 0},  {"TEXT", 'M', 10, 0},     {"WERT", 'N', 10, 2},
        {"DATUM", 'D', 8, 0},      {"ZAHL", 'N', 8, 0},      {"FLAG", 'L', 1, 0},
    };

    void add(const char *name, char letter, int width, int decimals)
    {
        dbase::FieldDesc f;
        f.name = name;
        f.typeLetter = letter;
        f.width = width;
        f.decimals = decimals;
        f.offset = m_recordLength;
        f.type = letter == 'C'   ? dbase::FieldType::Text
                 : letter == 'M' ? dbase::FieldType::Memo
                 : letter == 'D' ? dbase::FieldType::Date
                 : letter == 'L' ? dbase::FieldType::Logical
                 : decimals > 0  ? dbase::FieldType::Number
                 : width <= 4    ? dbase::FieldType::SmallInt
                                 : dbase::FieldType::Integer;
        m_recordLength += width;
        m_fields.push_back(f);
    }

    std::vector<dbase::FieldDesc> m_fields;
    std::vector<std::string> m_records;
    int m_recordLength = 1; // the deletion flag
};

} // namespace fuzz
