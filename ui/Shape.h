// A filled rectangle painted on its parent's background (the legend's leader lines).
// The fill and the optional outline are design properties.
#pragma once

#include <QColor>
#include <QWidget>

class Shape : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor brushColor READ brushColor WRITE setBrushColor)
    Q_PROPERTY(QColor penColor READ penColor WRITE setPenColor)
    Q_PROPERTY(int penWidth READ penWidth WRITE setPenWidth)

public:
    explicit Shape(QWidget *parent = nullptr);

    QColor brushColor() const { return m_brushColor; }
    void setBrushColor(const QColor &color);
    QColor penColor() const { return m_penColor; }
    void setPenColor(const QColor &color);
    // 0: no outline.
    int penWidth() const { return m_penWidth; }
    void setPenWidth(int width);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void paint();

    QColor m_brushColor = Qt::white;
    QColor m_penColor = Qt::black;
    int m_penWidth = 0;
};
