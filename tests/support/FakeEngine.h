// A scripted in-memory stand-in for the dBASE engine, for tests of the cursor and of
// the views on it. It holds a table (fields, rows of stored texts, memos) and any number
// of orders (permutations of record numbers with their keys), walks them with the
// engine's crack/record position rules, counts every call by operation name and can be
// told to fail a given call with a given status.
//
// Stored texts are bytes in the table's character set (codePage(), 1252 by default).
// A memo field's row value is the note text; the record stores a reference to it.
#pragma once

#include "Engine.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fake {

struct FakeField
{
    std::string name; // in the table's character set
    dbase::FieldType type = dbase::FieldType::Text;
    int width = 10; // bytes in the record (memo: 10, small int: 4)
};

struct FakeOrder
{
    std::string tag;
    std::string indexFile = "CD_GIS.MDX";
    std::string expression; // key expression, or the key field's name
    bool isExpression = false;
    std::vector<int> keyFields; // field numbers from 1 (field keys)
    int keySize = 0;
    std::vector<int> records;      // record numbers (from 1) in the order's sequence
    std::vector<std::string> keys; // the key of each entry of records, same length
};

struct FakeErrorEntry
{
    dbase::Status code = 0;
    int nativeCode = 0;
    std::string text;
};

class FakeEngine : public dbase::Engine
{
public:
    FakeEngine();
    ~FakeEngine() override;

    // ---- Scripting the table --------------------------------------------------------
    void setFields(std::vector<FakeField> fields);
    // One value per field, in field order; returns the record number (from 1).
    int addRecord(const std::vector<std::string> &values);
    // An order whose keys are the field's stored text padded to its width (byte order,
    // equal keys by record number).
    void addFieldOrder(const std::string &tag, const std::string &fieldName);
    // An expression order; key(values) must give keys that sort as bytes.
    void
    addExpressionOrder(const std::string &tag, const std::string &expression, int keySize,
                       const std::function<std::string(const std::vector<std::string> &)> &key);
    void addOrder(FakeOrder order); // given as is
    void setCodePage(int codePage) { m_codePage = codePage; }
    int codePage() const { return m_codePage; }
    void setNumbering(dbase::NumberingKind kind) { m_numbering = kind; }
    dbase::NumberingKind numberingKind() const { return m_numbering; }
    void setDriver(const std::string &driver) { m_driver = driver; }
    void setStarted(bool started) { m_started = started; }

    int recordCount() const { return int(m_rows.size()); }
    const std::vector<std::string> &row(int recordNumber) const
    {
        return m_rows.at(recordNumber - 1);
    }
    const std::vector<FakeField> &fields() const { return m_fields; }
    const std::vector<FakeOrder> &orders() const { return m_orders; }
    const FakeOrder *order(const std::string &tag) const; // ignores case
    // Record numbers of the active order, or the natural order when none is active.
    std::vector<int> activeSequence() const;
    std::string activeTag() const { return m_activeTag; }

    // ---- Scripting failures -----------------------------------------------------------
    // The atCall-th call (from 1, counted from now on) of op answers status; with
    // sticky, every call from then on does. op is the method's name ("getNext",
    // "openTable", "countRecords", ...).
    void failCall(const std::string &op, dbase::Status status, int atCall = 1, bool sticky = false);
    void clearFailures() { m_failures.clear(); }
    // Both counts fail, so RecordTotal gives -1.
    void failCounts();
    // Texts the engine gives for codes, and the error stack errorEntry() reports.
    void setErrorText(dbase::Status code, const std::string &text) { m_errorTexts[code] = text; }
    void setErrorEntries(std::vector<FakeErrorEntry> entries)
    {
        m_errorEntries = std::move(entries);
    }

    // ---- Call counting ------------------------------------------------------------------
    int calls(const std::string &op) const;
    int totalCalls() const;
    void resetCalls()
    {
        m_calls.clear();
        m_log.clear();
    } // also the call log
    // Every call in order, e.g. {"setToBookmark", "getNext", "getBookmark"}.
    const std::vector<std::string> &callLog() const { return m_log; }
    // The value of the last putField call, as the cursor passed it.
    const std::string &lastPutValue() const { return m_lastPut; }
    void notePut(const std::string &value) const { m_lastPut = value; }

    // ---- dbase::Engine ---------------------------------------------------------------
    dbase::Status start() override;
    void stop() override;
    bool isStarted() const override;
    std::string driverFor(const std::string &directory,
                          const std::string &tableName) const override;
    dbase::Status openTable(const std::string &directory, const std::string &tableName,
                            const std::string &driver,
                            std::unique_ptr<dbase::EngineCursor> &cursor) override;
    std::string errorText(dbase::Status code) const override;
    dbase::Status errorEntry(int n, int &nativeCode, std::string &text) const override;

    // Used by the fake cursor: counts the call and answers a scripted failure or Ok.
    dbase::Status enter(const std::string &op) const;

    // Record layout: byte 0 the deletion flag, then each field's bytes.
    int recordSize() const;
    int fieldOffset(int fieldNo) const; // fieldNo from 1
    std::string recordBytes(int recordNumber) const;
    const std::string &memo(int memoNumber) const { return m_memos.at(memoNumber - 1); }
    void setActiveTag(const std::string &tag) { m_activeTag = tag; }

private:
    struct Failure
    {
        std::string op;
        dbase::Status status;
        int atCall; // absolute call number of op
        bool sticky;
    };

    std::vector<FakeField> m_fields;
    std::vector<std::vector<std::string>> m_rows;
    std::vector<std::string> m_memos;         // note texts, by memo number from 1
    std::vector<std::vector<int>> m_memoRefs; // per record, per field: memo number or 0
    std::vector<FakeOrder> m_orders;
    std::string m_activeTag;
    int m_codePage = 1252;
    dbase::NumberingKind m_numbering = dbase::NumberingKind::Physical;
    std::string m_driver = "DBASE";
    bool m_started = false;
    std::map<dbase::Status, std::string> m_errorTexts;
    std::vector<FakeErrorEntry> m_errorEntries;
    std::vector<Failure> m_failures;
    mutable std::map<std::string, int> m_calls;
    mutable std::map<std::string, int> m_lifetimeCalls; // never reset: failures count these
    mutable std::vector<std::string> m_log;
    mutable std::string m_lastPut;
};

// Text in UTF-8 (source code) to the fake table's cp1252 bytes.
std::string cp1252(const char *utf8);

} // namespace fake
