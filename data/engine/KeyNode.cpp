#include "KeyNode.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <utility>

namespace dbase::keynode {

double Node::number(const char *) const
{
    assert(false && "number() asked of a text node");
    return 0.0;
}

void Node::appendText(const char *, std::string &) const
{
    assert(false && "appendText() asked of a number node");
}

bool Node::truth(const char *) const
{
    assert(false && "truth() asked of a node that is no logical value");
    return false;
}

bool Node::fieldBytes(const char *, std::string_view &) const
{
    return false;
}

namespace {

constexpr double PowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
constexpr std::size_t ExactDigits = 15; // a mantissa of that many digits is below 2^53

} // namespace

// Up to 15 digits the value is the digits as a whole number divided by a power of ten:
// both exact doubles, so the quotient is the correctly rounded value, as from_chars
// gives it, without the call.
double valOf(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const std::size_t start = i;
    std::uint64_t mantissa = 0; // wraps beyond 19 digits, and is then not used
    std::size_t digitCount = 0;
    auto takeDigits = [&] {
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digitCount)
            mantissa = mantissa * 10 + std::uint64_t(text[i] - '0');
    };
    takeDigits();
    std::size_t fractionDigits = 0;
    if (i < text.size() && text[i] == '.') {
        ++i;
        const std::size_t before = digitCount;
        takeDigits();
        fractionDigits = digitCount - before;
    }
    if (digitCount == 0)
        return 0.0;
    double value = 0.0;
    if (digitCount <= ExactDigits) {
        value = double(mantissa) / PowersOfTen[fractionDigits];
    } else {
        std::string_view number = text.substr(start, i - start);
        if (number.back() == '.')
            number.remove_suffix(1);
        std::from_chars(number.data(), number.data() + number.size(), value);
    }
    return negative ? -value : value;
}

// The candidates are the value scaled by 1, 10, ... rounded to a whole number: the
// check itself (a correctly rounded division of two exact doubles) decides.
bool holdsFifteenDigits(double value)
{
    const double magnitude = std::fabs(value);
    if (!(magnitude > 0.0 && magnitude < PowersOfTen[ExactDigits]))
        return false;
    for (std::size_t k = 0; k < ExactDigits; ++k) {
        const double scaled = std::round(magnitude * PowersOfTen[k]);
        if (scaled >= PowersOfTen[ExactDigits])
            return false;
        if (scaled / PowersOfTen[k] == magnitude)
            return true;
    }
    return false;
}

namespace {

// A sum or difference of decimal numbers, rounded to the 15 significant digits that
// a numeric key holds: 0.1 + 0.2 equals 0.3 as it does in dBASE's decimal arithmetic,
// so equal sums stay side by side in record order. Sums of whole numbers are exact.
double decimalResult(double a, double b, double result)
{
    constexpr double exactLimit = 9007199254740992.0; // 2^53
    if (std::trunc(a) == a && std::trunc(b) == b && std::fabs(result) < exactLimit)
        return result;
    if (holdsFifteenDigits(result))
        return result;
    char buf[64];
    const auto end =
        std::to_chars(buf, buf + sizeof buf, result, std::chars_format::general, 15).ptr;
    double rounded = result;
    std::from_chars(buf, end, rounded);
    return rounded;
}

class TextField : public Node
{
public:
    TextField(int offset, int width, Kind kind) : Node(kind, width), m_offset(offset) {}
    void appendText(const char *record, std::string &out) const override
    {
        out.append(record + m_offset, std::size_t(width()));
    }
    bool fieldBytes(const char *record, std::string_view &bytes) const override
    {
        bytes = std::string_view(record + m_offset, std::size_t(width()));
        return true;
    }

private:
    int m_offset;
};

class NumberField : public Node
{
public:
    NumberField(int offset, int width) : Node(Kind::Number, 0), m_offset(offset), m_bytes(width) {}
    double number(const char *record) const override
    {
        return valOf(std::string_view(record + m_offset, std::size_t(m_bytes)));
    }

private:
    int m_offset;
    int m_bytes;
};

class TextLiteral : public Node
{
public:
    explicit TextLiteral(std::string text)
        : Node(Kind::Text, int(text.size())), m_text(std::move(text))
    {
    }
    void appendText(const char *, std::string &out) const override { out += m_text; }

private:
    std::string m_text;
};

class NumberLiteral : public Node
{
public:
    explicit NumberLiteral(double value) : Node(Kind::Number, 0), m_value(value) {}
    double number(const char *) const override { return m_value; }

private:
    double m_value;
};

class Val : public Node
{
public:
    explicit Val(NodePtr arg) : Node(Kind::Number, 0), m_arg(std::move(arg)) {}
    double number(const char *record) const override
    {
        std::string_view bytes;
        if (m_arg->fieldBytes(record, bytes))
            return valOf(bytes);
        std::string text;
        m_arg->appendText(record, text);
        return valOf(text);
    }

private:
    NodePtr m_arg;
};

// Maps ASCII letters only: other bytes of the table's code page stay as they are.
class CaseMap : public Node
{
public:
    CaseMap(NodePtr arg, bool upper)
        : Node(Kind::Text, arg->width()), m_arg(std::move(arg)), m_upper(upper)
    {
    }
    void appendText(const char *record, std::string &out) const override
    {
        const std::size_t from = out.size();
        m_arg->appendText(record, out);
        for (std::size_t i = from; i < out.size(); ++i) {
            char &c = out[i];
            if (m_upper && c >= 'a' && c <= 'z')
                c = char(c - 'a' + 'A');
            else if (!m_upper && c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
        }
    }

private:
    NodePtr m_arg;
    bool m_upper;
};

// STR(): the number rounded to the decimals, right-aligned in the length; a number
// that does not fit gives asterisks, as dBASE does.
class Str : public Node
{
public:
    Str(NodePtr arg, int length, int decimals)
        : Node(Kind::Text, length), m_arg(std::move(arg)), m_decimals(decimals)
    {
    }
    void appendText(const char *record, std::string &out) const override
    {
        const double value = rounded(m_arg->number(record));
        char buf[400];
        const auto result =
            std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, m_decimals);
        const std::size_t length = std::size_t(width());
        const std::size_t used =
            result.ec == std::errc() ? std::size_t(result.ptr - buf) : length + 1;
        if (used > length)
            out.append(length, '*');
        else
            out.append(length - used, ' ').append(buf, used);
    }

private:
    // Half away from zero on the decimal digits the number shows with 15 significant
    // digits, so 2.675 (2.67499999... as a double) rounds to 2.68 as in dBASE.
    double rounded(double value) const
    {
        const double scale = std::pow(10.0, m_decimals);
        char buf[64];
        const auto end =
            std::to_chars(buf, buf + sizeof buf, value * scale, std::chars_format::general, 15).ptr;
        double scaled = 0.0;
        std::from_chars(buf, end, scaled);
        return std::round(scaled) / scale + 0.0; // no "-0"
    }

