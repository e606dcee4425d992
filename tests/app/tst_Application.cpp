// The application frame: its title, the two error boxes, the deactivation rule.
#include "Application.h"

#include "DataGrid.h"
#include "DatabaseErrors.h"
#include "ErrorBoundary.h"
#include "FakeEngine.h"
#include "FakeMunicipalities.h"
#include "Form1.h"
#include "NoteBox.h"
#include "RecordScrollBar.h"
#include "ui_Form1.h"

#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

#include <algorithm>
#include <stdexcept>
#include <thread>

namespace {

// How the next createMainWindow() gets its engine: the table (twelve municipalities
// unless a test fills it otherwise), then any failures a test scripts.
std::function<void(fake::FakeEngine &)> g_fillEngine;
std::function<void(fake::FakeEngine &)> g_prepareEngine;
fake::FakeEngine *g_engine = nullptr; // the engine of the last createMainWindow()

std::unique_ptr<dbase::Engine> makeFakeEngine()
{
    auto engine = std::make_unique<fake::FakeEngine>();
    if (g_fillEngine)
        g_fillEngine(*engine);
    else
        fake::fillMunicipalities(*engine, 12);
    if (g_prepareEngine)
        g_prepareEngine(*engine);
    g_engine = engine.get();
    return engine;
}

// The municipality table with its fields chosen by ordinal, in that order, and the
// name order KLEINGEM; an ordinal of -1 adds a text field of its own.
void fillShape(fake::FakeEngine &engine, const QList<int> &ordinals)
{
    fake::FakeEngine layout;
    fake::fillMunicipalities(layout, 0);
    std::vector<fake::FakeField> fields;
    for (int ordinal : ordinals)
        fields.push_back(ordinal < 0 ? fake::FakeField{"ZUSATZ", dbase::FieldType::Text, 8}
                                     : layout.fields()[std::size_t(ordinal)]);
    engine.setFields(fields);
    for (int i = 0; i < 12; ++i) {
        const std::vector<std::string> full = fake::municipalityRow(i);
        std::vector<std::string> row;
        for (int ordinal : ordinals)
            row.push_back(ordinal < 0 ? "zusatz" : full[std::size_t(ordinal)]);
        engine.addRecord(row);
    }
    engine.addFieldOrder("KLEINGEM", "KLEINGEM");
}

// The engine's text for the read error the fault tests script.
constexpr dbase::Status ReadError = 0x2C08;
const QString ReadErrorText = QStringLiteral("Lesefehler in der Tabelle");

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
        QList<int> iconSizes; // of the window's icon, ascending
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
        QList<int> iconSizes;
        for (const QSize &size : box->windowIcon().availableSizes())
            iconSizes.append(size.width());
        std::sort(iconSizes.begin(), iconSizes.end());
        seen.append({box->windowTitle(), box->text(), box->icon(), int(box->buttons().size()),
                     box->windowModality() == Qt::ApplicationModal, iconSizes});
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
    void init()
    {
        g_fillEngine = nullptr;
        g_prepareEngine = nullptr;
    }
    void title_data();
    void title();
    void fullStopRules_data();
    void fullStopRules();
    void startupTextLayout();
    void errorInHandlerShowsBoxAndGoesOn();
    void deactivationIsDeferred();
    void deactivationNotOnInnerFocusChanges();
    void errorInFormCreateKeepsWindow();
    void faultInHandlerShowsOneBox_data();
    void faultInHandlerShowsOneBox();
    void errorFromAnotherThreadIsShownOnce();
    void tableShapes_data();
    void tableShapes();
    void qtTextsAreGerman();
    void startupErrorEndsWithCodeOne_data();
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
    // The program's icon, rendered at build time in the sizes of title bars, task bars
    // and window switchers.
    QCOMPARE(watcher.seen[0].iconSizes, QList<int>({16, 22, 24, 32, 48, 64, 128}));
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

// A fault in each kind of handler, injected into the engine call it makes first: one
// box with the title as caption and the engine's text; the handler's later steps are
// skipped; the program goes on and handles the next event (a title click).
void tst_Application::faultInHandlerShowsOneBox_data()
{
    QTest::addColumn<QString>("handler");
    QTest::addColumn<QString>("op");
    QTest::newRow("title click") << "title click"
                                 << "switchToIndex";
    QTest::newRow("scroll bar arrow") << "scroll bar"
                                      << "readMemo";
    QTest::newRow("cell click") << "cell click"
                                << "extractField";
    QTest::newRow("search key") << "search key"
                                << "extractField";
}

void tst_Application::faultInHandlerShowsOneBox()
{
    QFETCH(QString, handler);
    QFETCH(QString, op);
    BoxWatcher watcher;
    app()->createMainWindow();
    Form1 *form = app()->mainForm();
    QVERIFY(form);
    form->show();
    QVERIFY(QTest::qWaitForWindowActive(form));
    const Ui::Form1 &ui = form->ui();
    DataGrid *grid = ui.DBGrid1;
    auto clickTitle = [grid](int column) {
        const QRect cell = grid->gridGeometry().cellRect(column, GridGeometry::TitleRow);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    };
    if (handler == QLatin1String("search key")) {
        QTest::mouseClick(ui.BitBtn1, Qt::LeftButton);
        QTRY_VERIFY(ui.Edit1->hasFocus());
    }
    g_engine->setErrorText(ReadError, ReadErrorText.toStdString());
    g_engine->failCall(op.toStdString(), ReadError);

    if (handler == QLatin1String("title click")) {
        clickTitle(2);
    } else if (handler == QLatin1String("scroll bar")) {
        RecordScrollBar *bar = ui.ScrollBar1;
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, bar->height() - 5));
    } else if (handler == QLatin1String("cell click")) {
        const QRect current = grid->gridGeometry().cellRect(0, grid->currentRow());
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, current.center());
    } else {
        QTest::keyClick(ui.Edit1, Qt::Key_A);
    }
    QTRY_COMPARE(watcher.seen.size(), 1);
    QCOMPARE(watcher.seen[0].title, QStringLiteral("tst_application"));
    QCOMPARE(watcher.seen[0].text, ReadErrorText + QLatin1Char('.'));
    QCOMPARE(watcher.seen[0].icon, QMessageBox::Critical);
    // The steps after the failing one were skipped.
    QCOMPARE(form->markedColumn(), 0);
    QCOMPARE(form->rowPosition(), 0);
    QCOMPARE(ui.ScrollBar1->position(), 0);
    QCOMPARE(ui.Panel1->isVisible(), handler == QLatin1String("search key"));

    QTRY_VERIFY(form->isActiveWindow());
    clickTitle(3);
    QCOMPARE(form->markedColumn(), 3);
    QTest::qWait(50);
    QCOMPARE(watcher.seen.size(), 1);
    QVERIFY(form->isVisible());
}

