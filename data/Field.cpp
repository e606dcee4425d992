#include "Field.h"

#include "AnsiText.h"
#include "DatabaseErrors.h"
#include "EngineTypes.h"
#include "TableCursor.h"

#include <algorithm>
#include <string_view>

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

// A character of the table's code page takes this many bytes at most (UTF-8).
constexpr std::size_t MaxBytesPerCharacter = 4;

// The length of withCrLf(AnsiText::toUnicode(codePage, bytes)): a lone CR or LF
// becomes two characters. The bytes of CR and LF are never part of another character.
qsizetype withCrLfLength(int codePage, std::string_view bytes)
{
    qsizetype length = AnsiText::lengthOf(codePage, bytes);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        else if (bytes[i] == '\r' || bytes[i] == '\n')
            ++length;
    }
    return length;
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

QString Field::memoTextStart(qsizetype maxLength, qsizetype &fullLength) const
{
    fullLength = 0;
    // In key mode the current record is the search key, whose memo is blank. Otherwise
    // the note is read without a blank test first: the engine's test may read the
    // whole note, and a blank memo reads as an empty note.
    if (m_kind != Kind::Memo || m_cursor->inKeyMode())
        return QString();
    const std::string_view note = m_cursor->memoBytesOf(-1, m_ordinal);
    fullLength = withCrLfLength(m_cursor->codePage(), note);
    // The characters wanted and one more (which tells whether a CR among them begins
    // a CR LF pair) lie in this many bytes; a character cut at their end comes later.
    const std::size_t bytes = (std::size_t(maxLength) + 2) * MaxBytesPerCharacter;
    const QString start =
        withCrLf(AnsiText::toUnicode(m_cursor->codePage(), note.substr(0, bytes)));
    return start.first(std::min(maxLength, start.size()));
}

void Field::setAsString(const QString &text)
{
    if (!m_cursor->inKeyMode())
        throw EDatabaseError(m_cursor->withName(
            QStringLiteral("Datenmenge weder im Editier- noch im Einfügemodus")));
    m_cursor->putKeyValue(*this, text);
}