    NodePtr m_arg;
    int m_decimals;
};

class Substr : public Node
{
public:
    Substr(NodePtr arg, int start, int length)
        : Node(Kind::Text, length), m_arg(std::move(arg)), m_start(std::size_t(start - 1))
    {
    }
    void appendText(const char *record, std::string &out) const override
    {
        std::string text;
        m_arg->appendText(record, text);
        if (m_start < text.size())
            out.append(text, m_start, std::size_t(width()));
    }

private:
    NodePtr m_arg;
    std::size_t m_start;
};

// RIGHT(): the last bytes of the text as it comes (a trimmed text's own end).
class Right : public Node
{
public:
    Right(NodePtr arg, int length) : Node(Kind::Text, length), m_arg(std::move(arg)) {}
    void appendText(const char *record, std::string &out) const override
    {
        const std::size_t from = out.size();
        m_arg->appendText(record, out);
        const std::size_t length = out.size() - from;
        const std::size_t keep = std::min(length, std::size_t(width()));
        out.erase(from, length - keep);
    }

private:
    NodePtr m_arg;
};

// TRIM()/RTRIM(), LTRIM() and ALLTRIM(): blanks cut at the end, the start or both.
class Trim : public Node
{
public:
    Trim(NodePtr arg, bool leading, bool trailing)
        : Node(Kind::Text, arg->width()), m_arg(std::move(arg)), m_leading(leading),
          m_trailing(trailing)
    {
    }
    void appendText(const char *record, std::string &out) const override
    {
        const std::size_t from = out.size();
        m_arg->appendText(record, out);
        std::size_t end = out.size();
        while (m_trailing && end > from && out[end - 1] == ' ')
            --end;
        out.resize(end);
        std::size_t start = from;
        while (m_leading && start < end && out[start] == ' ')
            ++start;
        out.erase(from, start - from);
    }

private:
    NodePtr m_arg;
    bool m_leading;
    bool m_trailing;
};

// A date field's bytes are already YYYYMMDD; DTOS() makes them a text.
class Dtos : public Node
{
public:
    explicit Dtos(NodePtr arg) : Node(Kind::Text, arg->width()), m_arg(std::move(arg)) {}
    void appendText(const char *record, std::string &out) const override
    {
        m_arg->appendText(record, out);
    }

private:
    NodePtr m_arg;
};

// DTOC(): dBASE's default date format, MM/DD/YY; a blank date gives "  /  /  ".
class Dtoc : public Node
{
public:
    explicit Dtoc(NodePtr arg) : Node(Kind::Text, 8), m_arg(std::move(arg)) {}
    void appendText(const char *record, std::string &out) const override
    {
        std::string date;
        m_arg->appendText(record, date);
        date.resize(8, ' ');
        const char text[8] = {date[4], date[5], '/', date[6], date[7], '/', date[2], date[3]};
        out.append(text, sizeof text);
    }

private:
    NodePtr m_arg;
};

class Iif : public Node
{
public:
    Iif(NodePtr condition, NodePtr whenTrue, NodePtr whenFalse)
        : Node(whenTrue->kind(), std::max(whenTrue->width(), whenFalse->width())),
          m_condition(std::move(condition)), m_true(std::move(whenTrue)),
          m_false(std::move(whenFalse))
    {
    }
    double number(const char *record) const override { return branch(record).number(record); }
    bool truth(const char *record) const override { return branch(record).truth(record); }
    void appendText(const char *record, std::string &out) const override
    {
        const std::size_t end = out.size() + std::size_t(width());
        branch(record).appendText(record, out);
        out.resize(end, ' ');
    }

private:
    const Node &branch(const char *record) const
    {
        return m_condition->truth(record) ? *m_true : *m_false;
    }

