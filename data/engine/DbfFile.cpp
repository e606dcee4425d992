#include "DbfFile.h"

#include "CodePage.h"
#include "CodePageGuess.h"
#include "ReadOnlyFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <thread>

namespace dbase {

namespace {

// Where the field descriptors start and what they hold where: dBASE III to 5 and
// FoxPro share one layout; dBASE 7 (level 7) has a 68-byte header and 48-byte
// descriptors with 32-character names.
struct DescriptorLayout
{
    std::size_t first;    // offset of the first descriptor
    std::size_t size;     // bytes per descriptor
    std::size_t nameSize; // the name's bytes, NUL-padded
    std::size_t type;     // offsets within the descriptor
    std::size_t length;
    std::size_t decimals;
};

constexpr DescriptorLayout kClassicDescriptors{32, 32, 11, 11, 16, 17};
constexpr DescriptorLayout kLevel7Descriptors{68, 48, 32, 32, 33, 34};

const DescriptorLayout &descriptorsOf(const DbfLayout &layout)
{
    return layout.level7 ? kLevel7Descriptors : kClassicDescriptors;
}

std::uint16_t u16(std::string_view b, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      static_cast<unsigned char>(b[at + 1]) << 8);
}

std::uint32_t u32(std::string_view b, std::size_t at)
{
    return static_cast<std::uint32_t>(u16(b, at)) | static_cast<std::uint32_t>(u16(b, at + 2))
                                                        << 16;
}

std::string hexByte(unsigned v)
{
    static const char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[(v >> 4) & 0xF] + digits[v & 0xF];
}

enum class VersionKind { Dbase, FoxPro, VisualFoxPro, Dbase7, Unknown };

VersionKind kindOf(std::uint8_t version)
{
    switch (version) {
    case 0x03:
    case 0x83:
    case 0x8B:
    case 0x8E:
    case 0xCB:
    case 0x43:
    case 0x63:
        return VersionKind::Dbase;
    case 0xF5:
        return VersionKind::FoxPro;
    case 0x30:
    case 0x31:
    case 0x32:
        return VersionKind::VisualFoxPro;
    case 0x04:
    case 0x8C:
        return VersionKind::Dbase7;
    default:
        return VersionKind::Unknown;
    }
}

FieldType typeOf(char letter, int width, int decimals, const DbfLayout &layout)
{
    switch (letter) {
    case 'C':
        return FieldType::Text;
    case 'N':
        if (decimals == 0 && width <= 4)
            return FieldType::SmallInt;
        if (decimals == 0 && width <= 9)
            return FieldType::Integer;
        return FieldType::Number;
    case 'F':
        return FieldType::Number;
    case 'D':
        return FieldType::Date;
    case 'L':
        return FieldType::Logical;
    case 'M':
    case 'G':
    case 'P':
    case 'W':
        return FieldType::Memo;
    case 'B': // dBASE: a binary memo; Visual FoxPro: an 8-byte double
        return layout.visualFoxPro || width == 8 ? FieldType::Double : FieldType::Memo;
    case 'I':
    case '+':
        return layout.level7 ? FieldType::SortedLong : FieldType::Long;
    case 'O':
        return FieldType::SortedDouble;
    case 'Y':
        return FieldType::Currency;
    case 'T':
        return FieldType::DateTime;
    case '@':
        return FieldType::Timestamp;
    default:
        return FieldType::Other;
    }
}

// Reads the descriptor d of field number, whose field starts at recordOffset. A width
// of 0 is accepted (GIS exports write such fields): the record length, checked against
// the widths' sum, still tells a damaged header.
// longText: a character field's decimals byte is the high byte of its width, as
// Clipper and FoxPro store fields longer than 255; otherwise that byte is ignored
// for character fields (spreadsheet exports write one there).
Status readDescriptor(std::string_view d, int number, int recordOffset, bool longText,
                      const DbfLayout &layout, FieldDesc &field, std::string &problem)
{
    const DescriptorLayout &at = descriptorsOf(layout);
    const std::string_view name = d.substr(0, at.nameSize);
    field.name = std::string(name.substr(0, std::min(name.find('\0'), name.size())));
    field.typeLetter = d[at.type];
    const auto lengthByte = static_cast<unsigned char>(d[at.length]);
    const auto decimalByte = static_cast<unsigned char>(d[at.decimals]);
    const bool text = field.typeLetter == 'C';
    field.width = text && longText ? lengthByte + 256 * decimalByte : lengthByte;
    field.decimals = text ? 0 : decimalByte;
    field.offset = recordOffset;
    field.type = typeOf(field.typeLetter, field.width, field.decimals, layout);
    const std::string which = "Feld " + std::to_string(number) + " (" + field.name + ")";
    if (field.name.empty()) {
        problem = "Feld " + std::to_string(number) + " hat keinen Namen.";
        return status::TableDamaged;
    }
    if (field.decimals > 0 && field.decimals >= field.width) {
        problem = which + " hat mehr Nachkommastellen als Stellen.";
        return status::TableDamaged;
    }
    return status::Ok;
}

// The descriptors end with 0x0D at a descriptor start, before headerLength. Some
// writers end them with 0x00 instead; a 0x0A (a line feed for the carriage return)
// ends them only as the header's last byte, where the header length confirms it.
// Answers the field count, or -1 when no end is found.
int countDescriptors(std::string_view head, std::size_t headerLength, const DescriptorLayout &d)
{
    int count = 0;
    for (std::size_t at = d.first; at < headerLength; at += d.size, ++count) {
        if (head[at] == '\x0D' || head[at] == '\0')
            return count;
        if (head[at] == '\x0A' && at + 1 == headerLength)
            return count;
        if (at + d.size >= headerLength)
            return -1; // a descriptor would reach into the records
    }
    return -1;
}

Status checkVersion(std::uint8_t version, DbfLayout &layout, std::string &problem)
{
    switch (kindOf(version)) {
    case VersionKind::Unknown:
        problem = "Die Versionskennung " + hexByte(version) + " ist keine bekannte dBASE-Version.";
        return status::NotATable;
    case VersionKind::FoxPro:
        layout.foxPro = true;
        break;
    case VersionKind::VisualFoxPro:
        layout.foxPro = true;
        layout.visualFoxPro = true;
        break;
    case VersionKind::Dbase7:
        layout.level7 = true;
        break;
    case VersionKind::Dbase:
        break;
    }
    return status::Ok;
}

// The fields from count descriptors, each character field's width read as longText
// says (see readDescriptor). Answers the record length they add up to in end.
Status readFields(std::string_view head, const DbfLayout &layout, int count, bool longText,
                  std::vector<FieldDesc> &fields, int &end, std::string &problem)
{
    const DescriptorLayout &d = descriptorsOf(layout);
    fields.clear();
    end = 1;
    for (int i = 0; i < count; ++i) {
        FieldDesc field;
        const Status s = readDescriptor(head.substr(d.first + d.size * std::size_t(i), d.size),
                                        i + 1, end, longText, layout, field, problem);
        if (s != status::Ok)
            return s;
        end += field.width;
        fields.push_back(std::move(field));
    }
    return status::Ok;
}

bool hasTextWithDecimals(std::string_view head, const DescriptorLayout &d, int count)
{
    for (int i = 0; i < count; ++i) {
        const std::string_view desc = head.substr(d.first + d.size * std::size_t(i), d.size);
        if (desc[d.type] == 'C' && desc[d.decimals] != '\0')
            return true;
    }
    return false;
}

Status checkFields(std::string_view head, DbfLayout &layout, std::string &problem)
{
    const DescriptorLayout &d = descriptorsOf(layout);
    const int count = countDescriptors(head, layout.headerLength, d);
    if (count < 0) {
        problem = "Das Ende der Feldbeschreibungen (0x0D) fehlt im Tabellenkopf von " +
                  std::to_string(layout.headerLength) + " Bytes.";
        return status::TableDamaged;
    }
    if (count == 0) {
        problem = "Die Tabelle beschreibt keine Felder.";
        return status::TableDamaged;
    }
    if (count > DbfFile::kMaxFields) {
        problem = "Die Tabelle hat " + std::to_string(count) + " Felder, höchstens " +
                  std::to_string(DbfFile::kMaxFields) + " werden gelesen.";
        return status::LimitExceeded;
    }
    int end = 0;
    if (const Status s = readFields(head, layout, count, true, layout.fields, end, problem);
        s != status::Ok)
        return s;
    // A character field with a decimals byte: the byte is the width's high byte only
    // when the widths then add up to the record length; otherwise it is ignored, if
    // the plain widths add up.
    if (end != layout.recordLength && hasTextWithDecimals(head, d, count)) {
        std::vector<FieldDesc> plain;
        int plainEnd = 0;
        std::string plainProblem;
        if (readFields(head, layout, count, false, plain, plainEnd, plainProblem) == status::Ok &&
            plainEnd == layout.recordLength) {
            layout.fields = std::move(plain);
            end = plainEnd;
        }
    }
    if (end != layout.recordLength) {
        problem = "Die Satzlänge im Tabellenkopf (" + std::to_string(layout.recordLength) +
                  ") passt nicht zur Summe der Feldbreiten + 1 (" + std::to_string(end) + ").";
        return status::TableDamaged;
    }
    return status::Ok;
}

Status checkRecordArea(const DbfLayout &layout, std::uint64_t fileSize, std::string &problem)
{
    const std::uint64_t room = (fileSize - layout.headerLength) / layout.recordLength;
    if (layout.recordCount > room) {
        problem = "Der Tabellenkopf gibt " + std::to_string(layout.recordCount) +
                  " Datensätze an, die Datei enthält aber nur " + std::to_string(room) +
                  " (Datei gekürzt?).";
        return status::TableDamaged;
    }
    return status::Ok;
}

} // namespace

