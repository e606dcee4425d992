// The record scroll bar: range and position rules, and the scroll code and value that
// every user action on the bar reports to its handler.
#include "EInvalidOperation.h"
#include "ErrorBoundary.h"
#include "RecordScrollBar.h"

#include <QApplication>
#include <QMenu>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>

#include <climits>

namespace {

struct Report
{
    int code;
    int value;
    int positionSeen; // the bar's position while the handler ran
    bool operator==(const Report &o) const
    {
        return code == o.code && value == o.value && positionSeen == o.positionSeen;
    }
};

// The message of an error the boundary handed to the frame.
QString messageOf(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const Exception &raised) {
        return raised.message();
    } catch (...) {
        return QStringLiteral("?");
    }
}

QString toString(const QList<Report> &reports)
{
    QStringList parts;
    for (const Report &r : reports)
        parts << QStringLiteral("(%1,%2 at %3)").arg(r.code).arg(r.value).arg(r.positionSeen);
    return parts.join(QLatin1Char(' '));
}

// Gives the test the style option the bar paints with, to find its parts.
class ProbedBar : public RecordScrollBar
{
public:
    QRect partRect(QStyle::SubControl part) const
    {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return style()->subControlRect(QStyle::CC_ScrollBar, &option, part, this);
    }
};

} // namespace

class tst_RecordScrollBar : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void maximumBelowMinimumIsRefused_data();
    void maximumBelowMinimumIsRefused();
    void positionIsClampedAndReportsNothing_data();
    void positionIsClampedAndReportsNothing();
    void clickReportsCodeThenEnd_data();
    void clickReportsCodeThenEnd();
    void thumbDragTracksThenReleasesThenEnds();
    void middleClickJumpIsADrag();
    void handlerValueBecomesPosition_data();
    void handlerValueBecomesPosition();
    void keysReportTopAndBottom_data();
    void keysReportTopAndBottom();
    void contextMenuEntryReportsCodeThenEnd();
    void wheelChangesNothing();
    void handlerErrorKeepsPositionAndBarUsable();
    void errorAtThumbReleaseSkipsEnd();

private:
    QList<Report> m_reports;
    QList<std::exception_ptr> m_errors; // what reached the frame
    ProbedBar *m_bar = nullptr;
    std::function<void(int, int &)> m_extra; // what a test's handler does besides recording
};

void tst_RecordScrollBar::init()
{
    m_reports.clear();
    m_errors.clear();
    ErrorBoundary::setHandler([this](std::exception_ptr error) { m_errors.append(error); });
    m_extra = nullptr;
    m_bar = new ProbedBar;
    m_bar->resize(17, 150);
    m_bar->setScrollHandler([this](int code, int &value) {
        m_reports.append({code, value, m_bar->position()});
        if (m_extra)
            m_extra(code, value);
    });
    m_bar->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_bar));
}

void tst_RecordScrollBar::cleanup()
{
    delete m_bar;
    m_bar = nullptr;
    ErrorBoundary::setHandler(nullptr);
}

void tst_RecordScrollBar::maximumBelowMinimumIsRefused_data()
{
    QTest::addColumn<int>("maximum");
    QTest::newRow("-1") << -1;
    QTest::newRow("INT_MIN") << INT_MIN;
}

void tst_RecordScrollBar::maximumBelowMinimumIsRefused()
{
    QFETCH(int, maximum);
    m_bar->setMaximum(500);
    m_bar->setPosition(321);
    try {
        m_bar->setMaximum(maximum);
        QFAIL("no error raised");
    } catch (const EInvalidOperation &error) {
        QCOMPARE(error.message(),
                 QStringLiteral("Eigenschaft Scrollbar außerhalb des zulässigen Bereichs"));
        QCOMPARE(QString::fromLatin1(error.typeName()), QStringLiteral("EInvalidOperation"));
    }
    QCOMPARE(m_bar->minimum(), 0);
    QCOMPARE(m_bar->maximum(), 500);
    QCOMPARE(m_bar->position(), 321);
    QVERIFY(m_reports.isEmpty());
}

