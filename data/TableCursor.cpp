// Table1: opening and closing, the linked views, field access and errors. The moves
// are in TableCursorMoves.cpp, the orders and the key search in TableCursorKeys.cpp.
#include "TableCursor.h"

#include "AnsiText.h"
#include "DatabaseErrors.h"
#include "ErrorBoundary.h"
#include "MemoFile.h"
#include "TableCursorPrivate.h"

#include <algorithm>
#include <cstdint>

#include <sys/mman.h>

namespace st = dbase::status;

namespace {

// Room for the longest note the engine reads, reserved once and asked for huge pages:
// a long note then touches a few dozen pages the first time, not tens of thousands.
// Only what a note uses becomes resident (a huge page at least).
void reserveMemoBuffer(std::string &buffer)
{
    constexpr std::size_t longest = dbase::MemoFile::kMaxNoteLength;
    if (buffer.capacity() >= longest)
        return;
    buffer.reserve(longest);
    constexpr std::uintptr_t hugePage = std::uintptr_t(2) << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(buffer.data());
    const std::uintptr_t from = (begin + hugePage - 1) & ~(hugePage - 1);
    const std::uintptr_t to = (begin + buffer.capacity()) & ~(hugePage - 1);
    if (to > from)
        (void)::madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE);
}

} // namespace

TableCursor::TableCursor(dbase::Engine &engine, QObject *parent)
    : QObject(parent), d(std::make_unique<Private>(engine))
{
    setObjectName(QStringLiteral("Table1"));
}

TableCursor::~TableCursor()
{
    close();
}

void TableCursor::setActive(bool active)
{
    if (active == isActive())
        return;
    if (active)
        open();
    else
        close();
}

bool TableCursor::isActive() const
{
    return d->open;
}

// Steps that fail leave the table closed; an error while the window is first filled
// leaves it open with what was fetched.
void TableCursor::open()
{
    try {
        openSteps();
    } catch (...) {
        releaseEngineCursor();
        qDeleteAll(m_fields);
        m_fields.clear();
        throw;
    }
    d->open = true;
    d->window.setCapacity(wantedCapacity());
    runThenNotify([this] { fillForward(); },
                  [this] {
                      m_atStart = true;
                      emit stateChanged();
                  });
}

void TableCursor::openSteps()
{
    startEngine();
    const std::string driver =
        d->engine.driverFor(m_directory.toStdString(), m_tableName.toStdString());
    readIndexDefs(driver);
    const IndexDef *active = nullptr;
    if (!m_indexName.isEmpty()) {
        active = findIndexDef(m_indexName);
        if (!active)
            throw EDatabaseError(
                withName(QStringLiteral("Index existiert nicht. Index: %1").arg(m_indexName)));
    }
    IndexDef activeDef = active ? *active : IndexDef();
    activeDef.name = m_indexName; // the engine is given the name as asked for
    openEngineCursor(driver);
    openIndexFiles(driver);
    int codePage = 0;
    if (d->cursor->cursorLocale(codePage) == st::Ok && codePage > 0)
        d->codePage = codePage;
    d->props = d->cursor->properties();
    buildFields();
    d->window.clear();
    d->keyMode = false;
    d->keyRecord.clear();
    check(d->cursor->setToBegin());
    // With no record to keep, the switch leaves the engine at the new order's beginning.
    if (active)
        switchEngineTo(activeDef);
}

void TableCursor::startEngine()
{
    if (d->engine.isStarted())
        return;
    const dbase::Status s = d->engine.start();
    if (s != st::Ok && s != st::AlreadyStarted)
        raiseEngineError(s);
}

