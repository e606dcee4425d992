#include "TableDump.h"

#include "CodePage.h"
#include "DbaseEngine.h"
#include "DbfFile.h"
#include "FieldDecoder.h"
#include "FileLookup.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace {

using namespace dbase;

std::string hex2(unsigned v)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", v & 0xFF);
    return buf;
}

// An open table: the engine and a cursor on it, or the composed error text.
struct OpenTable
{
    std::unique_ptr<Engine> engine = createDbaseEngine();
    std::unique_ptr<EngineCursor> cursor;
    int codePage = 1252;

    std::string failure(Status code) const
    {
        std::string message = engine->errorText(code);
        int native = 0;
        std::string text;
        for (int n = 1; engine->errorEntry(n, native, text) != status::NoEntry && n < 16; ++n)
            message += "\n" + text;
        return message.empty() ? "Fehler " + hex2(code >> 8) + hex2(code).substr(2) : message;
    }

    bool open(const std::string &path, std::ostream &err)
    {
        const std::filesystem::path p(path);
        const std::string dir = p.parent_path().string();
        const std::string name = p.filename().string();
        engine->start();
        const Status s = engine->openTable(dir, name, engine->driverFor(dir, name), cursor);
        if (s != status::Ok) {
            err << "tabledump: " << failure(s) << '\n';
            return false;
        }
        cursor->cursorLocale(codePage);
        return true;
    }

    std::string utf8(const std::string &stored) const
    {
        return CodePage::ansiToUtf8(CodePage::of(codePage).toAnsi(stored));
    }
};

std::string csvQuoted(const std::string &text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string q = "\"";
    for (const char c : text) {
        if (c == '"')
            q += '"';
        q += c;
    }
    return q + '"';
}

// The notes that cannot be read: each is reported on err with its record and field,
// and its cell stays empty.
struct NoteFailures
{
    std::ostream &err;
    std::uint32_t recno = 0;
    bool any = false;

    void report(const OpenTable &t, const FieldDesc &field, Status s)
    {
        err << "tabledump: Satz " << recno << ", " << t.utf8(field.name) << ": " << t.failure(s)
            << '\n';
        any = true;
    }
};

// A field's text in the dump; a note that cannot be read goes to failures.
std::string shown(OpenTable &t, int fieldNo, const FieldDesc &field, const std::string &record,
                  NoteFailures &failures)
{
    if (field.type == FieldType::Memo) {
        std::string note;
        if (const Status s = t.cursor->readMemo(fieldNo, record, note); s != status::Ok) {
            failures.report(t, field, s);
            return {};
        }
        // Pictures, OLE objects and binary memos are no text.
        if (field.typeLetter != 'M' && !note.empty())
            return FieldDecoder::placeholder(field.typeLetter);
        return t.utf8(note);
    }
    FieldValue v;
    if (t.cursor->extractField(fieldNo, record, v) != status::Ok)
        return {};
    if ((field.type == FieldType::SmallInt || field.type == FieldType::Integer) && !v.blank)
        return std::to_string(v.integer);
    return t.utf8(v.text);
}

// The records' CSV, built in one buffer that goes out in large writes: text
// fields and notes are converted to UTF-8 through a table of each stored byte's
// UTF-8 form, with no string made per field; other kinds take shown().
class CsvWriter
{
public:
    CsvWriter(const OpenTable &t, std::ostream &out)
        : m_out(out), m_data(std::make_unique<char[]>(kCapacity)), m_capacity(kCapacity)
    {
        for (int b = 0; b < 256; ++b) {
            const std::string utf8 = t.utf8(std::string(1, static_cast<char>(b)));
            Utf8Form &form = m_utf8[std::size_t(b)];
            form.length = static_cast<unsigned char>(std::min<std::size_t>(utf8.size(), 4));
            utf8.copy(form.bytes, form.length);
            form.special = b == ',' || b == '"' || b == '\r' || b == '\n';
            m_asciiAsIs = m_asciiAsIs && (b >= 0x80 || utf8 == std::string(1, char(b)));
        }
    }
    ~CsvWriter() { flush(); }
    CsvWriter(const CsvWriter &) = delete;
    CsvWriter &operator=(const CsvWriter &) = delete;

