// BitBtn1: an owner-drawn push button that shows only its caption, centred, in its
// own font and button-text colour. The face is raised; while the button is held down
// it is drawn sunken and the caption moves one pixel right and down.
#pragma once

#include <QAbstractButton>

class SearchButton : public QAbstractButton
{
    Q_OBJECT

public:
    explicit SearchButton(QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void drawFace(QPainter &painter) const;
    void drawCaption(QPainter &painter) const;
    void drawFocusFrame(QPainter &painter) const;
};
