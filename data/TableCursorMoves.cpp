// Table1: fetching around the record window, the moves, counting and numbering.
#include "TableCursor.h"

#include "DatabaseErrors.h"
#include "ErrorBoundary.h"
#include "KeySearch.h"
#include "TableCursorPrivate.h"

#include <algorithm>
#include <vector>

namespace st = dbase::status;

// Moves that would fetch fewer records than this walk: they cost little, and their
// engine calls stay exactly those of the walk.
constexpr long long SkipMinimum = 64;

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

// The record after (forward) or before the engine position into record, the window
// untouched. False at the end (start) of the order; the engine position is then
// undetermined, as after an error.
bool TableCursor::fetchFromEngine(bool forward, HeldRecord &record)
{
    dbase::RecordProps props;
    const dbase::Status s =
        forward ? d->cursor->getNext(record.data, props) : d->cursor->getPrior(record.data, props);
    if (s != st::Ok) {
        d->window.forgetEnginePosition();
        if (s == (forward ? st::NoNextRecord : st::NoPriorRecord))
            return false;
        raiseEngineError(s);
    }
    readBookmark(record.bookmark);
    record.recordNumber = recordNumberOf(props, d->props.numbering);
    return true;
}

// The record after the last held one (or, into an empty window, the next record from
// wherever the engine stands). False at the end of the order.
bool TableCursor::fetchNext()
{
    RecordWindow &w = d->window;
    if (!w.isEmpty())
        putEngineOn(w.count() - 1);
    HeldRecord record;
    if (!fetchFromEngine(true, record))
        return false;
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
    if (!fetchFromEngine(false, record))
        return false;
    if (w.isEmpty()) {
        m_atStart = false;
        m_atEnd = false;
    }
    w.prepend(std::move(record));
    return true;
}

// A long move whose walk would fetch at least a whole window of records one by one
// ends with a window that holds only fetched records. Instead of fetching and dropping
// every record on the way, the engine is put by place onto the record before the last
// W of them and fetches those W: the same records, current record, engine position,
// window shift and result as the walk, at a cost that does not grow with the distance.
// The caller's walk goes on from there, so it still meets the end (or start) of the
// order with a fetch of its own. Answers the records moved, or 0 when the move walks:
// a short move (its engine calls stay the walk's), a window that is not full, an
// engine that cannot place. The window changes only once all W records are fetched;
// an engine error on the way leaves it as it was.
long long TableCursor::skipForward(long long left)
{
    RecordWindow &w = d->window;
    const int capacity = w.capacity();
    const long long worthSkipping = std::max<long long>(capacity, SkipMinimum);
    if (w.count() != capacity || left < worthSkipping)
        return 0;
    putEngineOn(capacity - 1); // as the walk's next fetch does
    std::uint32_t last = 0;
    std::int32_t total = 0;
    if (d->cursor->placeInOrder(last) != st::Ok || d->cursor->countRecords(total) != st::Ok)
        return 0;
    const long long fetched = std::min(left, static_cast<long long>(total) - 1 - last);
    std::vector<HeldRecord> records;
    if (fetched < worthSkipping ||
        !fetchRun(true, std::uint32_t(last + fetched - capacity), capacity, records))
        return 0;
    for (HeldRecord &record : records)
        w.append(std::move(record));
    // The records before the last W went through the window without being held.
    w.addShift(-int(fetched - capacity));
    w.setCurrent(capacity - 1);
    return fetched;
}

long long TableCursor::skipBackward(long long left)
{
    RecordWindow &w = d->window;
    const int capacity = w.capacity();
    const long long worthSkipping = std::max<long long>(capacity, SkipMinimum);
    if (w.count() != capacity || left < worthSkipping)
        return 0;
    putEngineOn(0);
    std::uint32_t first = 0;
    if (d->cursor->placeInOrder(first) != st::Ok)
        return 0;
    const long long fetched = std::min(left, static_cast<long long>(first));
    std::vector<HeldRecord> records;
    if (fetched < worthSkipping ||
        !fetchRun(false, std::uint32_t(first - fetched + capacity), capacity, records))
        return 0;
    for (HeldRecord &record : records)
        w.prepend(std::move(record));
    w.addShift(int(fetched - capacity));
    w.setCurrent(0);
    return fetched;
}

// Puts the engine on the record at place `from` and fetches the n records after
// (forward) or before it into records. False when the engine cannot place or the
// order ends first; the window is not touched, its engine position is forgotten.
bool TableCursor::fetchRun(bool forward, std::uint32_t from, int n,
                           std::vector<HeldRecord> &records)
{
    d->window.forgetEnginePosition();
    if (d->cursor->setToPlace(from) != st::Ok)
        return false;
    records.resize(std::size_t(n));
    for (HeldRecord &record : records) {
        if (!fetchFromEngine(forward, record))
            return false;
    }
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
    runThenNotify([&] { moved = walk(n); }, [this, before] { notifyMove(before); });
    return moved;
}

// Each pass moves one record, or many when a long move skips within the engine.
// Answers the signed number of records moved; sets the flag of the end it met.
int TableCursor::walk(int n)
{
    RecordWindow &w = d->window;
    int moved = 0;
    for (long long left = n > 0 ? n : -static_cast<long long>(n), step = 1; left > 0;
         left -= step) {
        step = 1;
        if (n > 0) {
            if (w.current() >= 0 && w.current() < w.count() - 1)
                w.setCurrent(w.current() + 1);
            else if (const long long skipped = skipForward(left); skipped > 0)
                step = skipped;
            else if (fetchNext())
                w.setCurrent(w.count() - 1);
            else {
                m_atEnd = true;
                break;
            }
            moved += int(step);
        } else {
            if (w.current() > 0)
                w.setCurrent(w.current() - 1);
            else if (const long long skipped = skipBackward(left); skipped > 0)
                step = skipped;
            else if (fetchPrior())
                w.setCurrent(0);
            else {
                m_atStart = true;
                break;
            }
            moved -= int(step);
        }
    }
    return moved;
}

void TableCursor::goToFirst()
{
    checkActive();
    d->window.clear();
    m_atStart = true;
    m_atEnd = true;
    runThenNotify(
        [this] {
            check(d->cursor->setToBegin());
            fillForward();
        },
        [this] {
            m_atStart = true;
            emit windowChanged();
        });
}

void TableCursor::goToLast()
{
    checkActive();
    RecordWindow &w = d->window;
    w.clear();
    m_atStart = true;
    m_atEnd = true;
    runThenNotify(
        [this, &w] {
            check(d->cursor->setToEnd());
            while (w.count() < w.capacity() && fetchPrior()) {
            }
        },
        [this] {
            m_atEnd = true;
            emit windowChanged();
        });
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
    const bool found = dbase::KeySearch::recordAtPosition(*d->cursor, record.data, props) == st::Ok;
    w.clear();
    m_atStart = true;
    m_atEnd = true;
    if (!found) {
        ErrorBoundary::throughQt([this] { emit windowChanged(); });
        return;
    }
    runThenNotify(
        [&] {
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
        },
        [this] { notifyMove(-1); });
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
