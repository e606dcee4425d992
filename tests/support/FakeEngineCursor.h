// The open table of a FakeEngine. Its position follows the engine's rules: either on a
// record or on the crack before one (begin = the crack before the first record, end =
// the crack after the last). Every call is counted by the FakeEngine.
#pragma once

#include "Engine.h"

#include <string>
#include <vector>

namespace fake {

class FakeEngine;

class FakeEngineCursor : public dbase::EngineCursor
{
public:
    explicit FakeEngineCursor(FakeEngine &engine);

    dbase::CursorProps properties() const override;
    dbase::Status cursorLocale(int &codePage) const override;
    dbase::Status codePageOrigin(dbase::CodePageOrigin &origin) const override;
    std::vector<dbase::FieldDesc> fieldDescs() const override;
    std::vector<dbase::IndexDesc> indexDescs() const override;
    dbase::Status openIndexFile(const std::string &fileName) override;
    dbase::Status switchToIndex(const std::string &indexFile, const std::string &tagName,
                                bool keepCurrent) override;
    dbase::Status indexFacts(dbase::IndexFacts &facts) const override;
    // Counted; builds nothing (the fake's orders are all there from the start).
    dbase::Status prepareOrders() override;
    dbase::Status setToBegin() override;
    dbase::Status setToEnd() override;
    dbase::Status getNext(std::string &record, dbase::RecordProps &props) override;
    dbase::Status getPrior(std::string &record, dbase::RecordProps &props) override;
    dbase::Status getCurrent(std::string &record, dbase::RecordProps &props) override;
    dbase::Status getBookmark(std::string &bookmark) const override;
    dbase::Status setToBookmark(const std::string &bookmark) override;
    dbase::Status placeInOrder(std::uint32_t &place) const override;
    dbase::Status setToPlace(std::uint32_t place) override;
    dbase::Status countRecords(std::int32_t &count) override;
    dbase::Status countRecordsFallback(std::int32_t &count) override;
    dbase::Status extractField(int fieldNo, const std::string &record,
                               dbase::FieldValue &value) const override;
    dbase::Status readMemo(int fieldNo, const std::string &record, std::string &text) override;
    dbase::Status blankRecord(std::string &record) const override;
    dbase::Status putField(int fieldNo, std::string &record,
                           const std::string &value) const override;
    dbase::Status extractKey(const std::string &record, std::string &key) const override;
    dbase::Status setToKey(dbase::SearchCondition condition, bool directKey, int fieldCount,
                           int keyLength, const std::string &keyOrRecord) override;
    dbase::Status releaseLock() override;
    dbase::Status close() override;

    // Where the engine stands: the record number it is on, or 0 on a crack.
    int positionedRecord() const;

private:
    std::vector<int> sequence() const;
    void deliver(int place, std::string &record, dbase::RecordProps &props);
    std::string keyOf(const std::string &record) const;

    FakeEngine &m_engine;
    // 2 * place + 1: on the record at place; 2 * place: on the crack before it.
    int m_pos2 = 0;
    bool m_closed = false;
};

} // namespace fake
