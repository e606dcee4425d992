// The tree of a parsed key expression: one node per field, literal, function call
// or operator. Every node knows its result kind (and, for texts, the widest text
// it can give) when it is built, so type errors are found while parsing.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace dbase {
class Collation;
}

namespace dbase::keynode {

enum class Kind { Number, Text, Date, Logical };

class Node
{
public:
    Node(Kind kind, int width) : m_kind(kind), m_width(width) {}
    virtual ~Node() = default;

    Kind kind() const { return m_kind; }
    // Texts and dates: the most bytes the node can give.
    int width() const { return m_width; }

    virtual double number(const char *record) const;
    // Texts and dates: appends the node's bytes (at most width()) to out.
    virtual void appendText(const char *record, std::string &out) const;
    // Logical values.
    virtual bool truth(const char *record) const;
    // A field node gives a view of its bytes in the record, so VAL(field) copies nothing.
    virtual bool fieldBytes(const char *record, std::string_view &bytes) const;

private:
    Kind m_kind;
    int m_width;
};

using NodePtr = std::unique_ptr<Node>;

// dBASE VAL(): leading blanks skipped, then an optional sign, digits, optionally a
// point and more digits, up to the first other character; anything else gives 0.
double valOf(std::string_view text);
// True when value (not 0) is the double nearest to a decimal of at most 15 significant
// digits: a rounding to the 15 digits that a numeric key holds leaves it as it is.
bool holdsFifteenDigits(double value);

NodePtr textField(int offset, int width, Kind kind);
NodePtr numberField(int offset, int width);
NodePtr textLiteral(std::string text);
NodePtr numberLiteral(double value);
NodePtr val(NodePtr argument);
NodePtr caseMap(NodePtr argument, bool upper);
NodePtr str(NodePtr argument, int length, int decimals);
NodePtr substr(NodePtr argument, int start, int length); // start from 1
NodePtr right(NodePtr argument, int length);
NodePtr trim(NodePtr argument, bool leading, bool trailing);
NodePtr dtos(NodePtr argument);
NodePtr dtoc(NodePtr argument); // MM/DD/YY
// Both branches of one kind; a text result is blank-filled to the wider branch.
NodePtr iif(NodePtr condition, NodePtr whenTrue, NodePtr whenFalse);
NodePtr negate(NodePtr argument);
NodePtr arithmetic(NodePtr left, NodePtr right, bool subtract);
// '-' on texts: the left text's trailing blanks move to the end of the result.
NodePtr concat(NodePtr left, NodePtr right, bool moveBlanks);

// Logical values (KeyNodeLogic.cpp).
enum class Comparison { Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual, Contains };

// T, t, Y and y are true; anything else (F, N, ?, blank) false.
NodePtr logicalField(int offset);
NodePtr logicalLiteral(bool value);
NodePtr deleted(); // the record's deletion flag
// Both sides of one kind. Texts compare over the right side's length (the left side
// cut to it or filled up with blanks), by the collation; dates by their YYYYMMDD bytes.
NodePtr comparison(Comparison op, NodePtr left, NodePtr right, const Collation &collation);
NodePtr logicalAnd(NodePtr left, NodePtr right);
NodePtr logicalOr(NodePtr left, NodePtr right);
NodePtr logicalNot(NodePtr argument);
// A logical value as a one-byte text key: a field's stored byte, else T or F.
NodePtr logicalText(NodePtr argument);

} // namespace dbase::keynode
