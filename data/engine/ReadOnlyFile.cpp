#include "ReadOnlyFile.h"

#include "SystemReason.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dbase {

namespace {

std::string fileName(const std::string &path)
{
    return path.substr(path.find_last_of('/') + 1);
}

// What an entry that is no regular file is, for the sentence that refuses it.
const char *kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "ein Verzeichnis";
    if (S_ISFIFO(mode))
        return "eine benannte Pipe (FIFO)";
    if (S_ISCHR(mode))
        return "ein zeichenorientiertes Gerät";
    if (S_ISBLK(mode))
        return "ein blockorientiertes Gerät";
    if (S_ISSOCK(mode))
        return "ein Socket";
    return "ein Eintrag unbekannter Art";
}

Status notAFile(const std::string &path, const char *kind, std::string &problem)
{
    problem = fileName(path) + " ist keine reguläre Datei, sondern " + kind + ".";
    return status::NotAFile;
}

// Why path cannot be opened, after stat or open failed with error.
Status refused(const std::string &path, int error, std::string &problem)
{
    struct stat link
    {
    };
    switch (error) {
    case ELOOP:
        return notAFile(path, "ein symbolischer Verweis, der im Kreis führt", problem);
    case ENOENT:
        problem = ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)
                      ? fileName(path) + " ist ein symbolischer Verweis auf eine Datei, die es " +
                            "nicht gibt."
                      : "Die Datei existiert nicht.";
        return status::FileNotFound;
    case EACCES:
        problem = "Keine Berechtigung, die Datei zu lesen.";
        return status::FileUnreadable;
    default:
        problem = SystemReason::text(error);
        return status::FileUnreadable;
    }
}

} // namespace

ReadOnlyFile::~ReadOnlyFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

// Only a regular file is opened: a FIFO would block the open until a writer came,
// a device might do anything. The entry is looked at first; the open itself does
// not wait either (O_NONBLOCK), should a FIFO have taken the file's place since.
Status ReadOnlyFile::open(const std::string &path, std::string &problem)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0)
        return refused(path, errno, problem);
    if (!S_ISREG(st.st_mode))
        return notAFile(path, kindOf(st.st_mode), problem);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return refused(path, errno, problem);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = errno;
        const bool regular = S_ISREG(st.st_mode);
        ::close(fd);
        return regular ? refused(path, error, problem)
                       : notAFile(path, kindOf(st.st_mode), problem);
    }
    m_fd = fd;
    const int flags = ::fcntl(m_fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK);
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
            problem = SystemReason::text(errno);
            return status::FileUnreadable;
        }
        if (n == 0)
            break; // the file shrank since its size was read
        done += static_cast<std::size_t>(n);
    }
    return status::Ok;
}

} // namespace dbase
