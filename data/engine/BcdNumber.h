// The 12-byte packed BCD form in which a dBASE IV index stores numeric keys:
// byte 0 the exponent (52 + digits before the point), byte 1 sign, digit count and
// the constant low bits 01, bytes 2-11 up to 20 digits, two a byte, high nibble first.
#pragma once

#include <string>
#include <string_view>

namespace dbase {

class BcdNumber
{
public:
    static constexpr int Size = 12;

    // Encodes with 15 significant digits; the digit count leaves out trailing zeros
    // (100 gives 37 05 10 ...). Zero, NaN and infinities give the zero key 34 01 00 ...
    static std::string encode(double value);
    // Decodes by value, whatever digit count the writer used. Bytes beyond Size and
    // nibbles above 9 are ignored; fewer than Size bytes decode as 0.
    static double decode(std::string_view bytes);
};

} // namespace dbase