Status DbfFile::checkHeader(std::string_view head, std::uint64_t fileSize, DbfLayout &layout,
                            std::string &problem)
{
    layout = DbfLayout{};
    if (fileSize < 32 || head.size() < 32) {
        problem = "Die Datei ist mit " + std::to_string(fileSize) +
                  " Bytes kürzer als ein Tabellenkopf (32 Bytes).";
        return status::NotATable;
    }
    layout.version = static_cast<std::uint8_t>(head[0]);
    if (const Status s = checkVersion(layout.version, layout, problem); s != status::Ok)
        return s;
    const DescriptorLayout &d = descriptorsOf(layout);
    if (head[15] != '\0') {
        problem = "Die Datensätze sind verschlüsselt.";
        return status::TableEncrypted;
    }
    layout.recordCount = u32(head, 4);
    layout.headerLength = u16(head, 8);
    layout.recordLength = u16(head, 10);
    layout.productionIndex = !layout.foxPro && head[28] == '\x01';
    layout.languageDriver = static_cast<std::uint8_t>(head[29]);
    if (layout.headerLength < d.first + d.size + 1 || layout.recordLength < 2) {
        problem = "Kopflänge (" + std::to_string(layout.headerLength) + ") oder Satzlänge (" +
                  std::to_string(layout.recordLength) + ") im Tabellenkopf ist unmöglich klein.";
        return status::TableDamaged;
    }
    if (layout.headerLength > fileSize || layout.headerLength > head.size()) {
        problem = "Der Tabellenkopf soll " + std::to_string(layout.headerLength) +
                  " Bytes lang sein, die Datei hat aber nur " + std::to_string(fileSize) + ".";
        return status::TableDamaged;
    }
    if (const Status s = checkFields(head, layout, problem); s != status::Ok)
        return s;
    return checkRecordArea(layout, fileSize, problem);
}

