// What a key or an action of the grid's record bar does: a step of the cursor by a
// number of records, a jump to the first or last record, or a change of the current
// column. Worked out from the grid's rows alone, so the tables read as written.
#pragma once

#include <Qt>

class GridMove
{
public:
    enum Kind { None, Step, First, Last, FirstColumn, LastColumn };

    // rows: data rows that fit; currentRow: the current record's row;
    // shownRecords: records on screen.
    struct Rows
    {
        int rows = 0;
        int currentRow = 0;
        int shownRecords = 0;
    };

    GridMove() = default;
    GridMove(Kind kind, int count = 0) : m_kind(kind), m_count(count) {}

    static GridMove forKey(int key, Qt::KeyboardModifiers modifiers, const Rows &rows);
    static GridMove forBarAction(int action, const Rows &rows);
    static GridMove forBarRelease(int position, const Rows &rows);

    Kind kind() const { return m_kind; }
    int count() const { return m_count; } // records to step, for Step

private:
    Kind m_kind = None;
    int m_count = 0;
};
