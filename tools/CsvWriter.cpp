#include "CsvWriter.h"

namespace {

constexpr std::size_t kCapacity = (std::size_t(256) + 64) << 10;

bool needsQuotes(std::string_view utf8)
{
    return utf8.find_first_of(",\"\r\n") != std::string_view::npos;
}

} // namespace

CsvWriter::CsvWriter(const TextView &view, std::ostream &out)
    : m_view(view), m_out(out), m_data(std::make_unique<char[]>(kCapacity)), m_capacity(kCapacity)
{
    const auto *forms = view.byteForms();
    if (!forms)
        return;
    m_byteByByte = true;
    m_asciiAsIs = true;
    for (unsigned b = 0; b < 256; ++b) {
        const dbase::CodePage::Utf8Form &from = (*forms)[b];
        Utf8Form &form = m_utf8[b];
        std::memcpy(form.bytes, from.bytes, sizeof form.bytes);
        form.length = from.length;
        form.special = needsQuotes(std::string_view(from.bytes, from.length));
        m_asciiAsIs = m_asciiAsIs && (b >= 0x80 || (from.length == 1 && from.bytes[0] == char(b)));
    }
}

std::string CsvWriter::quoted(const std::string &text)
{
    if (!needsQuotes(text))
        return text;
    std::string q = "\"";
    for (const char c : text) {
        if (c == '"')
            q += '"';
        q += c;
    }
    return q + '"';
}

void CsvWriter::text(const std::string &utf8)
{
    const std::string q = quoted(utf8);
    room(q.size());
    std::memcpy(m_data.get() + m_used, q.data(), q.size());
    m_used += q.size();
}

// The buffer goes out first; a long note may need a larger one.
void CsvWriter::makeRoom(std::size_t n)
{
    flush();
    if (n <= m_capacity)
        return;
    m_capacity = n;
    m_data = std::make_unique<char[]>(m_capacity);
}

// Puts the text written from start in quotes, its quotes doubled.
void CsvWriter::quoteFrom(std::size_t start)
{
    m_scratch.assign(m_data.get() + start, m_used - start);
    m_used = start;
    room(2 * m_scratch.size() + 2);
    char *to = m_data.get() + m_used;
    *to++ = '"';
    for (const char c : m_scratch) {
        if (c == '"')
            *to++ = '"';
        *to++ = c;
    }
    *to++ = '"';
    m_used = std::size_t(to - m_data.get());
}

void CsvWriter::flush()
{
    m_out.write(m_data.get(), static_cast<std::streamsize>(m_used));
    m_used = 0;
}