namespace {

// The record area is read in pieces of about this size, each checked for deletion
// flags while it is still in the cache; a large table is read by two threads, one
// half each.
constexpr std::size_t kPieceBytes = std::size_t(1) << 20;
constexpr std::uint64_t kTwoThreadsFrom = std::uint64_t(16) << 20;

// Records first .. first + count - 1 (0-based) of the area at data.
struct RecordSpan
{
    const ReadOnlyFile *file;
    const DbfLayout *layout;
    char *data;
    std::uint64_t first;
    std::uint64_t count;
    Status result = status::Ok;
    std::string problem;
    std::uint32_t deleted = 0;

    void read()
    {
        const std::size_t length = layout->recordLength;
        const std::uint64_t perPiece = std::max<std::size_t>(1, kPieceBytes / length);
        for (std::uint64_t r = first; r < first + count; r += perPiece) {
            const std::uint64_t n = std::min(perPiece, first + count - r);
            char *at = data + r * length;
            const std::size_t wanted = static_cast<std::size_t>(n * length);
            std::size_t done = 0;
            result = file->readInto(layout->headerLength + r * length, at, wanted, done, problem);
            if (result != status::Ok)
                return;
            if (done != wanted) {
                problem = "Die Datei wurde beim Lesen kürzer.";
                result = status::FileChanged;
                return;
            }
            for (std::uint64_t i = 0; i < n; ++i)
                deleted += at[i * length] == '*';
        }
    }
};

// Reads the layout's records into memory and counts the deleted ones.
Status readRecords(const ReadOnlyFile &in, const DbfLayout &layout, RecordMemory &memory,
                   std::uint32_t &deleted, std::string &problem)
{
    const std::uint64_t count = layout.recordCount;
    const std::uint64_t half = memory.size() >= kTwoThreadsFrom ? count / 2 : 0;
    RecordSpan low{&in, &layout, memory.data(), 0, half, status::Ok, {}, 0};
    RecordSpan high{&in, &layout, memory.data(), half, count - half, status::Ok, {}, 0};
    std::thread helper;
    if (half > 0) {
        try {
            helper = std::thread([&low] { low.read(); });
        } catch (const std::system_error &) {
            low.read(); // no second thread: one reads both halves
        }
    }
    high.read();
    if (helper.joinable())
        helper.join();
    for (RecordSpan *span : {&low, &high}) {
        if (span->result != status::Ok) {
            problem = span->problem;
            return span->result;
        }
    }
    deleted = low.deleted + high.deleted;
    return status::Ok;
}

} // namespace

