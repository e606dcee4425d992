#include "MemoFile.h"

#include "FieldDecoder.h"

#include <algorithm>
#include <ctime>

namespace dbase {

namespace {

constexpr std::size_t kBlockHeadSize = 8;
// The start of a dBASE IV note: FF FF (a used block), then the text offset 8.
constexpr const char *kSignature = "\xFF\xFF\x08\x00";
// A dBASE III note has no length: its end mark is looked for from chunks of this size on.
constexpr std::uint64_t kFirstChunk = 4096;
// Enough of a note's first bytes to tell most notes of padding only from notes with text.
constexpr std::uint64_t kPeek = 64;
// Trailing bytes that are no part of a dBASE note.
constexpr std::string_view kPadding("\0\x1A", 2);
// Waits of 1 ms at most for the file's last change to lie in a past clock tick.
constexpr int kStampWaits = 20;
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
    const auto end = text.find_last_not_of(kPadding);
    text.resize(end == std::string::npos ? 0 : end + 1);
}

} // namespace

Status MemoFile::open(const std::string &path, Kind kind, std::unique_ptr<MemoFile> &file,
                      std::string &problem)
{
    std::unique_ptr<MemoFile> memo(new MemoFile(path, kind));
    if (const Status s = memo->m_file.open(path, problem); s != status::Ok)
        return s;
    if (const Status s = memo->takeStamp(problem); s != status::Ok)
        return s;
    if (const Status s = memo->readHeader(problem); s != status::Ok)
        return s;
    file = std::move(memo);
    return status::Ok;
}

