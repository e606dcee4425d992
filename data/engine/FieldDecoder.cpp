#include "FieldDecoder.h"

#include "BinaryField.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace dbase {

namespace {

bool isPad(char c)
{
    return c == ' ' || c == '\0';
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

// A logical shows the letter as stored: T, t, Y, y are true, F, f, N, n false, and
// "?" (not set) shows as such without a value. A blank or NUL is blank.
void decodeLogical(const FieldDesc &field, std::string_view text, FieldValue &value)
{
    if (text.empty())
        return;
    if (text.size() != 1 || !FieldDecoder::isPrintable(text)) {
        value.text = FieldDecoder::placeholder(field.typeLetter);
        return;
    }
    value.text = std::string(text);
    value.blank = std::string_view("TtYyFfNn").find(text[0]) == std::string_view::npos;
}

// The stored text of a number or date field as a view shows it; control bytes,
// which no writer puts there, give the placeholder instead.
std::string shownText(const FieldDesc &field, std::string_view text)
{
    return FieldDecoder::isPrintable(text) ? std::string(text)
                                           : FieldDecoder::placeholder(field.typeLetter);
}

bool allBlank(std::string_view raw)
{
    return raw.find_first_not_of(std::string_view(" \0", 2)) == std::string_view::npos;
}

} // namespace

std::string_view FieldDecoder::trimmed(std::string_view text)
{
    std::size_t first = 0;
    std::size_t end = text.size();
    while (first < end && isPad(text[first]))
        ++first;
    while (end > first && isPad(text[end - 1]))
        --end;
    return text.substr(first, end - first);
}

FieldValue FieldDecoder::decode(const FieldDesc &field, const char *data)
{
    FieldValue value;
    if (field.width == 0) // holds nothing, whatever its type
        return value;
    const std::string_view raw(data + field.offset, static_cast<std::size_t>(field.width));
    const std::string_view text = trimmed(raw);
    switch (field.type) {
    case FieldType::Text:
        value.text = std::string(storedText(field, data));
        value.blank = value.text.empty();
        break;
    case FieldType::SmallInt:
    case FieldType::Integer:
        value.text = shownText(field, text);
        decodeInteger(field, text, value);
        break;
    case FieldType::Number:
        value.text = shownText(field, text);
        value.blank = !parseNumber(text, value.number);
        break;
    case FieldType::Date:
        value.text = shownText(field, text);
        value.blank = text.empty() || text == "00000000";
        break;
    case FieldType::Logical:
        decodeLogical(field, text, value);
        break;
    case FieldType::Memo:
        break;
    case FieldType::Long:
    case FieldType::SortedLong:
    case FieldType::Double:
    case FieldType::SortedDouble:
    case FieldType::Currency:
    case FieldType::DateTime:
    case FieldType::Timestamp:
        if (auto decoded = BinaryField::decode(field.type, raw))
            value = std::move(*decoded);
        else
            value.text = placeholder(field.typeLetter);
        break;
    case FieldType::Other:
        if (!allBlank(raw))
            value.text = placeholder(field.typeLetter);
        break;
    }
    return value;
}

std::string FieldDecoder::placeholder(char typeLetter)
{
    const auto c = static_cast<unsigned char>(typeLetter);
    if (c > 0x20 && c < 0x7F)
        return std::string("(Typ ") + typeLetter + ")";
    static const char digits[] = "0123456789ABCDEF";
    return std::string("(Typ 0x") + digits[c >> 4] + digits[c & 0xF] + ")";
}

bool FieldDecoder::isPrintable(std::string_view text)
{
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7F;
    });
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
