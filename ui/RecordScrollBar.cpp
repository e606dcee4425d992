#include "RecordScrollBar.h"

#include "EInvalidOperation.h"
#include "ErrorBoundary.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>

#include <utility>

RecordScrollBar::RecordScrollBar(QWidget *parent) : QScrollBar(Qt::Vertical, parent)
{
    QScrollBar::setRange(0, 100);
    setSingleStep(1);
    setPageStep(1);
    // Not reached with Tab; a click may give it the keyboard for Home/End and arrows.
    setFocusPolicy(Qt::ClickFocus);
    connect(this, &QAbstractSlider::actionTriggered, this, &RecordScrollBar::onActionTriggered);
}

void RecordScrollBar::setMaximum(int maximum)
{
    if (maximum < minimum())
        throw EInvalidOperation(
            QStringLiteral("Eigenschaft Scrollbar außerhalb des zulässigen Bereichs"));
    // setRange pulls a position above the new maximum down to it, without an action.
    QScrollBar::setRange(minimum(), maximum);
}

void RecordScrollBar::setPosition(int position)
{
    const int bounded = clamped(position);
    if (bounded != value())
        setValue(bounded); // setValue triggers no action, so the handler is not called
}

int RecordScrollBar::clamped(int position) const
{
    // First up to the minimum, then down to the maximum.
    return std::min(std::max(position, minimum()), maximum());
}

int RecordScrollBar::candidateFor(int code, int thumbValue) const
{
    const qint64 p = value();
    qint64 candidate = p;
    switch (code) {
    case LineUp:
        candidate = p - singleStep();
        break;
    case LineDown:
        candidate = p + singleStep();
        break;
    case PageUp:
        candidate = p - pageStep();
        break;
    case PageDown:
        candidate = p + pageStep();
        break;
    case ThumbPosition:
    case ThumbTrack:
        candidate = thumbValue;
        break;
    case Top:
        candidate = minimum();
        break;
    case Bottom:
        candidate = maximum();
        break;
    default:
        break;
    }
    return int(std::clamp<qint64>(candidate, minimum(), maximum()));
}

// The handler runs through the error boundary: Qt's slider code is on the stack. A
// handler that raised ends the action: no auto-repeat, no further report.
bool RecordScrollBar::callHandler(int code, int &value)
{
    if (!m_handler)
        return true;
    if (ErrorBoundary::run([&] { m_handler(code, value); }))
        return true;
    setRepeatAction(SliderNoAction);
    return false;
}

// A scroll action raised from one of the bar's event handlers.
bool RecordScrollBar::userAction(int code, int thumbValue)
{
    int v = candidateFor(code, thumbValue);
    if (!callHandler(code, v))
        return false;
    setPosition(v);
    return true;
}

// Maps Qt's slider actions to scroll codes. Qt has already moved the slider position
// to its own candidate when this runs, and sets the value from the slider position
// right after; so the handler's result is written back to the slider position.
void RecordScrollBar::onActionTriggered(int action)
{
    int code = -1;
    switch (action) {
    case SliderSingleStepSub:
        code = LineUp;
        break;
    case SliderSingleStepAdd:
        code = LineDown;
        break;
    case SliderPageStepSub:
        code = PageUp;
        break;
    case SliderPageStepAdd:
        code = PageDown;
        break;
    case SliderToMinimum:
        code = Top;
        break;
    case SliderToMaximum:
        code = Bottom;
        break;
    // A move while the mouse holds the bar is tracking (also the jump of a click that
    // puts the thumb under the pointer); any other move is a final thumb position.
    case SliderMove:
        code = isSliderDown() || m_mouseAction ? ThumbTrack : ThumbPosition;
        break;
    default:
        return;
    }
    if (m_mouseAction || m_keyPressRunning)
        m_actionSeen = true;
    int v = candidateFor(code, sliderPosition());
    if (!callHandler(code, v))
        v = value(); // the old position stays
    setSliderPosition(clamped(v));
}

void RecordScrollBar::mousePressEvent(QMouseEvent *event)
{
    m_mouseAction = true;
    m_actionSeen = false;
    QScrollBar::mousePressEvent(event);
    // Only a press that hit an arrow, the trough or the thumb starts an action.
    m_thumbDragged = isSliderDown();
    m_mouseAction = m_thumbDragged || m_actionSeen;
}

void RecordScrollBar::mouseReleaseEvent(QMouseEvent *event)
{
    QScrollBar::mouseReleaseEvent(event);
    if (!m_mouseAction || (event->buttons() & ~event->button()))
        return;
    m_mouseAction = false;
    const bool dragged = std::exchange(m_thumbDragged, false);
    if (dragged && !userAction(ThumbPosition, sliderPosition()))
        return;
    userAction(EndScroll);
}

void RecordScrollBar::keyPressEvent(QKeyEvent *event)
{
    m_keyPressRunning = true;
    m_actionSeen = false;
    QScrollBar::keyPressEvent(event);
    m_keyPressRunning = false;
    if (m_actionSeen)
        m_keyAction = true;
}

// As with the mouse, a keyboard action ends with one end-of-action report when the
// key is let go.
void RecordScrollBar::keyReleaseEvent(QKeyEvent *event)
{
    QScrollBar::keyReleaseEvent(event);
    if (event->isAutoRepeat() || !std::exchange(m_keyAction, false))
        return;
    userAction(EndScroll);
}

// The wheel is not one of the bar's actions: it is passed on untouched, so the
// position never changes without the handler hearing of it.
void RecordScrollBar::wheelEvent(QWheelEvent *event)
{
    event->ignore();
}

int RecordScrollBar::valueAtPixel(int y) const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove =
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarGroove, this);
    const QRect thumb =
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    const int span = groove.height() - thumb.height();
    return QStyle::sliderValueFromPosition(minimum(), maximum(),
                                           y - thumb.height() / 2 - groove.top(), std::max(span, 1),
                                           option.upsideDown);
}

// The platform's scroll bar menu; every entry is one action followed by the end of
// the action, as a mouse action on the bar would be.
void RecordScrollBar::contextMenuEvent(QContextMenuEvent *event)
{
    struct Entry
    {
        const char *text;
        int code;
    };
    static const Entry entries[] = {
        {"Bildlauf hierher", ThumbPosition},
        {nullptr, 0},
        {"Oberer Rand", Top},
        {"Unterer Rand", Bottom},
        {nullptr, 0},
        {"Seite nach oben", PageUp},
        {"Seite nach unten", PageDown},
        {nullptr, 0},
        {"Bildlauf nach oben", LineUp},
        {"Bildlauf nach unten", LineDown},
    };
    QMenu menu(this);
    for (const Entry &entry : entries) {
        if (entry.text)
            menu.addAction(QString::fromUtf8(entry.text))->setData(entry.code);
        else
            menu.addSeparator();
    }
    const int pointValue = valueAtPixel(event->pos().y());
    const QAction *chosen = menu.exec(event->globalPos());
    event->accept();
    if (!chosen)
        return;
    const int code = chosen->data().toInt();
    if (userAction(code, pointValue))
        userAction(EndScroll);
}
