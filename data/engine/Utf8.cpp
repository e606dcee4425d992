#include "Utf8.h"

namespace dbase {

char32_t Utf8::decode(std::string_view text, std::size_t at, std::size_t &length)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    length = 1;
    if (lead < 0x80)
        return lead;
    // The sequence's length and the least value it may carry (shorter is overlong).
    std::size_t more = 0;
    char32_t least = 0;
    char32_t c = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1;
        least = 0x80;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2;
        least = 0x800;
        c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3;
        least = 0x10000;
        c = lead & 0x07;
    } else {
        return Malformed;
    }
    for (std::size_t i = 1; i <= more; ++i) {
        if (at + i >= text.size()) {
            length = text.size() - at;
            return Truncated;
        }
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80)
            return Malformed;
        c = (c << 6) | (next & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return Malformed;
    length = more + 1;
    return c;
}

void Utf8::append(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace dbase
