#include "OutputFile.h"

#include "SystemReason.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::size_t kBufferBytes = std::size_t(256) << 10;

} // namespace

OutputFile::OutputFile(std::string target) : m_target(std::move(target)) {}

OutputFile::~OutputFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_temporary.empty() && !m_committed)
        ::unlink(m_temporary.c_str());
}

// O_EXCL on a name of our own: the file is new, and created with the permissions
// the umask gives any new file.
bool OutputFile::create()
{
    const auto slash = m_target.find_last_of('/');
    const std::string directory = slash == std::string::npos ? "" : m_target.substr(0, slash + 1);
    const std::string name = m_target.substr(directory.size());
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = directory + "." + name + "." + std::to_string(::getpid()) +
                                      "-" + std::to_string(attempt);
        const int fd =
            ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0) {
            m_fd = fd;
            m_temporary = candidate;
            m_buffer.reserve(kBufferBytes);
            return true;
        }
        if (errno != EEXIST) {
            fail(errno);
            return false;
        }
    }
    fail(EEXIST);
    return false;
}

void OutputFile::write(std::string_view bytes)
{
    if (!ok())
        return;
    if (m_buffer.size() + bytes.size() > kBufferBytes && !flush())
        return;
    if (bytes.size() >= kBufferBytes) {
        if (const int error = writeAll(m_fd, bytes.data(), bytes.size()))
            fail(error);
        return;
    }
    m_buffer.append(bytes);
}

void OutputFile::writeAt(std::uint64_t offset, std::string_view bytes)
{
    if (!flush())
        return;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(m_fd, bytes.data() + done, bytes.size() - done,
                                   static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            fail(errno);
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

bool OutputFile::flush()
{
    if (ok() && !m_buffer.empty()) {
        if (const int error = writeAll(m_fd, m_buffer.data(), m_buffer.size()))
            fail(error);
        m_buffer.clear();
    }
    return ok();
}

// A full disk or an exceeded quota may show only when the bytes reach the device
// (network file systems report it at fsync or close): both are checked.
bool OutputFile::finish()
{
    if (!flush() || m_fd < 0)
        return false;
    if (::fsync(m_fd) != 0 && errno != EINVAL)
        fail(errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && errno != EINTR && ok())
        fail(errno);
    return ok();
}

bool OutputFile::commit()
{
    if (!ok() || m_fd >= 0 || m_temporary.empty())
        return false;
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        fail(errno);
        return false;
    }
    m_committed = true;
    return true;
}

std::string OutputFile::failure() const
{
    return m_target + ": " + dbase::SystemReason::text(m_error);
}

int OutputFile::writeAll(int fd, const char *data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return EIO; // no progress: do not spin
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

void OutputFile::fail(int error)
{
    if (m_error == 0)
        m_error = error;
}
