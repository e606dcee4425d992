// The application frame: creates the main window, runs the loop, closes the window
// when another application becomes active, and reports every error to the user.
// Errors reach it as std::exception_ptr, from the error boundary around every entry
// from Qt (ErrorBoundary) or from whoever found one; it shows each in one box, by the
// rule of the moment: while the main window is built, the start-up box and exit code
// 1; in the creation handler and afterwards, the error box after which the program
// goes on.
#pragma once

#include <QApplication>
#include <QMutex>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

namespace dbase {
class Engine;
}
class Form1;

class Application : public QApplication
{
    Q_OBJECT

public:
    using EngineFactory = std::function<std::unique_ptr<dbase::Engine>()>;

    // The engine is made with the main window and stopped at shutdown.
    Application(int &argc, char **argv, EngineFactory makeEngine = {});
    ~Application() override;

    // Program file name without directory, cut before its first ".", the first
    // character kept as it is and the rest lower-cased ("VIEWER.EXE" gives "Viewer",
    // "MY.DATA.EXE" gives "My", "gemeindedaten" gives "gemeindedaten").
    static QString titleFromProgramFile(const QString &programFile);
    // Text of the error box for an error during an event: a full stop is added when
    // the last character sorts after ".".
    static QString eventErrorText(const QString &message);
    // Text of the box for an error while the main window is built.
    static QString startupErrorText(const QString &typeName, const QString &module, quintptr offset,
                                    const QString &message);

    QString title() const { return m_title; }

    // Creates Form1 and runs its creation handler. A start-up error is shown here and
    // makes run() end at once with exit code 1.
    void createMainWindow();
    // Shows the main window and loops until it closes; then shuts down.
    int run();

    Form1 *mainForm() const { return m_form.get(); }
    void setDeactivationHandler(std::function<void()> handler);

    // The one entry for an error found anywhere in the program, from any thread. The
    // error is kept and shown on the GUI thread once control is back in the frame:
    // when the event during which it was reported has been delivered, else (another
    // thread, no event) from the loop. A worker thread catches its own errors and
    // passes them on: catch (...) { app->reportError(std::current_exception()); }.
    void reportError(std::exception_ptr error);
    // Shows the errors reported during an event once the event has been delivered.
    bool notify(QObject *receiver, QEvent *event) override;
    // The default error handler: the error box, after which the program goes on.
    void handleException(const QString &message);

private:
    // Building the window (start-up box), running its creation handler and the loop
    // (error box), and after the end (nothing is shown any more).
    enum class Phase { Starting, Running, Ended };

    void showReportedErrors();
    void showError(const std::exception_ptr &error);
    void reportStartupError(const QString &typeName, const void *raiseAddress,
                            const QString &message);
    void onApplicationStateChanged(Qt::ApplicationState state);
    void deactivate();
    void shutdown();

    QString m_title;
    EngineFactory m_makeEngine;
    std::unique_ptr<dbase::Engine> m_engine;
    std::unique_ptr<Form1> m_form;
    std::function<void()> m_onDeactivate;
    bool m_startupFailed = false;
    Phase m_phase = Phase::Running;
    QMutex m_reportedLock;
    std::vector<std::exception_ptr> m_reported; // guarded by m_reportedLock
    std::atomic<bool> m_hasReported = false;
};
