#include "StandardOutput.h"

#include "OutputFile.h"

#include <cstring>

namespace {

constexpr std::size_t kBufferBytes = std::size_t(64) << 10;

} // namespace

StandardOutput::StandardOutput(int fd) : m_fd(fd), m_buffer(std::make_unique<char[]>(kBufferBytes))
{
    setp(m_buffer.get(), m_buffer.get() + kBufferBytes);
}

// What is left goes out; a failure here can no longer be reported (call sync first).
StandardOutput::~StandardOutput()
{
    drain();
}

bool StandardOutput::writeThrough(const char *data, std::size_t size)
{
    if (m_error != 0)
        return false;
    m_error = OutputFile::writeAll(m_fd, data, size);
    return m_error == 0;
}

bool StandardOutput::drain()
{
    const std::size_t pending = static_cast<std::size_t>(pptr() - pbase());
    setp(m_buffer.get(), m_buffer.get() + kBufferBytes);
    return pending == 0 ? m_error == 0 : writeThrough(m_buffer.get(), pending);
}

StandardOutput::int_type StandardOutput::overflow(int_type c)
{
    if (!drain())
        return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

// Large pieces (the CSV writer's) go out without a copy.
std::streamsize StandardOutput::xsputn(const char *data, std::streamsize size)
{
    const auto n = static_cast<std::size_t>(size);
    if (n <= static_cast<std::size_t>(epptr() - pptr())) {
        std::memcpy(pptr(), data, n);
        pbump(static_cast<int>(n));
        return size;
    }
    if (!drain())
        return 0;
    if (n >= kBufferBytes)
        return writeThrough(data, n) ? size : 0;
    std::memcpy(pptr(), data, n);
    pbump(static_cast<int>(n));
    return size;
}

int StandardOutput::sync()
{
    return drain() ? 0 : -1;
}
