// Memory of our own for a table's records: a private anonymous mapping, asked for
// huge pages. A table of a million records faults in a few hundred pages this way
// instead of tens of thousands, and no zero-filling pass precedes the read.
#pragma once

#include <cstddef>

namespace dbase {

class RecordMemory
{
public:
    RecordMemory() = default;
    ~RecordMemory();
    RecordMemory(const RecordMemory &) = delete;
    RecordMemory &operator=(const RecordMemory &) = delete;

    // Maps size bytes (none for 0); false when the system refuses the memory.
    bool allocate(std::size_t size);
    char *data() { return m_data; }
    const char *data() const { return m_data; }
    std::size_t size() const { return m_size; }

private:
    void *m_mapping = nullptr;
    std::size_t m_mappedSize = 0;
    char *m_data = nullptr;
    std::size_t m_size = 0;
};

} // namespace dbase
