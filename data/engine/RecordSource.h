// What an order needs of a table: its records, in storage order, held in memory.
#pragma once

#include "EngineTypes.h"

#include <cstdint>
#include <vector>

namespace dbase {

class RecordSource
{
public:
    virtual ~RecordSource() = default;

    // Number of records stored in the file (deleted ones included).
    virtual std::uint32_t storedCount() const = 0;
    // The record with the 1-based number recno (1..storedCount()): recordSize bytes,
    // the deletion flag first. Valid as long as the source lives.
    virtual const char *recordData(std::uint32_t recno) const = 0;
    virtual bool isDeleted(std::uint32_t recno) const = 0;
    virtual const std::vector<FieldDesc> &fields() const = 0;
    // Code page of the stored texts.
    virtual int codePage() const = 0;
};

} // namespace dbase
