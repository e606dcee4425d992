// One order of a table's live records, built in memory from a tag's key expression.
// Holds only record numbers (4 bytes a record); keys are evaluated from the records
// when compared.
#pragma once

#include "KeyExpression.h"
#include "RecordSource.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dbase {

class SortOrder
{
public:
    // Sorts the live (not deleted) records of source by the expression's key,
    // ascending (descending if asked); equal keys keep record-number order.
    static std::shared_ptr<const SortOrder> build(const RecordSource &source,
                                                  std::shared_ptr<const KeyExpression> expression,
                                                  bool descending);

    std::size_t size() const { return m_records.size(); }
    // 1-based record number at a place (0..size()-1).
    std::uint32_t recordAt(std::size_t place) const { return m_records[place]; }
    // The place of a record, if it is in the order.
    std::optional<std::size_t> placeOf(std::uint32_t recno) const;
    // First place whose key is >= key (or > key when strictlyGreater); size() if none.
    // In a descending order, "greater" means "later in the order", i.e. smaller.
    // key is in the encoded form of KeyExpression::encode(); a text key shorter than
    // the key size counts as filled up with blanks. Throws KeyExpressionError for a
    // numeric key that is not 12 bytes long.
    std::size_t seek(const std::string &key, bool strictlyGreater) const;

    const KeyExpression &expression() const { return *m_expression; }

private:
    SortOrder(const RecordSource &source, std::shared_ptr<const KeyExpression> expression,
              bool descending);
    // Both precompute every live record's key into a temporary vector, sort it with
    // the record number as the tie-break, and keep only the record numbers.
    void sortByNumber();
    void sortByText();
    Key keyAt(std::size_t place) const;
    int compareInOrder(const Key &a, const Key &b) const;

    const RecordSource &m_source;
    std::shared_ptr<const KeyExpression> m_expression;
    bool m_descending = false;
    std::vector<std::uint32_t> m_records;
};

} // namespace dbase
