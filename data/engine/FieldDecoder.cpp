#include "FieldDecoder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace dbase {

namespace {

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(std::string_view(" \0", 2));
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(std::string_view(" \0", 2));
    return text.substr(first, last - first + 1);
}

// Text values lose their trailing blanks (and the NULs some writers pad with).
std::string_view withoutTrailingBlanks(std::string_view text)
{
    const auto last = text.find_last_not_of(std::string_view(" \0", 2));
    return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

// A number as dBASE stores it: optional sign, digits, optional point (some
// writers use a comma). Anything else, such as the asterisks of an overflow or
// the "nan" and "inf" that from_chars would accept, gives no value.
bool parseNumber(std::string_view text, double &number)
{
    std::string plain(text);
    if (!plain.empty() && plain[0] == '+')
        plain.erase(0, 1);
    std::replace(plain.begin(), plain.end(), ',', '.');
    const char *end = plain.data() + plain.size();
    double parsed = 0.0;
    const auto [ptr, ec] = std::from_chars(plain.data(), end, parsed, std::chars_format::fixed);
    if (ec != std::errc() || ptr != end || !std::isfinite(parsed))
        return false;
    number = parsed;
    return true;
}

void decodeInteger(const FieldDesc &field, std::string_view text, FieldValue &value)
{
    double number = 0.0;
    if (!parseNumber(text, number) ||
        number != static_cast<double>(static_cast<std::int64_t>(number)))
        return;
    const double low = field.type == FieldType::SmallInt ? -32768.0 : -2147483648.0;
    const double high = field.type == FieldType::SmallInt ? 32767.0 : 2147483647.0;
    if (number < low || number > high)
        return;
    value.integer = static_cast<std::int32_t>(number);
    value.blank = false;
}

void decodeLogical(std::string_view text, FieldValue &value)
{
    if (text.size() != 1)
        return;
    switch (text[0]) {
    case 'T':
    case 't':
    case 'Y':
    case 'y':
        value.text = "T";
        value.blank = false;
        break;
    case 'F':
    case 'f':
    case 'N':
    case 'n':
        value.text = "F";
        value.blank = false;
        break;
    default:
        break; // '?' : not set
    }
}

} // namespace

FieldValue FieldDecoder::decode(const FieldDesc &field, const char *data)
{
    FieldValue value;
    const std::string_view raw(data + field.offset, static_cast<std::size_t>(field.width));
    const std::string_view text = trimmed(raw);
    switch (field.type) {
    case FieldType::Text:
    case FieldType::Other:
        value.text = std::string(withoutTrailingBlanks(raw));
        value.blank = value.text.empty();
        break;
    case FieldType::SmallInt:
    case FieldType::Integer:
        value.text = std::string(text);
        decodeInteger(field, text, value);
        break;
    case FieldType::Number:
        value.text = std::string(text);
        value.blank = !parseNumber(text, value.number);
        break;
    case FieldType::Date:
        value.text = std::string(text);
        value.blank = text.empty() || text == "00000000";
        break;
    case FieldType::Logical:
        decodeLogical(text, value);
        break;
    case FieldType::Memo:
        break;
    }
    return value;
}

void FieldDecoder::encode(const FieldDesc &field, std::string_view value, char *data)
{
    char *place = data + field.offset;
    const auto width = static_cast<std::size_t>(field.width);
    std::memset(place, ' ', width);
    const bool numeric = field.type == FieldType::SmallInt || field.type == FieldType::Integer ||
                         field.type == FieldType::Number;
    if (numeric) {
        const std::string_view digits = trimmed(value).substr(0, width);
        std::memcpy(place + width - digits.size(), digits.data(), digits.size());
    } else {
        const std::string_view text = value.substr(0, width);
        std::memcpy(place, text.data(), text.size());
    }
}

} // namespace dbase
