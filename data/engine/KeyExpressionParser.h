// Turns the text of a key expression or a FOR condition into a tree of key nodes
// (KeyNode.h), checking names and types as it goes. Throws KeyExpressionError with
// the 1-based position of the fault in the text.
//
// Grammar, loosest binding first:
//   condition  := and { .OR. and }
//   and        := not { .AND. not }
//   not        := .NOT. not | comparison
//   comparison := sum [ ( = | # | <> | < | <= | > | >= | $ ) sum ]
//   sum        := unary { ( + | - ) unary }
//   unary      := - unary | primary
//   primary    := number | 'text' | "text" | .T. | .F. | ( condition ) | field | call
// DESCEND( ... ) may only enclose the whole key.
#pragma once

#include "Collation.h"
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
        bool descending = false;  // the whole key is enclosed in DESCEND()
    };

    // Field names and text are in codePage.
    KeyExpressionParser(const std::string &text, const std::vector<FieldDesc> &fields,
                        const Collation &collation, int codePage);
    Result parse();

private:
    enum class TokenType {
        End,
        Number,
        Text,
        Name,
        Open,
        Close,
        Comma,
        Plus,
        Minus,
        Compare, // comparison holds which one
        And,
        Or,
        Not,
        True,
        False
    };
    struct Token
    {
        TokenType type = TokenType::End;
        std::string text;
        double number = 0.0;
        keynode::Comparison comparison = keynode::Comparison::Equal;
        int position = 0; // from 1
    };

    void tokenize();
    Token readNumber(std::size_t &i) const;
    Token readText(std::size_t &i) const;
    Token readName(std::size_t &i) const;
    Token readDotWord(std::size_t &i) const;
    Token readComparison(std::size_t &i) const;

    const Token &current() const { return m_tokens[m_next]; }
    const Token &following() const { return m_tokens[std::min(m_next + 1, m_tokens.size() - 1)]; }
    Token take() { return m_tokens[m_next++]; }
    void expect(TokenType type, const char *what);

    keynode::NodePtr condition();
    keynode::NodePtr conjunction();
    keynode::NodePtr negation();
    keynode::NodePtr comparison();
    keynode::NodePtr sum();
    keynode::NodePtr unary();
    keynode::NodePtr primary();
    keynode::NodePtr field(const Token &name);
    keynode::NodePtr call(const Token &name);
    keynode::NodePtr strCall(const Token &name, keynode::NodePtr arg);
    keynode::NodePtr substrCall(const Token &name, keynode::NodePtr arg);
    keynode::NodePtr leftRightCall(const Token &name, keynode::NodePtr arg);
    keynode::NodePtr iifCall(const Token &name);
    keynode::NodePtr argument(const Token &function, int index, keynode::Kind kind);
    int constantArgument(const Token &function, int index);
    void endOfArguments(const Token &function, const char *expected);

    [[noreturn]] void fail(const std::string &message, int position) const;

    const std::string &m_text;
    const std::vector<FieldDesc> &m_fields;
    Collation m_collation;
    int m_codePage;
    std::vector<Token> m_tokens;
    std::size_t m_next = 0;
};

} // namespace dbase
