#include "FakeEngine.h"

#include "FakeEngineCursor.h"

#include <QString>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <stdexcept>

namespace fake {

using dbase::Status;
namespace st = dbase::status;

namespace {

std::string upper(std::string s)
{
    for (char &c : s)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return s;
}

std::string padded(const std::string &s, int width)
{
    std::string out = s.substr(0, std::size_t(width));
    out.resize(std::size_t(width), ' ');
    return out;
}

} // namespace

FakeEngine::FakeEngine() = default;
FakeEngine::~FakeEngine() = default;

void FakeEngine::setFields(std::vector<FakeField> fields)
{
    m_fields = std::move(fields);
}

int FakeEngine::addRecord(const std::vector<std::string> &values)
{
    if (values.size() != m_fields.size())
        throw std::invalid_argument("FakeEngine::addRecord: one value per field");
    std::vector<int> refs(m_fields.size(), 0);
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].type == dbase::FieldType::Memo && !values[i].empty()) {
            m_memos.push_back(values[i]);
            refs[i] = int(m_memos.size());
        }
    }
    m_rows.push_back(values);
    m_memoRefs.push_back(refs);
    return int(m_rows.size());
}

void FakeEngine::addFieldOrder(const std::string &tag, const std::string &fieldName)
{
    int fieldNo = 0;
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        if (upper(m_fields[i].name) == upper(fieldName))
            fieldNo = int(i) + 1;
    if (fieldNo == 0)
        throw std::invalid_argument("FakeEngine::addFieldOrder: no field " + fieldName);
    const int width = m_fields[std::size_t(fieldNo - 1)].width;
    FakeOrder order;
    order.tag = tag;
    order.expression = m_fields[std::size_t(fieldNo - 1)].name;
    order.keyFields = {fieldNo};
    order.keySize = width;
    std::vector<std::pair<std::string, int>> entries;
    for (std::size_t r = 0; r < m_rows.size(); ++r)
        entries.emplace_back(padded(m_rows[r][std::size_t(fieldNo - 1)], width), int(r) + 1);
    std::stable_sort(entries.begin(), entries.end());
    for (const auto &[key, recno] : entries) {
        order.keys.push_back(key);
        order.records.push_back(recno);
    }
    addOrder(std::move(order));
}

void FakeEngine::addExpressionOrder(
    const std::string &tag, const std::string &expression, int keySize,
    const std::function<std::string(const std::vector<std::string> &)> &key)
{
    FakeOrder order;
    order.tag = tag;
    order.expression = expression;
    order.isExpression = true;
    order.keySize = keySize;
    std::vector<std::pair<std::string, int>> entries;
    for (std::size_t r = 0; r < m_rows.size(); ++r)
        entries.emplace_back(key(m_rows[r]), int(r) + 1);
    std::stable_sort(entries.begin(), entries.end());
    for (const auto &[k, recno] : entries) {
        order.keys.push_back(k);
        order.records.push_back(recno);
    }
    addOrder(std::move(order));
}

void FakeEngine::addOrder(FakeOrder order)
{
    if (order.keys.size() != order.records.size())
        throw std::invalid_argument("FakeEngine::addOrder: one key per record");
    m_orders.push_back(std::move(order));
}

const FakeOrder *FakeEngine::order(const std::string &tag) const
{
    for (const FakeOrder &o : m_orders)
        if (upper(o.tag) == upper(tag))
            return &o;
    return nullptr;
}

std::vector<int> FakeEngine::activeSequence() const
{
    if (const FakeOrder *o = order(m_activeTag); o && !m_activeTag.empty())
        return o->records;
    std::vector<int> natural(m_rows.size());
    std::iota(natural.begin(), natural.end(), 1);
    return natural;
}

void FakeEngine::failCall(const std::string &op, Status status, int atCall, bool sticky)
{
    m_failures.push_back({op, status, m_lifetimeCalls[op] + atCall, sticky});
}

void FakeEngine::failCounts()
{
    failCall("countRecords", st::InvalidParameter, 1, true);
    failCall("countRecordsFallback", st::InvalidParameter, 1, true);
}

int FakeEngine::calls(const std::string &op) const
{
    auto it = m_calls.find(op);
    return it == m_calls.end() ? 0 : it->second;
}

int FakeEngine::totalCalls() const
{
    int total = 0;
    for (const auto &[op, n] : m_calls)
        total += n;
    return total;
}

Status FakeEngine::enter(const std::string &op) const
{
    ++m_calls[op];
    const int n = ++m_lifetimeCalls[op];
    m_log.push_back(op);
    for (const Failure &f : m_failures)
        if (f.op == op && (n == f.atCall || (f.sticky && n > f.atCall)))
            return f.status;
    return st::Ok;
}

Status FakeEngine::start()
{
    const Status s = enter("start");
    if (s != st::Ok)
        return s;
    const bool was = m_started;
    m_started = true;
    return was ? st::AlreadyStarted : st::Ok;
}

void FakeEngine::stop()
{
    enter("stop");
    m_started = false;
}

bool FakeEngine::isStarted() const
{
    return m_started;
}

std::string FakeEngine::driverFor(const std::string &, const std::string &) const
{
    enter("driverFor");
    return m_driver;
}

Status FakeEngine::openTable(const std::string &, const std::string &, const std::string &,
                             std::unique_ptr<dbase::EngineCursor> &cursor)
{
    if (const Status s = enter("openTable"); s != st::Ok)
        return s;
    m_activeTag.clear();
    cursor = std::make_unique<FakeEngineCursor>(*this);
    return st::Ok;
}

std::string FakeEngine::errorText(Status code) const
{
    enter("errorText");
    auto it = m_errorTexts.find(code);
    return it == m_errorTexts.end() ? std::string() : it->second;
}

Status FakeEngine::errorEntry(int n, int &nativeCode, std::string &text) const
{
    enter("errorEntry");
    if (n < 1 || n > int(m_errorEntries.size()))
        return st::NoEntry;
    const FakeErrorEntry &e = m_errorEntries[std::size_t(n - 1)];
    nativeCode = e.nativeCode;
    text = e.text;
    return e.code;
}

int FakeEngine::recordSize() const
{
    int size = 1;
    for (const FakeField &f : m_fields)
        size += f.width;
    return size;
}

int FakeEngine::fieldOffset(int fieldNo) const
{
    int offset = 1;
    for (int i = 0; i < fieldNo - 1; ++i)
        offset += m_fields[std::size_t(i)].width;
    return offset;
}

std::string FakeEngine::recordBytes(int recordNumber) const
{
    const auto &values = m_rows.at(std::size_t(recordNumber - 1));
    const auto &refs = m_memoRefs.at(std::size_t(recordNumber - 1));
    std::string bytes(" ");
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        const FakeField &f = m_fields[i];
        if (f.type == dbase::FieldType::Memo) {
            bytes += refs[i] ? padded(std::to_string(refs[i]), f.width)
                             : std::string(std::size_t(f.width), ' ');
        } else if (f.type == dbase::FieldType::SmallInt) {
            std::string v = values[i].substr(0, std::size_t(f.width));
            bytes += std::string(std::size_t(f.width) - v.size(), ' ') + v;
        } else {
            bytes += padded(values[i], f.width);
        }
    }
    return bytes;
}

std::string cp1252(const char *utf8)
{
    const QByteArray bytes = QString::fromUtf8(utf8).toLatin1();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

} // namespace fake