    template <typename Integer> void number(Integer n)
    {
        room(16);
        m_used = std::size_t(
            std::to_chars(m_data.get() + m_used, m_data.get() + m_capacity, n).ptr - m_data.get());
    }
    void put(char c)
    {
        room(1);
        m_data[m_used++] = c;
    }
    // A stored text in the table's code page, quoted when it holds a comma, a quote
    // or a line break.
    void stored(std::string_view bytes)
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
    // Text that is UTF-8 already.
    void text(const std::string &utf8)
    {
        const std::string quoted = csvQuoted(utf8);
        room(quoted.size());
        std::memcpy(m_data.get() + m_used, quoted.data(), quoted.size());
        m_used += quoted.size();
    }
    void endRecord()
    {
        put('\n');
        if (m_used >= kFlushAt)
            flush();
    }

private:
    static constexpr std::size_t kFlushAt = std::size_t(256) << 10;
    static constexpr std::size_t kCapacity = kFlushAt + (std::size_t(64) << 10);
    struct Utf8Form
    {
        char bytes[4] = {};
        unsigned char length = 0;
        bool special = false;
    };

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
    // Makes room for n more bytes: the buffer goes out first, or grows for a long note.
    void room(std::size_t n)
    {
        if (m_used + n <= m_capacity)
            return;
        flush();
        if (n <= m_capacity)
            return;
        m_capacity = n;
        m_data = std::make_unique<char[]>(m_capacity);
    }
    // Puts the text written from start in quotes, its quotes doubled.
    void quoteFrom(std::size_t start)
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
    void flush()
    {
        m_out.write(m_data.get(), static_cast<std::streamsize>(m_used));
        m_used = 0;
    }

    std::ostream &m_out;
    Utf8Form m_utf8[256];
    std::unique_ptr<char[]> m_data;
    std::size_t m_capacity;
    std::size_t m_used = 0;
    bool m_asciiAsIs = true; // every ASCII byte is its own UTF-8 form
    std::string m_scratch;
};

// A text field as the dump shows it: its stored bytes without trailing blanks and NULs.
std::string_view storedText(const FieldDesc &field, const std::string &record)
{
    const char *start = record.data() + field.offset;
    std::size_t length = static_cast<std::size_t>(field.width);
    while (length > 0 && (start[length - 1] == ' ' || start[length - 1] == '\0'))
        --length;
    return {start, length};
}

// Writes field number fieldNo of record; a note that cannot be read goes to failures.
void writeField(OpenTable &t, CsvWriter &csv, int fieldNo, const FieldDesc &field,
                const std::string &record, std::string &note, NoteFailures &failures)
{
    if (field.type == FieldType::Text) {
        csv.stored(storedText(field, record));
        return;
    }
    if (field.type != FieldType::Memo) {
        const FieldValue v = FieldDecoder::decode(field, record.data());
        if ((field.type == FieldType::SmallInt || field.type == FieldType::Integer) && !v.blank)
            csv.number(v.integer);
        else
            csv.stored(v.text);
        return;
    }
    if (field.typeLetter != 'M') {
        csv.text(shown(t, fieldNo, field, record, failures));
        return;
    }
    if (const Status s = t.cursor->readMemo(fieldNo, record, note); s != status::Ok) {
        failures.report(t, field, s);
        return;
    }
    csv.stored(note);
}

// The table file that the engine opens for path: found without regard to letter case.
std::optional<std::string> tableFile(const std::string &path)
{
    const std::filesystem::path p(path);
    return FileLookup::find(p.parent_path().string(), p.filename().string());
}

