#include "KeyExpression.h"

#include "BcdNumber.h"
#include "KeyExpressionParser.h"

#include <algorithm>
#include <cstdint>
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
    bool descending = false;
    int keySize = 0;
    Collation collation;
};

KeyExpression::KeyExpression(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

KeyExpression::~KeyExpression() = default;

std::shared_ptr<const KeyExpression> KeyExpression::parse(const std::string &text,
                                                          const std::vector<FieldDesc> &fields,
                                                          const Collation &collation, int codePage)
{
    if (text.size() > MaxExpressionLength)
        throw KeyExpressionError("Der Indexausdruck ist länger als 220 Zeichen.");
    KeyExpressionParser::Result parsed =
        KeyExpressionParser(text, fields, collation, codePage).parse();
    // A logical key (a logical field as the whole key) is the one byte stored.
    if (parsed.root->kind() == keynode::Kind::Logical)
        parsed.root = keynode::logicalText(std::move(parsed.root));
    auto impl = std::make_unique<Impl>();
    impl->text = text;
    impl->numeric = parsed.root->kind() == keynode::Kind::Number;
    impl->keySize = impl->numeric ? BcdNumber::Size : parsed.root->width();
    impl->plainFieldNumber = parsed.plainFieldNumber;
    impl->descending = parsed.descending;
    impl->collation = collation;
    impl->root = std::move(parsed.root);
    if (!impl->numeric && (impl->keySize < 1 || impl->keySize > MaxTextKeySize))
        throw KeyExpressionError("Die Schlüssellänge " + std::to_string(impl->keySize) +
                                 " liegt außerhalb von 1 bis 100 Bytes.");
    return std::shared_ptr<const KeyExpression>(new KeyExpression(std::move(impl)));
}

std::shared_ptr<const KeyExpression>
KeyExpression::parseCondition(const std::string &text, const std::vector<FieldDesc> &fields,
                              const Collation &collation, int codePage)
{
    if (text.size() > MaxExpressionLength)
        throw KeyExpressionError("Die FOR-Bedingung ist länger als 220 Zeichen.");
    KeyExpressionParser::Result parsed =
        KeyExpressionParser(text, fields, collation, codePage).parse();
    if (parsed.root->kind() != keynode::Kind::Logical || parsed.descending)
        throw KeyExpressionError("Die FOR-Bedingung ergibt keinen Wahrheitswert.");
    auto impl = std::make_unique<Impl>();
    impl->text = text;
    impl->keySize = 1;
    impl->collation = collation;
    impl->root = std::move(parsed.root);
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
bool KeyExpression::isDescending() const
{
    return d->descending;
}
const Collation &KeyExpression::collation() const
{
    return d->collation;
}

// The value that a numeric key holds: 15 significant digits in the index's BCD form
// (NaN and infinities as 0, huge values saturated). Orders sorted by it agree with
// a search by an encoded key, also for numbers with more digits than a key holds.
double KeyExpression::evaluateNumber(const char *record) const
{
    const double value = d->root->number(record);
    if (value == 0.0)
        return 0.0;
    // Most values (every VAL() of a short field) need no rounding.
    if (keynode::holdsFifteenDigits(value))
        return value;
    return BcdNumber::decode(BcdNumber::encode(value));
}

void KeyExpression::evaluateText(const char *record, std::string &out) const
{
    out.clear();
    if (d->root->kind() == keynode::Kind::Logical) // a condition
        out += d->root->truth(record) ? 'T' : 'F';
    else
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

bool KeyExpression::isTrue(const char *record) const
{
    return d->root->kind() == keynode::Kind::Logical && d->root->truth(record);
}

int KeyExpression::compare(const Key &a, const Key &b) const
{
    if (a.numeric != b.numeric)
        return a.numeric ? -1 : 1;
    if (a.numeric)
        return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
    return d->collation.compare(a.text, b.text);
}

std::size_t KeyExpression::sortKeySize() const
{
    return d->numeric ? sizeof(std::uint64_t) : d->collation.sortKeySize(std::size_t(d->keySize));
}

// A number's sort form: the bits of the double, big-endian, with the sign bit set for
// positive values and every bit flipped for negative ones, so that the bytes order as
// the values do (0 and -0 alike).
void KeyExpression::sortKey(const Key &key, unsigned char *out) const
{
    if (!d->numeric) {
        d->collation.sortKey(key.text, std::size_t(d->keySize), out);
        return;
    }
    const double value = key.number == 0.0 ? 0.0 : key.number;
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    bits = (bits >> 63) ? ~bits : bits | (std::uint64_t(1) << 63);
    for (int i = 7; i >= 0; --i, bits >>= 8)
        out[i] = static_cast<unsigned char>(bits & 0xff);
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
