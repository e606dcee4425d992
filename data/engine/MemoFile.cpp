#include "MemoFile.h"

#include <algorithm>

namespace dbase {

namespace {

constexpr std::size_t kBlockHeadSize = 8;
// The start of a dBASE IV note: FF FF (a used block), then the text offset 8.
constexpr const char *kSignature = "\xFF\xFF\x08\x00";
// A dBASE III note has no length: it runs to 0x1A. It is read in chunks of this size.
constexpr std::uint64_t kChunk = 4096;
// Read ahead: the first piece and the largest.
constexpr std::size_t kFirstPiece = std::size_t(64) << 10;
constexpr std::size_t kLargestPiece = std::size_t(1) << 20;

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

// The block size and the flavour. FoxPro keeps the size at byte 6 (big-endian).
// A dBASE IV file states it at byte 20 (little-endian), whatever it is: 512 by
// default, 64 from the database engines of Windows programs, 32, 1024, 4096 and
// others occur. A dBASE III file always has 512-byte blocks and holds 0, 512 or
// garbage at byte 20, with its version 3 at byte 16. Sizes below 32 are no block
// size (0: not stated): such a file is read with 512-byte blocks.
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
    const int stated = static_cast<unsigned char>(head[20]) | static_cast<unsigned char>(head[21])
                                                                  << 8;
    bool signedAtStated = false;
    bool signedAt512 = false;
    if (const Status s = hasSignatureAt(512, signedAt512, problem); s != status::Ok)
        return s;
    if (stated >= 32 && stated != 512) {
        if (const Status s = hasSignatureAt(std::uint64_t(stated), signedAtStated, problem);
            s != status::Ok)
            return s;
        // A dBASE III file with garbage at byte 20 keeps its 512-byte blocks, unless
        // a dBASE IV note lies where the stated size puts the first block.
        m_dbaseIV = head[16] != '\x03' || signedAtStated;
        m_blockSize = m_dbaseIV ? stated : 512;
        return status::Ok;
    }
    m_blockSize = 512;
    m_dbaseIV = signedAt512;
    return status::Ok;
}

Status MemoFile::hasSignatureAt(std::uint64_t offset, bool &found, std::string &problem) const
{
    std::string bytes;
    if (const Status s = m_file.readAt(offset, 4, bytes, problem); s != status::Ok)
        return s;
    found = bytes.compare(0, 4, kSignature, 4) == 0;
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

Status MemoFile::read(std::uint32_t block, std::string &text, std::string *problem) const
{
    text.clear();
    std::string ignored;
    std::string &why = problem ? *problem : ignored;
    why.clear();
    // Block 0 is the file header: no note.
    if (block == 0)
        return status::Ok;
    const std::uint64_t offset = std::uint64_t(block) * static_cast<std::uint64_t>(m_blockSize);
    std::string head;
    if (const Status s = fetch(offset, kBlockHeadSize, head, why); s != status::Ok)
        return s;
    if (head.size() < kBlockHeadSize && shrankBefore(offset + kBlockHeadSize))
        return changed(why);
    if (head.empty())
        return damaged(block, "liegt hinter dem Ende der Memodatei", why);
    if (m_kind == Kind::FoxPro)
        return readFoxPro(block, offset, head, text, why);
    // A note with the dBASE IV block signature FF FF 08 00 follows the dBASE IV
    // rules in either flavour of file (writers mix them). In a dBASE IV file a
    // block without the signature is not the start of a note (a freed block or a
    // damaged reference).
    if (head.size() == kBlockHeadSize && head.compare(0, 4, kSignature, 4) == 0)
        return readDbaseIV(block, offset, head, text, why);
    if (m_dbaseIV)
        return damaged(
            block, "ist nicht der Anfang eines Memotextes (die Kennung FF FF 08 00 fehlt)", why);
    return readDbaseIII(offset, text, why);
}

// The length in the block header counts the 8 header bytes too. The note is
// exactly that long: it never runs on into the following blocks' notes, and a
// note that the file does not hold to its end is damaged, not cut.
Status MemoFile::readDbaseIV(std::uint32_t block, std::uint64_t offset, std::string_view blockHead,
                             std::string &text, std::string &problem) const
{
    const std::uint32_t length = le32(blockHead, 4);
    if (length < kBlockHeadSize)
        return damaged(block, "gibt die unmögliche Länge " + std::to_string(length) + " an",
                       problem);
    return readSpan(block, offset + kBlockHeadSize, length - std::uint32_t(kBlockHeadSize), text,
                    problem);
}

// The note runs to the first 0x1A (writers end it with 1A 1A or a single 1A), or
// to the end of the file, and is never longer than kMaxNoteLength.
Status MemoFile::readDbaseIII(std::uint64_t offset, std::string &text, std::string &problem) const
{
    std::string chunk;
    while (text.size() < kMaxNoteLength) {
        if (const Status s = fetch(offset + text.size(), kChunk, chunk, problem); s != status::Ok) {
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
                return changed(problem);
            }
            break;
        }
    }
    if (text.size() > kMaxNoteLength)
        text.resize(kMaxNoteLength);
    return status::Ok;
}

// FoxPro block header: type and length, big-endian; the length excludes the header.
Status MemoFile::readFoxPro(std::uint32_t block, std::uint64_t offset, std::string_view blockHead,
                            std::string &text, std::string &problem) const
{
    if (blockHead.size() < kBlockHeadSize)
        return damaged(block, "reicht über das Ende der Memodatei hinaus", problem);
    // Types 0 (picture), 1 (text) and 2 (object); anything else is not a note.
    if (be32(blockHead, 0) > 2)
        return damaged(block,
                       "ist nicht der Anfang eines Memotextes (Typ " +
                           std::to_string(be32(blockHead, 0)) + ")",
                       problem);
    return readSpan(block, offset + kBlockHeadSize, be32(blockHead, 4), text, problem);
}

// Reads length bytes at offset as the note of block; at most kMaxNoteLength of
// them. A note the file does not hold to its end is damaged, or, when the file
// shrank since it was opened, changed.
Status MemoFile::readSpan(std::uint32_t block, std::uint64_t offset, std::uint32_t length,
                          std::string &text, std::string &problem) const
{
    const std::uint32_t wanted = std::min(length, kMaxNoteLength);
    if (const Status s = fetch(offset, wanted, text, problem); s != status::Ok) {
        text.clear();
        return s;
    }
    if (text.size() < wanted) {
        text.clear();
        if (shrankBefore(offset + wanted))
            return changed(problem);
        return damaged(block,
                       "reicht mit " + std::to_string(length) +
                           " Bytes über das Ende der Memodatei hinaus",
                       problem);
    }
    if (m_kind == Kind::Dbase)
        trimPadding(text);
    return status::Ok;
}

void MemoFile::setReadAhead(bool on)
{
    m_readAhead = on;
    m_ahead.clear();
    m_ahead.shrink_to_fit();
    m_aheadSize = 0;
}

Status MemoFile::fetch(std::uint64_t offset, std::uint64_t length, std::string &out,
                       std::string &problem) const
{
    if (!m_readAhead || length > kLargestPiece)
        return m_file.readAt(offset, length, out, problem);
    const auto holds = [&] {
        if (offset < m_aheadOffset || offset - m_aheadOffset > m_ahead.size())
            return false;
        const std::uint64_t end = offset + length - m_aheadOffset;
        return end <= m_ahead.size() || m_ahead.size() < m_aheadSize; // or the file ends
    };
    if (!holds()) {
        // Notes read in ascending order earn larger pieces; a step back starts small.
        const bool onward = m_aheadSize > 0 && offset >= m_aheadOffset;
        m_aheadSize = onward ? std::min(m_aheadSize * 2, kLargestPiece) : kFirstPiece;
        m_aheadOffset = offset;
        if (const Status s = m_file.readAt(offset, m_aheadSize, m_ahead, problem);
            s != status::Ok) {
            m_aheadSize = 0;
            out.clear();
            return s;
        }
        if (!holds()) // a note longer than the piece
            return m_file.readAt(offset, length, out, problem);
    }
    const std::size_t from = static_cast<std::size_t>(offset - m_aheadOffset);
    out.assign(m_ahead, from, static_cast<std::size_t>(length));
    return status::Ok;
}

Status MemoFile::damaged(std::uint32_t block, const std::string &what, std::string &problem)
{
    problem = "Der Memotext in Block " + std::to_string(block) + " " + what + ".";
    return status::MemoDamaged;
}

Status MemoFile::changed(std::string &problem)
{
    problem = "Die Memodatei ist seit dem Öffnen kürzer geworden.";
    return status::FileChanged;
}

bool MemoFile::shrankBefore(std::uint64_t end) const
{
    const std::uint64_t size = m_file.size();
    return size < m_openedSize && size < std::min(end, m_openedSize);
}

} // namespace dbase
