// A dBASE table file (.DBF), opened read-only. The header is checked as a whole
// before any number in it is used; then the whole record area is read into memory
// of our own (RecordMemory, not a mapping of the file), so that another program
// truncating or rewriting the file while it is open cannot pull the records from
// under us.
#pragma once

#include "RecordMemory.h"
#include "RecordSource.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dbase {

// What the header says, once checked.
struct DbfLayout
{
    std::uint8_t version = 0;
    std::uint32_t recordCount = 0;  // records stored, deleted ones included
    std::uint16_t headerLength = 0; // offset of the first record
    std::uint16_t recordLength = 0; // including the deletion flag
    std::uint8_t languageDriver = 0;
    // Header byte 28 of a dBASE table: a production index belongs to it (an .MDX for
    // the dBASE driver; the FoxPro family's structural .CDX when the FoxPro driver
    // reads the table). FoxPro's own versions use the byte otherwise: false for them.
    bool productionIndex = false;
    bool foxPro = false;       // FoxPro version byte: memos in an .FPT
    bool visualFoxPro = false; // memo references are 4-byte binary numbers
    bool level7 = false;       // dBASE 7: 68-byte header, 48-byte field descriptors
    std::vector<FieldDesc> fields;
};

class DbfFile : public RecordSource
{
public:
    static constexpr int kMaxFields = 1024;

    // Checks head (the file's first bytes: at least headerLength of them, or the whole
    // file when it is shorter) against the file's size. On failure answers the status
    // and says in problem (German, UTF-8) what is wrong.
    static Status checkHeader(std::string_view head, std::uint64_t fileSize, DbfLayout &layout,
                              std::string &problem);

    // Opens and reads the table at path. problem as for checkHeader.
    static Status open(const std::string &path, std::unique_ptr<DbfFile> &file,
                       std::string &problem);

    const DbfLayout &layout() const { return m_layout; }
    const std::string &path() const { return m_path; }
    // The records not flagged deleted, ascending: their count, the record number
    // (1-based) of the one at place (0 .. liveCount() - 1), and the place of a live
    // record (none for a deleted or missing one).
    std::size_t liveCount() const { return m_layout.recordCount - m_deletedCount; }
    std::uint32_t liveRecordAt(std::size_t place) const
    {
        return m_live.empty() ? static_cast<std::uint32_t>(place + 1) : m_live[place];
    }
    std::optional<std::size_t> placeOfLive(std::uint32_t recno) const;
    // "dBASE IV mit Memo" and the like, for tools.
    static std::string versionName(std::uint8_t version);

    std::uint32_t storedCount() const override { return m_layout.recordCount; }
    const char *recordData(std::uint32_t recno) const override;
    bool isDeleted(std::uint32_t recno) const override;
    const std::vector<FieldDesc> &fields() const override { return m_layout.fields; }
    // The code page that the language-driver byte names, or, when it names none, the
    // one guessed from the texts (CodePageGuess); origin says which.
    int codePage() const override { return m_codePage; }
    CodePageOrigin codePageOrigin() const { return m_codePageOrigin; }

private:
    DbfFile(std::string path, DbfLayout layout, std::unique_ptr<RecordMemory> records,
            std::uint32_t deletedCount);
    void indexLiveRecords();
    void chooseCodePage();

    std::string m_path;
    DbfLayout m_layout;
    std::unique_ptr<RecordMemory> m_records; // recordCount × recordLength bytes
    std::uint32_t m_deletedCount = 0;
    // The live records' numbers, kept only when some record is deleted: otherwise
    // the record at place p is record p + 1.
    std::vector<std::uint32_t> m_live;
    int m_codePage = 1252;
    CodePageOrigin m_codePageOrigin = CodePageOrigin::LanguageDriver;
};

} // namespace dbase
