#include "FakeEngineCursor.h"

#include "FakeEngine.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace fake {

using dbase::Status;
namespace st = dbase::status;

FakeEngineCursor::FakeEngineCursor(FakeEngine &engine) : m_engine(engine) {}

std::vector<int> FakeEngineCursor::sequence() const
{
    return m_engine.activeSequence();
}

int FakeEngineCursor::positionedRecord() const
{
    const auto seq = sequence();
    if (m_pos2 % 2 == 0)
        return 0;
    const int place = (m_pos2 - 1) / 2;
    return place < int(seq.size()) ? seq[std::size_t(place)] : 0;
}

dbase::CursorProps FakeEngineCursor::properties() const
{
    m_engine.enter("properties");
    dbase::CursorProps p;
    p.recordSize = m_engine.recordSize();
    p.bookmarkSize = 4;
    p.numbering = m_engine.numberingKind();
    p.fieldCount = int(m_engine.fields().size());
    p.indexCount = int(indexDescs().size());
    return p;
}

Status FakeEngineCursor::cursorLocale(int &codePage) const
{
    if (const Status s = m_engine.enter("cursorLocale"); s != st::Ok)
        return s;
    codePage = m_engine.codePage();
    return st::Ok;
}

// A scripted table names its code page in its header.
Status FakeEngineCursor::codePageOrigin(dbase::CodePageOrigin &origin) const
{
    if (const Status s = m_engine.enter("codePageOrigin"); s != st::Ok)
        return s;
    origin = dbase::CodePageOrigin::LanguageDriver;
    return st::Ok;
}

std::vector<dbase::FieldDesc> FakeEngineCursor::fieldDescs() const
{
    m_engine.enter("fieldDescs");
    std::vector<dbase::FieldDesc> descs;
    int fieldNo = 1;
    for (const FakeField &f : m_engine.fields()) {
        dbase::FieldDesc d;
        d.name = f.name;
        d.type = f.type;
        d.typeLetter = f.type == dbase::FieldType::Memo   ? 'M'
                       : f.type == dbase::FieldType::Text ? 'C'
                                                          : 'N';
        d.width = f.width;
        d.offset = m_engine.fieldOffset(fieldNo++);
        descs.push_back(d);
    }
    return descs;
}

std::vector<dbase::IndexDesc> FakeEngineCursor::indexDescs() const
{
    m_engine.enter("indexDescs");
    std::vector<dbase::IndexDesc> descs;
    for (const FakeOrder &o : m_engine.orders()) {
        dbase::IndexDesc d;
        d.tagName = o.tag;
        d.indexFile = o.indexFile;
        d.expression = o.expression;
        d.isExpression = o.isExpression;
        d.keyFields = o.keyFields;
        d.keyType = o.isExpression ? 'N' : 'C';
        d.keySize = o.keySize;
        descs.push_back(d);
    }
    return descs;
}

Status FakeEngineCursor::openIndexFile(const std::string &)
{
    if (const Status s = m_engine.enter("openIndexFile"); s != st::Ok)
        return s;
    return st::IndexOpenAlready;
}

Status FakeEngineCursor::switchToIndex(const std::string &, const std::string &tagName,
                                       bool keepCurrent)
{
    if (const Status s = m_engine.enter("switchToIndex"); s != st::Ok)
        return s;
    if (!tagName.empty() && !m_engine.order(tagName))
        return st::TagNotFound;
    const int current = positionedRecord();
    if (keepCurrent && current == 0)
        return st::NoCurrentRecord;
    m_engine.setActiveTag(tagName);
    if (!keepCurrent) {
        m_pos2 = 0;
        return st::Ok;
    }
    const auto seq = sequence();
    const auto it = std::find(seq.begin(), seq.end(), current);
    m_pos2 = 2 * int(it - seq.begin()) + 1;
    return st::Ok;
}

Status FakeEngineCursor::indexFacts(dbase::IndexFacts &facts) const
{
    if (const Status s = m_engine.enter("indexFacts"); s != st::Ok)
        return s;
    facts = dbase::IndexFacts();
    if (const FakeOrder *o = m_engine.order(m_engine.activeTag());
        o && !m_engine.activeTag().empty()) {
        facts.keySize = o->keySize;
        facts.isExpression = o->isExpression;
        facts.keyFields = o->keyFields;
    }
    return st::Ok;
}

Status FakeEngineCursor::prepareOrders()
{
    return m_engine.enter("prepareOrders");
}

