#include "KeyExpressionParser.h"

#include "AnsiCase.h"
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

bool isAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

const char *kindName(Kind kind)
{
    switch (kind) {
    case Kind::Logical:
        return "einen Wahrheitswert";
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
                                         const std::vector<FieldDesc> &fields,
                                         const Collation &collation, int codePage)
    : m_text(text), m_fields(fields), m_collation(collation), m_codePage(codePage)
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
            if (AnsiCase::equalInCodePage(m_codePage, m_fields[i].name, current().text))
                result.plainFieldNumber = int(i) + 1;
    if (current().type == TokenType::Name && upper(current().text) == "DESCEND" &&
        following().type == TokenType::Open) {
        take();
        take();
        result.descending = true;
        result.root = condition();
        expect(TokenType::Close, "')'");
    } else {
        result.root = condition();
    }
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
        if (c == '.' && i + 1 < m_text.size() && isAsciiLetter(m_text[i + 1]))
            token = readDotWord(i);
        else if ((c >= '0' && c <= '9') || c == '.')
            token = readNumber(i);
        else if (c == '"' || c == '\'')
            token = readText(i);
        else if (isNameStart(c))
            token = readName(i);
        else if (c == '=' || c == '#' || c == '<' || c == '>' || c == '$')
            token = readComparison(i);
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

// Digits with at most one point; a point followed by a letter begins an operator
// such as .AND. instead (1.AND. is 1 .AND.).
KeyExpressionParser::Token KeyExpressionParser::readNumber(std::size_t &i) const
{
    Token token;
    token.type = TokenType::Number;
    token.position = int(i) + 1;
    const std::size_t start = i;
    bool point = false;
    while (i < m_text.size()) {
        const char c = m_text[i];
        const bool pointHere =
            c == '.' && !point && !(i + 1 < m_text.size() && isAsciiLetter(m_text[i + 1]));
        if (!(c >= '0' && c <= '9') && !pointHere)
            break;
        point = point || pointHere;
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

// .T., .F. (also .Y., .N.), .AND., .OR., .NOT., in any letter case.
KeyExpressionParser::Token KeyExpressionParser::readDotWord(std::size_t &i) const
{
    Token token;
    token.position = int(i) + 1;
    std::size_t end = i + 1;
    while (end < m_text.size() && isAsciiLetter(m_text[end]))
        ++end;
    const std::string word = upper(m_text.substr(i + 1, end - i - 1));
    if (end >= m_text.size() || m_text[end] != '.')
        fail("unerwartetes Zeichen '.'", token.position);
    token.text = "." + word + ".";
    if (word == "T" || word == "Y")
        token.type = TokenType::True;
    else if (word == "F" || word == "N")
        token.type = TokenType::False;
    else if (word == "AND")
        token.type = TokenType::And;
    else if (word == "OR")
        token.type = TokenType::Or;
    else if (word == "NOT")
        token.type = TokenType::Not;
    else
        fail("unbekannter Operator '" + token.text + "'", token.position);
    i = end + 1;
    return token;
}

KeyExpressionParser::Token KeyExpressionParser::readComparison(std::size_t &i) const
{
    using keynode::Comparison;
    Token token;
    token.type = TokenType::Compare;
    token.position = int(i) + 1;
    const char c = m_text[i];
    const char next = i + 1 < m_text.size() ? m_text[i + 1] : '\0';
    std::size_t length = 1;
    switch (c) {
    case '=':
        token.comparison = Comparison::Equal;
        break;
    case '#':
        token.comparison = Comparison::NotEqual;
        break;
    case '$':
        token.comparison = Comparison::Contains;
        break;
    case '<':
        token.comparison = next == '='   ? Comparison::LessEqual
                           : next == '>' ? Comparison::NotEqual
                                         : Comparison::Less;
        length = next == '=' || next == '>' ? 2 : 1;
        break;
    default: // '>'
        token.comparison = next == '=' ? Comparison::GreaterEqual : Comparison::Greater;
        length = next == '=' ? 2 : 1;
        break;
    }
    token.text = m_text.substr(i, length);
    i += length;
    return token;
}

void KeyExpressionParser::expect(TokenType type, const char *what)
{
    if (current().type != type)
        fail(std::string(what) + " fehlt", current().position);
    take();
}

NodePtr KeyExpressionParser::condition()
{
    NodePtr left = conjunction();
    while (current().type == TokenType::Or) {
        const Token op = take();
        NodePtr right = conjunction();
        if (left->kind() != Kind::Logical || right->kind() != Kind::Logical)
            fail("'.OR.' verlangt zwei Wahrheitswerte", op.position);
        left = keynode::logicalOr(std::move(left), std::move(right));
    }
    return left;
}

NodePtr KeyExpressionParser::conjunction()
{
    NodePtr left = negation();
    while (current().type == TokenType::And) {
        const Token op = take();
        NodePtr right = negation();
        if (left->kind() != Kind::Logical || right->kind() != Kind::Logical)
            fail("'.AND.' verlangt zwei Wahrheitswerte", op.position);
        left = keynode::logicalAnd(std::move(left), std::move(right));
    }
    return left;
}

NodePtr KeyExpressionParser::negation()
{
    if (current().type != TokenType::Not)
        return comparison();
    const Token op = take();
    NodePtr operand = negation();
    if (operand->kind() != Kind::Logical)
        fail("'.NOT.' verlangt einen Wahrheitswert", op.position);
    return keynode::logicalNot(std::move(operand));
}

NodePtr KeyExpressionParser::comparison()
{
    using keynode::Comparison;
    NodePtr left = sum();
    if (current().type != TokenType::Compare)
        return left;
    const Token op = take();
    NodePtr right = sum();
    const Kind kind = left->kind();
    if (op.comparison == Comparison::Contains) {
        if (kind != Kind::Text || right->kind() != Kind::Text)
            fail("'$' verlangt zwei Texte", op.position);
    } else if (kind != right->kind()) {
        fail("'" + op.text + "' verlangt zwei Werte derselben Art", op.position);
    } else if (kind == Kind::Logical && op.comparison != Comparison::Equal &&
               op.comparison != Comparison::NotEqual) {
        fail("'" + op.text + "' ordnet keine Wahrheitswerte", op.position);
    }
    return keynode::comparison(op.comparison, std::move(left), std::move(right), m_collation);
}

NodePtr KeyExpressionParser::sum()
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
    case TokenType::True:
    case TokenType::False:
        take();
        return keynode::logicalLiteral(token.type == TokenType::True);
    case TokenType::Open: {
        take();
        NodePtr inner = condition();
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
        if (!AnsiCase::equalInCodePage(m_codePage, f.name, name.text))
            continue;
        // A field of width 0 is an empty text or number; a logical needs its byte.
        if (f.offset < 1 || f.width < 0 || (f.width == 0 && f.type == FieldType::Logical))
            fail("das Feld " + f.name + " hat keinen Platz im Datensatz", name.position);
        switch (f.type) {
        case FieldType::Text:
            return keynode::textField(f.offset, f.width, Kind::Text);
        case FieldType::Logical:
            return keynode::logicalField(f.offset);
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
    static const char *const known[] = {"VAL",   "UPPER", "LOWER", "STR",     "SUBSTR",
                                        "TRIM",  "RTRIM", "LTRIM", "ALLTRIM", "LEFT",
                                        "RIGHT", "DTOS",  "DTOC",  "IIF",     "DELETED"};
    bool isKnown = false;
    for (const char *k : known)
        isKnown = isKnown || fn == k;
    if (fn == "DESCEND")
        fail("DESCEND() muss den ganzen Schlüsselausdruck umschließen", name.position);
    if (!isKnown)
        fail("unbekannte Funktion " + name.text, name.position);
    if (fn == "IIF")
        return iifCall(name);
    take(); // '('
    if (fn == "DELETED") {
        if (current().type != TokenType::Close)
            fail("DELETED erwartet kein Argument", name.position);
        take();
        return keynode::deleted();
    }
    const Kind argKind = fn == "STR"                    ? Kind::Number
                         : fn == "DTOS" || fn == "DTOC" ? Kind::Date
                                                        : Kind::Text;
    NodePtr arg = argument(name, 1, argKind);
    if (fn == "STR")
        return strCall(name, std::move(arg));
    if (fn == "SUBSTR")
        return substrCall(name, std::move(arg));
    if (fn == "LEFT" || fn == "RIGHT")
        return leftRightCall(name, std::move(arg));
    endOfArguments(name, "1 Argument");
    if (fn == "VAL")
        return keynode::val(std::move(arg));
    if (fn == "DTOS")
        return keynode::dtos(std::move(arg));
    if (fn == "DTOC")
        return keynode::dtoc(std::move(arg));
    if (fn == "TRIM" || fn == "RTRIM")
        return keynode::trim(std::move(arg), false, true);
    if (fn == "LTRIM")
        return keynode::trim(std::move(arg), true, false);
    if (fn == "ALLTRIM")
        return keynode::trim(std::move(arg), true, true);
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

// LEFT(text, n) and RIGHT(text, n): n a constant, cut to the text's width.
NodePtr KeyExpressionParser::leftRightCall(const Token &name, NodePtr arg)
{
    const std::string fn = upper(name.text);
    if (current().type != TokenType::Comma)
        fail(fn + " erwartet 2 Argumente", name.position);
    take();
    const int length = std::min(constantArgument(name, 2), arg->width());
    endOfArguments(name, "2 Argumente");
    if (fn == "LEFT")
        return keynode::substr(std::move(arg), 1, length);
    return keynode::right(std::move(arg), length);
}

// IIF(condition, a, b): a and b of one kind.
NodePtr KeyExpressionParser::iifCall(const Token &name)
{
    take(); // '('
    NodePtr test = argument(name, 1, Kind::Logical);
    if (current().type != TokenType::Comma)
        fail("IIF erwartet 3 Argumente", name.position);
    take();
    const int position = current().position;
    NodePtr whenTrue = condition();
    if (current().type != TokenType::Comma)
        fail("IIF erwartet 3 Argumente", name.position);
    take();
    NodePtr whenFalse = condition();
    endOfArguments(name, "3 Argumente");
    if (whenTrue->kind() != whenFalse->kind())
        fail("IIF erwartet für Argument 2 und 3 Werte derselben Art", position);
    return keynode::iif(std::move(test), std::move(whenTrue), std::move(whenFalse));
}

NodePtr KeyExpressionParser::argument(const Token &function, int index, Kind kind)
{
    const int position = current().position;
    if (current().type == TokenType::Close)
        fail(upper(function.text) + " erwartet " + kindName(kind) + " als Argument " +
                 std::to_string(index),
             position);
    NodePtr arg = condition();
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
