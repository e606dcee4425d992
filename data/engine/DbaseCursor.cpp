#include "DbaseCursor.h"

#include "FieldDecoder.h"
#include "FileLookup.h"

#include <algorithm>
#include <cstring>

namespace dbase {

namespace {

constexpr int kBookmarkSize = 4;

std::string bookmarkOf(std::uint32_t recno)
{
    std::string b(kBookmarkSize, '\0');
    for (int i = 0; i < kBookmarkSize; ++i)
        b[static_cast<std::size_t>(i)] = static_cast<char>((recno >> (8 * i)) & 0xFF);
    return b;
}

std::uint32_t recnoOf(const std::string &bookmark)
{
    std::uint32_t recno = 0;
    for (int i = kBookmarkSize - 1; i >= 0; --i)
        recno = recno << 8 | static_cast<unsigned char>(bookmark[static_cast<std::size_t>(i)]);
    return recno;
}

// A memo field's stored reference as an error text shows it: without the blanks and
// NULs around it, every byte that is no printable ASCII character as '?'.
std::string shownReference(const FieldDesc &field, const char *data)
{
    std::string shown(data + field.offset, static_cast<std::size_t>(field.width));
    const auto from = shown.find_first_not_of(std::string_view(" \0", 2));
    shown.erase(0, from == std::string::npos ? shown.size() : from);
    shown.erase(shown.find_last_not_of(std::string_view(" \0", 2)) + 1);
    for (char &c : shown)
        if (c < 0x20 || c > 0x7E)
            c = '?';
    return shown;
}

} // namespace

DbaseCursor::DbaseCursor(std::shared_ptr<ErrorStack> errors, std::shared_ptr<const DbfFile> table,
                         std::unique_ptr<MemoFile> memo, std::string directory, int codePage,
                         CodePageOrigin origin)
    : m_errors(std::move(errors)), m_table(std::move(table)), m_memo(std::move(memo)),
      m_directory(std::move(directory)), m_codePage(codePage), m_codePageOrigin(origin),
      m_tags(std::make_unique<TagCatalog>(
          *m_table, Collation::forTable(m_table->layout().languageDriver, codePage)))
{
}

// The orders refer to the table's records: they go first.
DbaseCursor::~DbaseCursor()
{
    m_order.reset();
    m_tags.reset();
}

Status DbaseCursor::fail(Status code, const std::string &problem) const
{
    return m_errors->fail(code, m_table ? m_table->path() : std::string("?"), problem);
}

Status DbaseCursor::checkOpen() const
{
    return m_table ? status::Ok : fail(status::NotOpen, "Die Tabelle ist geschlossen.");
}

Status DbaseCursor::addIndexFile(const std::string &fileName, const std::string &path)
{
    std::string problem;
    if (const Status s = m_tags->addIndexFile(fileName, path, problem); s != status::Ok)
        return m_errors->fail(s, path, problem);
    return status::Ok;
}

Status DbaseCursor::addProductionIndex(const std::string &fileName, const std::string &path)
{
    const Status s = addIndexFile(fileName, path);
    if (s == status::Ok)
        m_productionTags = m_tags->descs().size();
    return s;
}

CursorProps DbaseCursor::properties() const
{
    CursorProps p;
    if (!m_table)
        return p;
    p.recordSize = m_table->layout().recordLength;
    p.bookmarkSize = kBookmarkSize;
    p.canModify = false;
    p.numbering = NumberingKind::Physical;
    p.indexCount = static_cast<int>(m_tags->descs().size());
    p.fieldCount = static_cast<int>(m_table->fields().size());
    return p;
}

Status DbaseCursor::cursorLocale(int &codePage) const
{
    if (const Status s = checkOpen(); s != status::Ok)
        return s;
    codePage = m_codePage;
    return status::Ok;
}

Status DbaseCursor::codePageOrigin(CodePageOrigin &origin) const
{
    if (const Status s = checkOpen(); s != status::Ok)
        return s;
    origin = m_codePageOrigin;
    return status::Ok;
}

std::vector<FieldDesc> DbaseCursor::fieldDescs() const
{
    return m_table ? m_table->fields() : std::vector<FieldDesc>{};
}

std::vector<IndexDesc> DbaseCursor::indexDescs() const
{
    return m_tags ? m_tags->descs() : std::vector<IndexDesc>{};
}

Status DbaseCursor::openIndexFile(const std::string &fileName)
{
    if (const Status s = checkOpen(); s != status::Ok)
        return s;
    const std::string name = fileName.substr(fileName.find_last_of('/') + 1);
    if (m_tags->hasIndexFile(name))
        return status::IndexOpenAlready;
    const auto path = FileLookup::find(m_directory, fileName);
    if (!path) {
        const std::string wanted = m_directory.empty() ? fileName : m_directory + "/" + fileName;
        return m_errors->fail(status::FileNotFound, wanted, "Die Indexdatei fehlt.");
    }
    return addIndexFile(name, *path);
}

Status DbaseCursor::switchToIndex(const std::string &indexFile, const std::string &tagName,
                                  bool keepCurrent)
{
    if (const Status s = checkOpen(); s != status::Ok)
        return s;
    if (keepCurrent && !m_onRecord)
        return status::NoCurrentRecord;
    const std::uint32_t current = m_onRecord ? recordAt(m_place) : 0;
    std::shared_ptr<const SortOrder> order;
    int tag = -1;
    if (!tagName.empty()) {
        tag = m_tags->find(indexFile, tagName);
        if (tag < 0)
            return fail(status::TagNotFound, "Index " + tagName + " nicht gefunden.");
        std::string problem;
        if (const Status s = m_tags->order(tag, order, problem); s != status::Ok)
            return fail(s, problem);
    }
    // A filtered or unique order may lack the current record: then there is none
    // to keep, and nothing changes (the caller switches again without keeping it).
    std::optional<std::size_t> place;
    if (keepCurrent) {
        place = order ? order->placeOf(current) : placeInNaturalOrder(current);
        if (!place)
            return status::NoCurrentRecord;
    }
    m_order = std::move(order);
    m_activeTag = tag;
    if (place) {
        m_place = *place;
        m_onRecord = true;
    } else {
        setToBegin();
    }
    return status::Ok;
}

Status DbaseCursor::indexFacts(IndexFacts &facts) const
{
    if (const Status s = checkOpen(); s != status::Ok)
        return s;
    facts = IndexFacts{};
    if (m_activeTag < 0)
        return status::Ok;
    facts = m_tags->facts(m_activeTag);
    // The key format is ours (the order is built in memory): its size is what
    // extractKey produces.
    facts.keySize = m_order->expression().keySize();
    return status::Ok;
}

Status DbaseCursor::prepareOrders()
{
    if (const Status s = checkOpen(); s != status::Ok)
        return s;
    m_tags->prepareOrders(m_productionTags);
    return status::Ok;
}

std::size_t DbaseCursor::orderSize() const
{
    return m_order ? m_order->size() : m_table->liveCount();
}

std::uint32_t DbaseCursor::recordAt(std::size_t place) const
{
    return m_order ? m_order->recordAt(place) : m_table->liveRecordAt(place);
}

std::optional<std::size_t> DbaseCursor::placeOf(std::uint32_t recno) const
{
    return m_order ? m_order->placeOf(recno) : placeInNaturalOrder(recno);
}

std::optional<std::size_t> DbaseCursor::placeInNaturalOrder(std::uint32_t recno) const
{
    return m_table->placeOfLive(recno);
}

Status DbaseCursor::setToBegin()
{
    if (const Status s = checkOpen(); s != status::Ok)
        return s;
    m_place = 0;
    m_onRecord = false;
    return status::Ok;
}

Status DbaseCursor::setToEnd()
{
    if (const Status s = checkOpen(); s != status::Ok)
        return s;
    m_place = orderSize();
    m_onRecord = false;
    return status::Ok;
}

Status DbaseCursor::deliver(std::string &record, RecordProps &props) const
{
    const std::uint32_t recno = recordAt(m_place);
    record.assign(m_table->recordData(recno), m_table->layout().recordLength);
    props = RecordProps{};
    props.physicalNumber = recno;
    props.sequenceNumber = static_cast<std::uint32_t>(m_place + 1);
    return status::Ok;
}

Status DbaseCursor::getNext(std::string &record, RecordProps &props)
{
    if (const Status s = checkOpen(); s != status::Ok)
        return s;
    const std::size_t next = m_onRecord ? m_place + 1 : m_place;
    if (next >= orderSize()) {
        m_place = orderSize();
        m_onRecord = false;
        return status::NoNextRecord;
    }
    m_place = next;
    m_onRecord = true;
    return deliver(record, props);
}

Status DbaseCursor::getPrior(std::string &record, RecordProps &props)
{
    if (const Status s = checkOpen(); s != status::Ok)
        return s;
    if (m_place == 0) {
        m_onRecord = false;
        return status::NoPriorRecord;
    }
    --m_place;
    m_onRecord = true;
    return deliver(record, props);
}

Status DbaseCursor::getCurrent(std::string &record, RecordProps &props)
{
    if (const Status s = checkOpen(); s != status::Ok)
        return s;
    if (!m_onRecord)
        return status::NoCurrentRecord;
    return deliver(record, props);
}

Status DbaseCursor::getBookmark(std::string &bookmark) const
{
    if (const Status s = checkOpen(); s != status::Ok)
        return s;
    if (!m_onRecord)
        return status::NoCurrentRecord;
    bookmark = bookmarkOf(recordAt(m_place));
    return status::Ok;
}

Status DbaseCursor::setToBookmark(const std::string &bookmark)
{
    if (const Status s = checkOpen(); s != status::Ok)
        return s;
    const auto place = bookmark.size() == kBookmarkSize ? placeOf(recnoOf(bookmark)) : std::nullopt;
    if (!place)
        return fail(status::InvalidParameter, "Ungültiges Lesezeichen.");
    m_place = *place;
    m_onRecord = true;
    return status::Ok;
}

Status DbaseCursor::placeInOrder(std::uint32_t &place) const
{
    if (const Status s = checkOpen(); s != status::Ok)
        return s;
    if (!m_onRecord)
        return status::NoCurrentRecord;
    place = static_cast<std::uint32_t>(m_place);
    return status::Ok;
}

Status DbaseCursor::setToPlace(std::uint32_t place)
{
    if (const Status s = checkOpen(); s != status::Ok)
        return s;
    if (place >= orderSize())
        return fail(status::InvalidParameter,
                    "Die Reihenfolge hat keinen Platz " + std::to_string(place) + ".");
    m_place = place;
    m_onRecord = true;
    return status::Ok;
}

// Both counts answer the number of records a walk through the active order visits:
// the live records, or fewer under a FOR condition or a unique key.
Status DbaseCursor::countRecords(std::int32_t &count)
{
    if (const Status s = checkOpen(); s != status::Ok)
        return s;
    count = static_cast<std::int32_t>(std::min<std::size_t>(orderSize(), INT32_MAX));
    return status::Ok;
}

Status DbaseCursor::countRecordsFallback(std::int32_t &count)
{
    return countRecords(count);
}

const FieldDesc *DbaseCursor::fieldAt(int fieldNo, const std::string &record) const
{
    if (!m_table || fieldNo < 1 || fieldNo > static_cast<int>(m_table->fields().size()) ||
        record.size() < m_table->layout().recordLength)
        return nullptr;
    return &m_table->fields()[static_cast<std::size_t>(fieldNo) - 1];
}

std::optional<std::uint32_t> DbaseCursor::memoBlockOf(const FieldDesc &field,
                                                      const char *data) const
{
    const std::string_view ref(data + field.offset, static_cast<std::size_t>(field.width));
    return MemoFile::blockOf(ref, field.width == 4 && m_table->layout().visualFoxPro);
}

// A blank reference and a note of length 0 are no note. A damaged reference and a
// note that the file cannot supply (damaged, changed by another program, an I/O
// error) are not blank: reading the note reports why.
bool DbaseCursor::memoIsBlank(const FieldDesc &field, const char *data) const
{
    const std::optional<std::uint32_t> block = memoBlockOf(field, data);
    if (!block)
        return false;
    return *block == 0 || !m_memo || m_memo->isEmpty(*block);
}

Status DbaseCursor::extractField(int fieldNo, const std::string &record, FieldValue &value) const
{
    const FieldDesc *field = fieldAt(fieldNo, record);
    if (!field)
        return fail(status::InvalidParameter,
                    "Feld " + std::to_string(fieldNo) + " gibt es nicht.");
    value = FieldDecoder::decode(*field, record.data());
    if (field->type == FieldType::Memo)
        value.blank = memoIsBlank(*field, record.data());
    return status::Ok;
}

Status DbaseCursor::readMemo(int fieldNo, const std::string &record, std::string &text)
{
    text.clear();
    const FieldDesc *field = fieldAt(fieldNo, record);
    if (!field || field->type != FieldType::Memo)
        return fail(status::InvalidParameter,
                    "Feld " + std::to_string(fieldNo) + " ist kein Memofeld.");
    const std::optional<std::uint32_t> block = memoBlockOf(*field, record.data());
    const std::string memoPath = m_memo ? m_memo->path() : m_table->path();
    if (!block)
        return m_errors->fail(status::MemoDamaged, memoPath,
                              "Der Memoverweis '" + shownReference(*field, record.data()) +
                                  "' ist beschädigt.");
    if (*block == 0 || !m_memo)
        return status::Ok;
    std::string problem;
    if (const Status s = m_memo->read(*block, text, &problem); s != status::Ok)
        return m_errors->fail(
            s, memoPath, problem.empty() ? "Der Memotext kann nicht gelesen werden." : problem);
    return status::Ok;
}

void DbaseCursor::readNotesAhead()
{
    if (m_memo)
        m_memo->setReadAhead(true);
}

Status DbaseCursor::blankRecord(std::string &record) const
{
    if (const Status s = checkOpen(); s != status::Ok)
        return s;
    record.assign(m_table->layout().recordLength, ' ');
    return status::Ok;
}

Status DbaseCursor::putField(int fieldNo, std::string &record, const std::string &value) const
{
    const FieldDesc *field = fieldAt(fieldNo, record);
    if (!field || field->type == FieldType::Memo)
        return fail(status::InvalidParameter,
                    "Feld " + std::to_string(fieldNo) + " kann keinen Wert aufnehmen.");
    FieldDecoder::encode(*field, value, record.data());
    return status::Ok;
}

Status DbaseCursor::extractKey(const std::string &record, std::string &key) const
{
    if (const Status s = checkOpen(); s != status::Ok)
        return s;
    if (!m_order)
        return fail(status::InvalidParameter, "Es ist kein Index aktiv.");
    if (record.size() < m_table->layout().recordLength)
        return fail(status::InvalidParameter, "Der Datensatzpuffer ist zu kurz.");
    const KeyExpression &expression = m_order->expression();
    try {
        key = expression.encode(expression.evaluate(record.data()));
    } catch (const KeyExpressionError &e) {
        return fail(status::BadKeyExpression, e.what());
    }
    return status::Ok;
}

// The position afterwards is the crack before the first record whose key satisfies
// the condition (the end of the order when none does): get next fetches it.
Status DbaseCursor::setToKey(SearchCondition condition, bool directKey, int /*fieldCount*/,
                             int /*keyLength*/, const std::string &keyOrRecord)
{
    std::string key = keyOrRecord;
    if (!directKey) {
        if (const Status s = extractKey(keyOrRecord, key); s != status::Ok)
            return s;
    } else if (const Status s = checkOpen(); s != status::Ok) {
        return s;
    }
    if (!m_order)
        return fail(status::InvalidParameter, "Es ist kein Index aktiv.");
    try {
        m_place = m_order->seek(key, condition == SearchCondition::Greater);
    } catch (const KeyExpressionError &e) {
        return fail(status::InvalidParameter, e.what());
    }
    m_onRecord = false;
    return status::Ok;
}

Status DbaseCursor::releaseLock()
{
    return status::Ok;
}

Status DbaseCursor::close()
{
    m_order.reset();
    m_tags.reset();
    m_memo.reset();
    m_table.reset();
    m_onRecord = false;
    m_place = 0;
    return status::Ok;
}

} // namespace dbase
