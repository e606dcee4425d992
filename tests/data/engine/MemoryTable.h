// A table held in memory for the order and index tests: fields declared in code,
// records given as one text per field (texts left-aligned, numbers right-aligned,
// as a dBASE table stores them).
#pragma once

#include "RecordSource.h"

#include <string>
#include <vector>

class MemoryTable : public dbase::RecordSource
{
public:
    MemoryTable &field(const std::string &name, char type, int width, int decimals = 0)
    {
        dbase::FieldDesc f;
        f.name = name;
        f.typeLetter = type;
        f.width = width;
        f.decimals = decimals;
        f.offset = m_recordSize;
        f.type = typeOf(type, width, decimals);
        m_recordSize += width;
        m_fields.push_back(f);
        return *this;
    }

    MemoryTable &row(const std::vector<std::string> &values, bool deleted = false)
    {
        std::string record(std::size_t(m_recordSize), ' ');
        record[0] = deleted ? '*' : ' ';
        for (std::size_t i = 0; i < values.size() && i < m_fields.size(); ++i) {
            const dbase::FieldDesc &f = m_fields[i];
            const std::string v = values[i].substr(0, std::size_t(f.width));
            const bool right = f.typeLetter == 'N' || f.typeLetter == 'F';
            record.replace(std::size_t(f.offset) + (right ? std::size_t(f.width) - v.size() : 0),
                           v.size(), v);
        }
        m_records.push_back(record);
        return *this;
    }

    std::uint32_t storedCount() const override { return std::uint32_t(m_records.size()); }
    const char *recordData(std::uint32_t recno) const override
    {
        return m_records[recno - 1].data();
    }
    bool isDeleted(std::uint32_t recno) const override { return m_records[recno - 1][0] == '*'; }
    const std::vector<dbase::FieldDesc> &fields() const override { return m_fields; }
    int codePage() const override { return 1252; }

private:
    static dbase::FieldType typeOf(char type, int width, int decimals)
    {
        switch (type) {
        case 'C':
            return dbase::FieldType::Text;
        case 'N':
        case 'F':
            if (decimals > 0)
                return dbase::FieldType::Number;
            return width <= 4 ? dbase::FieldType::SmallInt : dbase::FieldType::Integer;
        case 'D':
            return dbase::FieldType::Date;
        case 'L':
            return dbase::FieldType::Logical;
        case 'M':
            return dbase::FieldType::Memo;
        default:
            return dbase::FieldType::Other;
        }
    }

    int m_recordSize = 1; // the deletion flag
    std::vector<dbase::FieldDesc> m_fields;
    std::vector<std::string> m_records;
};