Status FakeEngineCursor::setToBegin()
{
    if (const Status s = m_engine.enter("setToBegin"); s != st::Ok)
        return s;
    m_pos2 = 0;
    return st::Ok;
}

Status FakeEngineCursor::setToEnd()
{
    if (const Status s = m_engine.enter("setToEnd"); s != st::Ok)
        return s;
    m_pos2 = 2 * int(sequence().size());
    return st::Ok;
}

void FakeEngineCursor::deliver(int place, std::string &record, dbase::RecordProps &props)
{
    const int recno = sequence()[std::size_t(place)];
    m_pos2 = 2 * place + 1;
    record = m_engine.recordBytes(recno);
    props = dbase::RecordProps();
    props.physicalNumber = std::uint32_t(recno);
    props.sequenceNumber = std::uint32_t(place + 1);
}

Status FakeEngineCursor::getNext(std::string &record, dbase::RecordProps &props)
{
    if (const Status s = m_engine.enter("getNext"); s != st::Ok)
        return s;
    const int n = int(sequence().size());
    const int next = m_pos2 % 2 == 0 ? m_pos2 / 2 : (m_pos2 - 1) / 2 + 1;
    if (next >= n) {
        m_pos2 = 2 * n;
        return st::NoNextRecord;
    }
    deliver(next, record, props);
    return st::Ok;
}

Status FakeEngineCursor::getPrior(std::string &record, dbase::RecordProps &props)
{
    if (const Status s = m_engine.enter("getPrior"); s != st::Ok)
        return s;
    const int prior = m_pos2 % 2 == 0 ? m_pos2 / 2 - 1 : (m_pos2 - 1) / 2 - 1;
    if (prior < 0) {
        m_pos2 = 0;
        return st::NoPriorRecord;
    }
    deliver(prior, record, props);
    return st::Ok;
}

Status FakeEngineCursor::getCurrent(std::string &record, dbase::RecordProps &props)
{
    if (const Status s = m_engine.enter("getCurrent"); s != st::Ok)
        return s;
    if (m_pos2 % 2 == 0 || (m_pos2 - 1) / 2 >= int(sequence().size()))
        return st::NoCurrentRecord;
    deliver((m_pos2 - 1) / 2, record, props);
    return st::Ok;
}

Status FakeEngineCursor::getBookmark(std::string &bookmark) const
{
    if (const Status s = m_engine.enter("getBookmark"); s != st::Ok)
        return s;
    const int recno = positionedRecord();
    if (recno == 0)
        return st::NoCurrentRecord;
    bookmark.assign(4, '\0');
    std::memcpy(bookmark.data(), &recno, 4);
    return st::Ok;
}

Status FakeEngineCursor::setToBookmark(const std::string &bookmark)
{
    if (const Status s = m_engine.enter("setToBookmark"); s != st::Ok)
        return s;
    if (bookmark.size() != 4)
        return st::InvalidParameter;
    int recno = 0;
    std::memcpy(&recno, bookmark.data(), 4);
    const auto seq = sequence();
    const auto it = std::find(seq.begin(), seq.end(), recno);
    if (it == seq.end())
        return st::InvalidParameter;
    m_pos2 = 2 * int(it - seq.begin()) + 1;
    return st::Ok;
}

Status FakeEngineCursor::placeInOrder(std::uint32_t &place) const
{
    if (const Status s = m_engine.enter("placeInOrder"); s != st::Ok)
        return s;
    if (m_pos2 % 2 == 0)
        return st::NoCurrentRecord;
    place = std::uint32_t((m_pos2 - 1) / 2);
    return st::Ok;
}

Status FakeEngineCursor::setToPlace(std::uint32_t place)
{
    if (const Status s = m_engine.enter("setToPlace"); s != st::Ok)
        return s;
    if (place >= sequence().size())
        return st::InvalidParameter;
    m_pos2 = 2 * int(place) + 1;
    return st::Ok;
}

Status FakeEngineCursor::countRecords(std::int32_t &count)
{
    if (const Status s = m_engine.enter("countRecords"); s != st::Ok)
        return s;
    count = std::int32_t(sequence().size());
    return st::Ok;
}

Status FakeEngineCursor::countRecordsFallback(std::int32_t &count)
{
    if (const Status s = m_engine.enter("countRecordsFallback"); s != st::Ok)
        return s;
    count = std::int32_t(sequence().size());
    return st::Ok;
}