// A worker thread hands its error to the frame; the box shows on the GUI thread.
void tst_Application::errorFromAnotherThreadIsShownOnce()
{
    BoxWatcher watcher;
    std::thread worker([] {
        try {
            throw EDatabaseError(QStringLiteral("Sortierung abgebrochen"));
        } catch (...) {
            app()->reportError(std::current_exception());
        }
    });
    worker.join();
    QTRY_COMPARE(watcher.seen.size(), 1);
    QCOMPARE(watcher.seen[0].text, QStringLiteral("Sortierung abgebrochen."));
    QCOMPARE(watcher.seen[0].title, QStringLiteral("tst_application"));
    QTest::qWait(50);
    QCOMPARE(watcher.seen.size(), 1);
}

// Tables with other fields than the fourteen: a column the creation handler asks for
// and the table lacks is an error naming it, shown in the creation handler's box; the
// handler stops there (no deactivation rule) and the window is still made.
void tst_Application::tableShapes_data()
{
    QTest::addColumn<QList<int>>("ordinals");
    QTest::addColumn<QString>("box");
    QTest::newRow("13 fields, no TEXT")
        << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}
        << "DBGrid1: Spaltenindex 13 außerhalb des zulässigen Bereichs (0 bis 12)";
    QTest::newRow("3 fields")
        << QList<int>{0, 3, 12}
        << "DBGrid1: Spaltenindex 4 außerhalb des zulässigen Bereichs (0 bis 2)";
    QTest::newRow("15 fields") << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, -1}
                               << QString();
    QTest::newRow("14 fields in another order")
        << QList<int>{12, 0, 13, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11} << QString();
}

