// One order of a table's live records, built in memory from a tag's key expression.
// Holds only record numbers (4 bytes a record); keys are evaluated from the records
// when compared.
#pragma once

#include "KeyExpression.h"
#include "RecordSource.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dbase {

class SortOrder
{
public:
    // What a tag header adds to its key expression.
    struct Options
    {
        bool descending = false; // the tag's flag; a DESCEND() key turns the order once more
        bool unique = false;     // one record per key: the first in record order
        std::shared_ptr<const KeyExpression> condition; // FOR: only records that meet it
        // Looked at now and then while building: once it is true the build gives up.
        const std::atomic<bool> *stop = nullptr;
    };

    // Sorts the live (not deleted) records of source by the expression's key (texts
    // by its collation), ascending or descending; equal keys keep record-number order.
    // As dBASE keeps its index, the FOR condition and the choice of a unique key's
    // record are decided over every stored record, deleted ones included; deleted
    // records are then left out. Answers null when options.stop ended the build.
    static std::shared_ptr<const SortOrder> build(const RecordSource &source,
                                                  std::shared_ptr<const KeyExpression> expression,
                                                  const Options &options);
    // Ascending, every live record.
    static std::shared_ptr<const SortOrder> build(const RecordSource &source,
                                                  std::shared_ptr<const KeyExpression> expression);

    std::size_t size() const { return m_records.size(); }
    bool isDescending() const { return m_descending; }
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
              const Options &options);
    std::vector<std::uint32_t> candidates(const std::atomic<bool> *stop) const;
    // Both evaluate every candidate's key once into its sort form, sort the forms by
    // radix (stable: equal keys stay in record order) and keep only the record numbers.
    void sortByNumber(const std::vector<std::uint32_t> &records, const std::atomic<bool> *stop);
    void sortByText(const std::vector<std::uint32_t> &records, const std::atomic<bool> *stop);
    void dropDeleted();
    Key keyAt(std::size_t place) const;
    int compareInOrder(const Key &a, const Key &b) const;

    const RecordSource &m_source;
    std::shared_ptr<const KeyExpression> m_expression;
    std::shared_ptr<const KeyExpression> m_condition;
    bool m_descending = false;
    bool m_unique = false;
    std::vector<std::uint32_t> m_records;
};

} // namespace dbase
