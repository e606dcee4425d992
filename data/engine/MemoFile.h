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

    // The note that starts at block (> 0), without terminators or padding. A block
    // past the end of the file, or one that is not the start of a note, gives an
    // empty note: the table stays readable when its memo file is damaged in places.
    // A note that lay inside the file when it was opened but lies past its end now
    // (another program shrank it while open) answers FileChanged, and an I/O error
    // FileUnreadable: the note cannot be read, which is not the same as no note.
    Status read(std::uint32_t block, std::string &text) const;

    int blockSize() const { return m_blockSize; }
    bool isDbaseIV() const { return m_dbaseIV; }
    const std::string &path() const { return m_path; }

private:
    MemoFile(std::string path, Kind kind) : m_path(std::move(path)), m_kind(kind) {}
    Status readHeader(std::string &problem);
    Status readDbaseIV(std::uint64_t offset, std::string_view blockHead, std::string &text) const;
    Status readDbaseIII(std::uint64_t offset, std::string &text) const;
    Status readFoxPro(std::uint64_t offset, std::string_view blockHead, std::string &text) const;
    // True when the bytes before end existed at open but the file ends before them now.
    bool shrankBefore(std::uint64_t end) const;

    std::string m_path;
    Kind m_kind;
    ReadOnlyFile m_file;
    int m_blockSize = 512;
    bool m_dbaseIV = false;
    std::uint64_t m_openedSize = 0;
};

} // namespace dbase