Status DbfFile::open(const std::string &path, std::unique_ptr<DbfFile> &file, std::string &problem)
{
    ReadOnlyFile in;
    if (const Status s = in.open(path, problem); s != status::Ok)
        return s;
    const std::uint64_t size = in.size();
    std::string head;
    // The header length is a 16-bit number: 64 KiB hold any header.
    if (const Status s = in.readAt(0, std::min<std::uint64_t>(size, 0x10000), head, problem);
        s != status::Ok)
        return s;
    DbfLayout layout;
    if (const Status s = checkHeader(head, size, layout, problem); s != status::Ok)
        return s;
    const std::uint64_t bytes = std::uint64_t(layout.recordCount) * layout.recordLength;
    auto records = std::make_unique<RecordMemory>();
    if (bytes > SIZE_MAX || !records->allocate(static_cast<std::size_t>(bytes))) {
        problem = "Für die " + std::to_string(layout.recordCount) +
                  " Datensätze reicht der Speicher nicht.";
        return status::OutOfMemory;
    }
    std::uint32_t deleted = 0;
    if (const Status s = readRecords(in, layout, *records, deleted, problem); s != status::Ok)
        return s;
    file.reset(new DbfFile(path, std::move(layout), std::move(records), deleted));
    return status::Ok;
}

DbfFile::DbfFile(std::string path, DbfLayout layout, std::unique_ptr<RecordMemory> records,
                 std::uint32_t deletedCount)
    : m_path(std::move(path)), m_layout(std::move(layout)), m_records(std::move(records)),
      m_deletedCount(deletedCount)
{
    indexLiveRecords();
    chooseCodePage();
}

void DbfFile::indexLiveRecords()
{
    if (m_deletedCount == 0)
        return;
    m_live.reserve(liveCount());
    for (std::uint32_t r = 1; r <= m_layout.recordCount; ++r) {
        if (!isDeleted(r))
            m_live.push_back(r);
    }
}

std::optional<std::size_t> DbfFile::placeOfLive(std::uint32_t recno) const
{
    if (recno < 1 || recno > m_layout.recordCount || isDeleted(recno))
        return std::nullopt;
    if (m_live.empty())
        return std::size_t(recno - 1);
    const auto it = std::lower_bound(m_live.begin(), m_live.end(), recno);
    return static_cast<std::size_t>(it - m_live.begin());
}

// A table that names no known code page gets one guessed from the text fields of its
// first records.
void DbfFile::chooseCodePage()
{
    m_codePage = CodePage::fromLanguageDriver(m_layout.languageDriver);
    m_codePageOrigin = CodePageOrigin::LanguageDriver;
    if (m_codePage != 0)
        return;
    CodePageGuess guess;
    const std::uint32_t sample = std::min<std::uint32_t>(m_layout.recordCount, 5000);
    for (std::uint32_t r = 1; r <= sample; ++r) {
        for (const FieldDesc &f : m_layout.fields) {
            if (f.type == FieldType::Text)
                guess.add({recordData(r) + f.offset, static_cast<std::size_t>(f.width)});
        }
    }
    m_codePage = guess.codePage();
    m_codePageOrigin = CodePageOrigin::Guess;
}

const char *DbfFile::recordData(std::uint32_t recno) const
{
    if (recno < 1 || recno > m_layout.recordCount)
        return nullptr;
    return m_records->data() + std::size_t(recno - 1) * m_layout.recordLength;
}

bool DbfFile::isDeleted(std::uint32_t recno) const
{
    const char *data = recordData(recno);
    return data == nullptr || data[0] == '*';
}

std::string DbfFile::versionName(std::uint8_t version)
{
    switch (version) {
    case 0x03:
        return "dBASE III/IV ohne Memo";
    case 0x83:
        return "dBASE III mit Memo";
    case 0x8B:
        return "dBASE IV mit Memo";
    case 0x8E:
        return "dBASE IV mit SQL-Tabelle";
    case 0xCB:
        return "dBASE IV SQL-Tabelle mit Memo";
    case 0x43:
        return "dBASE IV SQL-Tabelle";
    case 0x63:
        return "dBASE IV SQL-Systemdatei";
    case 0x04:
        return "dBASE 7 ohne Memo";
    case 0x8C:
        return "dBASE 7 mit Memo";
    case 0xF5:
        return "FoxPro mit Memo";
    case 0x30:
    case 0x31:
    case 0x32:
        return "Visual FoxPro";
    default:
        return "unbekannt";
    }
}

} // namespace dbase
