#include "NoteBox.h"

#include "DataSource.h"
#include "ErrorBoundary.h"
#include "Field.h"

#include <QTextBlock>
#include <QTextLayout>

namespace {

// A blank or line break, where a line may wrap (a no-break space is none).
bool isBreak(QChar c)
{
    return c.isSpace() && c != QChar::Nbsp;
}

// The index of the first character of the note that the box does not show, given
// the note's first characters: MaxShownLength at most, less where a run grows past
// MaxShownRunLength, and never between the CR and LF of a line break nor inside a
// surrogate pair.
qsizetype shownEnd(QStringView start)
{
    qsizetype run = 0;
    for (qsizetype i = 0; i < start.size(); ++i) {
        run = isBreak(start[i]) ? 0 : run + 1;
        if (i < NoteBox::MaxShownLength && run <= NoteBox::MaxShownRunLength)
            continue;
        const bool pair = i > 0 && (start[i - 1].isHighSurrogate() ||
                                    (start[i - 1] == u'\r' && start[i] == u'\n'));
        return pair ? i - 1 : i;
    }
    return start.size();
}

// Digits in groups of three with a full stop between them, whatever the locale.
QString groupedDigits(qsizetype value)
{
    QString digits = QString::number(value);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char('.'));
    return digits;
}

QString cutMark(qsizetype leftOut)
{
    if (leftOut == 1)
        return QStringLiteral("[… gekürzt: 1 weiteres Zeichen wird nicht angezeigt]");
    return QStringLiteral("[… gekürzt: weitere %1 Zeichen werden nicht angezeigt]")
        .arg(groupedDigits(leftOut));
}

} // namespace

NoteBox::NoteBox(QWidget *parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFrameShape(QFrame::NoFrame);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Like a text box: break at word boundaries, and inside a word too long for a line.
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

// Nothing raised while the box lets go of the cursor leaves the destructor.
NoteBox::~NoteBox()
{
    ErrorBoundary::run([this] { unbindCursor(); });
}

void NoteBox::setDataSource(DataSource *source)
{
    if (source == m_source)
        return;
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = source;
    if (m_source)
        connect(m_source, &DataSource::dataSetChanged, this,
                ErrorBoundary::guarded([this] { bindCursor(); }));
    bindCursor();
}

void NoteBox::setFieldName(const QString &name)
{
    m_fieldName = name;
    reloadText();
}

void NoteBox::bindCursor()
{
    unbindCursor();
    m_cursor = m_source ? m_source->dataSet() : nullptr;
    if (m_cursor) {
        m_cursor->attachView(this);
        const auto reload = ErrorBoundary::guarded([this] { reloadText(); });
        m_cursorConnections = {
            connect(m_cursor, &TableCursor::windowScrolled, this, reload),
            connect(m_cursor, &TableCursor::windowChanged, this, reload),
            connect(m_cursor, &TableCursor::stateChanged, this, reload),
        };
    }
    reloadText();
}

void NoteBox::unbindCursor()
{
    for (const QMetaObject::Connection &connection : std::as_const(m_cursorConnections))
        disconnect(connection);
    m_cursorConnections.clear();
    if (m_cursor)
        m_cursor->detachView(this);
    m_cursor = nullptr;
}

// The text is emptied before the note is read, so that a note that cannot be read
// never leaves the previous record's note on show; the read error itself goes on to
// whoever moved the cursor (the slot's guard hands it back to the cursor).
void NoteBox::reloadText()
{
    if (m_cursor && m_cursor->inKeyMode())
        return; // the fields hold the search key, not a record; the search ends with a reload
    clear();
    if (!m_cursor || !m_cursor->isActive() || m_cursor->currentIndex() < 0)
        return;
    const Field *field = m_cursor->findField(m_fieldName);
    if (!field)
        return;
    qsizetype length = 0;
    const QString start = field->memoTextStart(MaxShownLength + 1, length);
    setPlainText(shownText(start, length));
}

QString NoteBox::shownText(const QString &start, qsizetype fullLength)
{
    const qsizetype end = shownEnd(start);
    Q_ASSERT(end < start.size() || start.size() == fullLength); // given too little
    QString shown = withLineBreaks(start.first(end));
    if (end == fullLength)
        return shown;
    if (!shown.endsWith(u'\n'))
        shown += u'\n';
    return shown + cutMark(fullLength - end);
}

QString NoteBox::withLineBreaks(const QString &note)
{
    QString text = note;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

void NoteBox::setVerticalScrollBarShown(bool shown)
{
    setVerticalScrollBarPolicy(shown ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

bool NoteBox::isVerticalScrollBarShown() const
{
    return verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn;
}

// The width a line gets when the viewport fills the box's contents (no scroll bar),
// less the document margins, as the plain-text layout computes it.
qreal NoteBox::lineWidthWithoutScrollBar() const
{
    const QMargins margins = viewportMargins();
    const qreal viewportWidth = contentsRect().width() - margins.left() - margins.right();
    const QTextOption option = document()->defaultTextOption();
    qreal extra = 0;
    if (option.flags() & QTextOption::AddSpaceForLineAndParagraphSeparators)
        extra = QFontMetricsF(font()).horizontalAdvance(QChar(0x21B5));
    return std::max<qreal>(viewportWidth - 2 * document()->documentMargin() - extra, 1);
}

// Each block is laid out afresh at the width without a scroll bar, whatever the box
// shows at the moment; no line past atMost is laid out.
int NoteBox::noteLineCount(int atMost) const
{
    const qreal width = lineWidthWithoutScrollBar();
    const QTextOption option = document()->defaultTextOption();
    int lines = 0;
    for (QTextBlock block = document()->begin(); block.isValid() && lines < atMost;
         block = block.next()) {
        if (!block.next().isValid() && block.text().isEmpty())
            break; // an empty last line is not counted
        QTextLayout layout(block.text(), document()->defaultFont());
        layout.setTextOption(option);
        layout.beginLayout();
        int blockLines = 0;
        for (; lines + blockLines < atMost; ++blockLines) {
            QTextLine line = layout.createLine();
            if (!line.isValid())
                break;
            line.setLineWidth(width);
        }
        layout.endLayout();
        lines += std::max(blockLines, 1);
    }
    return std::min(lines, atMost);
}
