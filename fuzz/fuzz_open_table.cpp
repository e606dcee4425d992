// Fuzz target: the whole path a viewer takes. The blob holds up to three files,
// CD_GIS.DBF, CD_GIS.DBT and CD_GIS.MDX, separated by fuzz::kSeparator. The table
// is opened through the engine; every order is made active and walked both ways,
// every field and note of every record read, and a nearest-key search run.
#include "DbaseEngine.h"
#include "FuzzFiles.h"

#include <cstdlib>

namespace {

using namespace dbase;

void readRecord(EngineCursor &cursor, const std::string &record, int fieldCount)
{
    for (int f = 1; f <= fieldCount; ++f) {
        FieldValue value;
        if (cursor.extractField(f, record, value) != status::Ok)
            std::abort(); // a record the engine delivered has all its fields
        std::string note;
        (void)cursor.readMemo(f, record, note);
    }
}

// Walks the active order forward, then backward; a walk longer than the count
// would be an endless loop.
void walk(EngineCursor &cursor, int fieldCount)
{
    std::int32_t count = 0;
    if (cursor.countRecords(count) != status::Ok || count < 0)
        std::abort();
    std::string record;
    RecordProps props;
    cursor.setToBegin();
    std::int32_t seen = 0;
    for (Status s; (s = cursor.getNext(record, props)) == status::Ok; ++seen) {
        if (seen >= count)
            std::abort();
        readRecord(cursor, record, fieldCount);
    }
    if (seen != count)
        std::abort();
    cursor.setToEnd();
    seen = 0;
    while (cursor.getPrior(record, props) == status::Ok) {
        if (++seen > count)
            std::abort();
    }
    if (seen != count)
        std::abort();
}

// The nearest-key search with the key of the first record, and with a typed text
// in the first key field.
void search(EngineCursor &cursor, const std::string &typed)
{
    std::string record;
    RecordProps props;
    cursor.setToBegin();
    if (cursor.getNext(record, props) == status::Ok) {
        std::string key;
        if (cursor.extractKey(record, key) == status::Ok &&
            cursor.setToKey(SearchCondition::GreaterOrEqual, true, 1, 0, key) == status::Ok &&
            cursor.getNext(record, props) != status::Ok)
            std::abort(); // the first record's own key finds a record
    }
    IndexFacts facts;
    if (cursor.indexFacts(facts) != status::Ok || facts.keyFields.empty())
        return;
    std::string blank;
    cursor.blankRecord(blank);
    if (cursor.putField(facts.keyFields.front(), blank, typed) == status::Ok)
        (void)cursor.setToKey(SearchCondition::GreaterOrEqual, false, 1, 0, blank);
    (void)cursor.getNext(record, props);
}

void placeFile(const char *name, const std::vector<std::string_view> &parts, std::size_t i)
{
    if (i < parts.size())
        fuzz::writeScratch(name, parts[i]);
    else
        fuzz::removeScratch(name);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto parts = fuzz::splitParts(data, size);
    placeFile("CD_GIS.DBF", parts, 0);
    placeFile("CD_GIS.DBT", parts, 1);
    placeFile("CD_GIS.MDX", parts, 2);
    const std::string typed = parts.size() > 3 ? std::string(parts[3].substr(0, 40)) : "st";

    static const std::unique_ptr<Engine> engine = [] {
        auto e = createDbaseEngine();
        e->start();
        return e;
    }();
    std::unique_ptr<EngineCursor> cursor;
    if (engine->openTable(fuzz::scratchDirectory(), "CD_GIS.DBF", "DBASE", cursor) != status::Ok) {
        int native = 0;
        std::string text;
        if (engine->errorEntry(1, native, text) == status::NoEntry || text.empty())
            std::abort(); // a refused open names the file
        return 0;
    }
    const int fieldCount = cursor->properties().fieldCount;
    walk(*cursor, fieldCount);
    for (const IndexDesc &index : cursor->indexDescs()) {
        if (cursor->switchToIndex(index.indexFile, index.tagName, false) != status::Ok)
            continue; // a key expression the engine cannot evaluate is refused
        walk(*cursor, fieldCount);
        search(*cursor, typed);
    }
    cursor->close();
    return 0;
}