// The index list comes from the table itself: a cursor opened without an index
// reports the tags of its production index.
void TableCursor::readIndexDefs(const std::string &driver)
{
    std::unique_ptr<dbase::EngineCursor> probe;
    const dbase::Status s =
        d->engine.openTable(m_directory.toStdString(), m_tableName.toStdString(), driver, probe);
    if (s != st::Ok || !probe)
        raiseEngineError(s != st::Ok ? s : st::NotOpen);
    int codePage = 1252;
    if (probe->cursorLocale(codePage) != st::Ok || codePage <= 0)
        codePage = 1252;
    m_indexDefs.clear();
    for (const dbase::IndexDesc &desc : probe->indexDescs()) {
        IndexDef def;
        def.name = AnsiText::toUnicode(codePage, desc.tagName);
        def.indexFile = AnsiText::toUnicode(codePage, desc.indexFile);
        def.expression = AnsiText::toUnicode(codePage, desc.expression);
        def.isExpression = desc.isExpression;
        def.descending = desc.descending;
        def.unique = desc.unique;
        def.caseInsensitive = desc.caseInsensitive;
        m_indexDefs.append(def);
    }
    probe->close();
}

void TableCursor::openEngineCursor(const std::string &driver)
{
    const std::string dir = m_directory.toStdString();
    const std::string table = m_tableName.toStdString();
    dbase::Status s = d->engine.openTable(dir, table, driver, d->cursor);
    if (s == st::TableReadOnly)
        s = d->engine.openTable(dir, table, driver, d->cursor);
    if (s != st::Ok || !d->cursor) {
        d->cursor.reset();
        raiseEngineError(s != st::Ok ? s : st::NotOpen);
    }
}

void TableCursor::openIndexFiles(const std::string &driver)
{
    if (driver != "DBASE" && driver != "FOXPRO")
        return;
    for (const QString &file : m_indexFiles) {
        const dbase::Status s = d->cursor->openIndexFile(AnsiText::fromUnicode(d->codePage, file));
        if (s != st::Ok && s != st::IndexOpenAlready)
            raiseEngineError(s);
    }
}

void TableCursor::buildFields()
{
    qDeleteAll(m_fields);
    m_fields.clear();
    int ordinal = 0;
    d->fields = d->cursor->fieldDescs();
    for (const dbase::FieldDesc &desc : d->fields) {
        Field::Kind kind = Field::Kind::Other;
        int size = 0;
        switch (desc.type) {
        case dbase::FieldType::Text:
            kind = Field::Kind::String;
            size = desc.width;
            break;
        case dbase::FieldType::SmallInt:
            kind = Field::Kind::SmallInt;
            break;
        case dbase::FieldType::Memo:
            kind = Field::Kind::Memo;
            size = 1;
            break;
        default:
            break;
        }
        m_fields.append(
            new Field(this, ordinal++, AnsiText::toUnicode(d->codePage, desc.name), kind, size));
    }
}

void TableCursor::releaseEngineCursor()
{
    if (!d->cursor)
        return;
    d->cursor->releaseLock(); // its status does not matter
    d->cursor->close();
    d->cursor.reset();
}

void TableCursor::close()
{
    if (!d->open)
        return;
    d->open = false;
    d->keyMode = false;
    emit stateChanged();
    d->window.clear();
    d->window.setCapacity(0);
    m_atStart = true;
    m_atEnd = true;
    qDeleteAll(m_fields);
    m_fields.clear();
    d->keyRecord.clear();
    d->savedKeyRecord.clear();
    releaseEngineCursor();
}

// ---- Linked views ---------------------------------------------------------------

void TableCursor::attachView(const CursorView *view)
{
    if (view && std::find(d->views.begin(), d->views.end(), view) == d->views.end())
        d->views.push_back(view);
    resizeWindow();
}

void TableCursor::detachView(const CursorView *view)
{
    d->views.erase(std::remove(d->views.begin(), d->views.end(), view), d->views.end());
    resizeWindow();
}

void TableCursor::viewRowsChanged()
{
    resizeWindow();
}

int TableCursor::windowCapacity() const
{
    return d->window.capacity();
}

int TableCursor::wantedCapacity() const
{
    int wanted = 1;
    for (const CursorView *view : d->views)
        wanted = std::max(wanted, view->rowsWanted());
    return wanted;
}

