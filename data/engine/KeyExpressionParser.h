// Turns the text of a key expression into a tree of key nodes (KeyNode.h), checking
// names and types as it goes. Throws KeyExpressionError with the 1-based position
// of the fault in the text.
#pragma once

#include "EngineTypes.h"
#include "KeyNode.h"

#include <string>
#include <vector>

namespace dbase {

class KeyExpressionParser
{
public:
    struct Result
    {
        keynode::NodePtr root;
        int plainFieldNumber = 0; // from 1 when the whole text is one field name
    };

    KeyExpressionParser(const std::string &text, const std::vector<FieldDesc> &fields);
    Result parse();

private:
    enum class TokenType { End, Number, Text, Name, Open, Close, Comma, Plus, Minus };
    struct Token
    {
        TokenType type = TokenType::End;
        std::string text;
        double number = 0.0;
        int position = 0; // from 1
    };

    void tokenize();
    Token readNumber(std::size_t &i) const;
    Token readText(std::size_t &i) const;
    Token readName(std::size_t &i) const;

    const Token &current() const { return m_tokens[m_next]; }
    Token take() { return m_tokens[m_next++]; }
    void expect(TokenType type, const char *what);

    keynode::NodePtr expression();
    keynode::NodePtr unary();
    keynode::NodePtr primary();
    keynode::NodePtr field(const Token &name);
    keynode::NodePtr call(const Token &name);
    keynode::NodePtr strCall(const Token &name, keynode::NodePtr arg);
    keynode::NodePtr substrCall(const Token &name, keynode::NodePtr arg);
    keynode::NodePtr argument(const Token &function, int index, keynode::Kind kind);
    int constantArgument(const Token &function, int index);
    void endOfArguments(const Token &function, const char *expected);

    [[noreturn]] void fail(const std::string &message, int position) const;

    const std::string &m_text;
    const std::vector<FieldDesc> &m_fields;
    std::vector<Token> m_tokens;
    std::size_t m_next = 0;
};

} // namespace dbase
