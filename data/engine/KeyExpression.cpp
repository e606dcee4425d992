#include "KeyExpression.h"

#include "BcdNumber.h"
#include "KeyExpressionParser.h"

#include <algorithm>
#include <cstring>

namespace dbase {

namespace {

constexpr std::size_t MaxExpressionLength = 220;
constexpr int MaxTextKeySize = 100;

} // namespace

struct KeyExpression::Impl
{
    std::string text;
    keynode::NodePtr root;
    int plainFieldNumber = 0;
    bool numeric = false;
    int keySize = 0;
};

KeyExpression::KeyExpression(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

KeyExpression::~KeyExpression() = default;

std::shared_ptr<const KeyExpression> KeyExpression::parse(const std::string &text,
                                                          const std::vector<FieldDesc> &fields)
{
    if (text.size() > MaxExpressionLength)
        throw KeyExpressionError("Der Indexausdruck ist länger als 220 Zeichen.");
    KeyExpressionParser::Result parsed = KeyExpressionParser(text, fields).parse();
    auto impl = std::make_unique<Impl>();
    impl->text = text;
    impl->numeric = parsed.root->kind() == keynode::Kind::Number;
    impl->keySize = impl->numeric ? BcdNumber::Size : parsed.root->width();
    impl->plainFieldNumber = parsed.plainFieldNumber;
    impl->root = std::move(parsed.root);
    if (!impl->numeric && (impl->keySize < 1 || impl->keySize > MaxTextKeySize))
        throw KeyExpressionError("Die Schlüssellänge " + std::to_string(impl->keySize) +
                                 " liegt außerhalb von 1 bis 100 Bytes.");
    return std::shared_ptr<const KeyExpression>(new KeyExpression(std::move(impl)));
}

const std::string &KeyExpression::text() const
{
    return d->text;
}
bool KeyExpression::isNumeric() const
{
    return d->numeric;
}
int KeyExpression::keySize() const
{
    return d->keySize;
}
bool KeyExpression::isPlainField() const
{
    return d->plainFieldNumber > 0;
}
int KeyExpression::plainFieldNumber() const
{
    return d->plainFieldNumber;
}

// The value that a numeric key holds: 15 significant digits in the index's BCD form
// (NaN and infinities as 0, huge values saturated). Orders sorted by it agree with
// a search by an encoded key, also for numbers with more digits than a key holds.
double KeyExpression::evaluateNumber(const char *record) const
{
    return BcdNumber::decode(BcdNumber::encode(d->root->number(record)));
}

void KeyExpression::evaluateText(const char *record, std::string &out) const
{
    out.clear();
    d->root->appendText(record, out);
    out.resize(std::size_t(d->keySize), ' ');
}

Key KeyExpression::evaluate(const char *record) const
{
    Key key;
    key.numeric = d->numeric;
    if (d->numeric)
        key.number = evaluateNumber(record);
    else
        evaluateText(record, key.text);
    return key;
}

int KeyExpression::compare(const Key &a, const Key &b)
{
    if (a.numeric != b.numeric)
        return a.numeric ? -1 : 1;
    if (a.numeric)
        return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
    // Unsigned bytes; the shorter text counts as filled up with blanks.
    const std::size_t common = std::min(a.text.size(), b.text.size());
    if (const int c = std::memcmp(a.text.data(), b.text.data(), common))
        return c < 0 ? -1 : 1;
    const std::string &longer = a.text.size() > b.text.size() ? a.text : b.text;
    for (std::size_t i = common; i < longer.size(); ++i) {
        const auto c = static_cast<unsigned char>(longer[i]);
        if (c != ' ')
            return (c > ' ') == (&longer == &a.text) ? 1 : -1;
    }
    return 0;
}

std::string KeyExpression::encode(const Key &key) const
{
    if (d->numeric)
        return BcdNumber::encode(key.numeric ? key.number : 0.0);
    std::string bytes = key.text;
    bytes.resize(std::size_t(d->keySize), ' ');
    return bytes;
}

Key KeyExpression::decode(const std::string &bytes) const
{
    Key key;
    key.numeric = d->numeric;
    if (d->numeric) {
        if (bytes.size() != std::size_t(BcdNumber::Size))
            throw KeyExpressionError("Ein numerischer Schlüssel hat 12 Bytes, nicht " +
                                     std::to_string(bytes.size()) + ".");
        key.number = BcdNumber::decode(bytes);
    } else {
        key.text = bytes;
        key.text.resize(std::size_t(d->keySize), ' ');
    }
    return key;
}

} // namespace dbase
