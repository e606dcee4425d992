#include "SearchButton.h"

#include "ErrorBoundary.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <qdrawutil.h>

SearchButton::SearchButton(QWidget *parent) : QAbstractButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

QSize SearchButton::sizeHint() const
{
    const QSize text = fontMetrics().size(Qt::TextShowMnemonic, this->text());
    return QSize(text.width() + 16, text.height() + 6);
}

void SearchButton::paintEvent(QPaintEvent *)
{
    ErrorBoundary::run([this] {
        QPainter painter(this);
        drawFace(painter);
        drawCaption(painter);
        if (hasFocus())
            drawFocusFrame(painter);
    });
}

// Two-pixel bevel in the palette's light and shadow colours, filled with the button
// colour; the light and dark edges swap while the button is down.
void SearchButton::drawFace(QPainter &painter) const
{
    const QRect r = rect();
    const QBrush fill = palette().brush(QPalette::Button);
    qDrawWinButton(&painter, r.x(), r.y(), r.width(), r.height(), palette(), isDown(), &fill);
}

void SearchButton::drawCaption(QPainter &painter) const
{
    QRect area = rect();
    if (isDown())
        area.translate(1, 1);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawText(area, Qt::AlignCenter | Qt::TextShowMnemonic, text());
}

void SearchButton::drawFocusFrame(QPainter &painter) const
{
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect().adjusted(3, 3, -3, -3);
    option.backgroundColor = palette().color(QPalette::Button);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}
