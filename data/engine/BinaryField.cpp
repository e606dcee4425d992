#include "BinaryField.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace dbase {

namespace {

constexpr std::int64_t kMsPerDay = 86400000;
// Julian day numbers of 0001-01-01 and 9999-12-31 (proleptic Gregorian calendar).
constexpr std::int64_t kFirstJulianDay = 1721426;
constexpr std::int64_t kLastJulianDay = 5373484;

std::uint64_t littleEndian(std::string_view b)
{
    std::uint64_t v = 0;
    for (std::size_t i = b.size(); i-- > 0;)
        v = v << 8 | static_cast<unsigned char>(b[i]);
    return v;
}

std::uint64_t bigEndian(std::string_view b)
{
    std::uint64_t v = 0;
    for (const char c : b)
        v = v << 8 | static_cast<unsigned char>(c);
    return v;
}

double doubleOf(std::uint64_t bits)
{
    double d = 0.0;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

bool allBytes(std::string_view b, char c)
{
    return b.find_first_not_of(c) == std::string_view::npos;
}

std::size_t widthOf(FieldType type)
{
    return type == FieldType::Long || type == FieldType::SortedLong ? 4 : 8;
}

FieldValue integerValue(std::int32_t v)
{
    FieldValue value;
    value.blank = false;
    value.integer = v;
    value.number = v;
    value.text = std::to_string(v);
    return value;
}

FieldValue doubleValue(double v)
{
    FieldValue value;
    value.blank = false;
    value.number = v;
    value.text = BinaryField::doubleText(v);
    return value;
}

// dBASE 7 stores a double so that its bytes sort like the numbers: the sign bit of a
// positive number is set, a negative number has all its bits inverted.
double sortedDouble(std::uint64_t stored)
{
    const std::uint64_t sign = std::uint64_t(1) << 63;
    return doubleOf((stored & sign) ? stored & ~sign : ~stored);
}

std::optional<FieldValue> dateValue(std::int64_t julianDay, std::int64_t ms)
{
    auto text = BinaryField::dateTimeText(julianDay, ms);
    if (!text)
        return std::nullopt;
    FieldValue value;
    value.blank = false;
    value.text = std::move(*text);
    return value;
}

// Milliseconds since the start of 0001-01-01 counted as day 1, as the Borland engine
// writes dBASE 7 timestamps.
std::optional<FieldValue> timestampValue(double ms)
{
    if (!std::isfinite(ms) || ms < 0.0 || ms > 4e14)
        return std::nullopt;
    const auto whole = static_cast<std::int64_t>(std::llround(ms));
    return dateValue(whole / kMsPerDay + kFirstJulianDay - 1, whole % kMsPerDay);
}

} // namespace

bool BinaryField::handles(FieldType type)
{
    switch (type) {
    case FieldType::Long:
    case FieldType::SortedLong:
    case FieldType::Double:
    case FieldType::SortedDouble:
    case FieldType::Currency:
    case FieldType::DateTime:
    case FieldType::Timestamp:
        return true;
    default:
        return false;
    }
}

std::optional<FieldValue> BinaryField::decode(FieldType type, std::string_view bytes)
{
    if (!handles(type) || bytes.size() != widthOf(type))
        return std::nullopt;
    if (allBytes(bytes, ' '))
        return FieldValue{};
    const bool zero = allBytes(bytes, '\0');
    switch (type) {
    case FieldType::Long:
        return integerValue(static_cast<std::int32_t>(littleEndian(bytes)));
    case FieldType::SortedLong:
        if (zero)
            return FieldValue{};
        return integerValue(
            static_cast<std::int32_t>(static_cast<std::uint32_t>(bigEndian(bytes)) ^ 0x80000000u));
    case FieldType::Double:
        return doubleValue(doubleOf(littleEndian(bytes)));
    case FieldType::SortedDouble:
        if (zero)
            return FieldValue{};
        return doubleValue(sortedDouble(bigEndian(bytes)));
    case FieldType::Currency: {
        const auto units = static_cast<std::int64_t>(littleEndian(bytes));
        FieldValue value;
        value.blank = false;
        value.number = static_cast<double>(units) / 10000.0;
        value.text = currencyText(units);
        return value;
    }
    case FieldType::DateTime: {
        const auto day = static_cast<std::int32_t>(littleEndian(bytes.substr(0, 4)));
        // Day 0 is the empty date-time (some writers leave a few milliseconds with it).
        if (day == 0)
            return FieldValue{};
        return dateValue(day, static_cast<std::int32_t>(littleEndian(bytes.substr(4))));
    }
    case FieldType::Timestamp:
        if (zero)
            return FieldValue{};
        return timestampValue(doubleOf(bigEndian(bytes)));
    default:
        return std::nullopt;
    }
}

std::optional<std::string> BinaryField::dateTimeText(std::int64_t julianDay,
                                                     std::int64_t milliseconds)
{
    if (milliseconds < 0 || milliseconds >= kMsPerDay)
        return std::nullopt;
    std::int64_t seconds = (milliseconds + 500) / 1000;
    if (seconds == 86400) {
        seconds = 0;
        ++julianDay;
    }
    if (julianDay < kFirstJulianDay || julianDay > kLastJulianDay)
        return std::nullopt;
    // Julian day number to the Gregorian calendar (Richards' algorithm).
    const std::int64_t a = julianDay + 32044;
    const std::int64_t b = (4 * a + 3) / 146097;
    const std::int64_t c = a - 146097 * b / 4;
    const std::int64_t d = (4 * c + 3) / 1461;
    const std::int64_t e = c - 1461 * d / 4;
    const std::int64_t m = (5 * e + 2) / 153;
    const int day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
    const int month = static_cast<int>(m + 3 - 12 * (m / 10));
    const int year = static_cast<int>(100 * b + d - 4800 + m / 10);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day,
                  static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                  static_cast<int>(seconds % 60));
    return std::string(buf);
}

std::string BinaryField::doubleText(double value)
{
    if (value == 0.0)
        return "0";
    const double magnitude = std::fabs(value);
    const bool plain = magnitude >= 1e-4 && magnitude < 1e16;
    char buf[64];
    const auto result =
        plain ? std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed)
              : std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    return std::string(buf, result.ptr);
}

std::string BinaryField::currencyText(std::int64_t tenThousandths)
{
    const bool negative = tenThousandths < 0;
    const std::uint64_t units = negative ? 0 - static_cast<std::uint64_t>(tenThousandths)
                                         : static_cast<std::uint64_t>(tenThousandths);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%llu.%04llu", negative ? "-" : "",
                  static_cast<unsigned long long>(units / 10000),
                  static_cast<unsigned long long>(units % 10000));
    return buf;
}

} // namespace dbase
