#include "MdxWriter.h"

#include "KeyExpression.h"
#include "OutputFile.h"

#include <algorithm>
#include <ctime>
#include <numeric>

namespace {

using dbase::Key;
using dbase::KeyExpression;

constexpr std::size_t PageBytes = 512;
constexpr std::size_t BlockPages = 2;
constexpr std::size_t BlockBytes = BlockPages * PageBytes;
constexpr std::size_t SlotOffset = 544;
constexpr std::size_t SlotBytes = 32;
constexpr std::size_t MaxTags = 47;
constexpr std::size_t FirstFreePage = 4; // pages 0-3: file header and tag slots

// One tag, its key expression and its keys in index order (deleted records
// included: a dBASE index holds every stored record that meets its FOR condition).
struct TagContent
{
    std::string name;
    std::shared_ptr<const KeyExpression> expression;
    std::shared_ptr<const KeyExpression> condition; // null: none
    bool unique = false;
    bool descending = false;
    std::vector<std::uint32_t> recnos;
    std::vector<std::string> keys; // encoded, keyLength bytes each
    std::uint32_t headerPage = 0;
    std::uint32_t rootPage = 0;
    std::uint32_t firstLeaf = 0;
    std::uint32_t lastLeaf = 0;
};

struct Entry
{
    std::uint32_t pointer; // record number in a leaf, child page in an interior node
    std::string key;
};

void put16(std::string &file, std::size_t at, unsigned value)
{
    file[at] = char(value & 0xff);
    file[at + 1] = char((value >> 8) & 0xff);
}

void put32(std::string &file, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        file[at + std::size_t(i)] = char((value >> (8 * i)) & 0xff);
}

std::size_t groupLength(const TagContent &tag)
{
    return (std::size_t(tag.expression->keySize()) + 4 + 3) / 4 * 4;
}

std::size_t maxKeysPerBlock(const TagContent &tag)
{
    return (BlockBytes - 12) / groupLength(tag);
}

std::uint32_t appendBlock(std::string &file)
{
    const auto page = std::uint32_t(file.size() / PageBytes);
    file.append(BlockBytes, '\0');
    return page;
}

// Sorts the stored records that meet the FOR condition by key, equal keys in
// record-number order; a unique tag keeps the first record of each key.
void sortKeys(TagContent &tag, const dbase::RecordSource &source)
{
    std::vector<std::uint32_t> recnos;
    std::vector<Key> keys;
    for (std::uint32_t recno = 1; recno <= source.storedCount(); ++recno) {
        const char *record = source.recordData(recno);
        if (tag.condition && !tag.condition->isTrue(record))
            continue;
        recnos.push_back(recno);
        keys.push_back(tag.expression->evaluate(record));
    }
    std::vector<std::uint32_t> order(keys.size());
    std::iota(order.begin(), order.end(), 0u);
    const KeyExpression &expression = *tag.expression;
    const bool descending = tag.descending;
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int c = expression.compare(keys[a], keys[b]);
        return descending ? c > 0 : c < 0;
    });
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (tag.unique && i > 0 && expression.compare(keys[order[i]], keys[order[i - 1]]) == 0)
            continue;
        tag.recnos.push_back(recnos[order[i]]);
        tag.keys.push_back(expression.encode(keys[order[i]]));
    }
}

std::uint32_t writeNode(std::string &file, const TagContent &tag, const std::vector<Entry> &entries,
                        std::size_t first, std::size_t count, std::uint32_t tail)
{
    const std::uint32_t page = appendBlock(file);
    const std::size_t base = std::size_t(page) * PageBytes;
    const std::size_t group = groupLength(tag);
    put32(file, base, std::uint32_t(count));
    for (std::size_t k = 0; k < count; ++k) {
        const Entry &e = entries[first + k];
        put32(file, base + 8 + k * group, e.pointer);
        file.replace(base + 8 + k * group + 4, e.key.size(), e.key);
    }
    put32(file, base + 8 + count * group, tail); // 0 marks a leaf
    return page;
}

