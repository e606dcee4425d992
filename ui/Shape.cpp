#include "Shape.h"

#include "ErrorBoundary.h"

#include <QPainter>

Shape::Shape(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Shape::setBrushColor(const QColor &color)
{
    m_brushColor = color;
    update();
}

void Shape::setPenColor(const QColor &color)
{
    m_penColor = color;
    update();
}

void Shape::setPenWidth(int width)
{
    m_penWidth = qMax(0, width);
    update();
}

// The fill covers the whole rectangle; an outline of width w is drawn inside it.
void Shape::paintEvent(QPaintEvent *)
{
    ErrorBoundary::run([this] { paint(); });
}

void Shape::paint()
{
    QPainter painter(this);
    painter.fillRect(rect(), m_brushColor);
    if (m_penWidth <= 0)
        return;
    const int w = m_penWidth;
    painter.fillRect(0, 0, width(), w, m_penColor);
    painter.fillRect(0, height() - w, width(), w, m_penColor);
    painter.fillRect(0, 0, w, height(), m_penColor);
    painter.fillRect(width() - w, 0, w, height(), m_penColor);
}
