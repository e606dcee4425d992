// Fuzz target: the key-expression parser and evaluator. The blob is an expression
// text, then a NUL, then record bytes; a parsed expression is evaluated on every
// record, its keys encoded and decoded, and an order over the records searched, in
// byte order and with letter folding. The same text is tried as a FOR condition.
#include "FuzzTable.h"
#include "KeyExpression.h"
#include "SortOrder.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void exercise(const dbase::KeyExpression &expression, const fuzz::FuzzTable &table)
{
    for (std::uint32_t r = 1; r <= table.storedCount(); ++r) {
        const dbase::Key key = expression.evaluate(table.recordData(r));
        const std::string bytes = expression.encode(key);
        if (static_cast<int>(bytes.size()) != expression.keySize())
            std::abort(); // the engine's key format has a fixed size
        const dbase::Key back = expression.decode(bytes);
        if (!expression.isNumeric() && expression.compare(key, back) != 0)
            std::abort(); // a text key survives its encoding
        std::string text;
        if (!expression.isNumeric()) {
            expression.evaluateText(table.recordData(r), text);
            if (static_cast<int>(text.size()) != expression.keySize())
                std::abort();
        } else {
            (void)expression.evaluateNumber(table.recordData(r));
        }
    }
}

// The sort forms order as compare() does, for every pair of records.
void checkSortForms(const dbase::KeyExpression &expression, const fuzz::FuzzTable &table)
{
    const std::size_t size = expression.sortKeySize();
    std::vector<unsigned char> a(size);
    std::vector<unsigned char> b(size);
    for (std::uint32_t r = 1; r <= table.storedCount(); ++r) {
        const dbase::Key x = expression.evaluate(table.recordData(r));
        expression.sortKey(x, a.data());
        for (std::uint32_t s = 1; s <= table.storedCount(); ++s) {
            const dbase::Key y = expression.evaluate(table.recordData(s));
            expression.sortKey(y, b.data());
            const int bytes = std::memcmp(a.data(), b.data(), size);
            const int c = expression.compare(x, y);
            if ((bytes < 0) != (c < 0) || (bytes > 0) != (c > 0))
                std::abort();
        }
    }
}

void searchOrder(const std::shared_ptr<const dbase::KeyExpression> &expression,
                 const fuzz::FuzzTable &table, const std::string &text, bool unique)
{
    dbase::SortOrder::Options options;
    options.unique = unique;
    const auto order = dbase::SortOrder::build(table, expression, options);
    for (std::uint32_t r = 1; r <= table.storedCount(); ++r) {
        const std::string key = expression->encode(expression->evaluate(table.recordData(r)));
        const std::size_t place = order->seek(key, false);
        if (!table.isDeleted(r) && !unique && place >= order->size())
            std::abort(); // a live record's own key is always found
        (void)order->seek(key, true);
        if (const auto at = order->placeOf(r); at && order->recordAt(*at) != r)
            std::abort();
    }
    if (!expression->isNumeric())
        (void)order->seek(std::string(text.substr(0, 3)), false);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view blob(reinterpret_cast<const char *>(data), size);
    const auto nul = blob.find('\0');
    const std::string text(blob.substr(0, nul));
    fuzz::FuzzTable table;
    if (nul != std::string_view::npos)
        table.fill(blob.substr(nul + 1), 8);
    const dbase::Collation collations[] = {dbase::Collation(), dbase::Collation::folding(850)};
    for (const dbase::Collation &collation : collations) {
        try {
            const auto condition =
                dbase::KeyExpression::parseCondition(text, table.fields(), collation);
            for (std::uint32_t r = 1; r <= table.storedCount(); ++r)
                (void)condition->isTrue(table.recordData(r));
        } catch (const dbase::KeyExpressionError &e) {
            if (std::string_view(e.what()).empty())
                std::abort();
        }
        std::shared_ptr<const dbase::KeyExpression> expression;
        try {
            expression = dbase::KeyExpression::parse(text, table.fields(), collation);
        } catch (const dbase::KeyExpressionError &e) {
            if (std::string_view(e.what()).empty())
                std::abort();
            return 0;
        }
        exercise(*expression, table);
        checkSortForms(*expression, table);
        searchOrder(expression, table, text, false);
        searchOrder(expression, table, text, true);
    }
    return 0;
}
