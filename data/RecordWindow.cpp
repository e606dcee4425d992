#include "RecordWindow.h"

#include <algorithm>

void RecordWindow::setCurrent(int index)
{
    m_current = m_records.empty() ? -1 : std::clamp(index, 0, count() - 1);
}

void RecordWindow::append(HeldRecord record)
{
    m_records.push_back(std::move(record));
    if (m_current < 0)
        m_current = 0;
    m_engine = count() - 1;
    if (count() > std::max(m_capacity, 1))
        dropFront();
}

void RecordWindow::prepend(HeldRecord record)
{
    m_records.push_front(std::move(record));
    ++m_current; // -1 (empty) becomes 0
    m_engine = 0;
    if (count() > std::max(m_capacity, 1))
        dropBack();
}

void RecordWindow::dropFront()
{
    m_records.pop_front();
    --m_shift;
    m_current = std::max(m_current - 1, 0);
    m_engine = m_engine > 0 ? m_engine - 1 : -1;
}

void RecordWindow::dropBack()
{
    m_records.pop_back();
    ++m_shift;
    m_current = std::min(m_current, count() - 1);
    if (m_engine >= count())
        m_engine = -1;
}

void RecordWindow::clear()
{
    if (!m_records.empty())
        m_emptySlotNumber = at(m_current).recordNumber;
    m_records.clear();
    m_current = -1;
    m_engine = -1;
}

void RecordWindow::keep(int first, int n)
{
    first = std::clamp(first, 0, count());
    const int last = std::min(count(), first + std::max(n, 0)); // one past
    m_records.erase(m_records.begin() + last, m_records.end());
    m_records.erase(m_records.begin(), m_records.begin() + first);
    m_current = m_records.empty() ? -1 : std::clamp(m_current - first, 0, count() - 1);
    m_engine = (m_engine >= first && m_engine < last) ? m_engine - first : -1;
}
