// ScrollBar1: the window's own record scroll bar. It does not follow the table; it
// reports every user action to one handler as a scroll code (0 line up, 1 line down,
// 2 page up, 3 page down, 4 thumb released, 5 thumb tracking, 6 top, 7 bottom,
// 8 end of action) with the candidate position, and then takes the position that the
// handler leaves in the in-out value. Positions set from code report nothing.
#pragma once

#include <QScrollBar>

#include <functional>

class RecordScrollBar : public QScrollBar
{
    Q_OBJECT

public:
    enum ScrollCode {
        LineUp = 0,
        LineDown = 1,
        PageUp = 2,
        PageDown = 3,
        ThumbPosition = 4,
        ThumbTrack = 5,
        Top = 6,
        Bottom = 7,
        EndScroll = 8,
    };
    using ScrollHandler = std::function<void(int code, int &value)>;

    explicit RecordScrollBar(QWidget *parent = nullptr);

    // The minimum stays 0. A maximum below it raises EInvalidOperation and changes
    // nothing; otherwise a position above the new maximum is pulled down to it.
    void setMaximum(int maximum);
    // Clamped into the range; raises no scroll event.
    void setPosition(int position);
    int position() const { return value(); }

    void setScrollHandler(ScrollHandler handler) { m_handler = std::move(handler); }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void onActionTriggered(int action);
    int candidateFor(int code, int thumbValue) const;
    int clamped(int position) const;
    bool callHandler(int code, int &value);
    bool userAction(int code, int thumbValue = 0);
    int valueAtPixel(int y) const;

    ScrollHandler m_handler;
    bool m_mouseAction = false;  // a press on one of the bar's parts is in progress
    bool m_thumbDragged = false; // that press holds the thumb
    bool m_keyAction = false;    // a key press reported an action
    bool m_keyPressRunning = false;
    bool m_actionSeen = false; // an action was reported during the press being handled
};
