// A file opened read-only with bounded positional reads (pread): no shared file
// position, and every read is checked against the file's size at the moment of
// the read, since another program may shrink the file while we hold it open.
#pragma once

#include "EngineTypes.h"

#include <cstdint>
#include <string>

namespace dbase {

// What a write to a file changes: its size, the time its data last changed (mtime)
// and the time its inode last changed (ctime), in nanoseconds; and its number of
// names. A program can set the mtime back, never the ctime: any write moves it, as
// does a change of the file's names or rights.
struct FileStamp
{
    std::uint64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    long modifiedNanoseconds = 0;
    std::int64_t changedSeconds = 0;
    long changedNanoseconds = 0;
    std::uint64_t links = 0;
};

class ReadOnlyFile
{
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile &) = delete;
    ReadOnlyFile &operator=(const ReadOnlyFile &) = delete;

    // Opens a regular file, and only that. FileNotFound or FileUnreadable with the
    // system's reason in problem; NotAFile, saying what the entry is, for a
    // directory, a FIFO, a device, a socket or a loop of symbolic links.
    Status open(const std::string &path, std::string &problem);
    bool isOpen() const { return m_fd >= 0; }
    // The file's current size; 0 when it cannot be determined.
    std::uint64_t size() const;
    // The open file's stamp (of the file we hold open, even if its name now leads to
    // another); false when it cannot be determined.
    bool stamp(FileStamp &out) const;
    // Reads up to length bytes at offset into out (fewer at the end of the file).
    // FileUnreadable on an I/O error.
    Status readAt(std::uint64_t offset, std::uint64_t length, std::string &out,
                  std::string &problem) const;
    // Reads up to length bytes at offset into dest with as few system calls as it
    // takes; done answers how many arrived (fewer when the file ends before).
    // FileUnreadable on an I/O error.
    Status readInto(std::uint64_t offset, char *dest, std::size_t length, std::size_t &done,
                    std::string &problem) const;

private:
    int m_fd = -1;
};

} // namespace dbase