// A larger window is filled with records after the last held one, then before the
// first; a smaller one keeps the records from the first one a view shows (or from
// the current record, if that comes first), as far as the current record stays held.
void TableCursor::resizeWindow()
{
    if (!d->open)
        return;
    RecordWindow &w = d->window;
    const int wanted = wantedCapacity();
    const int before = w.count();
    if (wanted < w.capacity()) {
        int first = w.count();
        for (const CursorView *view : d->views)
            first = std::min(first, view->firstShownRecord());
        first = std::clamp(first, 0, std::max(w.current(), 0));
        first = std::max(first, w.current() - wanted + 1);
        w.keep(first, wanted);
        w.setCapacity(wanted);
        if (w.count() != before)
            ErrorBoundary::throughQt([this] { emit windowChanged(); });
    } else if (wanted > w.capacity()) {
        w.setCapacity(wanted);
        runThenNotify(
            [this, &w, wanted] {
                if (w.isEmpty())
                    return;
                while (w.count() < wanted && fetchNext()) {
                }
                while (w.count() < wanted && fetchPrior()) {
                }
            },
            [this, &w, before] {
                if (w.count() != before)
                    emit windowChanged();
            });
    }
}

// ---- Window contents as the views see them -----------------------------------------

int TableCursor::windowCount() const
{
    return d->window.count();
}

int TableCursor::currentIndex() const
{
    return d->window.current();
}

QString TableCursor::displayText(int windowIndex, int ordinal) const
{
    if (ordinal < 0 || ordinal >= m_fields.size() || windowIndex < 0 ||
        windowIndex >= d->window.count())
        return QString();
    return m_fields.at(ordinal)->displayTextAt(windowIndex);
}

Field *TableCursor::findField(const QString &name) const
{
    for (Field *field : m_fields)
        if (AnsiText::equalNames(field->fieldName(), name))
            return field;
    return nullptr;
}

Field *TableCursor::fieldNamed(const QString &name) const
{
    if (Field *field = findField(name))
        return field;
    throw EDatabaseError(withName(QStringLiteral("Das Feld '%1' wurde nicht gefunden").arg(name)));
}

int TableCursor::codePage() const
{
    return d->codePage;
}

bool TableCursor::extract(int windowIndex, int ordinal, dbase::FieldValue &value) const
{
    const std::string *record = nullptr;
    if (windowIndex < 0 && d->keyMode)
        record = &d->keyRecord;
    else if (windowIndex < 0 && !d->window.isEmpty())
        record = &d->window.at(d->window.current()).data;
    else if (windowIndex >= 0 && windowIndex < d->window.count())
        record = &d->window.at(windowIndex).data;
    if (!record || !d->cursor)
        return false;
    check(d->cursor->extractField(ordinal + 1, *record, value));
    return true;
}

QString TableCursor::memoOf(int windowIndex, int ordinal) const
{
    return AnsiText::toUnicode(d->codePage, memoBytesOf(windowIndex, ordinal));
}

std::string_view TableCursor::memoBytesOf(int windowIndex, int ordinal) const
{
    const std::string *record = nullptr;
    if (windowIndex < 0 && !d->window.isEmpty())
        record = &d->window.at(d->window.current()).data;
    else if (windowIndex >= 0 && windowIndex < d->window.count())
        record = &d->window.at(windowIndex).data;
    if (!record || !d->cursor)
        return std::string_view();
    reserveMemoBuffer(d->memoBuffer);
    check(d->cursor->readMemo(ordinal + 1, *record, d->memoBuffer));
    return d->memoBuffer;
}

// ---- Checks and errors ----------------------------------------------------------

QString TableCursor::withName(const QString &text) const
{
    return QStringLiteral("%1: %2").arg(objectName(), text);
}

void TableCursor::checkActive() const
{
    if (!d->open)
        throw EDatabaseError(
            withName(QStringLiteral("Operation bei geschlossener Datenmenge nicht ausführbar")));
}

void TableCursor::raiseEngineError(unsigned short status) const
{
    throw EDBEngineError(d->engine, status);
}

void TableCursor::check(unsigned short status) const
{
    if (status != st::Ok)
        raiseEngineError(status);
}
