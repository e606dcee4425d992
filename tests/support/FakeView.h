// A linked view for tests: states a row count and its first shown window record.
#pragma once

#include "TableCursor.h"

namespace fake {

class FakeView : public CursorView
{
public:
    explicit FakeView(int rows = 1, int firstShown = 0) : m_rows(rows), m_firstShown(firstShown) {}
    int rowsWanted() const override { return m_rows; }
    int firstShownRecord() const override { return m_firstShown; }
    void setRows(int rows) { m_rows = rows; }
    void setFirstShown(int index) { m_firstShown = index; }

private:
    int m_rows;
    int m_firstShown;
};

} // namespace fake