void tst_RecordScrollBar::positionIsClampedAndReportsNothing_data()
{
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("expected");
    QTest::newRow("inside") << 2100 << 1234 << 1234;
    QTest::newRow("below minimum") << 2100 << -5 << 0;
    QTest::newRow("INT_MIN") << 2100 << INT_MIN << 0;
    QTest::newRow("above maximum") << 2100 << 2101 << 2100;
    QTest::newRow("INT_MAX") << 20 << INT_MAX << 20;
    QTest::newRow("at maximum") << 20 << 20 << 20;
    QTest::newRow("maximum 0") << 0 << 5 << 0;
}

void tst_RecordScrollBar::positionIsClampedAndReportsNothing()
{
    QFETCH(int, maximum);
    QFETCH(int, position);
    QFETCH(int, expected);
    m_bar->setPosition(80);
    m_bar->setMaximum(maximum); // pulls a position above it down to it
    QCOMPARE(m_bar->minimum(), 0);
    QCOMPARE(m_bar->position(), std::min(80, maximum));
    m_bar->setPosition(position);
    QCOMPARE(m_bar->position(), expected);
    QCOMPARE(m_bar->sliderPosition(), expected);
    QVERIFY2(m_reports.isEmpty(), qPrintable(toString(m_reports)));
}

void tst_RecordScrollBar::clickReportsCodeThenEnd_data()
{
    QTest::addColumn<int>("part"); // QStyle::SubControl
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("candidate");
    const int sub = QStyle::SC_ScrollBarSubLine, add = QStyle::SC_ScrollBarAddLine;
    const int subPage = QStyle::SC_ScrollBarSubPage, addPage = QStyle::SC_ScrollBarAddPage;
    QTest::newRow("down arrow") << add << 57 << 1 << 58;
    QTest::newRow("up arrow") << sub << 57 << 0 << 56;
    QTest::newRow("up arrow at top") << sub << 0 << 0 << 0;
    QTest::newRow("down arrow at bottom") << add << 100 << 1 << 100;
    QTest::newRow("trough below thumb") << addPage << 50 << 3 << 51;
    QTest::newRow("trough above thumb") << subPage << 50 << 2 << 49;
    QTest::newRow("thumb without move") << int(QStyle::SC_ScrollBarSlider) << 40 << 4 << 40;
}

void tst_RecordScrollBar::clickReportsCodeThenEnd()
{
    QFETCH(int, part);
    QFETCH(int, start);
    QFETCH(int, code);
    QFETCH(int, candidate);
    m_bar->setPosition(start);
    const QRect area = m_bar->partRect(QStyle::SubControl(part));
    QVERIFY(area.isValid());
    QTest::mouseClick(m_bar, Qt::LeftButton, {}, area.center());
    const QList<Report> expected{{code, candidate, start}, {8, candidate, candidate}};
    QVERIFY2(m_reports == expected, qPrintable(toString(m_reports)));
    QCOMPARE(m_bar->position(), candidate);
}

void tst_RecordScrollBar::thumbDragTracksThenReleasesThenEnds()
{
    m_bar->setMaximum(2100);
    m_bar->setPosition(1000);
    const QRect thumb = m_bar->partRect(QStyle::SC_ScrollBarSlider);
    const QRect groove = m_bar->partRect(QStyle::SC_ScrollBarGroove);
    QPoint at = thumb.center();
    QTest::mousePress(m_bar, Qt::LeftButton, {}, at);
    QVERIFY(m_reports.isEmpty());
    for (int y : {at.y() + 10, at.y() + 20, groove.bottom() + 30, groove.top() + 5}) {
        at.setY(y);
        QTest::mouseMove(m_bar, at);
    }
    QTest::mouseRelease(m_bar, Qt::LeftButton, {}, at);

    QVERIFY2(m_reports.size() >= 4, qPrintable(toString(m_reports)));
    const Report release = m_reports.at(m_reports.size() - 2);
    const Report end = m_reports.last();
    for (int i = 0; i < m_reports.size() - 2; ++i) {
        QCOMPARE(m_reports.at(i).code, 5);
        if (i > 0) // each tracking report moved the bar to its value before the next one
            QCOMPARE(m_reports.at(i).positionSeen, m_reports.at(i - 1).value);
    }
    QVERIFY(m_reports.at(0).value > 1000);
    QVERIFY(m_reports.at(m_reports.size() - 3).value < 1000); // the last move went up
    QVERIFY(std::any_of(m_reports.cbegin(), m_reports.cend(),
                        [](const Report &r) { return r.value == 2100; }));
    QCOMPARE(release.code, 4);
    QCOMPARE(release.value, m_reports.at(m_reports.size() - 3).value);
    QCOMPARE(end.code, 8);
    QCOMPARE(end.value, release.value);
    QCOMPARE(m_bar->position(), release.value);
}

