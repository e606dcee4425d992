#include "GridMove.h"

#include <QAbstractSlider>

namespace {
GridMove step(int n)
{
    return GridMove(GridMove::Step, n);
}

GridMove toTopRow(const GridMove::Rows &r)
{
    return step(-r.currentRow);
}

GridMove toBottomRow(const GridMove::Rows &r)
{
    return step(r.rows - 1 - r.currentRow);
}
} // namespace

GridMove GridMove::forKey(int key, Qt::KeyboardModifiers modifiers, const Rows &r)
{
    if (modifiers & Qt::AltModifier)
        return {};
    const bool ctrl = modifiers & Qt::ControlModifier;
    switch (key) {
    case Qt::Key_Up:
        return ctrl ? toTopRow(r) : step(-1);
    case Qt::Key_Down:
        return ctrl ? toBottomRow(r) : step(1);
    case Qt::Key_PageUp:
        return ctrl ? toTopRow(r) : step(-r.rows);
    case Qt::Key_PageDown:
        return ctrl ? toBottomRow(r) : step(r.rows);
    case Qt::Key_Left:
        return ctrl ? GridMove(FirstColumn) : step(-1);
    case Qt::Key_Right:
        return ctrl ? GridMove(LastColumn) : step(1);
    case Qt::Key_Home:
        return GridMove(First);
    case Qt::Key_End:
        return GridMove(Last);
    case Qt::Key_Tab:
        // Every column is passed over (none is a Tab stop), so each press moves one record.
        return ctrl ? GridMove() : step(modifiers & Qt::ShiftModifier ? -1 : 1);
    case Qt::Key_Backtab:
        return ctrl ? GridMove() : step(-1);
    default:
        return {};
    }
}

GridMove GridMove::forBarAction(int action, const Rows &r)
{
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: // the record just above the top row
        return step(-(r.currentRow + 1));
    case QAbstractSlider::SliderSingleStepAdd: // the record just below the bottom row
        return step(r.shownRecords - r.currentRow);
    case QAbstractSlider::SliderPageStepSub:
        return step(-r.rows);
    case QAbstractSlider::SliderPageStepAdd:
        return step(r.rows);
    case QAbstractSlider::SliderToMinimum:
        return GridMove(First);
    case QAbstractSlider::SliderToMaximum:
        return GridMove(Last);
    default: // dragging the thumb moves nothing until it is released
        return {};
    }
}

GridMove GridMove::forBarRelease(int position, const Rows &r)
{
    switch (position) {
    case 0:
        return GridMove(First);
    case 1:
        return step(-r.rows);
    case 3:
        return step(r.rows);
    case 4:
        return GridMove(Last);
    default:
        return {};
    }
}
