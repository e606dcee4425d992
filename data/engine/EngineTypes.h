// Values shared by the engine and its callers: statuses, field and index
// descriptions, cursor and record properties.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dbase {

// Every engine operation answers with a 16-bit status; 0 is success.
using Status = std::uint16_t;

namespace status {
inline constexpr Status Ok = 0;
inline constexpr Status NoPriorRecord = 0x2201;   // a backward move met the start of the order
inline constexpr Status NoNextRecord = 0x2202;    // a forward move met the end of the order
inline constexpr Status NoCurrentRecord = 0x2205; // nothing to keep when switching orders
inline constexpr Status EndOfMemo = 0x2207;       // a memo read reached the note's end
inline constexpr Status IndexOpenAlready = 0x272C;
inline constexpr Status AlreadyStarted = 0x2A07;
inline constexpr Status TableReadOnly = 0x2A0B;
inline constexpr Status NoEntry = 0x2A06; // no such error entry / start entry missing
inline constexpr Status LibraryNotFound = 0x2108;
inline constexpr Status LibraryLoadFailed = 0x2109;
inline constexpr Status OutOfMemory = 0x2501;

// The engine's own failure codes (texts in Engine::errorText).
inline constexpr Status FileNotFound = 0x2401;
inline constexpr Status FileUnreadable = 0x2402;
inline constexpr Status NotAFile = 0x2403;     // a directory, FIFO, device ... in the file's place
inline constexpr Status NotATable = 0x2301;    // not a dBASE table at all
inline constexpr Status TableDamaged = 0x2302; // header, descriptors or records inconsistent
inline constexpr Status MemoDamaged = 0x2303;
inline constexpr Status IndexDamaged = 0x2304;
inline constexpr Status TableEncrypted = 0x2305;
inline constexpr Status FileChanged = 0x2306; // the file shrank or changed under an open table
inline constexpr Status UnsupportedVersion = 0x2F02;
inline constexpr Status TagNotFound = 0x2709;
inline constexpr Status BadKeyExpression = 0x2E01;
inline constexpr Status NotOpen = 0x2704;
inline constexpr Status InvalidParameter = 0x2702;
inline constexpr Status LimitExceeded = 0x2502; // a size beyond what the engine accepts
} // namespace status

enum class FieldType : std::uint8_t {
    Text,     // C: fixed-width character column
    SmallInt, // N with 0 decimals and width <= 4: a 16-bit integer
    Integer,  // N with 0 decimals, wider
    Number,   // N or F with decimals
    Date,     // D
    Logical,  // L
    Memo,     // M (and B, G, P: memo references)
    // Binary columns of FoxPro and dBASE 7 tables:
    Long,         // I (FoxPro): 4-byte little-endian signed integer
    SortedLong,   // I and + (dBASE 7): 4-byte big-endian, sign bit inverted; 0 = blank
    Double,       // B (Visual FoxPro): 8-byte little-endian IEEE double
    SortedDouble, // O (dBASE 7): 8-byte big-endian IEEE double stored to sort as bytes
    Currency,     // Y: 8-byte little-endian signed integer in ten-thousandths
    DateTime,     // T: Julian day number and milliseconds since midnight, 4 bytes LE each
    Timestamp,    // @ (dBASE 7): 8-byte big-endian double, milliseconds since 0001-01-01 = day 1
    Other         // anything else: shown as a placeholder
};

struct FieldDesc
{
    std::string name; // as stored, in the table's character set, without the NUL padding
    char typeLetter = 'C';
    FieldType type = FieldType::Text;
    int width = 0; // in bytes
    int decimals = 0;
    int offset = 0; // of the field's first byte in the record (the deletion flag is byte 0)
};

struct IndexDesc
{
    std::string tagName;        // as stored in the index file
    std::string indexFile;      // file name as the table's directory holds it (e.g. "CD_GIS.MDX")
    std::string expression;     // the key expression text; for a field key, the field's name
    bool isExpression = false;  // the key is an expression rather than one plain field
    std::vector<int> keyFields; // field numbers from 1, for a field key
    char keyType = 'C';         // 'C', 'N' or 'D'
    int keySize = 0;            // in bytes
    bool primary = false;
    bool unique = false;
    bool descending = false;
    bool caseInsensitive = false;
    bool maintained = true;
};

// Facts of the active order, read after every switch and used by the key search.
struct IndexFacts
{
    int keySize = 0;
    bool isExpression = false;
    bool caseInsensitive = false;
    std::vector<int> keyFields; // field numbers from 1; empty for an expression or no order
};

enum class NumberingKind : int { Physical = 0, Sequence = 1, None = 2 };

struct CursorProps
{
    int recordSize = 0;   // bytes of a record buffer
    int bookmarkSize = 0; // bytes of a bookmark
    bool canModify = false;
    NumberingKind numbering = NumberingKind::Physical;
    int indexCount = 0; // tags available to the table
    int fieldCount = 0;
};

struct RecordProps
{
    std::uint32_t sequenceNumber = 0;
    std::uint32_t physicalNumber = 0; // 1-based storage position in the table file
    std::uint16_t recordStatus = 0;
};

// A field's value as extracted from a record buffer.
struct FieldValue
{
    bool blank = true;
    // What a view shows: Text the stored bytes without trailing blanks; numbers, dates
    // and logicals the stored text without blanks (also when it is no valid value, so
    // blank may be true with a text); binary columns their value as ASCII text; other
    // types a placeholder such as "(Typ V)".
    std::string text;
    std::int32_t integer = 0; // SmallInt, Integer, Long, SortedLong
    double number = 0.0;      // Number, Double, SortedDouble, Currency
};

// Where the code page of a table's texts was taken from.
enum class CodePageOrigin : int {
    LanguageDriver, // the table header's language-driver byte
    CpgFile,        // a .cpg file of the table's base name, which wins over the byte
    Guess,          // the texts, when the byte names no code page
    User            // a caller that reads the texts in a code page of its choice
};

enum class SearchCondition : int { Greater = 1, GreaterOrEqual = 2 };

} // namespace dbase