void tst_Application::tableShapes()
{
    QFETCH(QList<int>, ordinals);
    QFETCH(QString, box);
    BoxWatcher watcher;
    g_fillEngine = [ordinals](fake::FakeEngine &engine) { fillShape(engine, ordinals); };
    app()->createMainWindow();
    QCOMPARE(watcher.seen.size(), box.isEmpty() ? 0 : 1);
    if (!box.isEmpty()) {
        QCOMPARE(watcher.seen[0].title, QStringLiteral("tst_application"));
        QCOMPARE(watcher.seen[0].text, box);
    }
    Form1 *form = app()->mainForm();
    QVERIFY(form);
    QCOMPARE(form->ui().DBGrid1->columnCount(), int(ordinals.size()));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    emit app()->applicationStateChanged(Qt::ApplicationInactive);
    QTest::qWait(50);
    QCOMPARE(form->isVisible(), !box.isEmpty());
}

// Qt's own texts in the edit box's and the note box's context menus are German.
void tst_Application::qtTextsAreGerman()
{
    app()->createMainWindow();
    Form1 *form = app()->mainForm();
    QVERIFY(form);
    form->show();
    QVERIFY(QTest::qWaitForWindowActive(form));
    form->ui().Panel1->show();
    form->ui().DBMemo1->show();
    auto menuTexts = [](QWidget *widget) {
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                widget->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(widget, &event);
        QStringList texts;
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return texts;
        for (const QAction *action : menu->actions())
            if (!action->isSeparator())
                texts << action->text();
        menu->close();
        return texts;
    };
    QCOMPARE(menuTexts(form->ui().Edit1),
             QStringList({"&Rückgängig\tStrg+Z", "Wieder&herstellen\tStrg+Y",
                          "&Ausschneiden\tStrg+X", "&Kopieren\tStrg+C", "Einf&ügen\tStrg+V",
                          "Löschen", "Alles auswählen\tStrg+A"}));
    QCOMPARE(menuTexts(form->ui().DBMemo1),
             QStringList({"&Kopieren\tStrg+C", "Alles auswählen\tStrg+A"}));
}

// The start fails when the table cannot be opened, and also when a view raises while
// it follows the opening (the note box reading the first record): one box, exit code 1.
void tst_Application::startupErrorEndsWithCodeOne_data()
{
    QTest::addColumn<QString>("op");
    QTest::newRow("table open") << "openTable";
    QTest::newRow("view following the open") << "readMemo";
}

void tst_Application::startupErrorEndsWithCodeOne()
{
    QFETCH(QString, op);
    BoxWatcher watcher;
    g_prepareEngine = [op](fake::FakeEngine &engine) {
        engine.setErrorText(dbase::status::FileNotFound, "Datei existiert nicht");
        engine.failCall(op.toStdString(), dbase::status::FileNotFound, 1, true);
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
    QVERIFY(box.text.endsWith(QStringLiteral("Datei existiert nicht.")));
    QCOMPARE(app()->run(), 1);
}

int main(int argc, char *argv[])
{
    Application application(argc, argv, makeFakeEngine);
    tst_Application test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_Application.moc"
