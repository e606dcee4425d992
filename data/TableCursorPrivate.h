// Table1's state behind its interface: the engine, the open engine cursor, the record
// window and the search key.
#pragma once

#include "Engine.h"
#include "ErrorBoundary.h"
#include "RecordWindow.h"
#include "TableCursor.h"

#include <exception>
#include <memory>
#include <string>
#include <vector>

struct TableCursor::Private
{
    explicit Private(dbase::Engine &e) : engine(e) {}

    dbase::Engine &engine;
    std::unique_ptr<dbase::EngineCursor> cursor;
    dbase::CursorProps props;
    int codePage = 1252;
    std::vector<dbase::FieldDesc> fields; // the engine's descriptions, as the Field list
    bool open = false;
    // mutable: placeInOrder() puts the engine on the current record without moving.
    mutable RecordWindow window;
    std::vector<const CursorView *> views;

    // Facts of the active order and the lookup buffer of the key search.
    dbase::IndexFacts facts;
    bool keyMode = false;
    std::string keyRecord;
    std::string savedKeyRecord;
    bool keyModified = false;
    bool keyExclusive = false;
    int keyFieldCount = 0;

    // The last note read. Kept, so that reading a long note again writes into memory
    // already mapped: mapping and touching fresh memory costs far more than the read
    // (about half a second for 64 MiB on a virtual machine here).
    mutable std::string memoBuffer;
};

// The views hear of every step's outcome, also of a step that raised: they show what
// the window holds after it. The step's error goes on to the caller; so does an error
// that a view raises while it follows (its slot's guard hands it back here).
template <typename Step, typename Notice>
void TableCursor::runThenNotify(Step &&step, Notice &&notice)
{
    std::exception_ptr failed;
    try {
        step();
    } catch (...) {
        failed = std::current_exception();
    }
    try {
        ErrorBoundary::throughQt(std::forward<Notice>(notice));
    } catch (...) {
        if (!failed)
            throw;
    }
    if (failed)
        std::rethrow_exception(failed); // the step's error comes first
}
