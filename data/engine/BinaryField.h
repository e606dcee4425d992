// The binary columns of FoxPro and dBASE 7 tables (integers, doubles, currency,
// date-times and timestamps), turned into the value and the text a view shows.
// Texts are plain ASCII: "-12", "0.1", "12.3400", "2026-12-08 14:05:00".
#pragma once

#include "EngineTypes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dbase {

class BinaryField
{
public:
    // True for the field types this class decodes.
    static bool handles(FieldType type);
    // bytes: the whole field. A field of spaces only, and the all-zero "no value" of
    // the types that have one, is blank. Nothing when the width does not suit the type
    // or the value cannot be a date.
    static std::optional<FieldValue> decode(FieldType type, std::string_view bytes);

    // "YYYY-MM-DD HH:MM:SS" (milliseconds rounded to the second); nothing outside the
    // years 1 to 9999 or for milliseconds outside one day.
    static std::optional<std::string> dateTimeText(std::int64_t julianDay,
                                                   std::int64_t milliseconds);
    // The shortest text that reads back as the same double: plain decimals from 0.0001
    // up to below 10^16, exponent notation ("1e+20") outside; "inf", "nan" as such.
    static std::string doubleText(double value);
    // Ten-thousandths as a decimal with four places: -5 gives "-0.0005".
    static std::string currencyText(std::int64_t tenThousandths);
};

} // namespace dbase
