// The nearest-key search of the window's name box and of tabledump --seek: the steps
// both take on an engine cursor. The window's cursor takes them one at a time in its
// key mode (a blank lookup record when it enters it, a value put per assignment, then
// the search and the record at the position); tabledump takes them all in nearest().
#pragma once

#include "Engine.h"

#include <string>
#include <string_view>

namespace dbase {

class CodePage;

class KeySearch
{
public:
    // How a typed text (UTF-8) becomes the table's bytes: straight into its code page,
    // or through Windows-1252 as the window takes it. Either way a character the way
    // lacks becomes '?'.
    enum class Typed { Utf8, ThroughAnsi };

    // The name box's rule for what is typed: the letters A to Z are lowered, every other
    // character (umlauts too) stays as it is.
    static std::string lowerAsciiLetters(std::string typed);

    // Puts typed into field fieldNo (from 1, described by field) of the lookup record:
    // in page's bytes, a text field's value cut to the field's width where a character
    // ends.
    static Status putValue(const EngineCursor &cursor, int fieldNo, const FieldDesc &field,
                           std::string_view typed, const CodePage &page, Typed how,
                           std::string &lookup);
    // Sets the cursor on the crack before the first record of the active order whose
    // key satisfies condition against the lookup record's key: the key the cursor
    // extracts from the record, or the record itself when that fails.
    static Status setToLookup(EngineCursor &cursor, SearchCondition condition, int fieldCount,
                              const std::string &lookup);
    // The record at the cursor's position: the current one, else the next, else the
    // prior one (so a search beyond every key ends on the last record). Answers the
    // status of the last attempt.
    static Status recordAtPosition(EngineCursor &cursor, std::string &record, RecordProps &props);

    // Every step for typed (lowered already where the caller wants it) on the first key
    // field of the active order: the record found, as recordAtPosition gives it.
    // InvalidParameter when the order has no key field (no order, or an expression).
    static Status nearest(EngineCursor &cursor, std::string_view typed, const CodePage &page,
                          Typed how, std::string &record, RecordProps &props);
};

} // namespace dbase
