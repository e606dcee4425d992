#include "MdxIndex.h"

#include "ReadOnlyFile.h"

#include <algorithm>
#include <cstring>

namespace dbase {

namespace {

constexpr std::size_t PageBytes = 512;
constexpr std::size_t HeaderBytes = 2048; // file header and the 48 tag slots
constexpr std::size_t SlotOffset = 544;
constexpr std::size_t SlotBytes = 32;
constexpr int MaxTags = 47;
constexpr std::size_t ExpressionOffset = 24;
constexpr std::size_t ExpressionBytes = 220;
constexpr std::size_t ForFlagOffset = 245;
constexpr std::size_t ForExpressionOffset = 762;
constexpr int MaxCharKeyLength = 100;

std::uint16_t u16(const unsigned char *p)
{
    return std::uint16_t(p[0] | p[1] << 8);
}
std::uint32_t u32(const unsigned char *p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

struct Failure
{
    Status status;
    std::string problem;
};

// Reads the header and the tag headers of an open index file, checking every page
// number against the file's size before it seeks; the B-tree blocks are not read.
class MdxReader
{
public:
    MdxReader(const ReadOnlyFile &in, std::uint64_t size) : m_in(in), m_size(size) {}
    std::vector<MdxTag> readTags();

private:
    const unsigned char *at(std::size_t offset) const
    {
        return reinterpret_cast<const unsigned char *>(m_header.data()) + offset;
    }
    bool holds(std::uint64_t offset, std::uint64_t length) const
    {
        return offset + length <= m_size;
    }
    std::string readBytes(std::uint64_t offset, std::size_t length) const;
    void checkHeader();
    MdxTag readSlot(int slot) const;
    void readTagHeader(MdxTag &tag, std::uint32_t headerPage) const;
    static std::string cString(const std::string &bytes, std::size_t offset, std::size_t maxBytes,
                               const std::string &what, const std::string &tagName);
    [[noreturn]] static void damaged(const std::string &problem)
    {
        throw Failure{status::IndexDamaged, problem + "."};
    }

    const ReadOnlyFile &m_in;
    std::uint64_t m_size;
    std::string m_header;
    std::size_t m_blockBytes = 0;
};

std::string MdxReader::readBytes(std::uint64_t offset, std::size_t length) const
{
    std::string bytes;
    std::string problem;
    if (const Status s = m_in.readAt(offset, length, bytes, problem); s != status::Ok)
        throw Failure{s, problem};
    // The size was checked before: the file shrank since.
    if (bytes.size() != length)
        throw Failure{status::FileChanged, "Die Datei ist beim Lesen kürzer geworden."};
    return bytes;
}

std::vector<MdxTag> MdxReader::readTags()
{
    checkHeader();
    const int count = u16(at(28));
    std::vector<MdxTag> tags;
    tags.reserve(std::size_t(count));
    for (int slot = 0; slot < count; ++slot)
        tags.push_back(readSlot(slot));
    return tags;
}

void MdxReader::checkHeader()
{
    if (m_size < HeaderBytes)
        damaged("Die Datei ist mit " + std::to_string(m_size) +
                " Bytes kürzer als ihr Kopf von 2048 Bytes");
    m_header = readBytes(0, HeaderBytes);
    if (at(0)[0] != 2)
        damaged("Versionskennung " + std::to_string(at(0)[0]) + " statt 2 (dBASE IV)");
    const int blockPages = u16(at(20));
    if (blockPages < 2 || blockPages > 63 || u16(at(22)) != blockPages * PageBytes)
        damaged("Ungültige Blockgröße von " + std::to_string(blockPages) + " Seiten und " +
                std::to_string(u16(at(22))) + " Bytes");
    m_blockBytes = std::size_t(blockPages) * PageBytes;
    if (at(25)[0] != 48 || at(26)[0] != SlotBytes)
        damaged("Die Tag-Tabelle hat " + std::to_string(at(25)[0]) + " Plätze zu " +
                std::to_string(at(26)[0]) + " Bytes statt 48 zu 32");
    const int count = u16(at(28));
    if (count > MaxTags)
        damaged(std::to_string(count) + " Tags, höchstens 47 sind möglich");
    const std::uint64_t pages = u32(at(32));
    if (pages * PageBytes > m_size)
        damaged("Der Kopf zählt " + std::to_string(pages) + " Seiten, die Datei enthält " +
                std::to_string(m_size / PageBytes));
}

std::string MdxReader::cString(const std::string &bytes, std::size_t offset, std::size_t maxBytes,
                               const std::string &what, const std::string &tagName)
{
    const char *begin = bytes.data() + offset;
    const void *nul = std::memchr(begin, 0, std::min(maxBytes, bytes.size() - offset));
    if (!nul)
        damaged("Tag " + tagName + ": " + what + " ist nicht abgeschlossen");
    return std::string(begin, static_cast<const char *>(nul));
}

MdxTag MdxReader::readSlot(int slot) const
{
    const std::size_t offset = SlotOffset + std::size_t(slot) * SlotBytes;
    const std::string slotName = "Nr. " + std::to_string(slot + 1);
    MdxTag tag;
    tag.name = cString(m_header, offset + 4, 11, "der Name", slotName);
    if (tag.name.empty())
        damaged("Tag " + slotName + ": der Name ist leer");
    for (unsigned char c : tag.name)
        if (c < 0x20 || c == 0x7f)
            damaged("Tag " + slotName + ": der Name enthält Steuerzeichen");
    tag.keyType = char(at(offset + 20)[0]);
    if (tag.keyType != 'C' && tag.keyType != 'N' && tag.keyType != 'D')
        damaged("Tag " + tag.name + ": unbekannter Schlüsseltyp " +
                std::to_string(int(at(offset + 20)[0])));
    readTagHeader(tag, u32(at(offset)));
    return tag;
}

void MdxReader::readTagHeader(MdxTag &tag, std::uint32_t headerPage) const
{
    const std::string prefix = "Tag " + tag.name + ": ";
    const std::uint64_t offset = std::uint64_t(headerPage) * PageBytes;
    if (headerPage < 4 || !holds(offset, PageBytes))
        damaged(prefix + "die Kopfseite " + std::to_string(headerPage) +
                " liegt außerhalb der Datei");
    // The header takes one block; a file may end after its first page when the tag
    // has no FOR expression.
    const std::string block =
        readBytes(offset, std::size_t(std::min<std::uint64_t>(m_blockBytes, m_size - offset)));
    const auto *h = reinterpret_cast<const unsigned char *>(block.data());
    if (char(h[9]) != tag.keyType)
        damaged(prefix + "der Schlüsseltyp im Tag-Kopf weicht von der Tag-Tabelle ab");
    tag.keyLength = u16(h + 12);
    const int groupLength = u16(h + 18);
    const bool lengthFits = tag.keyType == 'N' ? tag.keyLength == 12
                            : tag.keyType == 'D'
                                ? tag.keyLength == 8
                                : tag.keyLength >= 1 && tag.keyLength <= MaxCharKeyLength;
    if (!lengthFits)
        damaged(prefix + "die Schlüssellänge " + std::to_string(tag.keyLength) +
                " passt nicht zum Schlüsseltyp " + tag.keyType);
    if (groupLength != (tag.keyLength + 4 + 3) / 4 * 4)
        damaged(prefix + "die Gruppenlänge " + std::to_string(groupLength) +
                " passt nicht zur Schlüssellänge " + std::to_string(tag.keyLength));
    const int maxKeys = u16(h + 14);
    if (maxKeys < 1 || 12 + std::size_t(maxKeys) * std::size_t(groupLength) > m_blockBytes)
        damaged(prefix + std::to_string(maxKeys) +
                " Schlüssel je Block passen nicht in die Blockgröße");
    tag.descending = (h[8] & 0x08) != 0;
    tag.unique = (h[8] & 0x40) != 0;
    tag.expression =
        cString(block, ExpressionOffset, ExpressionBytes + 1, "der Indexausdruck", tag.name);
    if (tag.expression.empty())
        damaged(prefix + "der Indexausdruck ist leer");
    if (h[ForFlagOffset] == 1) {
        if (block.size() < ForExpressionOffset + ExpressionBytes + 1)
            damaged(prefix + "der FOR-Ausdruck liegt außerhalb der Datei");
        tag.forExpression =
            cString(block, ForExpressionOffset, ExpressionBytes + 1, "der FOR-Ausdruck", tag.name);
    }
    tag.rootPage = u32(h);
    if (tag.rootPage < 4 || !holds(std::uint64_t(tag.rootPage) * PageBytes, m_blockBytes))
        damaged(prefix + "die Wurzelseite " + std::to_string(tag.rootPage) +
                " liegt außerhalb der Datei");
}

} // namespace

Status readMdxTags(const std::string &path, std::vector<MdxTag> &tags, std::string &problem)
{
    tags.clear();
    problem.clear();
    ReadOnlyFile in;
    if (const Status s = in.open(path, problem); s != status::Ok)
        return s;
    try {
        tags = MdxReader(in, in.size()).readTags();
    } catch (const Failure &failure) {
        tags.clear();
        problem = failure.problem;
        return failure.status;
    }
    return status::Ok;
}

} // namespace dbase
