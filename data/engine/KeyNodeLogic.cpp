// The logical nodes of key expressions: what FOR conditions and IIF() test.
#include "Collation.h"
#include "KeyNode.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace dbase::keynode {

namespace {

bool isTrueByte(char c)
{
    return c == 'T' || c == 't' || c == 'Y' || c == 'y';
}

class LogicalField : public Node
{
public:
    explicit LogicalField(int offset) : Node(Kind::Logical, 1), m_offset(offset) {}
    bool truth(const char *record) const override { return isTrueByte(record[m_offset]); }
    void appendText(const char *record, std::string &out) const override
    {
        out += record[m_offset];
    }
    bool fieldBytes(const char *record, std::string_view &bytes) const override
    {
        bytes = std::string_view(record + m_offset, 1);
        return true;
    }

private:
    int m_offset;
};

class LogicalLiteral : public Node
{
public:
    explicit LogicalLiteral(bool value) : Node(Kind::Logical, 1), m_value(value) {}
    bool truth(const char *) const override { return m_value; }

private:
    bool m_value;
};

class Deleted : public Node
{
public:
    Deleted() : Node(Kind::Logical, 1) {}
    bool truth(const char *record) const override { return record[0] == '*'; }
};

// A side's text: a view of a field's bytes, or the bytes appended to a buffer.
std::string_view textOf(const Node &node, const char *record, std::string &buffer)
{
    std::string_view bytes;
    if (node.fieldBytes(record, bytes))
        return bytes;
    buffer.clear();
    node.appendText(record, buffer);
    return buffer;
}

class Compare : public Node
{
public:
    Compare(Comparison op, NodePtr left, NodePtr right, const Collation &collation)
        : Node(Kind::Logical, 1), m_op(op), m_left(std::move(left)), m_right(std::move(right)),
          m_collation(collation)
    {
    }
    bool truth(const char *record) const override
    {
        if (m_op == Comparison::Contains)
            return contains(record);
        return holds(order(record));
    }

private:
    int order(const char *record) const
    {
        switch (m_left->kind()) {
        case Kind::Number: {
            const double a = m_left->number(record);
            const double b = m_right->number(record);
            return a < b ? -1 : a > b ? 1 : 0;
        }
        case Kind::Logical:
            return int(m_left->truth(record)) - int(m_right->truth(record));
        case Kind::Text:
        case Kind::Date:
            break;
        }
        std::string leftBuffer;
        std::string rightBuffer;
        std::string_view a = textOf(*m_left, record, leftBuffer);
        const std::string_view b = textOf(*m_right, record, rightBuffer);
        if (m_left->kind() == Kind::Date)
            return Collation().compare(a, b);
        // dBASE's rule for texts: as far as the right side goes.
        return m_collation.compare(a.substr(0, b.size()), b);
    }
    bool holds(int c) const
    {
        switch (m_op) {
        case Comparison::Equal:
            return c == 0;
        case Comparison::NotEqual:
            return c != 0;
        case Comparison::Less:
            return c < 0;
        case Comparison::LessEqual:
            return c <= 0;
        case Comparison::Greater:
            return c > 0;
        case Comparison::GreaterEqual:
            return c >= 0;
        case Comparison::Contains:
            break;
        }
        return false;
    }
    // a $ b: the left text occurs in the right one (an empty text occurs in every text).
    bool contains(const char *record) const
    {
        std::string leftBuffer;
        std::string rightBuffer;
        const std::string_view a = textOf(*m_left, record, leftBuffer);
        return textOf(*m_right, record, rightBuffer).find(a) != std::string_view::npos;
    }

    Comparison m_op;
    NodePtr m_left;
    NodePtr m_right;
    Collation m_collation;
};

class AndOr : public Node
{
public:
    AndOr(NodePtr left, NodePtr right, bool isAnd)
        : Node(Kind::Logical, 1), m_left(std::move(left)), m_right(std::move(right)), m_and(isAnd)
    {
    }
    bool truth(const char *record) const override
    {
        const bool a = m_left->truth(record);
        return m_and ? a && m_right->truth(record) : a || m_right->truth(record);
    }

private:
    NodePtr m_left;
    NodePtr m_right;
    bool m_and;
};

class Not : public Node
{
public:
    explicit Not(NodePtr arg) : Node(Kind::Logical, 1), m_arg(std::move(arg)) {}
    bool truth(const char *record) const override { return !m_arg->truth(record); }

private:
    NodePtr m_arg;
};

class LogicalText : public Node
{
public:
    explicit LogicalText(NodePtr arg) : Node(Kind::Text, 1), m_arg(std::move(arg)) {}
    void appendText(const char *record, std::string &out) const override
    {
        std::string_view stored;
        if (m_arg->fieldBytes(record, stored))
            out += stored;
        else
            out += m_arg->truth(record) ? 'T' : 'F';
    }

private:
    NodePtr m_arg;
};

} // namespace

NodePtr logicalField(int offset)
{
    return std::make_unique<LogicalField>(offset);
}
NodePtr logicalLiteral(bool value)
{
    return std::make_unique<LogicalLiteral>(value);
}
NodePtr deleted()
{
    return std::make_unique<Deleted>();
}
NodePtr comparison(Comparison op, NodePtr left, NodePtr right, const Collation &collation)
{
    return std::make_unique<Compare>(op, std::move(left), std::move(right), collation);
}
NodePtr logicalAnd(NodePtr left, NodePtr right)
{
    return std::make_unique<AndOr>(std::move(left), std::move(right), true);
}
NodePtr logicalOr(NodePtr left, NodePtr right)
{
    return std::make_unique<AndOr>(std::move(left), std::move(right), false);
}
NodePtr logicalNot(NodePtr argument)
{
    return std::make_unique<Not>(std::move(argument));
}
NodePtr logicalText(NodePtr argument)
{
    return std::make_unique<LogicalText>(std::move(argument));
}

} // namespace dbase::keynode
