// The application frame: its title, the two error boxes, the deactivation rule.
#include "Application.h"

#include "DatabaseErrors.h"
#include "ErrorBoundary.h"
#include "FakeEngine.h"
#include "FakeMunicipalities.h"
#include "Form1.h"
#include "ui_Form1.h"

#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

#include <stdexcept>

namespace {

// How the next createMainWindow() gets its engine.
std::function<void(fake::FakeEngine &)> g_prepareEngine;

std::unique_ptr<dbase::Engine> makeFakeEngine()
{
    auto engine = std::make_unique<fake::FakeEngine>();
    fake::fillMunicipalities(*engine, 12);
    if (g_prepareEngine)
        g_prepareEngine(*engine);
    return engine;
}

Application *app()
{
    return static_cast<Application *>(QCoreApplication::instance());
}

// Answers every message box that opens with OK and remembers what it showed.
class BoxWatcher : public QObject
{
public:
    struct Seen
    {
        QString title;
        QString text;
        QMessageBox::Icon icon;
        int buttons;
        bool applicationModal;
    };
    QList<Seen> seen;

    BoxWatcher()
    {
        connect(&m_timer, &QTimer::timeout, this, &BoxWatcher::poll);
        m_timer.start(10);
    }

private:
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        seen.append({box->windowTitle(), box->text(), box->icon(), int(box->buttons().size()),
                     box->windowModality() == Qt::ApplicationModal});
        box->button(QMessageBox::Ok)->click();
    }
    QTimer m_timer;
};

// An entry from Qt whose body raises, as a failing window handler would; its body
// runs through the error boundary like every entry of the program's own.
class Thrower : public QObject
{
public:
    int delivered = 0;
    bool event(QEvent *event) override
    {
        if (event->type() < QEvent::User || event->type() > QEvent::User + 2)
            return QObject::event(event);
        ++delivered;
        ErrorBoundary::run([event] {
            if (event->type() == QEvent::User)
                throw EDatabaseError(QStringLiteral("Table1: Keine Datei (Code 7)"));
            if (event->type() == QEvent::User + 1)
                throw std::runtime_error("Speicher voll");
        });
        return true;
    }
};

} // namespace

class tst_Application : public QObject
{
    Q_OBJECT

private slots:
    void init() { g_prepareEngine = nullptr; }
    void title_data();
    void title();
    void fullStopRules_data();
    void fullStopRules();
    void startupTextLayout();
    void errorInHandlerShowsBoxAndGoesOn();
    void deactivationIsDeferred();
    void deactivationNotOnInnerFocusChanges();
    void errorInFormCreateKeepsWindow();
    void startupErrorEndsWithCodeOne();
};

void tst_Application::title_data()
{
    QTest::addColumn<QString>("programFile");
    QTest::addColumn<QString>("title");
    QTest::newRow("upper case") << "VIEWER.EXE"
                                << "Viewer";
    QTest::newRow("two dots") << "MY.DATA.EXE"
                              << "My";
    QTest::newRow("directory dropped") << "/usr/bin/Gemeindedaten"
                                       << "Gemeindedaten";
    QTest::newRow("first kept as it is") << "gEMEINDE.bin"
                                         << "gemeinde";
    QTest::newRow("umlaut lowered") << "ÖKO.BIN"
                                    << "Öko";
    QTest::newRow("dot first") << ".hidden"
                               << "";
}

void tst_Application::title()
{
    QFETCH(QString, programFile);
    QFETCH(QString, title);
    QCOMPARE(Application::titleFromProgramFile(programFile), title);
}

// An event's box adds "." only after a character above "."; the start-up box adds it
// unless the message ends with ".".
void tst_Application::fullStopRules_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("eventText");
    QTest::addColumn<QString>("startupLastLine");
    QTest::newRow("letter") << "Datei fehlt"
                            << "Datei fehlt."
                            << "Datei fehlt.";
    QTest::newRow("digit") << "Fehler 5"
                           << "Fehler 5."
                           << "Fehler 5.";
    QTest::newRow("parenthesis") << "Fehler (5)"
                                 << "Fehler (5)"
                                 << "Fehler (5).";
    QTest::newRow("full stop") << "Ende."
                               << "Ende."
                               << "Ende.";
    QTest::newRow("minus below dot") << "a-"
                                     << "a-"
                                     << "a-.";
    QTest::newRow("slash above dot") << "C:/"
                                     << "C:/."
                                     << "C:/.";
    QTest::newRow("umlaut") << "Größe ü"
                            << "Größe ü."
                            << "Größe ü.";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
}

void tst_Application::fullStopRules()
{
    QFETCH(QString, message);
    QFETCH(QString, eventText);
    QFETCH(QString, startupLastLine);
    QCOMPARE(Application::eventErrorText(message), eventText);
    const QString startup =
        Application::startupErrorText(QStringLiteral("E"), QStringLiteral("m"), 0, message);
    QCOMPARE(startup.section(QLatin1Char('\n'), 1), startupLastLine);
}

