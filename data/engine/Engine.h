// The narrow interface through which the table cursor reads a table. The dBASE
// engine (DbaseEngine) implements it over the files; tests implement it with a
// scripted fake. Every operation answers a status (EngineTypes.h) and never throws;
// after a failure the engine keeps an error stack that errorEntry() reads.
#pragma once

#include "EngineTypes.h"

#include <memory>
#include <string>
#include <vector>

namespace dbase {

// One open table: a position in the active order, and the operations on it.
class EngineCursor
{
public:
    virtual ~EngineCursor() = default;

    virtual CursorProps properties() const = 0;
    // Code page of the table's texts (e.g. 1252, 437, 850), for translation.
    virtual Status cursorLocale(int &codePage) const = 0;
    // Where cursorLocale's code page comes from.
    virtual Status codePageOrigin(CodePageOrigin &origin) const = 0;
    virtual std::vector<FieldDesc> fieldDescs() const = 0;
    virtual std::vector<IndexDesc> indexDescs() const = 0;

    // Opens an index file for the table; IndexOpenAlready for the production index.
    virtual Status openIndexFile(const std::string &fileName) = 0;
    // Makes the tag the active order ("" tag: the natural record-number order).
    // keepCurrent: stay on the record at the engine position (NoCurrentRecord if none).
    virtual Status switchToIndex(const std::string &indexFile, const std::string &tagName,
                                 bool keepCurrent) = 0;
    virtual Status indexFacts(IndexFacts &facts) const = 0;
    // Builds the orders of the production index that are not built yet ahead of
    // their first use, in the background. Every answer of every call, switches to
    // those orders included, stays exactly as it would be without it.
    virtual Status prepareOrders() = 0;

    virtual Status setToBegin() = 0;
    virtual Status setToEnd() = 0;
    // The record buffers hold properties().recordSize bytes.
    virtual Status getNext(std::string &record, RecordProps &props) = 0;
    virtual Status getPrior(std::string &record, RecordProps &props) = 0;
    virtual Status getCurrent(std::string &record, RecordProps &props) = 0;
    virtual Status getBookmark(std::string &bookmark) const = 0;
    virtual Status setToBookmark(const std::string &bookmark) = 0;
    // Place (from 0) in the active order of the record at the engine position.
    virtual Status placeInOrder(std::uint32_t &place) const = 0;
    // Puts the engine on the record at a place (from 0) of the active order, as
    // setToBookmark does with that record's bookmark; InvalidParameter when the order
    // has no such place. Lets a long move skip the records in between.
    virtual Status setToPlace(std::uint32_t place) = 0;

    virtual Status countRecords(std::int32_t &count) = 0;         // first choice
    virtual Status countRecordsFallback(std::int32_t &count) = 0; // walks or estimates

    // fieldNo counts from 1.
    virtual Status extractField(int fieldNo, const std::string &record,
                                FieldValue &value) const = 0;
    // The whole note of a memo field, in the table's character set; empty when blank.
    virtual Status readMemo(int fieldNo, const std::string &record, std::string &text) = 0;
    // Says that every record's notes will be read, in storage order (a dump): the
    // notes may then be read ahead in large pieces, as they were when read ahead.
    virtual void readNotesAhead() {}

    // Key search.
    virtual Status blankRecord(std::string &record) const = 0;
    // value is in the table's character set; it is cut to the field's width.
    virtual Status putField(int fieldNo, std::string &record, const std::string &value) const = 0;
    virtual Status extractKey(const std::string &record, std::string &key) const = 0;
    // directKey: keyOrRecord is a key from extractKey; otherwise a record buffer.
    virtual Status setToKey(SearchCondition condition, bool directKey, int fieldCount,
                            int keyLength, const std::string &keyOrRecord) = 0;

    virtual Status releaseLock() = 0;
    virtual Status close() = 0;
};

// The engine as a whole: start and stop, opening tables, error texts.
class Engine
{
public:
    virtual ~Engine() = default;

    virtual Status start() = 0; // Ok, or AlreadyStarted when it runs already
    virtual void stop() = 0;
    virtual bool isStarted() const = 0;

    // Driver for a table name in a directory: "DBASE", "FOXPRO", "PARADOX", "ASCIIDRV".
    virtual std::string driverFor(const std::string &directory,
                                  const std::string &tableName) const = 0;
    // Opens a table read-only and shared. directory "" means the current working directory.
    virtual Status openTable(const std::string &directory, const std::string &tableName,
                             const std::string &driver, std::unique_ptr<EngineCursor> &cursor) = 0;

    // The engine's text for a status code ("" when it has none).
    virtual std::string errorText(Status code) const = 0;
    // Entry n (from 1) of the last failure's error stack; answers the entry's code,
    // or 0 / NoEntry when there is no such entry.
    virtual Status errorEntry(int n, int &nativeCode, std::string &text) const = 0;
};

} // namespace dbase