// The stamp every later read is checked against. The kernel takes file times from a
// clock that moves in ticks of a few milliseconds, so a write in the very tick in
// which the stamp is taken could leave both times as they were. The stamp is
// therefore taken once the file's last change lies in a past tick: a wait of at
// most one tick, and only for a file written just now.
Status MemoFile::takeStamp(std::string &problem)
{
    for (int waited = 0;; ++waited) {
        if (!m_file.stamp(m_opened)) {
            problem = "Der Zustand der Memodatei lässt sich nicht feststellen.";
            return status::FileUnreadable;
        }
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
        const bool pastTick =
            m_opened.changedSeconds < now.tv_sec ||
            (m_opened.changedSeconds == now.tv_sec && m_opened.changedNanoseconds < now.tv_nsec);
        // A time in the future (another machine's clock) never passes: not waited for.
        if (pastTick || waited >= kStampWaits)
            return status::Ok;
        const timespec pause{0, 1000000};
        ::nanosleep(&pause, nullptr);
    }
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

std::optional<std::uint32_t> MemoFile::blockOf(std::string_view field, bool binary)
{
    if (binary)
        return field.size() == 4 ? le32(field, 0) : 0u;
    std::uint64_t block = 0;
    for (const char c : FieldDecoder::trimmed(field)) {
        if (c < '0' || c > '9')
            return std::nullopt;
        block = block * 10 + static_cast<unsigned>(c - '0');
        if (block > 0xFFFFFFFFu)
            return std::nullopt;
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
    NoteSpan span;
    if (const Status s = locate(block, span, why); s != status::Ok)
        return s;
    if (span.toEndMark)
        return readToEndMark(block, span.start, text, why);
    if (const Status s = fetch(span.start, span.length, text, why); s != status::Ok) {
        text.clear();
        return s;
    }
    // The length was checked against the size at the open, and the file is unchanged.
    if (text.size() < span.length) {
        text.clear();
        return damaged(block, "lässt sich nicht ganz lesen", why);
    }
    if (m_kind == Kind::Dbase)
        trimPadding(text);
    return status::Ok;
}

bool MemoFile::isEmpty(std::uint32_t block) const
{
    if (block == 0)
        return true;
    NoteSpan span;
    std::string problem;
    if (locate(block, span, problem) != status::Ok)
        return false;
    if (span.toEndMark)
        return span.head.front() == '\x1A';
    if (span.length == 0 || m_kind == Kind::FoxPro)
        return span.length == 0;
    // A dBASE note loses its trailing NULs and 0x1A: one of padding only is empty.
    std::string first;
    const std::uint64_t peek = std::min<std::uint64_t>(span.length, kPeek);
    if (fetch(span.start, peek, first, problem) != status::Ok || first.size() < peek ||
        first.find_first_not_of(kPadding) != std::string::npos)
        return false;
    std::string text;
    return span.length <= kPeek || (read(block, text) == status::Ok && text.empty());
}

// Where the note of block lies. A note with the dBASE IV block signature FF FF 08 00
// follows the dBASE IV rules in either flavour of file (writers mix them). In a
// dBASE IV file a block without the signature is not the start of a note (a freed
// block or a damaged reference); in a dBASE III file it starts a note that runs to
// its end mark.
Status MemoFile::locate(std::uint32_t block, NoteSpan &span, std::string &problem) const
{
    span.start = std::uint64_t(block) * static_cast<std::uint64_t>(m_blockSize);
    if (const Status s = fetch(span.start, kBlockHeadSize, span.head, problem); s != status::Ok)
        return s;
    if (span.head.empty())
        return damaged(block, "liegt hinter dem Ende der Memodatei", problem);
    if (m_kind == Kind::FoxPro)
        return locateFoxPro(block, span, problem);
    if (span.head.size() == kBlockHeadSize && span.head.compare(0, 4, kSignature, 4) == 0) {
        // The stated length counts the 8 bytes of the block head too.
        const std::uint32_t stated = le32(span.head, 4);
        if (stated < kBlockHeadSize)
            return damaged(block, "gibt die unmögliche Länge " + std::to_string(stated) + " an",
                           problem);
        span.start += kBlockHeadSize;
        span.length = stated - kBlockHeadSize;
        return checkLength(block, span, problem);
    }
    if (m_dbaseIV)
        return damaged(block,
                       "ist nicht der Anfang eines Memotextes (die Kennung FF FF 08 00 fehlt)",
                       problem);
    span.toEndMark = true;
    return status::Ok;
}

// FoxPro block head: type and length, big-endian; the length excludes the head.
Status MemoFile::locateFoxPro(std::uint32_t block, NoteSpan &span, std::string &problem) const
{
    if (span.head.size() < kBlockHeadSize)
        return damaged(block, "reicht über das Ende der Memodatei hinaus", problem);
    // Types 0 (picture), 1 (text) and 2 (object); anything else is not a note.
    if (be32(span.head, 0) > 2)
        return damaged(block,
                       "ist nicht der Anfang eines Memotextes (Typ " +
                           std::to_string(be32(span.head, 0)) + ")",
                       problem);
    span.start += kBlockHeadSize;
    span.length = be32(span.head, 4);
    return checkLength(block, span, problem);
}

// A note is exactly as long as its head states: never cut to a shorter length,
// never run on into the notes after it. A length beyond kMaxNoteLength, or one
// that the file does not hold, is damage.
Status MemoFile::checkLength(std::uint32_t block, const NoteSpan &span, std::string &problem) const
{
    if (span.length > kMaxNoteLength)
        return damaged(block,
                       "gibt die Länge " + std::to_string(span.length) + " an, mehr als die " +
                           std::to_string(kMaxNoteLength) + " Bytes, die ein Memotext haben darf",
                       problem);
    if (span.start + span.length > m_opened.size)
        return damaged(block,
                       "reicht mit " + std::to_string(span.length) +
                           " Bytes über das Ende der Memodatei hinaus",
                       problem);
    return status::Ok;
}

// A dBASE III note runs to the first 0x1A (writers end it with 1A 1A or a single
// 1A), or to the end of the file. One with no end mark within kMaxNoteLength bytes
// is damaged: its first part would look like the whole note. It is read in chunks
// that grow from 4 KiB to 1 MiB, each up to the end mark.
Status MemoFile::readToEndMark(std::uint32_t block, std::uint64_t start, std::string &text,
                               std::string &problem) const
{
    std::uint64_t chunkSize = kFirstChunk;
    std::string chunk;
    for (;; chunkSize = std::min(chunkSize * 2, std::uint64_t(kLargestPiece))) {
        if (const Status s = fetch(start + text.size(), chunkSize, chunk, problem);
            s != status::Ok) {
            text.clear();
            return s;
        }
        const auto end = chunk.find('\x1A');
        text.append(chunk, 0, end);
        if (text.size() > kMaxNoteLength) {
            text.clear();
            return damaged(block,
                           "hat auf den ersten " + std::to_string(kMaxNoteLength) +
                               " Bytes kein Endezeichen (1A)",
                           problem);
        }
        if (end != std::string::npos || chunk.size() < chunkSize)
            return status::Ok;
    }
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
        return readUnchanged(offset, length, out, problem);
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
        if (const Status s = readUnchanged(offset, m_aheadSize, m_ahead, problem);
            s != status::Ok) {
            m_aheadSize = 0;
            out.clear();
            return s;
        }
        if (!holds()) // a note longer than the piece
            return readUnchanged(offset, length, out, problem);
    }
    const std::size_t from = static_cast<std::size_t>(offset - m_aheadOffset);
    out.assign(m_ahead, from, static_cast<std::size_t>(length));
    return status::Ok;
}

// The bytes are those of the file as it was opened only if no program wrote to it
// in the meantime: a write moves the mtime and the ctime before its bytes can be
// read, so a stamp taken after the read that agrees with the one of the open vouches
// for them. The ctime also catches a write whose program set the mtime back. A file
// replaced by renaming another over its name (or removed) loses its last name, which
// moves its ctime too, but is not written to: the one held open keeps the notes of
// the records read at the open, and only its size and mtime are compared.
Status MemoFile::readUnchanged(std::uint64_t offset, std::uint64_t length, std::string &out,
                               std::string &problem) const
{
    if (const Status s = m_file.readAt(offset, length, out, problem); s != status::Ok)
        return s;
    FileStamp now;
    const bool sameData = m_file.stamp(now) && now.size == m_opened.size &&
                          now.modifiedSeconds == m_opened.modifiedSeconds &&
                          now.modifiedNanoseconds == m_opened.modifiedNanoseconds;
    const bool sameInode = (now.changedSeconds == m_opened.changedSeconds &&
                            now.changedNanoseconds == m_opened.changedNanoseconds) ||
                           now.links == 0;
    if (sameData && sameInode)
        return status::Ok;
    out.clear();
    problem = "Die Memodatei wurde seit dem Öffnen der Tabelle geändert.";
    return status::FileChanged;
}

Status MemoFile::damaged(std::uint32_t block, const std::string &what, std::string &problem)
{
    problem = "Der Memotext in Block " + std::to_string(block) + " " + what + ".";
    return status::MemoDamaged;
}

} // namespace dbase
