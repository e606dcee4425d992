// The owner-drawn "Suchen" button: its raised and sunken face, the caption's shift
// while it is held down, and a double click counting as two clicks.
#include "SearchButton.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

class tst_SearchButton : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void faceEdges_data();
    void faceEdges();
    void captionMovesOnePixelWhileDown();
    void doubleClickCountsTwice_data();
    void doubleClickCountsTwice();

private:
    QImage faceImage(bool down);
    SearchButton *m_button = nullptr;
};

void tst_SearchButton::init()
{
    m_button = new SearchButton;
    m_button->setText(QStringLiteral("Suchen"));
    m_button->resize(75, 19);
    // Distinct bevel colours, so that every edge line says which state was drawn.
    QPalette palette = m_button->palette();
    palette.setColor(QPalette::Light, QColor(255, 255, 255));
    palette.setColor(QPalette::Button, QColor(192, 192, 192));
    palette.setColor(QPalette::Dark, QColor(128, 128, 128));
    palette.setColor(QPalette::Shadow, QColor(0, 0, 0));
    palette.setColor(QPalette::ButtonText, QColor(255, 0, 0));
    m_button->setPalette(palette);
    m_button->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_button));
}

void tst_SearchButton::cleanup()
{
    delete m_button;
    m_button = nullptr;
}

// The image of the face at rest or while the left button holds it down.
QImage tst_SearchButton::faceImage(bool down)
{
    const QPoint centre = m_button->rect().center();
    if (down)
        QTest::mousePress(m_button, Qt::LeftButton, {}, centre);
    const QImage image = m_button->grab().toImage();
    if (down)
        QTest::mouseRelease(m_button, Qt::LeftButton, {}, centre);
    return image;
}

void tst_SearchButton::faceEdges_data()
{
    QTest::addColumn<bool>("down");
    QTest::addColumn<int>("role"); // the palette colour expected on each edge line
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    const int light = QPalette::Light, button = QPalette::Button;
    const int dark = QPalette::Dark, shadow = QPalette::Shadow;
    // Raised: light above and left, shadow below and right.
    QTest::newRow("raised outer left") << false << light << 0 << 9;
    QTest::newRow("raised outer top") << false << light << 37 << 0;
    QTest::newRow("raised inner left") << false << button << 1 << 9;
    QTest::newRow("raised outer right") << false << shadow << 74 << 9;
    QTest::newRow("raised outer bottom") << false << shadow << 37 << 18;
    QTest::newRow("raised inner bottom") << false << dark << 37 << 17;
    // Sunken: the edges swap.
    QTest::newRow("sunken outer left") << true << shadow << 0 << 9;
    QTest::newRow("sunken outer top") << true << shadow << 37 << 0;
    QTest::newRow("sunken inner left") << true << dark << 1 << 9;
    QTest::newRow("sunken outer right") << true << light << 74 << 9;
    QTest::newRow("sunken outer bottom") << true << light << 37 << 18;
    QTest::newRow("sunken inner bottom") << true << button << 37 << 17;
}

void tst_SearchButton::faceEdges()
{
    QFETCH(bool, down);
    QFETCH(int, role);
    QFETCH(int, x);
    QFETCH(int, y);
    const QImage image = faceImage(down);
    QCOMPARE(image.size(), QSize(75, 19));
    QCOMPARE(QColor(image.pixel(x, y)), m_button->palette().color(QPalette::ColorRole(role)));
    QVERIFY(!m_button->isDown());
}

// Inside the bevel, the face held down is the face at rest moved one pixel right and
// down: the two renderings are compared with each other, not with fixed pixels.
void tst_SearchButton::captionMovesOnePixelWhileDown()
{
    const QImage up = faceImage(false);
    const QImage down = faceImage(true);
    const QRect inner = m_button->rect().adjusted(2, 2, -3, -3); // room for the shift
    bool sawCaption = false;
    for (int y = inner.top(); y <= inner.bottom(); ++y) {
        for (int x = inner.left(); x <= inner.right(); ++x) {
            QCOMPARE(down.pixel(x + 1, y + 1), up.pixel(x, y));
            sawCaption = sawCaption || up.pixel(x, y) != up.pixel(inner.topLeft());
        }
    }
    QVERIFY(sawCaption); // the caption was drawn inside the compared area
}

void tst_SearchButton::doubleClickCountsTwice_data()
{
    QTest::addColumn<bool>("secondPressDelivered");
    QTest::newRow("press and double click") << true; // Qt 6 platforms send both
    QTest::newRow("double click instead of press") << false;
}

void tst_SearchButton::doubleClickCountsTwice()
{
    QFETCH(bool, secondPressDelivered);
    QSignalSpy clicked(m_button, &QAbstractButton::clicked);
    const QPoint at = m_button->rect().center();
    QTest::mouseClick(m_button, Qt::LeftButton, {}, at);
    if (secondPressDelivered)
        QTest::mousePress(m_button, Qt::LeftButton, {}, at);
    QMouseEvent doubleClick(QEvent::MouseButtonDblClick, at, m_button->mapToGlobal(at),
                            Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_button, &doubleClick);
    QVERIFY(m_button->isDown());
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, at);
    QCOMPARE(clicked.count(), 2);
}

QTEST_MAIN(tst_SearchButton)
#include "tst_SearchButton.moc"
