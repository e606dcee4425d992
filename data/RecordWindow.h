// The run of consecutive records of the active order that Table1 holds for its views:
// at most capacity() records, the index of the current one, and which held record the
// engine is positioned on (so that a run of steps needs no repositioning). Plain data:
// it makes no engine call.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

struct HeldRecord
{
    std::string data; // the record buffer as fetched
    std::int32_t recordNumber = 0;
    std::string bookmark; // puts the engine back on this record
};

class RecordWindow
{
public:
    int count() const { return int(m_records.size()); }
    bool isEmpty() const { return m_records.empty(); }
    int capacity() const { return m_capacity; }
    void setCapacity(int capacity) { m_capacity = capacity; }

    const HeldRecord &at(int index) const { return m_records.at(std::size_t(index)); }
    int current() const { return m_current; } // -1 while empty
    void setCurrent(int index);

    // Index of the held record the engine is on, or -1 when that is not known.
    int enginePosition() const { return m_engine; }
    void setEnginePosition(int index) { m_engine = index; }
    void forgetEnginePosition() { m_engine = -1; }

    // Net slide since resetShift(): -1 per record dropped at the front, +1 at the back.
    int shift() const { return m_shift; }
    void resetShift() { m_shift = 0; }
    // Records that a skip moved past without holding them: the slide they would have
    // made (-1 each going forward, +1 going back).
    void addShift(int records) { m_shift += records; }

    // Adds a record after the last (before the first) held one; the engine is then on
    // it. Into an empty window it becomes current; into a full one the record at the
    // opposite end is dropped.
    void append(HeldRecord record);
    void prepend(HeldRecord record);
    void clear();
    // Record number of the record that was current when the window was last emptied:
    // what an empty window reports; 0 when no record was ever held.
    std::int32_t emptySlotNumber() const { return m_emptySlotNumber; }
    // Keeps at most n records beginning at index first; drops the others.
    void keep(int first, int n);

private:
    void dropFront();
    void dropBack();

    std::deque<HeldRecord> m_records;
    int m_capacity = 0;
    int m_current = -1;
    int m_engine = -1;
    int m_shift = 0;
    std::int32_t m_emptySlotNumber = 0;
};
