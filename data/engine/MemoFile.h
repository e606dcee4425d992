// The memo file of a table: dBASE III and dBASE IV .DBT, FoxPro .FPT. Notes are
// read on demand with bounded reads; every offset and length taken from the files
// is checked against the memo file's size at the moment of the read.
#pragma once

#include "ReadOnlyFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace dbase {

class MemoFile
{
public:
    enum class Kind { Dbase, FoxPro };
    // A note never yields more than this; longer claims are cut.
    static constexpr std::uint32_t kMaxNoteLength = 64u << 20;

    static Status open(const std::string &path, Kind kind, std::unique_ptr<MemoFile> &file,
                       std::string &problem);

    // The block number in a record's memo field; 0 when the field refers to no note
    // (blanks, NULs, "0", or text that is not a number). binary: a Visual FoxPro
    // 4-byte little-endian reference.
    static std::uint32_t blockOf(std::string_view field, bool binary);

    // The note that starts at block, without terminators or padding; block 0 (the
    // header) is no note and gives an empty text. A note whose block lies past the end
    // of the file, that lacks its block signature in a dBASE IV file, or that the file
    // does not hold to the end its header states is damaged (MemoDamaged, problem
    // says which block and what is wrong): it is never shown half-read. A note that lay
    // inside the file when it was opened but lies past its end now (another program
    // shrank it while open) answers FileChanged, and an I/O error FileUnreadable.
    Status read(std::uint32_t block, std::string &text, std::string *problem = nullptr) const;

    // on: the file is read in pieces that grow from 64 KiB to 1 MiB while the notes
    // are read in ascending order, and a note inside the piece read last comes from
    // memory, as the file was when the piece was read. Off (the default): every note
    // is read from the file when it is asked for.
    void setReadAhead(bool on);

    int blockSize() const { return m_blockSize; }
    bool isDbaseIV() const { return m_dbaseIV; }
    const std::string &path() const { return m_path; }

private:
    MemoFile(std::string path, Kind kind) : m_path(std::move(path)), m_kind(kind) {}
    Status readHeader(std::string &problem);
    Status hasSignatureAt(std::uint64_t offset, bool &found, std::string &problem) const;
    Status readDbaseIV(std::uint32_t block, std::uint64_t offset, std::string_view blockHead,
                       std::string &text, std::string &problem) const;
    Status readDbaseIII(std::uint64_t offset, std::string &text, std::string &problem) const;
    Status readFoxPro(std::uint32_t block, std::uint64_t offset, std::string_view blockHead,
                      std::string &text, std::string &problem) const;
    Status readSpan(std::uint32_t block, std::uint64_t offset, std::uint32_t length,
                    std::string &text, std::string &problem) const;
    // Reads like ReadOnlyFile::readAt, from the piece read ahead where it holds the span.
    Status fetch(std::uint64_t offset, std::uint64_t length, std::string &out,
                 std::string &problem) const;
    static Status damaged(std::uint32_t block, const std::string &what, std::string &problem);
    static Status changed(std::string &problem);
    // True when the bytes before end existed at open but the file ends before them now.
    bool shrankBefore(std::uint64_t end) const;

    std::string m_path;
    Kind m_kind;
    ReadOnlyFile m_file;
    int m_blockSize = 512;
    bool m_dbaseIV = false;
    std::uint64_t m_openedSize = 0;
    bool m_readAhead = false;
    // The piece read ahead: the file's bytes from m_aheadOffset on, fewer than
    // m_aheadSize only where the file ended.
    mutable std::string m_ahead;
    mutable std::uint64_t m_aheadOffset = 0;
    mutable std::size_t m_aheadSize = 0;
};

} // namespace dbase
