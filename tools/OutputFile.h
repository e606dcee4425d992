// A file that is written whole or not at all: its bytes go to a new file under a
// temporary name beside the target (so that the final rename stays on one file
// system), every write, the flush to the device and the close are checked, and the
// temporary takes the target's name only on commit(). A file not committed is
// removed when the object goes, so a failed run leaves neither a partial file nor
// a changed target behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class OutputFile
{
public:
    explicit OutputFile(std::string target);
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Creates the temporary file (".NAME.<number>" beside the target).
    bool create();
    // Appends bytes through a buffer. After a failure nothing more is written.
    void write(std::string_view bytes);
    // Writes bytes at offset from the start (the buffer goes out first).
    void writeAt(std::uint64_t offset, std::string_view bytes);
    // Sends the buffer to the file, so that the file can be read back.
    bool flush();
    // Flushes, waits until the bytes are on the device (fsync) and closes.
    bool finish();
    // Renames the finished temporary onto the target.
    bool commit();

    bool ok() const { return m_error == 0; }
    // "<target>: <the system's reason>" for the first failure.
    std::string failure() const;
    const std::string &target() const { return m_target; }
    const std::string &temporaryPath() const { return m_temporary; }

    // Writes size bytes to fd, resuming after partial writes and interruptions;
    // 0 or the errno of the failure.
    static int writeAll(int fd, const char *data, std::size_t size);

private:
    void fail(int error);

    std::string m_target;
    std::string m_temporary;
    std::string m_buffer;
    int m_fd = -1;
    int m_error = 0;
    bool m_committed = false;
};