    NodePtr m_condition;
    NodePtr m_true;
    NodePtr m_false;
};

class Negate : public Node
{
public:
    explicit Negate(NodePtr arg) : Node(Kind::Number, 0), m_arg(std::move(arg)) {}
    double number(const char *record) const override { return -m_arg->number(record); }

private:
    NodePtr m_arg;
};

class Arithmetic : public Node
{
public:
    Arithmetic(NodePtr left, NodePtr right, bool subtract)
        : Node(Kind::Number, 0), m_left(std::move(left)), m_right(std::move(right)),
          m_subtract(subtract)
    {
    }
    double number(const char *record) const override
    {
        const double a = m_left->number(record);
        const double b = m_right->number(record);
        return decimalResult(a, b, m_subtract ? a - b : a + b);
    }

private:
    NodePtr m_left;
    NodePtr m_right;
    bool m_subtract;
};

class Concat : public Node
{
public:
    Concat(NodePtr left, NodePtr right, bool moveBlanks)
        : Node(Kind::Text, left->width() + right->width()), m_left(std::move(left)),
          m_right(std::move(right)), m_moveBlanks(moveBlanks)
    {
    }
    void appendText(const char *record, std::string &out) const override
    {
        const std::size_t from = out.size();
        m_left->appendText(record, out);
        std::size_t blanks = 0;
        if (m_moveBlanks) {
            while (blanks < out.size() - from && out[out.size() - 1 - blanks] == ' ')
                ++blanks;
            out.resize(out.size() - blanks);
        }
        m_right->appendText(record, out);
        out.append(blanks, ' ');
    }

private:
    NodePtr m_left;
    NodePtr m_right;
    bool m_moveBlanks;
};

} // namespace

NodePtr textField(int offset, int width, Kind kind)
{
    return std::make_unique<TextField>(offset, width, kind);
}
NodePtr numberField(int offset, int width)
{
    return std::make_unique<NumberField>(offset, width);
}
NodePtr textLiteral(std::string text)
{
    return std::make_unique<TextLiteral>(std::move(text));
}
NodePtr numberLiteral(double value)
{
    return std::make_unique<NumberLiteral>(value);
}
NodePtr val(NodePtr argument)
{
    return std::make_unique<Val>(std::move(argument));
}
NodePtr caseMap(NodePtr argument, bool upper)
{
    return std::make_unique<CaseMap>(std::move(argument), upper);
}
NodePtr str(NodePtr argument, int length, int decimals)
{
    return std::make_unique<Str>(std::move(argument), length, decimals);
}
NodePtr substr(NodePtr argument, int start, int length)
{
    return std::make_unique<Substr>(std::move(argument), start, length);
}
NodePtr right(NodePtr argument, int length)
{
    return std::make_unique<Right>(std::move(argument), length);
}
NodePtr trim(NodePtr argument, bool leading, bool trailing)
{
    return std::make_unique<Trim>(std::move(argument), leading, trailing);
}
NodePtr dtos(NodePtr argument)
{
    return std::make_unique<Dtos>(std::move(argument));
}
NodePtr dtoc(NodePtr argument)
{
    return std::make_unique<Dtoc>(std::move(argument));
}
NodePtr iif(NodePtr condition, NodePtr whenTrue, NodePtr whenFalse)
{
    return std::make_unique<Iif>(std::move(condition), std::move(whenTrue), std::move(whenFalse));
}
NodePtr negate(NodePtr argument)
{
    return std::make_unique<Negate>(std::move(argument));
}
NodePtr arithmetic(NodePtr left, NodePtr right, bool subtract)
{
    return std::make_unique<Arithmetic>(std::move(left), std::move(right), subtract);
}
NodePtr concat(NodePtr left, NodePtr right, bool moveBlanks)
{
    return std::make_unique<Concat>(std::move(left), std::move(right), moveBlanks);
}

} // namespace dbase::keynode
