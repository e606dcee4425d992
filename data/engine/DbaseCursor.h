// An open dBASE table: a position in the active order (the natural record-number
// order, or a tag's order built in memory) and the read operations on it.
//
// The position is either on a record (a place in the order) or on the crack
// before a place: set to begin leaves it before place 0, set to end before place
// size, a key search before the first record whose key satisfies the condition.
// Deleted records are in no order: they are neither walked nor counted. A tag's
// order may hold fewer records still (a FOR condition, a unique key); the count is
// always the active order's size.
#pragma once

#include "DbfFile.h"
#include "Engine.h"
#include "ErrorStack.h"
#include "MemoFile.h"
#include "TagCatalog.h"

#include <memory>
#include <string>

namespace dbase {

class DbaseCursor : public EngineCursor
{
public:
    // codePage: of the table's texts, from the table itself or a .cpg file (origin).
    DbaseCursor(std::shared_ptr<ErrorStack> errors, std::shared_ptr<const DbfFile> table,
                std::unique_ptr<MemoFile> memo, std::string directory, int codePage,
                CodePageOrigin origin);
    ~DbaseCursor() override;

    // Opens the production index (at open) or another index file; path is its full
    // path, fileName its name in the directory.
    Status addIndexFile(const std::string &fileName, const std::string &path);
    Status addProductionIndex(const std::string &fileName, const std::string &path);

    CursorProps properties() const override;
    Status cursorLocale(int &codePage) const override;
    Status codePageOrigin(CodePageOrigin &origin) const override;
    std::vector<FieldDesc> fieldDescs() const override;
    std::vector<IndexDesc> indexDescs() const override;

    Status openIndexFile(const std::string &fileName) override;
    Status switchToIndex(const std::string &indexFile, const std::string &tagName,
                         bool keepCurrent) override;
    Status indexFacts(IndexFacts &facts) const override;
    // The production index's orders are built by the tag catalog's worker.
    Status prepareOrders() override;

    Status setToBegin() override;
    Status setToEnd() override;
    Status getNext(std::string &record, RecordProps &props) override;
    Status getPrior(std::string &record, RecordProps &props) override;
    Status getCurrent(std::string &record, RecordProps &props) override;
    Status getBookmark(std::string &bookmark) const override;
    Status setToBookmark(const std::string &bookmark) override;
    Status placeInOrder(std::uint32_t &place) const override;
    Status setToPlace(std::uint32_t place) override;

    Status countRecords(std::int32_t &count) override;
    Status countRecordsFallback(std::int32_t &count) override;

    Status extractField(int fieldNo, const std::string &record, FieldValue &value) const override;
    Status readMemo(int fieldNo, const std::string &record, std::string &text) override;
    void readNotesAhead() override;

    Status blankRecord(std::string &record) const override;
    Status putField(int fieldNo, std::string &record, const std::string &value) const override;
    Status extractKey(const std::string &record, std::string &key) const override;
    Status setToKey(SearchCondition condition, bool directKey, int fieldCount, int keyLength,
                    const std::string &keyOrRecord) override;

    Status releaseLock() override;
    Status close() override;

private:
    std::size_t orderSize() const;
    std::uint32_t recordAt(std::size_t place) const;
    std::optional<std::size_t> placeOf(std::uint32_t recno) const;
    std::optional<std::size_t> placeInNaturalOrder(std::uint32_t recno) const;
    Status deliver(std::string &record, RecordProps &props) const;
    Status fail(Status code, const std::string &problem) const;
    Status checkOpen() const;
    const FieldDesc *fieldAt(int fieldNo, const std::string &record) const;
    // The block a record's memo field refers to (0: none); nothing when the
    // reference is damaged.
    std::optional<std::uint32_t> memoBlockOf(const FieldDesc &field, const char *data) const;
    bool memoIsBlank(const FieldDesc &field, const char *data) const;

    std::shared_ptr<ErrorStack> m_errors;
    std::shared_ptr<const DbfFile> m_table; // may be shared with other cursors on the same file
    std::unique_ptr<MemoFile> m_memo;
    std::string m_directory;
    int m_codePage;
    CodePageOrigin m_codePageOrigin;
    std::unique_ptr<TagCatalog> m_tags;
    std::size_t m_productionTags = 0;         // the first tags of the catalog
    std::shared_ptr<const SortOrder> m_order; // null: the natural order
    int m_activeTag = -1;
    std::size_t m_place = 0;
    bool m_onRecord = false;
};

} // namespace dbase