// Writes one level of the tree: entries spread evenly over as few nodes as hold
// them. Leaves hold up to maxKeys entries; an interior node holds up to maxKeys + 1
// children, the last as its tail pointer. Answers the entries of the level above:
// each node's page with the largest key beneath it.
std::vector<Entry> writeLevel(std::string &file, TagContent &tag, const std::vector<Entry> &entries,
                              bool leaves)
{
    const std::size_t perNode = maxKeysPerBlock(tag) + (leaves ? 0 : 1);
    const std::size_t nodes = std::max<std::size_t>(1, (entries.size() + perNode - 1) / perNode);
    std::vector<Entry> above;
    std::size_t first = 0;
    for (std::size_t n = 0; n < nodes; ++n) {
        const std::size_t count = entries.size() / nodes + (n < entries.size() % nodes ? 1 : 0);
        std::uint32_t page = 0;
        if (leaves)
            page = writeNode(file, tag, entries, first, count, 0);
        else
            page =
                writeNode(file, tag, entries, first, count - 1, entries[first + count - 1].pointer);
        if (leaves && n == 0)
            tag.firstLeaf = page;
        if (leaves)
            tag.lastLeaf = page;
        const std::string &largest = count ? entries[first + count - 1].key : std::string();
        above.push_back({page, largest});
        first += count;
    }
    return above;
}

void writeTree(std::string &file, TagContent &tag)
{
    std::vector<Entry> level;
    level.reserve(tag.keys.size());
    for (std::size_t i = 0; i < tag.keys.size(); ++i)
        level.push_back({tag.recnos[i], tag.keys[i]});
    level = writeLevel(file, tag, level, true);
    while (level.size() > 1)
        level = writeLevel(file, tag, level, false);
    tag.rootPage = level.front().pointer;
}

void writeTagHeader(std::string &file, const TagContent &tag)
{
    const std::size_t base = std::size_t(tag.headerPage) * PageBytes;
    const bool numeric = tag.expression->isNumeric();
    put32(file, base, tag.rootPage);
    put32(file, base + 4, std::uint32_t(file.size() / PageBytes) - tag.headerPage);
    file[base + 8] = char(0x10 | (tag.descending ? 0x08 : 0) | (tag.unique ? 0x40 : 0));
    file[base + 9] = numeric ? 'N' : 'C';
    put16(file, base + 12, unsigned(tag.expression->keySize()));
    put16(file, base + 14, unsigned(maxKeysPerBlock(tag)));
    put16(file, base + 18, unsigned(groupLength(tag)));
    if (tag.unique)
        put16(file, base + 22, 0x4000);
    file.replace(base + 24, tag.expression->text().size(), tag.expression->text());
    if (tag.condition) {
        file[base + 245] = 1;
        file.replace(base + 762, tag.condition->text().size(), tag.condition->text());
    }
    file[base + 246] = tag.keys.empty() ? 0 : 1;
    put32(file, base + 248, tag.firstLeaf);
    put32(file, base + 252, tag.lastLeaf);
}

// The tag slots also form a binary search tree over the names (bytes 16-18: the
// 1-based slots of the smaller and the greater child and of the parent), built by
// inserting the tags in slot order.
void linkNameTree(std::string &file, const std::vector<TagContent> &tags)
{
    for (std::size_t i = 1; i < tags.size(); ++i) {
        std::size_t node = 0;
        while (true) {
            const std::size_t link =
                SlotOffset + node * SlotBytes + (tags[i].name < tags[node].name ? 16 : 17);
            const auto child = static_cast<unsigned char>(file[link]);
            if (child == 0) {
                file[link] = char(i + 1);
                file[SlotOffset + i * SlotBytes + 18] = char(node + 1);
                break;
            }
            node = child - 1u;
        }
    }
}

void writeSlots(std::string &file, const std::vector<TagContent> &tags)
{
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const std::size_t base = SlotOffset + i * SlotBytes;
        put32(file, base, tags[i].headerPage);
        file.replace(base + 4, tags[i].name.size(), tags[i].name);
        file[base + 15] = char(0x10);
        file[base + 19] = char(0x02);
        file[base + 20] = tags[i].expression->isNumeric() ? 'N' : 'C';
    }
    linkNameTree(file, tags);
}

