// Table1: fetching around the record window, the moves, counting and numbering.
#include "TableCursor.h"

#include "DatabaseErrors.h"
#include "TableCursorPrivate.h"

#include <algorithm>

namespace st = dbase::status;

namespace {

std::int32_t recordNumberOf(const dbase::RecordProps &props, dbase::NumberingKind kind)
{
    switch (kind) {
    case dbase::NumberingKind::Physical:
        return std::int32_t(props.physicalNumber);
    case dbase::NumberingKind::Sequence:
        return std::int32_t(props.sequenceNumber);
    default:
        return -1;
    }
}

} // namespace

// Puts the engine on a held record by its bookmark, unless it is known to be there.
void TableCursor::putEngineOn(int windowIndex) const
{
    RecordWindow &w = d->window;
    if (w.enginePosition() == windowIndex)
        return;
    const dbase::Status s = d->cursor->setToBookmark(w.at(windowIndex).bookmark);
    if (s != st::Ok) {
        w.forgetEnginePosition();
        raiseEngineError(s);
    }
    w.setEnginePosition(windowIndex);
}

void TableCursor::readBookmark(std::string &bookmark) const
{
    const dbase::Status s = d->cursor->getBookmark(bookmark);
    if (s != st::Ok) {
        d->window.forgetEnginePosition();
        raiseEngineError(s);
    }
}

// The record after the last held one (or, into an empty window, the next record from
// wherever the engine stands). False at the end of the order.
bool TableCursor::fetchNext()
{
    RecordWindow &w = d->window;
    if (!w.isEmpty())
        putEngineOn(w.count() - 1);
    HeldRecord record;
    dbase::RecordProps props;
    const dbase::Status s = d->cursor->getNext(record.data, props);
    if (s != st::Ok) {
        w.forgetEnginePosition();
        if (s == st::NoNextRecord)
            return false;
        raiseEngineError(s);
    }
    readBookmark(record.bookmark);
    record.recordNumber = recordNumberOf(props, d->props.numbering);
    if (w.isEmpty()) {
        m_atStart = false;
        m_atEnd = false;
    }
    w.append(std::move(record));
    return true;
}

bool TableCursor::fetchPrior()
{
    RecordWindow &w = d->window;
    if (!w.isEmpty())
        putEngineOn(0);
    HeldRecord record;
    dbase::RecordProps props;
    const dbase::Status s = d->cursor->getPrior(record.data, props);
    if (s != st::Ok) {
        w.forgetEnginePosition();
        if (s == st::NoPriorRecord)
            return false;
        raiseEngineError(s);
    }
    readBookmark(record.bookmark);
    record.recordNumber = recordNumberOf(props, d->props.numbering);
    if (w.isEmpty()) {
        m_atStart = false;
        m_atEnd = false;
    }
    w.prepend(std::move(record));
    return true;
}

void TableCursor::fillForward()
{
    while (d->window.count() < d->window.capacity() && fetchNext()) {
    }
}

void TableCursor::notifyMove(int heldBefore)
{
    RecordWindow &w = d->window;
    if (w.count() != heldBefore)
        emit windowChanged();
    else
        emit windowScrolled(w.shift());
}

int TableCursor::stepBy(int n)
{
    checkActive();
    if (n == 0 || (n > 0 && m_atEnd) || (n < 0 && m_atStart))
        return 0;
    m_atStart = false;
    m_atEnd = false;
    RecordWindow &w = d->window;
    const int before = w.count();
    w.resetShift();
    int moved = 0;
    try {
        for (long long left = n > 0 ? n : -static_cast<long long>(n); left > 0; --left) {
            if (n > 0) {
                if (w.current() >= 0 && w.current() < w.count() - 1)
                    w.setCurrent(w.current() + 1);
                else if (fetchNext())
                    w.setCurrent(w.count() - 1);
                else {
                    m_atEnd = true;
                    break;
                }
                ++moved;
            } else {
                if (w.current() > 0)
                    w.setCurrent(w.current() - 1);
                else if (fetchPrior())
                    w.setCurrent(0);
                else {
                    m_atStart = true;
                    break;
                }
                --moved;
            }
        }
    } catch (...) {
        notifyMove(before);
        throw;
    }
    notifyMove(before);
    return moved;
}

void TableCursor::goToFirst()
{
    checkActive();
    d->window.clear();
    m_atStart = true;
    m_atEnd = true;
    try {
        check(d->cursor->setToBegin());
        fillForward();
    } catch (...) {
        m_atStart = true;
        emit windowChanged();
        throw;
    }
    m_atStart = true;
    emit windowChanged();
}

void TableCursor::goToLast()
{
    checkActive();
    RecordWindow &w = d->window;
    w.clear();
    m_atStart = true;
    m_atEnd = true;
    try {
        check(d->cursor->setToEnd());
        while (w.count() < w.capacity() && fetchPrior()) {
        }
    } catch (...) {
        m_atEnd = true;
        emit windowChanged();
        throw;
    }
    m_atEnd = true;
    emit windowChanged();
}

// Rebuilds the window around the record the engine stands on (or the next, or the
// prior one): with centre in the middle row, else in the row the current record had.
void TableCursor::rebuildWindow(bool centre)
{
    checkActive();
    RecordWindow &w = d->window;
    const int oldRow = std::max(w.current(), 0);
    w.forgetEnginePosition();
    HeldRecord record;
    dbase::RecordProps props;
    dbase::EngineCursor &c = *d->cursor;
    const bool found = c.getCurrent(record.data, props) == st::Ok ||
                       c.getNext(record.data, props) == st::Ok ||
                       c.getPrior(record.data, props) == st::Ok;
    w.clear();
    m_atStart = true;
    m_atEnd = true;
    if (!found) {
        emit windowChanged();
        return;
    }
    try {
        readBookmark(record.bookmark);
        record.recordNumber = recordNumberOf(props, d->props.numbering);
        w.append(std::move(record));
        m_atStart = false;
        m_atEnd = false;
        const int row = std::min(centre ? (w.capacity() - 1) / 2 : oldRow, w.capacity() - 1);
        for (int i = 0; i < row && fetchPrior(); ++i) {
        }
        fillForward();
        while (w.count() < w.capacity() && fetchPrior()) {
        }
    } catch (...) {
        notifyMove(-1);
        throw;
    }
    notifyMove(-1);
}

int TableCursor::recordTotal()
{
    checkActive();
    std::int32_t count = 0;
    if (d->cursor->countRecords(count) == st::Ok)
        return count;
    if (d->cursor->countRecordsFallback(count) == st::Ok)
        return count;
    return -1;
}

int TableCursor::recordNumber() const
{
    checkActive();
    const RecordWindow &w = d->window;
    return w.isEmpty() ? w.emptySlotNumber() : w.at(w.current()).recordNumber;
}

bool TableCursor::numberedInOrder() const
{
    return d->open && d->props.numbering == dbase::NumberingKind::Sequence;
}

int TableCursor::placeInOrder() const
{
    checkActive();
    if (d->window.isEmpty())
        return -1;
    putEngineOn(d->window.current());
    std::uint32_t place = 0;
    check(d->cursor->placeInOrder(place));
    return int(place);
}
