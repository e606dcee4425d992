#include "SortOrder.h"

#include "LargeBlockAllocator.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>

namespace dbase {

namespace {

// A build's temporaries, as large as the table.
template <class T> using BuildVector = std::vector<T, LargeBlockAllocator<T>>;

constexpr std::size_t WordBytes = sizeof(std::uint64_t);
constexpr std::size_t LineWords = 64 / WordBytes; // words of a cache line
constexpr std::uint32_t StopLookEvery = 1U << 16; // records between looks at the stop flag
constexpr std::size_t SmallRun = 32;              // sorted by insertion rather than by radix

// Thrown inside a build once its stop flag is set; build() answers null for it.
struct Stopped
{
};

void lookAtStop(const std::atomic<bool> *stop)
{
    if (stop && stop->load(std::memory_order_relaxed))
        throw Stopped();
}

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

// A number as an unsigned word in the order of the values: the bits of the double with
// the sign bit set for positive values and every bit flipped for negative ones (0 and
// -0 alike). Keys hold no NaN.
std::uint64_t orderedBits(double value)
{
    if (value == 0.0)
        value = 0.0;
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits >> 63) ? ~bits : bits | (std::uint64_t(1) << 63);
}

// What the sort moves: the word of the sort form it sorts by at the moment, and where
// the rest of the form is.
struct Entry
{
    static constexpr std::uint32_t Plain = 0xFFFFFFFF; // folding leaves the text key as it is
    std::uint64_t key;
    std::uint32_t index; // into the list of candidates and the text forms
    std::uint32_t slot;  // of a text key's stored bytes in TextForms::stored, or Plain
};

// Sorts n entries by key, stably, a byte a pass from the lowest; a byte that every key
// has alike costs no pass. scratch holds n entries.
void radixSort(Entry *entries, Entry *scratch, std::size_t n)
{
    if (n < SmallRun) {
        for (std::size_t i = 1; i < n; ++i) {
            const Entry e = entries[i];
            std::size_t j = i;
            for (; j > 0 && entries[j - 1].key > e.key; --j)
                entries[j] = entries[j - 1];
            entries[j] = e;
        }
        return;
    }
    std::array<std::array<std::uint32_t, 256>, WordBytes> counts{};
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint64_t key = entries[i].key;
        for (std::size_t b = 0; b < WordBytes; ++b)
            ++counts[b][(key >> (8 * b)) & 0xFF];
    }
    Entry *from = entries;
    Entry *to = scratch;
    for (std::size_t b = 0; b < WordBytes; ++b) {
        std::array<std::uint32_t, 256> &count = counts[b];
        if (count[(entries[0].key >> (8 * b)) & 0xFF] == n)
            continue;
        std::uint32_t sum = 0;
        for (std::uint32_t &c : count)
            sum += std::exchange(c, sum);
        for (std::size_t i = 0; i < n; ++i)
            to[count[(from[i].key >> (8 * b)) & 0xFF]++] = from[i];
        std::swap(from, to);
    }
    if (from != entries)
        std::memcpy(entries, from, n * sizeof(Entry));
}

struct TextForms
{
    BuildVector<std::uint64_t> storage;
    std::uint64_t *words = nullptr;    // in storage: the folded parts
    std::size_t wordCount = 0;         // a record
    BuildVector<std::uint64_t> stored; // storedWords a slot
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
                    const std::vector<std::uint32_t> &records, BuildVector<Entry> &entries,
                    const std::atomic<bool> *stop)
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
            if (i % StopLookEvery == 0)
                lookAtStop(stop);
            expression.evaluateText(source.recordData(records[i]), scratch);
            std::uint32_t slot = Entry::Plain;
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
    try {
        const std::vector<std::uint32_t> records = order->candidates(options.stop);
        if (order->m_expression->isNumeric())
            order->sortByNumber(records, options.stop);
        else
            order->sortByText(records, options.stop);
    } catch (const Stopped &) {
        return nullptr;
    }
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
std::vector<std::uint32_t> SortOrder::candidates(const std::atomic<bool> *stop) const
{
    std::vector<std::uint32_t> records;
    records.reserve(m_source.storedCount());
    for (std::uint32_t recno = 1; recno <= m_source.storedCount(); ++recno) {
        if (recno % StopLookEvery == 0)
            lookAtStop(stop);
        if (!m_unique && m_source.isDeleted(recno))
            continue;
        if (m_condition && !m_condition->isTrue(m_source.recordData(recno)))
            continue;
        records.push_back(recno);
    }
    return records;
}

// A descending order sorts the flipped words: equal keys still keep record order.
void SortOrder::sortByNumber(const std::vector<std::uint32_t> &records,
                             const std::atomic<bool> *stop)
{
    const std::uint64_t flip = m_descending ? ~std::uint64_t(0) : 0;
    BuildVector<Entry> entries(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i % StopLookEvery == 0)
            lookAtStop(stop);
        const double key = m_expression->evaluateNumber(m_source.recordData(records[i]));
        entries[i] = {orderedBits(key) ^ flip, std::uint32_t(i), Entry::Plain};
    }
    lookAtStop(stop);
    BuildVector<Entry> scratch(entries.size());
    radixSort(entries.data(), scratch.data(), entries.size());
    m_records.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (!m_unique || i == 0 || entries[i].key != entries[i - 1].key)
            m_records.push_back(records[entries[i].index]);
}

