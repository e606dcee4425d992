// Table1's state behind its interface: the engine, the open engine cursor, the record
// window and the search key.
#pragma once

#include "Engine.h"
#include "RecordWindow.h"
#include "TableCursor.h"

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
};