Status FakeEngineCursor::extractField(int fieldNo, const std::string &record,
                                      dbase::FieldValue &value) const
{
    if (const Status s = m_engine.enter("extractField"); s != st::Ok)
        return s;
    const auto &fields = m_engine.fields();
    if (fieldNo < 1 || fieldNo > int(fields.size()) || int(record.size()) < m_engine.recordSize())
        return st::InvalidParameter;
    const FakeField &f = fields[std::size_t(fieldNo - 1)];
    std::string raw =
        record.substr(std::size_t(m_engine.fieldOffset(fieldNo)), std::size_t(f.width));
    raw.erase(raw.find_last_not_of(' ') + 1);
    value = dbase::FieldValue();
    value.blank = raw.find_first_not_of(' ') == std::string::npos;
    if (f.type == dbase::FieldType::SmallInt && !value.blank)
        value.integer = std::atoi(raw.c_str());
    if (f.type != dbase::FieldType::Memo)
        value.text = raw;
    return st::Ok;
}

Status FakeEngineCursor::readMemo(int fieldNo, const std::string &record, std::string &text)
{
    if (const Status s = m_engine.enter("readMemo"); s != st::Ok)
        return s;
    const auto &fields = m_engine.fields();
    if (fieldNo < 1 || fieldNo > int(fields.size()) || int(record.size()) < m_engine.recordSize())
        return st::InvalidParameter;
    const std::string raw = record.substr(std::size_t(m_engine.fieldOffset(fieldNo)),
                                          std::size_t(fields[std::size_t(fieldNo - 1)].width));
    const int memoNo = std::atoi(raw.c_str());
    text = memoNo > 0 ? m_engine.memo(memoNo) : std::string();
    return st::Ok;
}

Status FakeEngineCursor::blankRecord(std::string &record) const
{
    if (const Status s = m_engine.enter("blankRecord"); s != st::Ok)
        return s;
    record.assign(std::size_t(m_engine.recordSize()), ' ');
    return st::Ok;
}

Status FakeEngineCursor::putField(int fieldNo, std::string &record, const std::string &value) const
{
    if (const Status s = m_engine.enter("putField"); s != st::Ok)
        return s;
    m_engine.notePut(value);
    const auto &fields = m_engine.fields();
    if (fieldNo < 1 || fieldNo > int(fields.size()) || int(record.size()) < m_engine.recordSize())
        return st::InvalidParameter;
    const int width = fields[std::size_t(fieldNo - 1)].width;
    std::string v = value.substr(0, std::size_t(width));
    v.resize(std::size_t(width), ' ');
    record.replace(std::size_t(m_engine.fieldOffset(fieldNo)), std::size_t(width), v);
    return st::Ok;
}

std::string FakeEngineCursor::keyOf(const std::string &record) const
{
    std::string key;
    if (const FakeOrder *o = m_engine.order(m_engine.activeTag()))
        for (int fieldNo : o->keyFields)
            key += record.substr(std::size_t(m_engine.fieldOffset(fieldNo)),
                                 std::size_t(m_engine.fields()[std::size_t(fieldNo - 1)].width));
    return key;
}

Status FakeEngineCursor::extractKey(const std::string &record, std::string &key) const
{
    if (const Status s = m_engine.enter("extractKey"); s != st::Ok)
        return s;
    const FakeOrder *o = m_engine.order(m_engine.activeTag());
    if (!o || o->isExpression || int(record.size()) < m_engine.recordSize())
        return st::InvalidParameter;
    key = keyOf(record);
    return st::Ok;
}

Status FakeEngineCursor::setToKey(dbase::SearchCondition condition, bool directKey, int, int,
                                  const std::string &keyOrRecord)
{
    if (const Status s = m_engine.enter("setToKey"); s != st::Ok)
        return s;
    const FakeOrder *o = m_engine.order(m_engine.activeTag());
    if (!o)
        return st::NotOpen;
    const std::string key = directKey ? keyOrRecord : keyOf(keyOrRecord);
    std::size_t place = 0;
    while (place < o->keys.size() &&
           (condition == dbase::SearchCondition::Greater ? o->keys[place] <= key
                                                         : o->keys[place] < key))
        ++place;
    m_pos2 = 2 * int(place);
    return st::Ok;
}

Status FakeEngineCursor::releaseLock()
{
    return m_engine.enter("releaseLock");
}

Status FakeEngineCursor::close()
{
    if (const Status s = m_engine.enter("close"); s != st::Ok)
        return s;
    m_closed = true;
    return st::Ok;
}

} // namespace fake
