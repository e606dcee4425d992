#include "TableWriter.h"

#include "CodePage.h"
#include "DbfFile.h"
#include "MdxWriter.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <filesystem>

namespace {

constexpr int kBlockSize = 512;
constexpr std::uint8_t kVersion = 0x8B; // dBASE IV with memo

void putLe(std::string &b, std::size_t at, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

int recordLength()
{
    int length = 1;
    for (const WriterField &f : TableWriter::municipalityLayout())
        length += f.width;
    return length;
}

int headerLength()
{
    return 32 + 32 * static_cast<int>(TableWriter::municipalityLayout().size()) + 1;
}

std::string trimmed(const std::string &text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

const std::vector<WriterField> &TableWriter::municipalityLayout()
{
    static const std::vector<WriterField> layout = {
        {"GEMEINDE", 'C', 30, 0},  {"GEMNR", 'C', 5, 0},     {"BEZIRK", 'C', 15, 0},
        {"BL", 'C', 2, 0},         {"BREITE", 'C', 5, 0},    {"LÄNGE", 'C', 5, 0},
        {"MITTEL", 'C', 5, 0},     {"MIN", 'C', 5, 0},       {"MAX", 'C', 5, 0},
        {"JAHRESMITT", 'C', 5, 0}, {"POTENTIAL", 'C', 5, 0}, {"KLASSE", 'N', 4, 0},
        {"KLEINGEM", 'C', 30, 0},  {"TEXT", 'M', 10, 0},
    };
    return layout;
}

TableWriter::TableWriter(std::string dbfPath, std::uint8_t languageDriver)
    : m_dbfPath(std::move(dbfPath)), m_languageDriver(languageDriver),
      m_codePage(dbase::CodePage::fromLanguageDriver(languageDriver))
{
}

// Companion files take the letter case of the table's extension.
std::string TableWriter::companion(const char *upperExtension) const
{
    std::string ext = upperExtension;
    const auto dot = m_dbfPath.find_last_of('.');
    const bool lower = dot != std::string::npos && dot + 1 < m_dbfPath.size() &&
                       std::islower(static_cast<unsigned char>(m_dbfPath[dot + 1]));
    if (lower) {
        for (char &c : ext)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const auto slash = m_dbfPath.find_last_of('/');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExt ? m_dbfPath.substr(0, dot) : m_dbfPath) + ext;
}

std::string TableWriter::memoPath() const
{
    return companion(".DBT");
}
std::string TableWriter::indexPath() const
{
    return companion(".MDX");
}

bool TableWriter::open(std::string &error)
{
    if (!dbase::CodePage::of(m_codePage).isConvertible()) {
        error = "Die Sprachkennung " + std::to_string(m_languageDriver) +
                " nennt keine unterstützte Codepage.";
        return false;
    }
    m_dbf.open(m_dbfPath, std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
    m_dbt.open(memoPath(), std::ios::binary | std::ios::trunc);
    if (!m_dbf || !m_dbt) {
        error = "Die Ausgabedateien können nicht angelegt werden: " + m_dbfPath;
        return false;
    }
    std::error_code ec;
    std::filesystem::remove(indexPath(), ec); // a stale index would not match the new table
    writeHeader(0, false);
    m_dbt << std::string(kBlockSize, '\0');
    return true;
}

void TableWriter::writeHeader(std::uint32_t recordCount, bool productionIndex)
{
    std::string head(static_cast<std::size_t>(headerLength()), '\0');
    const std::time_t now = std::time(nullptr);
    std::tm date{};
    gmtime_r(&now, &date);
    head[0] = static_cast<char>(kVersion);
    head[1] = static_cast<char>(date.tm_year); // years since 1900
    head[2] = static_cast<char>(date.tm_mon + 1);
    head[3] = static_cast<char>(date.tm_mday);
    putLe(head, 4, recordCount, 4);
    putLe(head, 8, static_cast<std::uint32_t>(headerLength()), 2);
    putLe(head, 10, static_cast<std::uint32_t>(recordLength()), 2);
    head[28] = productionIndex ? '\x01' : '\0';
    head[29] = static_cast<char>(m_languageDriver);
    std::size_t at = 32;
    for (const WriterField &f : municipalityLayout()) {
        const std::string name =
            dbase::CodePage::of(m_codePage).fromAnsi(dbase::CodePage::utf8ToAnsi(f.name));
        head.replace(at, name.size(), name);
        head[at + 11] = f.type;
        head[at + 16] = static_cast<char>(f.width);
        head[at + 17] = static_cast<char>(f.decimals);
        at += 32;
    }
    head[at] = '\x0D';
    m_dbf.seekp(0);
    m_dbf.write(head.data(), static_cast<std::streamsize>(head.size()));
}

std::string TableWriter::encodeText(const std::string &utf8, const WriterField &field, bool cut)
{
    const std::string ansi = dbase::CodePage::utf8ToAnsi(utf8);
    std::string text = dbase::CodePage::of(m_codePage).fromAnsi(ansi);
    const auto marks = [](const std::string &t) { return std::count(t.begin(), t.end(), '?'); };
    if (marks(text) > marks(utf8))
        m_warnings.push_back("Satz " + std::to_string(m_records + 1) + ", " + field.name +
                             ": Zeichen ohne Entsprechung in der Codepage wurden zu '?'.");
    if (cut && static_cast<int>(text.size()) > field.width) {
        m_warnings.push_back("Satz " + std::to_string(m_records + 1) + ", " + field.name +
                             ": auf " + std::to_string(field.width) + " Zeichen gekürzt.");
        text.resize(static_cast<std::size_t>(field.width));
    }
    return text;
}

bool TableWriter::encodeNumber(const std::string &utf8, const WriterField &field, std::string &out,
                               std::string &error)
{
    const std::string text = trimmed(utf8);
    out.assign(static_cast<std::size_t>(field.width), ' ');
    if (text.empty())
        return true;
    int value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    const std::string digits = std::to_string(value);
    if (ec != std::errc() || ptr != text.data() + text.size() ||
        static_cast<int>(digits.size()) > field.width) {
        error = "Satz " + std::to_string(m_records + 1) + ", " + field.name + ": \"" + utf8 +
                "\" ist keine ganze Zahl mit höchstens " + std::to_string(field.width) +
                " Stellen.";
        return false;
    }
    out.replace(out.size() - digits.size(), digits.size(), digits);
    return true;
}

// An empty note gets no block: its reference stays blank.
std::string TableWriter::appendMemo(const std::string &utf8)
{
    if (utf8.empty())
        return std::string(10, ' ');
    const std::string text = encodeText(utf8, municipalityLayout().back(), false);
    std::string block(8, '\0');
    block[0] = '\xFF';
    block[1] = '\xFF';
    block[2] = '\x08';
    putLe(block, 4, static_cast<std::uint32_t>(text.size() + 8), 4);
    block += text;
    block.resize((block.size() + kBlockSize - 1) / kBlockSize * kBlockSize, '\0');
    m_dbt.write(block.data(), static_cast<std::streamsize>(block.size()));
    const std::string number = std::to_string(m_nextBlock);
    m_nextBlock += static_cast<std::uint32_t>(block.size() / kBlockSize);
    return std::string(10 - number.size(), ' ') + number;
}

bool TableWriter::append(const std::vector<std::string> &values, std::string &error)
{
    const auto &layout = municipalityLayout();
    if (values.size() != layout.size()) {
        error = "Satz " + std::to_string(m_records + 1) + ": " + std::to_string(values.size()) +
                " Werte statt " + std::to_string(layout.size()) + ".";
        return false;
    }
    std::string record = " ";
    for (std::size_t i = 0; i < layout.size(); ++i) {
        const WriterField &f = layout[i];
        std::string stored;
        if (f.type == 'N') {
            if (!encodeNumber(values[i], f, stored, error))
                return false;
        } else if (f.type == 'M') {
            stored = appendMemo(values[i]);
        } else {
            stored = encodeText(values[i], f, true);
            stored.resize(static_cast<std::size_t>(f.width), ' ');
        }
        record += stored;
    }
    m_dbf.write(record.data(), static_cast<std::streamsize>(record.size()));
    ++m_records;
    return static_cast<bool>(m_dbf);
}

bool TableWriter::finish(bool withIndex, std::string &error)
{
    m_dbf.put('\x1A');
    writeHeader(m_records, false);
    std::string head(4, '\0');
    putLe(head, 0, m_nextBlock, 4);
    m_dbt.seekp(0);
    m_dbt.write(head.data(), 4);
    std::string base = std::filesystem::path(m_dbfPath).stem().string().substr(0, 8);
    m_dbt.seekp(8);
    m_dbt.write(base.data(), static_cast<std::streamsize>(base.size()));
    m_dbt.seekp(20);
    m_dbt.write("\x00\x02", 2); // block size 512
    m_dbt.close();
    m_dbf.flush();
    if (!m_dbf || !m_dbt) {
        error = "Fehler beim Schreiben von " + m_dbfPath;
        return false;
    }
    if (!withIndex) {
        m_dbf.close();
        return true;
    }
    if (!writeIndex(error))
        return false;
    writeHeader(m_records, true);
    m_dbf.flush();
    const bool written = static_cast<bool>(m_dbf);
    m_dbf.close();
    if (!written)
        error = "Fehler beim Schreiben von " + m_dbfPath;
    return written;
}

// The index is built from the table as written, read back through the engine's own
// reader: what the viewer will see is what gets indexed.
bool TableWriter::writeIndex(std::string &error)
{
    std::unique_ptr<dbase::DbfFile> table;
    std::string problem;
    if (dbase::DbfFile::open(m_dbfPath, table, problem) != dbase::status::Ok) {
        error = "Die geschriebene Tabelle ist nicht lesbar: " + problem;
        return false;
    }
    const std::vector<MdxTagSpec> tags = {
        {"KLEINGEM", "KLEINGEM"},
        {"BL", "BL"},
        {"POTENTIAL", "VAL(POTENTIAL)+KLASSE"},
        {"MIN", "VAL(MIN)"},
        {"JAHRESMITT", "VAL(JAHRESMITT)"},
        {"MAX", "VAL(MAX)"},
        {"BEZIRK", "BEZIRK"},
    };
    const std::string base = std::filesystem::path(m_dbfPath).stem().string();
    return writeMdx(indexPath(), base, *table,
                    dbase::Collation::forLanguageDriver(table->layout().languageDriver), tags,
                    error);
}
