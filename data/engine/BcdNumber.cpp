#include "BcdNumber.h"

#include <charconv>
#include <cmath>

namespace dbase {

namespace {

constexpr int ExponentBias = 52;
constexpr int MaxStoredDigits = 20;

std::string zeroKey()
{
    std::string key(BcdNumber::Size, '\0');
    key[0] = char(ExponentBias);
    key[1] = char(0x01);
    return key;
}

} // namespace

std::string BcdNumber::encode(double value)
{
    if (value == 0.0 || !std::isfinite(value))
        return zeroKey();

    // "d.dddddddddddddde+XX": 15 significant digits, locale-independent.
    char buf[40];
    const auto result =
        std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
    const std::string_view text(buf, std::size_t(result.ptr - buf));
    const std::size_t ePos = text.find('e');
    std::string digits;
    for (char c : text.substr(0, ePos))
        if (c >= '0' && c <= '9')
            digits += c;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    // "e+05", "e-12": from_chars takes no '+'.
    std::string_view exponentText = text.substr(ePos + 1);
    if (!exponentText.empty() && exponentText.front() == '+')
        exponentText.remove_prefix(1);
    int exponent = 0;
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);

    // 0.d1d2... x 10^(byte0 - 52); a value beyond the byte's range is saturated.
    int byte0 = ExponentBias + exponent + 1;
    if (byte0 < 1)
        return zeroKey();
    if (byte0 > 255) {
        byte0 = 255;
        digits.assign(15, '9');
    }
    std::string key(Size, '\0');
    key[0] = char(byte0);
    key[1] = char((value < 0 ? 0x80 : 0) | (int(digits.size()) << 2) | 0x01);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const int nibble = digits[i] - '0';
        key[2 + i / 2] = char(key[2 + i / 2] | (i % 2 == 0 ? nibble << 4 : nibble));
    }
    return key;
}

double BcdNumber::decode(std::string_view bytes)
{
    if (bytes.size() < std::size_t(Size))
        return 0.0;
    const auto info = static_cast<unsigned char>(bytes[1]);
    int count = (info >> 2) & 0x1f;
    if (count > MaxStoredDigits)
        count = MaxStoredDigits;
    std::string text = "0.";
    for (int i = 0; i < count; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[2 + i / 2]);
        const int nibble = i % 2 == 0 ? byte >> 4 : byte & 0x0f;
        if (nibble > 9)
            break;
        text += char('0' + nibble);
    }
    if (text.size() == 2)
        return 0.0;
    text += 'e';
    text += std::to_string(int(static_cast<unsigned char>(bytes[0])) - ExponentBias);
    double value = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return (info & 0x80) ? -value : value;
}

} // namespace dbase