void tst_Application::startupTextLayout()
{
    QCOMPARE(Application::startupErrorText(QStringLiteral("EDBEngineError"),
                                           QStringLiteral("gemeindedaten"), 0x1a2bc,
                                           QStringLiteral("Tabelle fehlt")),
             QStringLiteral(
                 "Exception EDBEngineError in Modul gemeindedaten bei 0001A2BC.\nTabelle fehlt."));
}

void tst_Application::errorInHandlerShowsBoxAndGoesOn()
{
    BoxWatcher watcher;
    Thrower thrower;
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QTRY_COMPARE(watcher.seen.size(), 1);
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::Type(QEvent::User + 1)));
    QTRY_COMPARE(watcher.seen.size(), 2);
    // The program goes on: the next event is delivered as usual.
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::Type(QEvent::User + 2)));
    QTRY_COMPARE(thrower.delivered, 3);
    QCOMPARE(watcher.seen.size(), 2);
    QCOMPARE(watcher.seen[0].text, QStringLiteral("Table1: Keine Datei (Code 7)"));
    QCOMPARE(watcher.seen[0].title, QStringLiteral("tst_application"));
    QCOMPARE(watcher.seen[0].icon, QMessageBox::Critical);
    QCOMPARE(watcher.seen[0].buttons, 1);
    QVERIFY(watcher.seen[0].applicationModal);
    QCOMPARE(watcher.seen[1].text, QStringLiteral("Speicher voll."));
}

void tst_Application::deactivationIsDeferred()
{
    int calls = 0;
    app()->setDeactivationHandler(nullptr);
    emit app()->applicationStateChanged(Qt::ApplicationInactive);
    QCoreApplication::processEvents();
    app()->setDeactivationHandler([&calls] { ++calls; });
    emit app()->applicationStateChanged(Qt::ApplicationInactive);
    QCOMPARE(calls, 0); // not inside the notification
    QCoreApplication::processEvents();
    QCOMPARE(calls, 1);
    emit app()->applicationStateChanged(Qt::ApplicationActive);
    QCoreApplication::processEvents();
    QCOMPARE(calls, 1);
    app()->setDeactivationHandler(nullptr);
}

void tst_Application::deactivationNotOnInnerFocusChanges()
{
    BoxWatcher watcher;
    app()->createMainWindow();
    Form1 *form = app()->mainForm();
    QVERIFY(form);
    form->show();
    QVERIFY(QTest::qWaitForWindowActive(form));
    // The search panel, a click on the grid and an error box move the focus inside.
    QTest::mouseClick(form->ui().BitBtn1, Qt::LeftButton);
    QTRY_VERIFY(form->ui().Edit1->hasFocus());
    QTest::mouseClick(form->ui().DBGrid1->viewport(), Qt::LeftButton, {}, QPoint(30, 60));
    QTimer::singleShot(0, [] { app()->handleException(QStringLiteral("Fehler")); });
    QTRY_COMPARE(watcher.seen.size(), 1);
    QTest::qWait(50);
    QVERIFY(form->isVisible());
    // Another application becoming active closes the window.
    emit app()->applicationStateChanged(Qt::ApplicationInactive);
    QTRY_VERIFY(!form->isVisible());
}

// FormCreate fails at the record count: the box shows, the window stays, and the
// program no longer ends on deactivation.
void tst_Application::errorInFormCreateKeepsWindow()
{
    BoxWatcher watcher;
    g_prepareEngine = [](fake::FakeEngine &engine) { engine.failCounts(); };
    app()->createMainWindow();
    QCOMPARE(watcher.seen.size(), 1);
    QCOMPARE(watcher.seen[0].title, QStringLiteral("tst_application"));
    QCOMPARE(watcher.seen[0].text,
             QStringLiteral("Eigenschaft Scrollbar außerhalb des zulässigen Bereichs."));
    Form1 *form = app()->mainForm();
    QVERIFY(form);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    emit app()->applicationStateChanged(Qt::ApplicationInactive);
    QTest::qWait(50);
    QVERIFY(form->isVisible());
}

void tst_Application::startupErrorEndsWithCodeOne()
{
    BoxWatcher watcher;
    g_prepareEngine = [](fake::FakeEngine &engine) {
        engine.setErrorText(dbase::status::FileNotFound, "Datei existiert nicht");
        engine.failCall("openTable", dbase::status::FileNotFound, 1, true);
    };
    app()->createMainWindow();
    QVERIFY(!app()->mainForm());
    QCOMPARE(watcher.seen.size(), 1);
    const BoxWatcher::Seen &box = watcher.seen[0];
    QCOMPARE(box.title, QStringLiteral("Anwendungsfehler"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.buttons, 1);
    const QRegularExpression layout(QStringLiteral(
        "^Exception EDBEngineError in Modul tst_Application bei [0-9A-F]{8}\\.\\n.+\\.$"));
    QVERIFY2(layout.match(box.text).hasMatch(), qPrintable(box.text));
    QCOMPARE(app()->run(), 1);
}

int main(int argc, char *argv[])
{
    Application application(argc, argv, makeFakeEngine);
    tst_Application test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_Application.moc"
