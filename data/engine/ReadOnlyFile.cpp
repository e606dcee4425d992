#include "ReadOnlyFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dbase {

ReadOnlyFile::~ReadOnlyFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Status ReadOnlyFile::open(const std::string &path, std::string &problem)
{
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        const int err = errno;
        problem = err == EACCES ? "Keine Berechtigung, die Datei zu lesen." : std::strerror(err);
        return err == ENOENT ? status::FileNotFound : status::FileUnreadable;
    }
    struct stat st
    {
    };
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        problem = "Keine gewöhnliche Datei.";
        return status::FileUnreadable;
    }
    return status::Ok;
}

std::uint64_t ReadOnlyFile::size() const
{
    struct stat st
    {
    };
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0 || st.st_size < 0)
        return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

bool ReadOnlyFile::stamp(FileStamp &out) const
{
    struct stat st
    {
    };
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0 || st.st_size < 0)
        return false;
    out.size = static_cast<std::uint64_t>(st.st_size);
    out.modifiedSeconds = st.st_mtim.tv_sec;
    out.modifiedNanoseconds = st.st_mtim.tv_nsec;
    out.changedSeconds = st.st_ctim.tv_sec;
    out.changedNanoseconds = st.st_ctim.tv_nsec;
    out.links = static_cast<std::uint64_t>(st.st_nlink);
    return true;
}

Status ReadOnlyFile::readAt(std::uint64_t offset, std::uint64_t length, std::string &out,
                            std::string &problem) const
{
    out.clear();
    const std::uint64_t fileSize = size();
    if (offset >= fileSize)
        return status::Ok;
    length = std::min(length, fileSize - offset);
    out.resize(static_cast<std::size_t>(length));
    std::size_t done = 0;
    const Status s = readInto(offset, out.data(), out.size(), done, problem);
    out.resize(s == status::Ok ? done : 0);
    return s;
}

Status ReadOnlyFile::readInto(std::uint64_t offset, char *dest, std::size_t length,
                              std::size_t &done, std::string &problem) const
{
    done = 0;
    while (done < length) {
        const ssize_t n =
            ::pread(m_fd, dest + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            problem = std::strerror(errno);
            return status::FileUnreadable;
        }
        if (n == 0)
            break; // the file shrank since its size was read
        done += static_cast<std::size_t>(n);
    }
    return status::Ok;
}

} // namespace dbase
