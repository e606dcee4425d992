#include "TableWriter.h"

#include "AnsiCase.h"
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
      m_codePage(dbase::CodePage::fromLanguageDriver(languageDriver)), m_dbf(m_dbfPath),
      m_dbt(memoPath()), m_mdx(indexPath())
{
}

// Companion files take the letter case of the table's extension.
std::string TableWriter::companion(const char *upperExtension) const
{
    std::string ext = upperExtension;
    const auto dot = m_dbfPath.find_last_of('.');
    const bool lower = dot != std::string::npos && dot + 1 < m_dbfPath.size() &&
                       m_dbfPath[dot + 1] >= 'a' && m_dbfPath[dot + 1] <= 'z';
    if (lower) {
        for (char &c : ext)
            c = dbase::AnsiCase::lowerByte(c);
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
    if (!m_dbf.create() || !m_dbt.create())
        return stopped(error);
    m_dbf.write(header(0, false));
    m_dbt.write(std::string(kBlockSize, '\0'));
    return !failed(error);
}

// The first failure of the files, in error; false when there is none.
bool TableWriter::failed(std::string &error) const
{
    for (const OutputFile *file : {&m_dbf, &m_dbt, &m_mdx}) {
        if (!file->ok()) {
            error = file->failure();
            return true;
        }
    }
    return false;
}

// Answers false for a step that did not complete, with the failure in error.
bool TableWriter::stopped(std::string &error) const
{
    if (!failed(error))
        error = m_dbfPath + ": Die Tabelle wurde nicht vollständig geschrieben.";
    return false;
}

std::string TableWriter::header(std::uint32_t recordCount, bool productionIndex) const
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
    return head;
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
    m_dbt.write(block);
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
    m_dbf.write(record);
    ++m_records;
    return !failed(error);
}

bool TableWriter::finish(bool withIndex, std::string &error)
{
    m_dbf.write("\x1A");
    m_dbf.writeAt(0, header(m_records, false));
    if (!completeMemo() || !m_dbf.flush())
        return stopped(error);
    if (withIndex) {
        if (!writeIndex(error))
            return false;
        m_dbf.writeAt(0, header(m_records, true));
    }
    if (!m_dbf.finish() || (withIndex && !m_mdx.finish()))
        return stopped(error);
    return takeNames(withIndex, error);
}

// The memo file's header: the next free block, the table's base name, the block size.
bool TableWriter::completeMemo()
{
    std::string head(4, '\0');
    putLe(head, 0, m_nextBlock, 4);
    m_dbt.writeAt(0, head);
    const std::string base = std::filesystem::path(m_dbfPath).stem().string().substr(0, 8);
    m_dbt.writeAt(8, base);
    m_dbt.writeAt(20, std::string("\x00\x02", 2)); // block size 512
    return m_dbt.finish();
}

// Every file is complete and on the device: the companions take their names first,
// the table last, so that the table never names a memo or index it does not have.
bool TableWriter::takeNames(bool withIndex, std::string &error)
{
    if (!m_dbt.commit() || (withIndex && !m_mdx.commit()) || !m_dbf.commit())
        return stopped(error);
    if (!withIndex) {
        std::error_code ec;
        std::filesystem::remove(indexPath(), ec); // a stale index would not match the table
    }
    return true;
}

// The index is built from the table as written, read back through the engine's own
// reader: what the viewer will see is what gets indexed.
bool TableWriter::writeIndex(std::string &error)
{
    std::unique_ptr<dbase::DbfFile> table;
    std::string problem;
    if (dbase::DbfFile::open(m_dbf.temporaryPath(), table, problem) != dbase::status::Ok) {
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
    std::string bytes;
    if (!buildMdx(base, *table, dbase::Collation::forLanguageDriver(table->layout().languageDriver),
                  tags, bytes, error))
        return false;
    if (!m_mdx.create())
        return stopped(error);
    m_mdx.write(bytes);
    return !failed(error);
}
