// Table1: the active order (IndexName) and the key search.
#include "TableCursor.h"

#include "AnsiText.h"
#include "CodePage.h"
#include "DatabaseErrors.h"
#include "KeySearch.h"
#include "TableCursorPrivate.h"

#include <algorithm>

namespace st = dbase::status;

namespace {

constexpr int kTagNameLength = 31;

} // namespace

// The first entry of the index list with that name, ignoring letter case.
const IndexDef *TableCursor::findIndexDef(const QString &name) const
{
    for (const IndexDef &def : m_indexDefs)
        if (AnsiText::equalNames(def.name, name))
            return &def;
    return nullptr;
}

// Makes the tag the engine's active order (def.name: the name as requested), keeping the record the
// engine is on when there is one, and reads the new order's key facts.
void TableCursor::switchEngineTo(const IndexDef &def)
{
    const std::string file = AnsiText::fromUnicode(d->codePage, def.indexFile);
    const std::string tag = AnsiText::fromUnicode(d->codePage, def.name).substr(0, kTagNameLength);
    dbase::Status s = d->cursor->switchToIndex(file, tag, true);
    if (s == st::NoCurrentRecord)
        s = d->cursor->switchToIndex(file, tag, false);
    d->window.forgetEnginePosition();
    check(s);
    check(d->cursor->indexFacts(d->facts));
}

// The engine's status does not matter: a build that fails reports at the switch.
void TableCursor::prepareOrders()
{
    if (d->open)
        d->cursor->prepareOrders();
}

void TableCursor::setIndexName(const QString &name)
{
    if (d->open)
        leaveKeyMode();
    if (name == m_indexName)
        return;
    if (d->open) {
        const IndexDef *def = findIndexDef(name);
        if (!def)
            throw EDatabaseError(
                withName(QStringLiteral("Index existiert nicht. Index: %1").arg(name)));
        if (!d->window.isEmpty())
            putEngineOn(d->window.current());
        IndexDef requested = *def;
        requested.name = name; // the engine is given the name as asked for
        switchEngineTo(requested);
    }
    m_indexName = name;
    if (d->open)
        rebuildWindow(false);
}

void TableCursor::leaveKeyMode()
{
    d->keyMode = false;
}

bool TableCursor::inKeyMode() const
{
    return d->keyMode;
}

QString TableCursor::nameSearchText(const QString &typed)
{
    return QString::fromStdString(dbase::KeySearch::lowerAsciiLetters(typed.toStdString()));
}

void TableCursor::enterKeyMode()
{
    checkActive();
    leaveKeyMode();
    d->savedKeyRecord = d->keyRecord;
    std::string blank;
    check(d->cursor->blankRecord(blank));
    d->keyRecord = std::move(blank);
    d->keyModified = false;
    d->keyExclusive = false;
    d->keyFieldCount = 0;
    d->keyMode = true;
}

void TableCursor::putKeyValue(const Field &field, const QString &text)
{
    const int fieldNo = field.ordinal() + 1;
    const std::vector<int> &keyFields = d->facts.keyFields;
    if (!keyFields.empty() &&
        std::find(keyFields.begin(), keyFields.end(), fieldNo) == keyFields.end())
        throw EDatabaseError(
            QStringLiteral("Feld '%1' ist nicht indiziert und kann nicht verändert werden")
                .arg(field.fieldName()));
    // The window's texts are Windows-1252: typed text reaches the table through it.
    const dbase::FieldDesc &desc = d->fields.at(std::size_t(field.ordinal()));
    check(dbase::KeySearch::putValue(*d->cursor, fieldNo, desc, text.toStdString(),
                                     dbase::CodePage::of(d->codePage),
                                     dbase::KeySearch::Typed::ThroughAnsi, d->keyRecord));
    d->keyModified = true;
}

void TableCursor::searchNearest()
{
    checkActive();
    leaveKeyMode();
    d->window.forgetEnginePosition();
    if (d->keyRecord.empty()) {
        std::string blank;
        check(d->cursor->blankRecord(blank));
        d->keyRecord = std::move(blank);
    }
    const auto condition =
        d->keyExclusive ? dbase::SearchCondition::Greater : dbase::SearchCondition::GreaterOrEqual;
    check(dbase::KeySearch::setToLookup(*d->cursor, condition, d->keyFieldCount, d->keyRecord));
    rebuildWindow(true);
}
