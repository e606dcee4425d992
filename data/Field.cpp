#include "Field.h"

#include "AnsiText.h"
#include "DatabaseErrors.h"
#include "EngineTypes.h"
#include "TableCursor.h"

namespace {

// Every lone CR and every lone LF becomes CR LF; CR LF pairs stay as they are.
QString withCrLf(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            out += QStringLiteral("\r\n");
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else if (c == u'\n') {
            out += QStringLiteral("\r\n");
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

Field::Field(TableCursor *cursor, int ordinal, const QString &name, Kind kind, int size)
    : m_cursor(cursor), m_ordinal(ordinal), m_name(name), m_kind(kind), m_size(size),
      m_alignment(kind == Kind::SmallInt ? Qt::AlignRight : Qt::AlignLeft)
{
}

int Field::displayWidth() const
{
    return m_kind == Kind::String ? m_size : 10;
}

bool Field::isNull() const
{
    dbase::FieldValue value;
    return !m_cursor->extract(-1, m_ordinal, value) || value.blank;
}

QString Field::displayText() const
{
    return displayTextAt(-1);
}

QString Field::displayTextAt(int windowIndex) const
{
    dbase::FieldValue value;
    const bool held = m_cursor->extract(windowIndex, m_ordinal, value);
    if (m_kind == Kind::Memo)
        return held && !value.blank ? QStringLiteral("(MEMO)") : QStringLiteral("(Memo)");
    if (!held)
        return QString();
    // A small integer with a value shows it in plain digits. Every other field shows
    // the engine's text: a number field whose stored text is no number (such as the
    // asterisks of an overflow) shows that text, an empty field the empty text.
    if (m_kind == Kind::SmallInt && !value.blank)
        return QString::number(value.integer);
    return AnsiText::toUnicode(m_cursor->codePage(), value.text);
}

QString Field::asString() const
{
    return m_kind == Kind::Memo ? memoText() : displayText();
}

QString Field::memoText() const
{
    if (m_kind != Kind::Memo || isNull())
        return QString();
    return withCrLf(m_cursor->memoOf(-1, m_ordinal));
}

void Field::setAsString(const QString &text)
{
    if (!m_cursor->inKeyMode())
        throw EDatabaseError(m_cursor->withName(
            QStringLiteral("Datenmenge weder im Editier- noch im Einfügemodus")));
    m_cursor->putKeyValue(*this, text);
}
