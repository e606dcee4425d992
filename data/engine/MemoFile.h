// The memo file of a table: dBASE III and dBASE IV .DBT, FoxPro .FPT. Notes are
// read on demand with bounded reads; every offset and length taken from the file
// is checked against its size. The file stays open for as long as the table is:
// its notes are those that belong to the records read at the open, and a read
// after another program wrote to the file fails instead of giving another note.
#pragma once

#include "ReadOnlyFile.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace dbase {

class MemoFile
{
public:
    enum class Kind { Dbase, FoxPro };
    // The longest note the engine reads. A note stated to be longer, or a dBASE III
    // note with no end mark within this length, is damaged: it is never cut.
    static constexpr std::uint32_t kMaxNoteLength = 64u << 20;

    static Status open(const std::string &path, Kind kind, std::unique_ptr<MemoFile> &file,
                       std::string &problem);

    // The block number in a record's memo field: 0 when the field refers to no note
    // (blanks, NULs, a number 0); nothing when the reference is damaged (anything but
    // one run of decimal digits between blanks and NULs, or a number beyond 32 bits).
    // binary: a Visual FoxPro 4-byte little-endian reference.
    static std::optional<std::uint32_t> blockOf(std::string_view field, bool binary);

    // The note that starts at block, without terminators or padding; block 0 (the
    // header) is no note and gives an empty text. A note whose block lies past the end
    // of the file, that lacks its block signature in a dBASE IV file, that states a
    // length beyond kMaxNoteLength or that the file does not hold to its end is
    // damaged (MemoDamaged, problem says which block and what is wrong): it is never
    // shown in part. When the file was written to since it was opened (its size, mtime
    // or ctime differ), the answer is FileChanged and no text; an I/O error answers
    // FileUnreadable.
    Status read(std::uint32_t block, std::string &text, std::string *problem = nullptr) const;

    // True when read(block) would give an empty text with Ok: a note of length 0 or
    // of padding only. A note with text, a damaged one and any note after the file
    // changed answer false. Reads the block head and the note's first bytes; the
    // whole note only when they are padding.
    bool isEmpty(std::uint32_t block) const;

    // on: the file is read in pieces that grow from 64 KiB to 1 MiB while the notes
    // are read in ascending order, and a note inside the piece read last comes from
    // memory, as the file was when the piece was read (and found unchanged since the
    // open). Off (the default): every note is read from the file when it is asked for.
    void setReadAhead(bool on);

    int blockSize() const { return m_blockSize; }
    bool isDbaseIV() const { return m_dbaseIV; }
    const std::string &path() const { return m_path; }

private:
    // Where a note lies: its text's first byte and length, or, for a dBASE III note,
    // its first byte and no length (it runs to an end mark). head: the block's first
    // bytes (up to 8).
    struct NoteSpan
    {
        std::uint64_t start = 0;
        std::uint64_t length = 0;
        bool toEndMark = false;
        std::string head;
    };

    MemoFile(std::string path, Kind kind) : m_path(std::move(path)), m_kind(kind) {}
    Status takeStamp(std::string &problem);
    Status readHeader(std::string &problem);
    Status hasSignatureAt(std::uint64_t offset, bool &found, std::string &problem) const;
    Status locate(std::uint32_t block, NoteSpan &span, std::string &problem) const;
    Status locateFoxPro(std::uint32_t block, NoteSpan &span, std::string &problem) const;
    Status checkLength(std::uint32_t block, const NoteSpan &span, std::string &problem) const;
    Status readToEndMark(std::uint32_t block, std::uint64_t start, std::string &text,
                         std::string &problem) const;
    // Reads like ReadOnlyFile::readAt, from the piece read ahead where it holds the span.
    Status fetch(std::uint64_t offset, std::uint64_t length, std::string &out,
                 std::string &problem) const;
    // ReadOnlyFile::readAt, then FileChanged when the file is no longer as it was opened.
    Status readUnchanged(std::uint64_t offset, std::uint64_t length, std::string &out,
                         std::string &problem) const;
    static Status damaged(std::uint32_t block, const std::string &what, std::string &problem);

    std::string m_path;
    Kind m_kind;
    ReadOnlyFile m_file;
    int m_blockSize = 512;
    bool m_dbaseIV = false;
    FileStamp m_opened; // the file as it was opened; every read is checked against it
    bool m_readAhead = false;
    // The piece read ahead: the file's bytes from m_aheadOffset on, fewer than
    // m_aheadSize only where the file ended.
    mutable std::string m_ahead;
    mutable std::uint64_t m_aheadOffset = 0;
    mutable std::size_t m_aheadSize = 0;
};

} // namespace dbase
