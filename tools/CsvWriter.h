// tabledump's records as CSV, built in one buffer that goes out in large writes.
// Stored texts (text fields, notes) are converted to UTF-8 by the dump's TextView:
// where each character is one byte straight into the buffer through a table of each
// byte's UTF-8 form, with no string made per field; otherwise a text at a time.
// A value holding a comma, a quote or a line break is put in quotes, its quotes doubled.
#pragma once

#include "TextView.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

class CsvWriter
{
public:
    CsvWriter(const TextView &view, std::ostream &out);
    ~CsvWriter() { flush(); }
    CsvWriter(const CsvWriter &) = delete;
    CsvWriter &operator=(const CsvWriter &) = delete;

    // text (UTF-8) as one CSV value.
    static std::string quoted(const std::string &text);

    // The hot path (every field of every record) is inline.
    void number(std::int64_t n)
    {
        room(24);
        m_used = std::size_t(
            std::to_chars(m_data.get() + m_used, m_data.get() + m_capacity, n).ptr - m_data.get());
    }
    void put(char c)
    {
        room(1);
        m_data[m_used++] = c;
    }
    // A stored text of the table, in its code page.
    void stored(std::string_view bytes)
    {
        if (m_byteByByte)
            storedByteByByte(bytes);
        else
            text(m_view.utf8(bytes));
    }
    // Text that is UTF-8 already.
    void text(const std::string &utf8);
    void endRecord()
    {
        put('\n');
        if (m_used >= kFlushAt)
            flush();
    }

private:
    struct Utf8Form
    {
        char bytes[4] = {};
        unsigned char length = 0;
        bool special = false; // needs quotes
    };

    static constexpr std::size_t kFlushAt = std::size_t(256) << 10;

    // True when bytes are ASCII without a character that needs quotes: a loop the
    // compiler turns into vector compares.
    static bool plainAscii(std::string_view bytes)
    {
        unsigned char found = 0;
        for (const char c : bytes) {
            const auto u = static_cast<unsigned char>(c);
            found |= static_cast<unsigned char>((u & 0x80) | (u == ',') | (u == '"') | (u == '\r') |
                                                (u == '\n'));
        }
        return found == 0;
    }
    void storedByteByByte(std::string_view bytes)
    {
        room(bytes.size() * 4 + 2);
        if (m_asciiAsIs && plainAscii(bytes)) {
            std::memcpy(m_data.get() + m_used, bytes.data(), bytes.size());
            m_used += bytes.size();
            return;
        }
        char *to = m_data.get() + m_used;
        bool special = false;
        for (const char c : bytes) {
            const Utf8Form &form = m_utf8[static_cast<unsigned char>(c)];
            std::memcpy(to, form.bytes, 4);
            to += form.length;
            special |= form.special;
        }
        const std::size_t start = m_used;
        m_used = std::size_t(to - m_data.get());
        if (special)
            quoteFrom(start);
    }
    // Makes room for n more bytes: the buffer goes out first, or grows for a long note.
    void room(std::size_t n)
    {
        if (m_used + n > m_capacity)
            makeRoom(n);
    }
    void makeRoom(std::size_t n);
    void quoteFrom(std::size_t start);
    void flush();

    const TextView &m_view;
    std::ostream &m_out;
    bool m_byteByByte = false; // m_utf8 converts the page's bytes
    bool m_asciiAsIs = false;  // and every ASCII byte is its own UTF-8 form
    Utf8Form m_utf8[256];
    std::unique_ptr<char[]> m_data;
    std::size_t m_capacity;
    std::size_t m_used = 0;
    std::string m_scratch;
};