void writeFileHeader(std::string &file, const std::string &tableBaseName, std::size_t tagCount)
{
    const std::time_t now = std::time(nullptr);
    std::tm date{};
    gmtime_r(&now, &date);
    const char ymd[3] = {char(date.tm_year), char(date.tm_mon + 1), char(date.tm_mday)};
    file[0] = 2;
    file.replace(1, 3, ymd, 3);
    file.replace(4, std::min<std::size_t>(tableBaseName.size(), 12), tableBaseName.substr(0, 12));
    put16(file, 20, BlockPages);
    put16(file, 22, BlockBytes);
    file[24] = 1;  // production index
    file[25] = 48; // tag slots
    file[26] = SlotBytes;
    put16(file, 28, unsigned(tagCount));
    put32(file, 32, std::uint32_t(file.size() / PageBytes));
    file.replace(44, 3, ymd, 3);
}

bool validName(const std::string &name)
{
    if (name.empty() || name.size() > 10)
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) { return c > ' ' && c < 0x7f; });
}

bool prepareTags(const dbase::RecordSource &source, const dbase::Collation &collation,
                 const std::vector<MdxTagSpec> &wantedTags, std::vector<TagContent> &tags,
                 std::string &error)
{
    if (wantedTags.size() > MaxTags) {
        error =
            "Ein Index enthält höchstens 47 Tags, nicht " + std::to_string(wantedTags.size()) + ".";
        return false;
    }
    for (const MdxTagSpec &wanted : wantedTags) {
        if (!validName(wanted.name)) {
            error = "Der Tag-Name '" + wanted.name + "' hat nicht 1 bis 10 druckbare Zeichen.";
            return false;
        }
        TagContent tag;
        tag.name = wanted.name;
        tag.unique = wanted.unique;
        tag.descending = wanted.descending;
        const char *part = "";
        try {
            tag.expression = KeyExpression::parse(wanted.expression, source.fields(), collation,
                                                  source.codePage());
            part = "FOR-Bedingung: ";
            if (!wanted.forExpression.empty())
                tag.condition = KeyExpression::parseCondition(wanted.forExpression, source.fields(),
                                                              collation, source.codePage());
        } catch (const dbase::KeyExpressionError &e) {
            error = "Tag " + wanted.name + ": " + part + e.what();
            return false;
        }
        // What dBASE stores for a DESCEND() key is not known here; the tag's flag
        // gives a descending order instead.
        if (tag.expression->isDescending()) {
            error = "Tag " + wanted.name + ": Schlüssel mit DESCEND() schreibt dieser Index nicht.";
            return false;
        }
        sortKeys(tag, source);
        tags.push_back(std::move(tag));
    }
    return true;
}

} // namespace

bool buildMdx(const std::string &tableBaseName, const dbase::RecordSource &source,
              const dbase::Collation &collation, const std::vector<MdxTagSpec> &wantedTags,
              std::string &bytes, std::string &error)
{
    std::vector<TagContent> tags;
    if (!prepareTags(source, collation, wantedTags, tags, error))
        return false;
    std::string file(FirstFreePage * PageBytes, '\0');
    for (TagContent &tag : tags) {
        tag.headerPage = appendBlock(file);
        writeTree(file, tag);
        writeTagHeader(file, tag);
    }
    writeSlots(file, tags);
    writeFileHeader(file, tableBaseName, tags.size());
    bytes = std::move(file);
    return true;
}

bool writeMdx(const std::string &path, const std::string &tableBaseName,
              const dbase::RecordSource &source, const dbase::Collation &collation,
              const std::vector<MdxTagSpec> &wantedTags, std::string &error)
{
    std::string bytes;
    if (!buildMdx(tableBaseName, source, collation, wantedTags, bytes, error))
        return false;
    OutputFile out(path);
    if (out.create())
        out.write(bytes);
    if (!out.finish() || !out.commit()) {
        error = out.failure();
        return false;
    }
    return true;
}