// Where the style puts the thumb under a middle click, the jump and the release are
// reported like a short drag.
void tst_RecordScrollBar::middleClickJumpIsADrag()
{
    QStyleOptionSlider option;
    option.initFrom(m_bar);
    if (!m_bar->style()->styleHint(QStyle::SH_ScrollBar_MiddleClickAbsolutePosition, &option,
                                   m_bar))
        QSKIP("the style has no middle-click jump");
    m_bar->setPosition(10);
    const QRect trough = m_bar->partRect(QStyle::SC_ScrollBarAddPage);
    QTest::mouseClick(m_bar, Qt::MiddleButton, {},
                      QPoint(trough.center().x(), trough.bottom() - 2));
    QVERIFY2(m_reports.size() == 3, qPrintable(toString(m_reports)));
    const int v = m_reports.first().value;
    QVERIFY(v > 10);
    const QList<Report> expected{{5, v, 10}, {4, v, v}, {8, v, v}};
    QVERIFY2(m_reports == expected, qPrintable(toString(m_reports)));
    QCOMPARE(m_bar->position(), v);
}

void tst_RecordScrollBar::handlerValueBecomesPosition_data()
{
    QTest::addColumn<int>("handlerValue");
    QTest::addColumn<int>("expected");
    QTest::newRow("inside") << 10 << 10;
    QTest::newRow("above maximum") << 1000 << 100;
    QTest::newRow("below minimum") << -3 << 0;
}

void tst_RecordScrollBar::handlerValueBecomesPosition()
{
    QFETCH(int, handlerValue);
    QFETCH(int, expected);
    m_bar->setPosition(50);
    m_extra = [&](int code, int &value) {
        if (code == 1)
            value = handlerValue;
    };
    QTest::mouseClick(m_bar, Qt::LeftButton, {},
                      m_bar->partRect(QStyle::SC_ScrollBarAddLine).center());
    QCOMPARE(m_bar->position(), expected);
    QCOMPARE(m_reports.size(), 2);
    QCOMPARE(m_reports.last().code, 8);
    QCOMPARE(m_reports.last().value, expected);
}

void tst_RecordScrollBar::keysReportTopAndBottom_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("value");
    QTest::newRow("Home") << int(Qt::Key_Home) << 6 << 0;
    QTest::newRow("End") << int(Qt::Key_End) << 7 << 100;
    QTest::newRow("Down") << int(Qt::Key_Down) << 1 << 31;
    QTest::newRow("Page Up") << int(Qt::Key_PageUp) << 2 << 29;
}

void tst_RecordScrollBar::keysReportTopAndBottom()
{
    QFETCH(int, key);
    QFETCH(int, code);
    QFETCH(int, value);
    m_bar->setPosition(30);
    QTest::keyClick(m_bar, Qt::Key(key));
    const QList<Report> expected{{code, value, 30}, {8, value, value}};
    QVERIFY2(m_reports == expected, qPrintable(toString(m_reports)));
    QCOMPARE(m_bar->position(), value);
}

