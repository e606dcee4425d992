// Fuzz target: the key-expression parser and evaluator. The blob is an expression
// text, then a NUL, then record bytes; a parsed expression is evaluated on every
// record, its keys encoded and decoded, and an order over the records searched.
#include "FuzzTable.h"
#include "KeyExpression.h"
#include "SortOrder.h"

#include <cstdlib>

namespace {

void exercise(const dbase::KeyExpression &expression, const fuzz::FuzzTable &table)
{
    for (std::uint32_t r = 1; r <= table.storedCount(); ++r) {
        const dbase::Key key = expression.evaluate(table.recordData(r));
        const std::string bytes = expression.encode(key);
        if (static_cast<int>(bytes.size()) != expression.keySize())
            std::abort(); // the engine's key format has a fixed size
        const dbase::Key back = expression.decode(bytes);
        if (!expression.isNumeric() && dbase::KeyExpression::compare(key, back) != 0)
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view blob(reinterpret_cast<const char *>(data), size);
    const auto nul = blob.find('\0');
    const std::string text(blob.substr(0, nul));
    fuzz::FuzzTable table;
    if (nul != std::string_view::npos)
        table.fill(blob.substr(nul + 1), 8);
    std::shared_ptr<const dbase::KeyExpression> expression;
    try {
        expression = dbase::KeyExpression::parse(text, table.fields());
    } catch (const dbase::KeyExpressionError &e) {
        if (std::string_view(e.what()).empty())
            std::abort();
        return 0;
    }
    exercise(*expression, table);
    const auto order = dbase::SortOrder::build(table, expression, false);
    for (std::uint32_t r = 1; r <= table.storedCount(); ++r) {
        const std::string key = expression->encode(expression->evaluate(table.recordData(r)));
        const std::size_t place = order->seek(key, false);
        if (!table.isDeleted(r) && place >= order->size())
            std::abort(); // a live record's own key is always found
        (void)order->seek(key, true);
    }
    if (!expression->isNumeric())
        (void)order->seek(std::string(text.substr(0, 3)), false);
    return 0;
}