namespace {

// Sorts entries by their text forms: by radix on the first word, then each run of
// entries that agree on it by the next word, and so on; a run that agrees on the whole
// folded part by the stored bytes (a key that folding leaves as it is first: where the
// two first differ it has the base letter, the other an accented one, above 0x7F).
// Every step is stable, and the entries come in record order, so equal keys stay in
// record order. A descending sort sorts the flipped words.
class TextSort
{
public:
    TextSort(const TextForms &forms, bool descending, const std::atomic<bool> *stop)
        : m_forms(forms), m_flip(descending ? ~std::uint64_t(0) : 0), m_stop(stop)
    {
    }

    void sort(BuildVector<Entry> &entries)
    {
        for (Entry &e : entries)
            e.key ^= m_flip;
        m_scratch.resize(entries.size());
        refine(entries.data(), entries.size(), 0);
    }

    // <0, 0, >0 as two entries' sort forms compare in the order (a descending order
    // turned round), from word w on.
    int compare(const Entry &a, const Entry &b, std::size_t w) const
    {
        for (; w < m_forms.wordCount; ++w) {
            const std::uint64_t x = wordOf(a, w);
            const std::uint64_t y = wordOf(b, w);
            if (x != y)
                return x < y ? -1 : 1;
        }
        return m_flip ? -compareStored(a, b) : compareStored(a, b);
    }

private:
    std::uint64_t wordOf(const Entry &e, std::size_t w) const
    {
        return m_forms.words[std::size_t(e.index) * m_forms.wordCount + w] ^ m_flip;
    }

    // Stored slots are unique: two entries with the same slot are both plain.
    int compareStored(const Entry &a, const Entry &b) const
    {
        if (a.slot == b.slot)
            return 0;
        if (a.slot == Entry::Plain || b.slot == Entry::Plain)
            return a.slot == Entry::Plain ? -1 : 1;
        const std::uint64_t *sa = m_forms.stored.data() + std::size_t(a.slot) * m_forms.storedWords;
        const std::uint64_t *sb = m_forms.stored.data() + std::size_t(b.slot) * m_forms.storedWords;
        for (std::size_t w = 0; w < m_forms.storedWords; ++w)
            if (sa[w] != sb[w])
                return sa[w] < sb[w] ? -1 : 1;
        return 0;
    }

    // entries[0..n) agree on the words before w; where they agree on more, they are
    // in record order.
    void refine(Entry *entries, std::size_t n, std::size_t w)
    {
        if (n < 2)
            return;
        if (n >= StopLookEvery)
            lookAtStop(m_stop);
        if (n < SmallRun) {
            insertionSort(entries, n, w);
            return;
        }
        if (w == m_forms.wordCount) {
            sortByStored(entries, n);
            return;
        }
        if (w > 0)
            for (std::size_t i = 0; i < n; ++i)
                entries[i].key = wordOf(entries[i], w);
        radixSort(entries, m_scratch.data(), n);
        std::size_t first = 0;
        for (std::size_t i = 1; i <= n; ++i) {
            if (i == n || entries[i].key != entries[first].key) {
                refine(entries + first, i - first, w + 1);
                first = i;
            }
        }
    }

    void insertionSort(Entry *entries, std::size_t n, std::size_t w) const
    {
        for (std::size_t i = 1; i < n; ++i) {
            const Entry e = entries[i];
            std::size_t j = i;
            for (; j > 0 && compare(entries[j - 1], e, w) > 0; --j)
                entries[j] = entries[j - 1];
            entries[j] = e;
        }
    }

    void sortByStored(Entry *entries, std::size_t n) const
    {
        if (std::all_of(entries, entries + n,
                        [](const Entry &e) { return e.slot == Entry::Plain; }))
            return;
        std::stable_sort(entries, entries + n, [this](const Entry &a, const Entry &b) {
            return compare(a, b, m_forms.wordCount) < 0;
        });
    }

    const TextForms &m_forms;
    std::uint64_t m_flip;
    const std::atomic<bool> *m_stop;
    BuildVector<Entry> m_scratch;
};

} // namespace

void SortOrder::sortByText(const std::vector<std::uint32_t> &records, const std::atomic<bool> *stop)
{
    BuildVector<Entry> entries;
    const TextForms forms = textForms(*m_expression, m_source, records, entries, stop);
    TextSort sort(forms, m_descending, stop);
    sort.sort(entries);
    m_records.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (!m_unique || i == 0 || sort.compare(entries[i], entries[i - 1], 0) != 0)
            m_records.push_back(records[entries[i].index]);
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
