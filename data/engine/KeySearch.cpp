#include "KeySearch.h"

#include "CodePage.h"

namespace dbase {

std::string KeySearch::lowerAsciiLetters(std::string typed)
{
    for (char &c : typed)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return typed;
}

Status KeySearch::putValue(const EngineCursor &cursor, int fieldNo, const FieldDesc &field,
                           std::string_view typed, const CodePage &page, Typed how,
                           std::string &lookup)
{
    std::string value =
        how == Typed::Utf8 ? page.fromUtf8(typed) : page.fromAnsi(CodePage::utf8ToAnsi(typed));
    if (field.type == FieldType::Text)
        value.resize(page.fittingLength(value, static_cast<std::size_t>(field.width)));
    return cursor.putField(fieldNo, lookup, value);
}

Status KeySearch::setToLookup(EngineCursor &cursor, SearchCondition condition, int fieldCount,
                              const std::string &lookup)
{
    std::string key;
    if (cursor.extractKey(lookup, key) == status::Ok)
        return cursor.setToKey(condition, true, fieldCount, 0, key);
    return cursor.setToKey(condition, false, fieldCount, 0, lookup);
}

Status KeySearch::recordAtPosition(EngineCursor &cursor, std::string &record, RecordProps &props)
{
    Status s = cursor.getCurrent(record, props);
    if (s != status::Ok)
        s = cursor.getNext(record, props);
    if (s != status::Ok)
        s = cursor.getPrior(record, props);
    return s;
}

Status KeySearch::nearest(EngineCursor &cursor, std::string_view typed, const CodePage &page,
                          Typed how, std::string &record, RecordProps &props)
{
    IndexFacts facts;
    if (const Status s = cursor.indexFacts(facts); s != status::Ok)
        return s;
    const std::vector<FieldDesc> fields = cursor.fieldDescs();
    if (facts.keyFields.empty() || facts.keyFields.front() < 1 ||
        std::size_t(facts.keyFields.front()) > fields.size())
        return status::InvalidParameter;
    const int fieldNo = facts.keyFields.front();
    std::string lookup;
    if (const Status s = cursor.blankRecord(lookup); s != status::Ok)
        return s;
    if (const Status s =
            putValue(cursor, fieldNo, fields[std::size_t(fieldNo) - 1], typed, page, how, lookup);
        s != status::Ok)
        return s;
    if (const Status s = setToLookup(cursor, SearchCondition::GreaterOrEqual, 0, lookup);
        s != status::Ok)
        return s;
    return recordAtPosition(cursor, record, props);
}

} // namespace dbase
