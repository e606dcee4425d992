#include "KeyExpressionParser.h"

#include "KeyExpression.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace dbase {

using keynode::Kind;
using keynode::NodePtr;

namespace {

constexpr int MaxStrLength = 254;
constexpr int MaxStrDecimals = 15;

bool isNameStart(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}

bool isNameChar(unsigned char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9');
}

std::string upper(std::string text)
{
    for (char &c : text)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return text;
}

const char *kindName(Kind kind)
{
    switch (kind) {
    case Kind::Number:
        return "eine Zahl";
    case Kind::Text:
        return "einen Text";
    case Kind::Date:
        return "ein Datum";
    }
    return "";
}

} // namespace

KeyExpressionParser::KeyExpressionParser(const std::string &text,
                                         const std::vector<FieldDesc> &fields)
    : m_text(text), m_fields(fields)
{
}

KeyExpressionParser::Result KeyExpressionParser::parse()
{
    tokenize();
    if (current().type == TokenType::End)
        fail("Der Indexausdruck ist leer.", 0);
    Result result;
    if (m_tokens.size() == 2 && current().type == TokenType::Name)
        for (std::size_t i = 0; i < m_fields.size(); ++i)
            if (upper(m_fields[i].name) == upper(current().text))
                result.plainFieldNumber = int(i) + 1;
    result.root = expression();
    if (current().type != TokenType::End)
        fail("unerwarteter Text '" + m_text.substr(std::size_t(current().position - 1)) + "'",
             current().position);
    return result;
}

void KeyExpressionParser::fail(const std::string &message, int position) const
{
    if (position <= 0)
        throw KeyExpressionError(message);
    throw KeyExpressionError("An Position " + std::to_string(position) + ": " + message + ".");
}

void KeyExpressionParser::tokenize()
{
    std::size_t i = 0;
    while (i < m_text.size()) {
        const unsigned char c = static_cast<unsigned char>(m_text[i]);
        if (c == ' ' || c == '\t') {
            ++i;
            continue;
        }
        Token token;
        token.position = int(i) + 1;
        if ((c >= '0' && c <= '9') || c == '.')
            token = readNumber(i);
        else if (c == '"' || c == '\'')
            token = readText(i);
        else if (isNameStart(c))
            token = readName(i);
        else {
            switch (c) {
            case '(':
                token.type = TokenType::Open;
                break;
            case ')':
                token.type = TokenType::Close;
                break;
            case ',':
                token.type = TokenType::Comma;
                break;
            case '+':
                token.type = TokenType::Plus;
                break;
            case '-':
                token.type = TokenType::Minus;
                break;
            default:
                fail(std::string("unerwartetes Zeichen '") + char(c) + "'", token.position);
            }
            ++i;
        }
        m_tokens.push_back(token);
    }
    Token end;
    end.position = int(m_text.size()) + 1;
    m_tokens.push_back(end);
}

KeyExpressionParser::Token KeyExpressionParser::readNumber(std::size_t &i) const
{
    Token token;
    token.type = TokenType::Number;
    token.position = int(i) + 1;
    const std::size_t start = i;
    bool point = false;
    while (i < m_text.size() &&
           ((m_text[i] >= '0' && m_text[i] <= '9') || (m_text[i] == '.' && !point))) {
        point = point || m_text[i] == '.';
        ++i;
    }
    token.text = m_text.substr(start, i - start);
    if (token.text == ".")
        fail("unerwartetes Zeichen '.'", token.position);
    std::from_chars(token.text.data(), token.text.data() + token.text.size(), token.number);
    return token;
}

KeyExpressionParser::Token KeyExpressionParser::readText(std::size_t &i) const
{
    Token token;
    token.type = TokenType::Text;
    token.position = int(i) + 1;
    const char quote = m_text[i];
    const std::size_t close = m_text.find(quote, i + 1);
    if (close == std::string::npos)
        fail("nicht abgeschlossener Text", token.position);
    token.text = m_text.substr(i + 1, close - i - 1);
    i = close + 1;
    return token;
}

KeyExpressionParser::Token KeyExpressionParser::readName(std::size_t &i) const
{
    Token token;
    token.type = TokenType::Name;
    token.position = int(i) + 1;
    const std::size_t start = i;
    while (i < m_text.size() && isNameChar(static_cast<unsigned char>(m_text[i])))
        ++i;
    token.text = m_text.substr(start, i - start);
    return token;
}

void KeyExpressionParser::expect(TokenType type, const char *what)
{
    if (current().type != type)
        fail(std::string(what) + " fehlt", current().position);
    take();
}

NodePtr KeyExpressionParser::expression()
{
    NodePtr left = unary();
    while (current().type == TokenType::Plus || current().type == TokenType::Minus) {
        const Token op = take();
        const bool minus = op.type == TokenType::Minus;
        NodePtr right = unary();
        if (left->kind() == Kind::Number && right->kind() == Kind::Number)
            left = keynode::arithmetic(std::move(left), std::move(right), minus);
        else if (left->kind() == Kind::Text && right->kind() == Kind::Text)
            left = keynode::concat(std::move(left), std::move(right), minus);
        else
            fail(std::string("'") + (minus ? '-' : '+') + "' verlangt zwei Zahlen oder zwei Texte",
                 op.position);
    }
    return left;
}

NodePtr KeyExpressionParser::unary()
{
    if (current().type != TokenType::Minus)
        return primary();
    const Token op = take();
    NodePtr operand = unary();
    if (operand->kind() != Kind::Number)
        fail("'-' vor einem Text", op.position);
    return keynode::negate(std::move(operand));
}