void tst_RecordScrollBar::contextMenuEntryReportsCodeThenEnd()
{
    m_bar->setPosition(30);
    bool chosen = false;
    QTimer::singleShot(0, this, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (QAction *action : menu->actions()) {
            if (action->text() == QStringLiteral("Unterer Rand")) {
                menu->setActiveAction(action);
                QTest::keyClick(menu, Qt::Key_Return);
                chosen = true;
            }
        }
        if (!chosen)
            menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(8, 75),
                            m_bar->mapToGlobal(QPoint(8, 75)));
    QApplication::sendEvent(m_bar, &event);
    QVERIFY(chosen);
    const QList<Report> expected{{7, 100, 30}, {8, 100, 100}};
    QVERIFY2(m_reports == expected, qPrintable(toString(m_reports)));
}

void tst_RecordScrollBar::wheelChangesNothing()
{
    m_bar->setPosition(30);
    const QPoint at(8, 75);
    QWheelEvent wheel(at, m_bar->mapToGlobal(at), QPoint(), QPoint(0, -240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(m_bar, &wheel);
    QCOMPARE(m_bar->position(), 30);
    QVERIFY(m_reports.isEmpty());
}

// A failing handler (the table raising an error) leaves the bar where it was, its
// error goes to the frame once, and the bar goes on working for the next action.
void tst_RecordScrollBar::handlerErrorKeepsPositionAndBarUsable()
{
    m_bar->setPosition(50);
    m_extra = [](int code, int &) {
        if (code == 1)
            throw EInvalidOperation(QStringLiteral("cursor failed"));
    };
    const QPoint down = m_bar->partRect(QStyle::SC_ScrollBarAddLine).center();
    QTest::mousePress(m_bar, Qt::LeftButton, {}, down);
    QCOMPARE(m_errors.size(), 1);
    QCOMPARE(messageOf(m_errors.first()), QStringLiteral("cursor failed"));
    QVERIFY(!m_bar->testAttribute(Qt::WA_WState_InPaintEvent)); // no paint cut short
    QCOMPARE(m_bar->position(), 50);
    QCOMPARE(m_bar->sliderPosition(), 50);
    QTest::mouseRelease(m_bar, Qt::LeftButton, {}, down);
    QCOMPARE(m_reports.last().code, 8);
    QCOMPARE(m_bar->position(), 50);

    m_extra = nullptr;
    m_reports.clear();
    QTest::mouseClick(m_bar, Qt::LeftButton, {}, down);
    const QList<Report> expected{{1, 51, 50}, {8, 51, 51}};
    QVERIFY2(m_reports == expected, qPrintable(toString(m_reports)));
    // Dragging still tracks after the failure.
    m_reports.clear();
    QPoint at = m_bar->partRect(QStyle::SC_ScrollBarSlider).center();
    QTest::mousePress(m_bar, Qt::LeftButton, {}, at);
    at.ry() += 20;
    QTest::mouseMove(m_bar, at);
    QTest::mouseRelease(m_bar, Qt::LeftButton, {}, at);
    QVERIFY2(m_reports.size() == 3 && m_reports.at(0).code == 5, qPrintable(toString(m_reports)));
}

// An error at the thumb's release ends the action there: no end report, and the
// bar stays where the last tracking report put it.
void tst_RecordScrollBar::errorAtThumbReleaseSkipsEnd()
{
    m_bar->setPosition(50);
    m_extra = [](int code, int &) {
        if (code == 4)
            throw EInvalidOperation(QStringLiteral("cursor failed"));
    };
    QPoint at = m_bar->partRect(QStyle::SC_ScrollBarSlider).center();
    QTest::mousePress(m_bar, Qt::LeftButton, {}, at);
    at.ry() += 20;
    QTest::mouseMove(m_bar, at);
    QCOMPARE(m_reports.size(), 1);
    const int tracked = m_reports.first().value;
    QVERIFY(tracked > 50);
    QTest::mouseRelease(m_bar, Qt::LeftButton, {}, at);
    QCOMPARE(m_errors.size(), 1);
    QCOMPARE(m_reports.size(), 2);
    QCOMPARE(m_reports.last().code, 4);
    QCOMPARE(m_bar->position(), tracked);
    QVERIFY(!m_bar->isSliderDown());
}

QTEST_MAIN(tst_RecordScrollBar)
#include "tst_RecordScrollBar.moc"
