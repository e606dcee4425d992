#include "SortOrder.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace dbase {

namespace {

constexpr std::size_t WordBytes = sizeof(std::uint64_t);
constexpr std::size_t LineWords = 64 / WordBytes; // words of a cache line

// Eight bytes as a big-endian number: comparing such words in turn compares the bytes
// as unsigned, without a call to memcmp per comparison.
std::uint64_t bigEndianWord(const unsigned char *bytes)
{
    std::uint64_t word = 0;
    std::memcpy(&word, bytes, WordBytes);
    if constexpr (std::endian::native == std::endian::little)
        word = __builtin_bswap64(word);
    return word;
}

bool isAscii(const std::string &text)
{
    unsigned char any = 0;
    for (const char c : text)
        any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

struct NumberEntry
{
    double key;
    std::uint32_t recno;
};

struct TextEntry
{
    static constexpr std::uint32_t Plain = 0xFFFFFFFF; // folding leaves the key as it is
    std::uint64_t prefix;                              // the sort form's first word
    std::uint32_t index; // into the sort forms and the list of candidates
    std::uint32_t slot;  // of the key's stored bytes in TextForms::stored, or Plain
};

struct TextForms
{
    std::vector<std::uint64_t> storage;
    std::uint64_t *words = nullptr;    // in storage: the folded parts
    std::size_t wordCount = 0;         // a record
    std::vector<std::uint64_t> stored; // storedWords a slot
    std::size_t storedWords = 0;
};

// The candidates' keys for the sort: the folded part of each sort form as words,
// wordCount a record, the first at a cache line's start, and the entries that the
// sort moves. The folded part takes whole words: first as few as the key size needs
// (their spare bytes leave room for a ß or two); when a key's folded text is longer,
// the forms are written again with room for the longest. The stored part of the sort
// form is kept (as words too) only for the keys that folding changes (in byte order:
// none).
TextForms textForms(const KeyExpression &expression, const RecordSource &source,
                    const std::vector<std::uint32_t> &records, std::vector<TextEntry> &entries)
{
    const std::size_t keySize = std::size_t(expression.keySize());
    const Collation &collation = expression.collation();
    std::size_t foldedWidth = keySize;
    TextForms forms;
    forms.storedWords = (keySize + WordBytes - 1) / WordBytes;
    while (true) {
        foldedWidth = (foldedWidth + WordBytes - 1) / WordBytes * WordBytes;
        forms.wordCount = foldedWidth / WordBytes;
        std::vector<unsigned char> form(collation.sortKeySize(keySize, foldedWidth) + WordBytes);
        forms.storage.assign(records.size() * forms.wordCount + LineWords, 0);
        const auto address = reinterpret_cast<std::uintptr_t>(forms.storage.data());
        forms.words =
            forms.storage.data() + (LineWords - address / WordBytes % LineWords) % LineWords;
        forms.stored.clear();
        entries.resize(records.size());
        std::string scratch;
        std::size_t widest = 0;
        for (std::size_t i = 0; i < records.size(); ++i) {
            expression.evaluateText(source.recordData(records[i]), scratch);
            std::uint32_t slot = TextEntry::Plain;
            if (!collation.foldsLetters() || isAscii(scratch)) {
                // Folding leaves ASCII as it is: the folded part is the text itself.
                std::memcpy(form.data(), scratch.data(), keySize);
                std::memset(form.data() + keySize, ' ', foldedWidth - keySize);
            } else {
                const std::size_t folded =
                    collation.sortKey(scratch, keySize, foldedWidth, form.data());
                widest = std::max(widest, folded);
                const unsigned char *stored = form.data() + foldedWidth;
                if (folded != keySize || std::memcmp(form.data(), stored, keySize) != 0) {
                    slot = std::uint32_t(forms.stored.size() / forms.storedWords);
                    for (std::size_t w = 0; w < forms.storedWords; ++w)
                        forms.stored.push_back(bigEndianWord(stored + w * WordBytes));
                }
            }
            std::uint64_t *words = forms.words + i * forms.wordCount;
            for (std::size_t w = 0; w < forms.wordCount; ++w)
                words[w] = bigEndianWord(form.data() + w * WordBytes);
            entries[i] = {words[0], std::uint32_t(i), slot};
        }
        if (widest <= foldedWidth || !collation.foldsLetters())
            return forms;
        foldedWidth = widest;
    }
}

} // namespace

SortOrder::SortOrder(const RecordSource &source, std::shared_ptr<const KeyExpression> expression,
                     const Options &options)
    : m_source(source), m_expression(std::move(expression)), m_condition(options.condition),
      m_descending(options.descending != m_expression->isDescending()), m_unique(options.unique)
{
}

std::shared_ptr<const SortOrder> SortOrder::build(const RecordSource &source,
                                                  std::shared_ptr<const KeyExpression> expression,
                                                  const Options &options)
{
    std::shared_ptr<SortOrder> order(new SortOrder(source, std::move(expression), options));
    const std::vector<std::uint32_t> records = order->candidates();
    if (order->m_expression->isNumeric())
        order->sortByNumber(records);
    else
        order->sortByText(records);
    if (order->m_unique)
        order->dropDeleted();
    return order;
}

std::shared_ptr<const SortOrder> SortOrder::build(const RecordSource &source,
                                                  std::shared_ptr<const KeyExpression> expression)
{
    return build(source, std::move(expression), Options());
}

// The records that may enter the order. Without a unique key, deleted records are left
// out at once; with one they take part in choosing each key's record.
std::vector<std::uint32_t> SortOrder::candidates() const
{
    std::vector<std::uint32_t> records;
    records.reserve(m_source.storedCount());
    for (std::uint32_t recno = 1; recno <= m_source.storedCount(); ++recno) {
        if (!m_unique && m_source.isDeleted(recno))
            continue;
        if (m_condition && !m_condition->isTrue(m_source.recordData(recno)))
            continue;
        records.push_back(recno);
    }
    return records;
}

void SortOrder::sortByNumber(const std::vector<std::uint32_t> &records)
{
    std::vector<NumberEntry> entries;
    entries.reserve(records.size());
    for (std::uint32_t recno : records)
        entries.push_back({m_expression->evaluateNumber(m_source.recordData(recno)), recno});
    const bool descending = m_descending;
    std::sort(entries.begin(), entries.end(),
              [descending](const NumberEntry &a, const NumberEntry &b) {
                  if (a.key != b.key)
                      return descending ? a.key > b.key : a.key < b.key;
                  return a.recno < b.recno;
              });
    m_records.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (!m_unique || i == 0 || entries[i].key != entries[i - 1].key)
            m_records.push_back(entries[i].recno);
}

namespace {

// The order of the sort forms, without the words of the stored part that the folded
// part makes redundant: of two keys that tie on the folded part, one that folding
// leaves as it is has bytes below the other's (where they first differ it has the
// base letter, the other an accented one, above 0x7F), and two such keys have the
// same bytes. Equal keys, which are common, so cost no more than in byte order.
template <bool AnyStored> class FormOrder
{
public:
    explicit FormOrder(const TextForms &forms)
        : m_words(forms.words), m_wordCount(forms.wordCount), m_stored(forms.stored.data()),
          m_storedWords(forms.storedWords)
    {
    }
    // <0, 0, >0 as the sort forms compare. Stored slots are unique: two entries with
    // the same slot are both plain.
    int operator()(const TextEntry &a, const TextEntry &b) const
    {
        std::uint64_t x = a.prefix;
        std::uint64_t y = b.prefix;
        const std::uint64_t *wa = m_words + std::size_t(a.index) * m_wordCount;
        const std::uint64_t *wb = m_words + std::size_t(b.index) * m_wordCount;
        for (std::size_t w = 1; x == y && w < m_wordCount; ++w) {
            x = wa[w];
            y = wb[w];
        }
        if (x != y)
            return x < y ? -1 : 1;
        if (!AnyStored || a.slot == b.slot)
            return 0;
        if (a.slot == TextEntry::Plain || b.slot == TextEntry::Plain)
            return a.slot == TextEntry::Plain ? -1 : 1;
        const std::uint64_t *sa = m_stored + std::size_t(a.slot) * m_storedWords;
        const std::uint64_t *sb = m_stored + std::size_t(b.slot) * m_storedWords;
        for (std::size_t w = 0; w < m_storedWords; ++w)
            if (sa[w] != sb[w])
                return sa[w] < sb[w] ? -1 : 1;
        return 0;
    }

private:
    const std::uint64_t *m_words;
    std::size_t m_wordCount;
    const std::uint64_t *m_stored;
    std::size_t m_storedWords;
};

// Sorts the entries (equal keys by record number) and answers the candidates' record
// numbers in that order, of a unique key only the first.
template <bool AnyStored>
void sortEntries(std::vector<TextEntry> &entries, const FormOrder<AnyStored> &order,
                 bool descending, bool unique, const std::vector<std::uint32_t> &records,
                 std::vector<std::uint32_t> &sorted)
{
    std::sort(entries.begin(), entries.end(), [&](const TextEntry &a, const TextEntry &b) {
        if (const int c = order(a, b))
            return (c < 0) != descending;
        return a.index < b.index;
    });
    sorted.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (!unique || i == 0 || order(entries[i], entries[i - 1]) != 0)
            sorted.push_back(records[entries[i].index]);
}

} // namespace

void SortOrder::sortByText(const std::vector<std::uint32_t> &records)
{
    std::vector<TextEntry> entries;
    const TextForms forms = textForms(*m_expression, m_source, records, entries);
    if (forms.stored.empty())
        sortEntries(entries, FormOrder<false>(forms), m_descending, m_unique, records, m_records);
    else
        sortEntries(entries, FormOrder<true>(forms), m_descending, m_unique, records, m_records);
}

void SortOrder::dropDeleted()
{
    m_records.erase(std::remove_if(m_records.begin(), m_records.end(),
                                   [this](std::uint32_t r) { return m_source.isDeleted(r); }),
                    m_records.end());
    m_records.shrink_to_fit();
}

Key SortOrder::keyAt(std::size_t place) const
{
    return m_expression->evaluate(m_source.recordData(m_records[place]));
}

int SortOrder::compareInOrder(const Key &a, const Key &b) const
{
    const int c = m_expression->compare(a, b);
    return m_descending ? -c : c;
}

std::optional<std::size_t> SortOrder::placeOf(std::uint32_t recno) const
{
    if (recno < 1 || recno > m_source.storedCount() || m_source.isDeleted(recno))
        return std::nullopt;
    const Key key = m_expression->evaluate(m_source.recordData(recno));
    // The order is strict on (key, record number): find the first place not before it.
    // A record that the FOR condition or the unique key left out is not found there.
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
