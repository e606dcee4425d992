// A dBASE table file (.DBF), opened read-only. The header is checked as a whole
// before any number in it is used; then the whole record area is read into memory,
// so that another program truncating or rewriting the file while it is open cannot
// pull the records from under us.
#pragma once

#include "RecordSource.h"

#include <cstdint>
#include <memory>
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
    // Record numbers (1-based) of the records not flagged deleted, ascending.
    const std::vector<std::uint32_t> &liveRecords() const { return m_live; }
    // "dBASE IV mit Memo" and the like, for tools.
    static std::string versionName(std::uint8_t version);

    std::uint32_t storedCount() const override { return m_layout.recordCount; }
    const char *recordData(std::uint32_t recno) const override;
    bool isDeleted(std::uint32_t recno) const override;
    const std::vector<FieldDesc> &fields() const override { return m_layout.fields; }
    int codePage() const override { return m_codePage; }

private:
    DbfFile(std::string path, DbfLayout layout, std::string records);
    void indexLiveRecords();
    int chooseCodePage() const;

    std::string m_path;
    DbfLayout m_layout;
    std::string m_records; // recordCount × recordLength bytes
    std::vector<std::uint32_t> m_live;
    int m_codePage = 1252;
};

} // namespace dbase