// The search box lowers "A" to "Z" only; every other character stays as typed.
std::string lowerAscii(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Finds the record that the window's name search finds for typed: the first one
// whose key is equal to or greater than the lowered text in the active order, or,
// when the text lies beyond every key, the last one. Leaves it in record.
Status seekNearest(OpenTable &t, const std::string &typed, std::string &record, RecordProps &props)
{
    IndexFacts facts;
    if (const Status s = t.cursor->indexFacts(facts); s != status::Ok)
        return s;
    if (facts.keyFields.empty())
        return status::InvalidParameter; // only an order on one field takes a typed text
    const std::string value =
        CodePage::of(t.codePage).fromAnsi(CodePage::utf8ToAnsi(lowerAscii(typed)));
    std::string lookup;
    std::string key;
    if (Status s = t.cursor->blankRecord(lookup); s != status::Ok)
        return s;
    if (Status s = t.cursor->putField(facts.keyFields.front(), lookup, value); s != status::Ok)
        return s;
    if (Status s = t.cursor->extractKey(lookup, key); s != status::Ok)
        return s;
    if (Status s = t.cursor->setToKey(SearchCondition::GreaterOrEqual, true, 0, 0, key);
        s != status::Ok)
        return s;
    const Status s = t.cursor->getNext(record, props);
    return s == status::NoNextRecord ? t.cursor->getPrior(record, props) : s;
}

void printFields(const OpenTable &t, std::ostream &out)
{
    out << "Felder:\n";
    int n = 0;
    for (const FieldDesc &f : t.cursor->fieldDescs())
        out << "  " << ++n << ' ' << t.utf8(f.name) << ' ' << f.typeLetter << ' ' << f.width << ' '
            << f.decimals << '\n';
}

void printTags(const OpenTable &t, std::ostream &out)
{
    out << "Indizes:\n";
    for (const IndexDesc &d : t.cursor->indexDescs())
        out << "  " << d.tagName << " (" << d.indexFile << ") " << d.keyType << ' ' << d.keySize
            << ": " << t.utf8(d.expression) << (d.descending ? " absteigend" : "")
            << (d.unique ? " eindeutig" : "") << '\n';
}

} // namespace

int TableDump::info(const Options &options, std::ostream &out, std::ostream &err)
{
    OpenTable t;
    if (!t.open(options.table, err))
        return 1;
    // The header facts come from the file the engine has just opened.
    const auto path = tableFile(options.table);
    std::unique_ptr<DbfFile> file;
    std::string problem = "Die Tabelle wurde nach dem Öffnen entfernt.";
    if (!path || DbfFile::open(*path, file, problem) != status::Ok) {
        err << "tabledump: " << options.table << ": " << problem << '\n';
        return 1;
    }
    std::int32_t count = 0;
    t.cursor->countRecords(count);
    const DbfLayout &layout = file->layout();
    out << "Datei: " << std::filesystem::path(*path).filename().string() << '\n'
        << "Version: " << hex2(layout.version) << " (" << DbfFile::versionName(layout.version)
        << ")\n"
        << "Codepage: " << t.codePage << " (Sprachkennung " << hex2(layout.languageDriver) << ")\n"
        << "Datensätze: " << count << " (gespeichert " << layout.recordCount << ")\n"
        << "Satzlänge: " << layout.recordLength << '\n';
    printFields(t, out);
    printTags(t, out);
    return 0;
}

int TableDump::records(const Options &options, std::ostream &out, std::ostream &err)
{
    OpenTable t;
    if (!t.open(options.table, err))
        return 1;
    if (!options.order.empty()) {
        if (const Status s = t.cursor->switchToIndex("", options.order, false); s != status::Ok) {
            err << "tabledump: " << t.failure(s) << '\n';
            return 1;
        }
    }
    const std::vector<FieldDesc> fields = t.cursor->fieldDescs();
    std::string record;
    RecordProps props;
    Status s = status::Ok;
    if (options.seek.has_value()) {
        s = seekNearest(t, *options.seek, record, props);
        if (s != status::Ok && s != status::NoNextRecord && s != status::NoPriorRecord) {
            err << "tabledump: " << t.failure(s) << '\n';
            return 1;
        }
    } else {
        t.cursor->setToBegin();
        s = t.cursor->getNext(record, props);
    }
    out << "RECNO";
    for (const FieldDesc &f : fields)
        out << ',' << csvQuoted(t.utf8(f.name));
    out << '\n';
    NoteFailures failures{err};
    CsvWriter csv(t, out);
    std::string note;
    // In storage order the notes come (mostly) in the memo file's order: read ahead.
    // In a tag's order each is read when it is needed.
    if (options.order.empty())
        t.cursor->readNotesAhead();
    // A failed write stops the walk: the caller reports it.
    for (; s == status::Ok && out; s = t.cursor->getNext(record, props)) {
        csv.number(props.physicalNumber);
        failures.recno = props.physicalNumber;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            csv.put(',');
            writeField(t, csv, static_cast<int>(i) + 1, fields[i], record, note, failures);
        }
        csv.endRecord();
    }
    return failures.any ? 1 : 0;
}
