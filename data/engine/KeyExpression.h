// dBASE key expressions as a tiny language: parsed once into a tree, evaluated per
// record to a key. Covers field names, VAL(), UPPER(), LOWER(), STR(), SUBSTR(),
// LEFT(), RIGHT(), TRIM(), RTRIM(), LTRIM(), ALLTRIM(), DTOS(), DTOC(), IIF(),
// DELETED(), + and - on numbers and strings, comparisons, .AND., .OR., .NOT., and
// DESCEND() around a whole key. Numeric keys are encoded as the 12-byte BCD of the
// MDX (BcdNumber.h); text keys are at most 100 bytes and compare by the table's
// collation. The same language gives the FOR conditions of tags.
#pragma once

#include "CodePage.h"
#include "Collation.h"
#include "EngineTypes.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace dbase {

// A parse or type error, with an exact message naming the place in the text.
class KeyExpressionError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A key value: a number, or a text of fixed width (blank-padded, table code page).
struct Key
{
    bool numeric = false;
    double number = 0.0;
    std::string text;
};

class KeyExpression
{
public:
    ~KeyExpression();
    // Throws KeyExpressionError for anything it cannot evaluate. Text keys and text
    // comparisons follow the collation. Field names are found regardless of letter
    // case by AnsiCase's rule, read in codePage (the table's, in which both the field
    // names and the expression are stored).
    static std::shared_ptr<const KeyExpression> parse(const std::string &text,
                                                      const std::vector<FieldDesc> &fields,
                                                      const Collation &collation = Collation(),
                                                      int codePage = CodePage::Ansi);
    // A FOR condition: an expression whose value is logical (isTrue() evaluates it).
    static std::shared_ptr<const KeyExpression>
    parseCondition(const std::string &text, const std::vector<FieldDesc> &fields,
                   const Collation &collation = Collation(), int codePage = CodePage::Ansi);

    const std::string &text() const;
    bool isNumeric() const;       // key type 'N' rather than 'C'
    int keySize() const;          // text keys: width in bytes; numeric: encoded size
    bool isPlainField() const;    // the whole expression is one field name
    int plainFieldNumber() const; // from 1, when isPlainField()
    bool isDescending() const;    // the whole key is enclosed in DESCEND()
    const Collation &collation() const;

    Key evaluate(const char *record) const;
    // The same without building a Key, for sorting many records: a numeric key's
    // value, and a text key as exactly keySize() bytes in out (its buffer is reused).
    double evaluateNumber(const char *record) const;
    void evaluateText(const char *record, std::string &out) const;
    // A condition's value for the record.
    bool isTrue(const char *record) const;
    // <0, 0, >0: numbers by value (before every text), texts by the collation.
    int compare(const Key &a, const Key &b) const;
    // The key's sort form: sortKeySize() bytes whose memcmp order is that of compare()
    // (texts: Collation::sortKey over keySize(); numbers: 8 bytes of the value).
    std::size_t sortKeySize() const;
    void sortKey(const Key &key, unsigned char *out) const;
    // A key as bytes (the engine's key format) and back.
    std::string encode(const Key &key) const;
    Key decode(const std::string &bytes) const;

private:
    struct Impl;
    explicit KeyExpression(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

} // namespace dbase
