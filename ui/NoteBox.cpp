#include "NoteBox.h"

#include "DataSource.h"
#include "ErrorBoundary.h"
#include "Field.h"

#include <QTextBlock>
#include <QTextLayout>

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
    setPlainText(withLineBreaks(field->memoText()));
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

int NoteBox::noteLineCount() const
{
    const qreal width = lineWidthWithoutScrollBar();
    const QTextOption option = document()->defaultTextOption();
    int lines = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (!block.next().isValid() && block.text().isEmpty())
            break; // an empty last line is not counted
        QTextLayout layout(block.text(), document()->defaultFont());
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
            line.setLineWidth(width);
        layout.endLayout();
        lines += std::max(layout.lineCount(), 1);
    }
    return lines;
}