NodePtr KeyExpressionParser::primary()
{
    const Token token = current();
    switch (token.type) {
    case TokenType::Number:
        take();
        return keynode::numberLiteral(token.number);
    case TokenType::Text:
        take();
        return keynode::textLiteral(token.text);
    case TokenType::Open: {
        take();
        NodePtr inner = expression();
        expect(TokenType::Close, "')'");
        return inner;
    }
    case TokenType::Name:
        take();
        if (current().type == TokenType::Open)
            return call(token);
        return field(token);
    default:
        fail("hier fehlt ein Wert", token.position);
    }
}

NodePtr KeyExpressionParser::field(const Token &name)
{
    for (const FieldDesc &f : m_fields) {
        if (upper(f.name) != upper(name.text))
            continue;
        if (f.offset < 1 || f.width < 1)
            fail("das Feld " + f.name + " hat keinen Platz im Datensatz", name.position);
        switch (f.type) {
        case FieldType::Text:
        case FieldType::Logical:
            return keynode::textField(f.offset, f.width, Kind::Text);
        case FieldType::Date:
            return keynode::textField(f.offset, f.width, Kind::Date);
        case FieldType::SmallInt:
        case FieldType::Integer:
        case FieldType::Number:
            return keynode::numberField(f.offset, f.width);
        default:
            fail("das Feld " + f.name + " vom Typ " + f.typeLetter +
                     " kann nicht Teil eines Schlüssels sein",
                 name.position);
        }
    }
    fail("unbekanntes Feld " + name.text, name.position);
}

NodePtr KeyExpressionParser::call(const Token &name)
{
    const std::string fn = upper(name.text);
    static const char *const known[] = {"VAL",    "UPPER", "LOWER", "STR",
                                        "SUBSTR", "TRIM",  "RTRIM", "DTOS"};
    bool isKnown = false;
    for (const char *k : known)
        isKnown = isKnown || fn == k;
    if (!isKnown)
        fail("unbekannte Funktion " + name.text, name.position);
    take(); // '('
    const Kind argKind = fn == "STR" ? Kind::Number : fn == "DTOS" ? Kind::Date : Kind::Text;
    NodePtr arg = argument(name, 1, argKind);
    if (fn == "STR")
        return strCall(name, std::move(arg));
    if (fn == "SUBSTR")
        return substrCall(name, std::move(arg));
    endOfArguments(name, "1 Argument");
    if (fn == "VAL")
        return keynode::val(std::move(arg));
    if (fn == "DTOS")
        return keynode::dtos(std::move(arg));
    if (fn == "TRIM" || fn == "RTRIM")
        return keynode::trim(std::move(arg));
    return keynode::caseMap(std::move(arg), fn == "UPPER");
}

// STR(number[, length[, decimals]]): length and decimals are constants, so the
// key's width is known while parsing.
NodePtr KeyExpressionParser::strCall(const Token &name, NodePtr arg)
{
    int length = 10;
    int decimals = 0;
    if (current().type == TokenType::Comma) {
        take();
        length = constantArgument(name, 2);
        if (current().type == TokenType::Comma) {
            take();
            decimals = constantArgument(name, 3);
        }
    }
    endOfArguments(name, "1 bis 3 Argumente");
    if (length < 1 || length > MaxStrLength || decimals > MaxStrDecimals)
        fail("STR: Länge oder Nachkommastellen außerhalb des erlaubten Bereichs", name.position);
    return keynode::str(std::move(arg), length, decimals);
}

// SUBSTR(text, start[, length]): constants again; the length is cut to the text.
NodePtr KeyExpressionParser::substrCall(const Token &name, NodePtr arg)
{
    if (current().type != TokenType::Comma)
        fail("SUBSTR erwartet 2 oder 3 Argumente", name.position);
    take();
    const int start = constantArgument(name, 2);
    int length = arg->width() - start + 1;
    if (current().type == TokenType::Comma) {
        take();
        length = std::min(constantArgument(name, 3), length);
    }
    endOfArguments(name, "2 oder 3 Argumente");
    if (start < 1 || start > arg->width() || length < 1)
        fail("SUBSTR: Anfang oder Länge außerhalb des Textes", name.position);
    return keynode::substr(std::move(arg), start, length);
}

NodePtr KeyExpressionParser::argument(const Token &function, int index, Kind kind)
{
    const int position = current().position;
    if (current().type == TokenType::Close)
        fail(upper(function.text) + " erwartet " + kindName(kind) + " als Argument " +
                 std::to_string(index),
             position);
    NodePtr arg = expression();
    if (arg->kind() != kind)
        fail(upper(function.text) + " erwartet " + kindName(kind) + " als Argument " +
                 std::to_string(index),
             position);
    return arg;
}

int KeyExpressionParser::constantArgument(const Token &function, int index)
{
    const Token token = current();
    if (token.type != TokenType::Number || token.number != std::floor(token.number) ||
        token.number > 9999)
        fail(upper(function.text) + " erwartet eine ganze Zahl als Argument " +
                 std::to_string(index),
             token.position);
    take();
    return int(token.number);
}

void KeyExpressionParser::endOfArguments(const Token &function, const char *expected)
{
    if (current().type == TokenType::Comma)
        fail(upper(function.text) + " erwartet " + expected, function.position);
    expect(TokenType::Close, "')'");
}

} // namespace dbase
