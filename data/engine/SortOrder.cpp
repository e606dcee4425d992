#include "SortOrder.h"

#include <algorithm>
#include <cstring>

namespace dbase {

namespace {

// A text key as big-endian 64-bit words: comparing the words in turn as numbers
// compares the bytes as unsigned, without a call to memcmp per comparison.
void toWords(const std::string &key, std::uint64_t *words, std::size_t wordCount)
{
    for (std::size_t w = 0; w < wordCount; ++w) {
        std::uint64_t word = 0;
        for (std::size_t i = w * 8; i < w * 8 + 8; ++i)
            word = (word << 8) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
        words[w] = word;
    }
}

struct NumberEntry
{
    double key;
    std::uint32_t recno;
};

struct TextEntry
{
    std::uint64_t prefix; // the key's first word
    std::uint32_t index;  // into the key words and the list of live records
};

std::vector<std::uint32_t> liveRecords(const RecordSource &source)
{
    std::vector<std::uint32_t> live;
    live.reserve(source.storedCount());
    for (std::uint32_t recno = 1; recno <= source.storedCount(); ++recno)
        if (!source.isDeleted(recno))
            live.push_back(recno);
    return live;
}

} // namespace

SortOrder::SortOrder(const RecordSource &source, std::shared_ptr<const KeyExpression> expression,
                     bool descending)
    : m_source(source), m_expression(std::move(expression)), m_descending(descending)
{
}

std::shared_ptr<const SortOrder> SortOrder::build(const RecordSource &source,
                                                  std::shared_ptr<const KeyExpression> expression,
                                                  bool descending)
{
    std::shared_ptr<SortOrder> order(new SortOrder(source, std::move(expression), descending));
    if (order->m_expression->isNumeric())
        order->sortByNumber();
    else
        order->sortByText();
    return order;
}

void SortOrder::sortByNumber()
{
    const std::vector<std::uint32_t> live = liveRecords(m_source);
    std::vector<NumberEntry> entries;
    entries.reserve(live.size());
    for (std::uint32_t recno : live)
        entries.push_back({m_expression->evaluateNumber(m_source.recordData(recno)), recno});
    const bool descending = m_descending;
    std::sort(entries.begin(), entries.end(),
              [descending](const NumberEntry &a, const NumberEntry &b) {
                  if (a.key != b.key)
                      return descending ? a.key > b.key : a.key < b.key;
                  return a.recno < b.recno;
              });
    m_records.reserve(entries.size());
    for (const NumberEntry &e : entries)
        m_records.push_back(e.recno);
}

void SortOrder::sortByText()
{
    const std::vector<std::uint32_t> live = liveRecords(m_source);
    const std::size_t wordCount = (std::size_t(m_expression->keySize()) + 7) / 8;
    std::vector<std::uint64_t> words(live.size() * wordCount);
    std::vector<TextEntry> entries(live.size());
    std::string scratch;
    for (std::size_t i = 0; i < live.size(); ++i) {
        m_expression->evaluateText(m_source.recordData(live[i]), scratch);
        toWords(scratch, words.data() + i * wordCount, wordCount);
        entries[i] = {words[i * wordCount], std::uint32_t(i)};
    }
    const std::uint64_t *base = words.data();
    const bool descending = m_descending;
    std::sort(entries.begin(), entries.end(), [=](const TextEntry &a, const TextEntry &b) {
        std::uint64_t x = a.prefix;
        std::uint64_t y = b.prefix;
        for (std::size_t w = 1; x == y && w < wordCount; ++w) {
            x = base[std::size_t(a.index) * wordCount + w];
            y = base[std::size_t(b.index) * wordCount + w];
        }
        if (x != y)
            return descending ? x > y : x < y;
        return a.index < b.index;
    });
    m_records.reserve(entries.size());
    for (const TextEntry &e : entries)
        m_records.push_back(live[e.index]);
}

Key SortOrder::keyAt(std::size_t place) const
{
    return m_expression->evaluate(m_source.recordData(m_records[place]));
}

int SortOrder::compareInOrder(const Key &a, const Key &b) const
{
    const int c = KeyExpression::compare(a, b);
    return m_descending ? -c : c;
}

std::optional<std::size_t> SortOrder::placeOf(std::uint32_t recno) const
{
    if (recno < 1 || recno > m_source.storedCount() || m_source.isDeleted(recno))
        return std::nullopt;
    const Key key = m_expression->evaluate(m_source.recordData(recno));
    // The order is strict on (key, record number): find the first place not before it.
    std::size_t low = 0;
    std::size_t high = m_records.size();
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        const int c = compareInOrder(keyAt(mid), key);
        if (c < 0 || (c == 0 && m_records[mid] < recno))
            low = mid + 1;
        else
            high = mid;
    }
    if (low < m_records.size() && m_records[low] == recno)
        return low;
    return std::nullopt;
}

std::size_t SortOrder::seek(const std::string &key, bool strictlyGreater) const
{
    const Key target = m_expression->decode(key);
    std::size_t low = 0;
    std::size_t high = m_records.size();
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        const int c = compareInOrder(keyAt(mid), target);
        if (c < 0 || (c == 0 && strictlyGreater))
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

} // namespace dbase
