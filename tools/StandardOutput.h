// Standard output as a stream buffer whose every write is checked: a full disk, a
// closed or read-only descriptor or a reader that went away is kept as the errno of
// the first failure, and the stream that writes through it goes bad, so that the
// writer stops and can report the failure instead of ending as if all were written.
#pragma once

#include <memory>
#include <streambuf>

class StandardOutput : public std::streambuf
{
public:
    explicit StandardOutput(int fd = 1);
    ~StandardOutput() override;
    StandardOutput(const StandardOutput &) = delete;
    StandardOutput &operator=(const StandardOutput &) = delete;

    // 0 while every write succeeded; else the errno of the first failure.
    int error() const { return m_error; }

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char *data, std::streamsize size) override;
    int sync() override;

private:
    bool drain();
    bool writeThrough(const char *data, std::size_t size);

    int m_fd;
    std::unique_ptr<char[]> m_buffer;
    int m_error = 0;
};
