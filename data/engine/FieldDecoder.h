// Turns the stored text of a record's field into a value, and a value into the
// stored text (for the key-search buffer). dBASE stores every field as text: C
// blank-padded on the right, N right-justified, D as YYYYMMDD, L as one letter;
// the binary columns of FoxPro and dBASE 7 tables are decoded by BinaryField.
#pragma once

#include "EngineTypes.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace dbase {

class FieldDecoder
{
public:
    // field's bytes in record data (which holds at least field.offset + field.width
    // bytes). Memo fields are not decoded here (their blank state needs the memo file).
    static FieldValue decode(const FieldDesc &field, const char *data);
    // What decode() gives as a text field's text, without a copy: its stored bytes
    // without trailing blanks and NULs (nothing for a field of width 0). Inline: a
    // dump calls it for every text field of every record.
    static std::string_view storedText(const FieldDesc &field, const char *data)
    {
        const char *start = data + field.offset;
        auto length = static_cast<std::size_t>(field.width);
        // Eight bytes at a time while all are blanks or NULs: only for those is b | 0x20
        // equal to 0x20.
        constexpr std::uint64_t kBlanks = 0x2020202020202020;
        std::uint64_t word = 0;
        while (length >= 8 &&
               (std::memcpy(&word, start + length - 8, 8), (word | kBlanks) == kBlanks))
            length -= 8;
        while (length > 0 && (start[length - 1] == ' ' || start[length - 1] == '\0'))
            --length;
        return {start, length};
    }
    // text without its leading and trailing blanks and NULs.
    static std::string_view trimmed(std::string_view text);
    // Writes value into field's place in data: texts left-aligned, numbers
    // right-aligned, blank-padded, cut to the field's width.
    static void encode(const FieldDesc &field, std::string_view value, char *data);
    // What a view shows for a field whose bytes cannot be shown as they are: "(Typ V)",
    // or "(Typ 0x05)" when the type letter is not a printable character.
    static std::string placeholder(char typeLetter);
    // True when text holds no control characters.
    static bool isPrintable(std::string_view text);
};

} // namespace dbase
