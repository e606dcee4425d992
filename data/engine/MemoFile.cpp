#include "MemoFile.h"

#include <algorithm>

namespace dbase {

namespace {

constexpr std::size_t kBlockHeadSize = 8;
// A dBASE III note has no length: it runs to 0x1A. It is read in chunks of this size.
constexpr std::uint64_t kChunk = 4096;

std::uint32_t le32(std::string_view b, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

std::uint32_t be32(std::string_view b, std::size_t at)
{
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v = v << 8 | static_cast<unsigned char>(b[at + i]);
    return v;
}

// dBASE IV writers pad the last block with NULs, sloppy ones with 0x1A.
void trimPadding(std::string &text)
{
    const auto end = text.find_last_not_of(std::string_view("\0\x1A", 2));
    text.resize(end == std::string::npos ? 0 : end + 1);
}

} // namespace

Status MemoFile::open(const std::string &path, Kind kind, std::unique_ptr<MemoFile> &file,
                      std::string &problem)
{
    std::unique_ptr<MemoFile> memo(new MemoFile(path, kind));
    if (const Status s = memo->m_file.open(path, problem); s != status::Ok)
        return s;
    if (const Status s = memo->readHeader(problem); s != status::Ok)
        return s;
    memo->m_openedSize = memo->m_file.size();
    file = std::move(memo);
    return status::Ok;
}

// The block size: dBASE IV keeps it at byte 20 (little-endian), FoxPro at byte 6
// (big-endian). dBASE III files hold 0 or garbage there and always use 512, as does
// any dBASE file whose value is not a sane multiple of 512.
Status MemoFile::readHeader(std::string &problem)
{
    std::string head;
    if (const Status s = m_file.readAt(0, 512, head, problem); s != status::Ok)
        return s;
    if (head.size() < 24) {
        problem =
            "Die Memodatei ist kürzer als ihr Kopf (" + std::to_string(head.size()) + " Bytes).";
        return status::MemoDamaged;
    }
    if (m_kind == Kind::FoxPro) {
        m_blockSize =
            static_cast<unsigned char>(head[6]) << 8 | static_cast<unsigned char>(head[7]);
        if (m_blockSize == 0) {
            problem = "Die Memodatei gibt die Blockgröße 0 an.";
            return status::MemoDamaged;
        }
        return status::Ok;
    }
    const int size = static_cast<unsigned char>(head[20]) | static_cast<unsigned char>(head[21])
                                                                << 8;
    m_blockSize = (size == 0 || size % 512 != 0 || size > 32768) ? 512 : size;
    // dBASE IV when the header names a block size other than 512 or the first note
    // carries the dBASE IV block signature; otherwise dBASE III (python3-dbf and
    // others write a dBASE III file with 0 or 512 there).
    std::string first;
    if (const Status s = m_file.readAt(512, 4, first, problem); s != status::Ok)
        return s;
    m_dbaseIV = m_blockSize != 512 || first.compare(0, 3, "\xFF\xFF\x08", 3) == 0;
    return status::Ok;
}

std::uint32_t MemoFile::blockOf(std::string_view field, bool binary)
{
    if (binary)
        return field.size() == 4 ? le32(field, 0) : 0;
    std::uint64_t block = 0;
    bool digits = false;
    for (const char c : field) {
        if (c == ' ' || c == '\0') {
            if (digits)
                break;
            continue;
        }
        if (c < '0' || c > '9')
            return 0;
        digits = true;
        block = block * 10 + static_cast<unsigned>(c - '0');
        if (block > 0xFFFFFFFFu)
            return 0;
    }
    return static_cast<std::uint32_t>(block);
}

Status MemoFile::read(std::uint32_t block, std::string &text) const
{
    text.clear();
    std::string problem;
    const std::uint64_t offset = std::uint64_t(block) * static_cast<std::uint64_t>(m_blockSize);
    // Block 0 is the file header; a block at or past the end is a dangling reference,
    // unless the file reached past it when it was opened.
    if (block == 0)
        return status::Ok;
    std::string head;
    if (const Status s = m_file.readAt(offset, kBlockHeadSize, head, problem); s != status::Ok)
        return s;
    if (head.size() < kBlockHeadSize && shrankBefore(offset + kBlockHeadSize))
        return status::FileChanged;
    if (head.empty())
        return status::Ok;
    if (m_kind == Kind::FoxPro)
        return readFoxPro(offset, head, text);
    // A note with the dBASE IV block signature FF FF 08 00 follows the dBASE IV
    // rules in either flavour of file (writers mix them). In a dBASE IV file a
    // block without the signature is not the start of a note (a freed block or a
    // damaged reference): it gives an empty note rather than garbage.
    if (head.size() == kBlockHeadSize && head.compare(0, 4, "\xFF\xFF\x08\x00", 4) == 0)
        return readDbaseIV(offset, head, text);
    if (m_dbaseIV)
        return status::Ok;
    return readDbaseIII(offset, text);
}

// The length in the block header counts the 8 header bytes too. A length that
// runs past the end of the file is cut there.
Status MemoFile::readDbaseIV(std::uint64_t offset, std::string_view blockHead,
                             std::string &text) const
{
    const std::uint32_t length = le32(blockHead, 4);
    if (length <= kBlockHeadSize)
        return status::Ok;
    std::string problem;
    const std::uint32_t textLength =
        std::min(length - std::uint32_t(kBlockHeadSize), kMaxNoteLength);
    if (const Status s = m_file.readAt(offset + kBlockHeadSize, textLength, text, problem);
        s != status::Ok)
        return s;
    if (text.size() < textLength && shrankBefore(offset + kBlockHeadSize + textLength)) {
        text.clear();
        return status::FileChanged;
    }
    trimPadding(text);
    return status::Ok;
}

// The note runs to the first 0x1A (writers end it with 1A 1A or a single 1A), or
// to the end of the file, and is never longer than kMaxNoteLength.
Status MemoFile::readDbaseIII(std::uint64_t offset, std::string &text) const
{
    std::string chunk;
    std::string problem;
    while (text.size() < kMaxNoteLength) {
        if (const Status s = m_file.readAt(offset + text.size(), kChunk, chunk, problem);
            s != status::Ok) {
            text.clear();
            return s;
        }
        const auto end = chunk.find('\x1A');
        text.append(chunk, 0, end);
        if (end != std::string::npos)
            break;
        if (chunk.size() < kChunk) {
            // The note ran to the end of the file: cut off if the file shrank.
            if (shrankBefore(offset + text.size() + 1)) {
                text.clear();
                return status::FileChanged;
            }
            break;
        }
    }
    if (text.size() > kMaxNoteLength)
        text.resize(kMaxNoteLength);
    return status::Ok;
}

// FoxPro block header: type and length, big-endian; the length excludes the header.
Status MemoFile::readFoxPro(std::uint64_t offset, std::string_view blockHead,
                            std::string &text) const
{
    // Types 0 (picture), 1 (text) and 2 (object); anything else is no note.
    if (blockHead.size() < kBlockHeadSize || be32(blockHead, 0) > 2)
        return status::Ok;
    const std::uint32_t length = std::min(be32(blockHead, 4), kMaxNoteLength);
    std::string problem;
    if (const Status s = m_file.readAt(offset + kBlockHeadSize, length, text, problem);
        s != status::Ok)
        return s;
    if (text.size() < length && shrankBefore(offset + kBlockHeadSize + length)) {
        text.clear();
        return status::FileChanged;
    }
    return status::Ok;
}

bool MemoFile::shrankBefore(std::uint64_t end) const
{
    const std::uint64_t size = m_file.size();
    return size < m_openedSize && size < std::min(end, m_openedSize);
}

} // namespace dbase
