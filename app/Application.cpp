#include "Application.h"

#include "DbaseEngine.h"
#include "Engine.h"
#include "ErrorBoundary.h"
#include "Exception.h"
#include "Form1.h"
#include "MainIcon.h"

#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <QTranslator>

#include <cxxabi.h>
#include <dlfcn.h>

#include <cstdlib>
#include <typeinfo>

namespace {

QString demangledTypeName(const std::exception &error)
{
    int status = 0;
    char *name = abi::__cxa_demangle(typeid(error).name(), nullptr, nullptr, &status);
    const QString result = QString::fromLatin1(status == 0 && name ? name : typeid(error).name());
    std::free(name);
    return result;
}

// Events being delivered on this thread, nested ones counted.
thread_local int t_eventDepth = 0;

} // namespace

Application::Application(int &argc, char **argv, EngineFactory makeEngine)
    : QApplication(argc, argv), m_makeEngine(std::move(makeEngine))
{
    if (!m_makeEngine)
        m_makeEngine = [] { return dbase::createDbaseEngine(); };
    m_title = titleFromProgramFile(applicationFilePath());
    setWindowIcon(MainIcon::icon());
    setDesktopFileName(QStringLiteral(GD_APP_ID));
    Form1::installFontSubstitutes();
    // Qt's own texts (the edit boxes' context menus) in German, whatever the locale.
    auto *qtTexts = new QTranslator(this);
    if (qtTexts->load(QStringLiteral("qtbase_de"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(qtTexts);
    ErrorBoundary::setHandler([this](std::exception_ptr error) { reportError(std::move(error)); });
    // Error boxes shown before the loop runs must not end the program when they close.
    setQuitOnLastWindowClosed(false);
    connect(this, &QGuiApplication::applicationStateChanged, this,
            &Application::onApplicationStateChanged);
}

Application::~Application()
{
    shutdown();
    ErrorBoundary::setHandler(nullptr);
}

QString Application::titleFromProgramFile(const QString &programFile)
{
    QString name = QFileInfo(programFile).fileName();
    name = name.left(name.indexOf(QLatin1Char('.')));
    // The first character stays as it is; only the rest is lowered.
    return name.left(1) + name.mid(1).toLower();
}

QString Application::eventErrorText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

QString Application::startupErrorText(const QString &typeName, const QString &module,
                                      quintptr offset, const QString &message)
{
    QString text =
        QStringLiteral("Exception %1 in Modul %2 bei %3.\n")
            .arg(typeName, module,
                 QStringLiteral("%1").arg(offset, 8, 16, QLatin1Char('0')).toUpper().right(8));
    text += message;
    if (!message.isEmpty() && !message.endsWith(QLatin1Char('.')))
        text += QLatin1Char('.');
    return text;
}

// Errors raised while the window is built, or caught by the boundary meanwhile, end
// the start; those of the creation handler are shown and the window stays.
void Application::createMainWindow()
{
    shutdown();
    m_startupFailed = false;
    m_onDeactivate = nullptr;
    m_phase = Phase::Starting;
    try {
        ErrorBoundary::throughQt([this] {
            m_engine = m_makeEngine();
            m_form = std::make_unique<Form1>(*m_engine, [this](std::function<void()> handler) {
                setDeactivationHandler(std::move(handler));
            });
        });
    } catch (...) {
        showError(std::current_exception());
        return;
    }
    m_phase = Phase::Running;
    try {
        ErrorBoundary::throughQt([this] { m_form->FormCreate(); });
    } catch (...) {
        showError(std::current_exception());
    }
}

int Application::run()
{
    if (m_startupFailed || !m_form) {
        shutdown();
        return 1;
    }
    setQuitOnLastWindowClosed(true);
    m_form->show();
    m_form->activateWindow();
    exec();
    shutdown();
    return 0;
}

// After the end nothing is shown any more: the window is gone.
void Application::shutdown()
{
    m_phase = Phase::Ended;
    m_form.reset();
    if (m_engine && m_engine->isStarted())
        m_engine->stop();
    m_engine.reset();
}

void Application::setDeactivationHandler(std::function<void()> handler)
{
    m_onDeactivate = std::move(handler);
}

void Application::reportError(std::exception_ptr error)
{
    {
        QMutexLocker lock(&m_reportedLock);
        m_reported.push_back(std::move(error));
        m_hasReported = true;
    }
    if (t_eventDepth == 0 || QThread::currentThread() != thread())
        QMetaObject::invokeMethod(this, &Application::showReportedErrors, Qt::QueuedConnection);
}

// Control is back in the frame once the outermost event has been delivered: no Qt
// code of that event (a paint, a slider's action) is still on the stack below.
bool Application::notify(QObject *receiver, QEvent *event)
{
    ++t_eventDepth;
    const bool handled = QApplication::notify(receiver, event);
    --t_eventDepth;
    if (t_eventDepth == 0 && m_hasReported)
        showReportedErrors();
    return handled;
}

// On the GUI thread only, and not while our own code waits for an error to come back
// to it (it is shown when that code has let it go on).
void Application::showReportedErrors()
{
    if (QThread::currentThread() != thread() || ErrorBoundary::handingBack())
        return;
    for (;;) {
        std::exception_ptr next;
        {
            QMutexLocker lock(&m_reportedLock);
            if (m_reported.empty()) {
                m_hasReported = false;
                return;
            }
            next = m_reported.front();
            m_reported.erase(m_reported.begin());
        }
        if (m_phase != Phase::Ended)
            showError(next);
    }
}

// The frame is where errors end: it takes the message (and, for the start-up box,
// the type's name and the raising address) from the error.
void Application::showError(const std::exception_ptr &error)
{
    QString typeName;
    const void *raiseAddress = nullptr;
    QString message;
    try {
        std::rethrow_exception(error);
    } catch (const Exception &raised) {
        typeName = QString::fromLatin1(raised.typeName());
        raiseAddress = raised.raiseAddress();
        message = raised.message();
    } catch (const std::exception &raised) {
        typeName = demangledTypeName(raised);
        message = QString::fromUtf8(raised.what());
    } catch (...) {
        typeName = QStringLiteral("Exception");
        message = QStringLiteral("Unbekannter Fehler");
    }
    if (m_phase == Phase::Starting)
        reportStartupError(typeName, raiseAddress, message);
    else
        handleException(message);
}

// The window that was active before the box is active again after it, so that the
// user goes on where the error stopped him.
void Application::handleException(const QString &message)
{
    if (QWidget *grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    const QPointer<QWidget> active = QApplication::activeWindow();
    QMessageBox box(QMessageBox::Critical, m_title, eventErrorText(message), QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    if (active && active->isVisible())
        active->activateWindow();
}

// The address is given relative to the load address of the module that raised.
void Application::reportStartupError(const QString &typeName, const void *raiseAddress,
                                     const QString &message)
{
    m_startupFailed = true;
    m_form.reset();
    QString module = QFileInfo(applicationFilePath()).fileName();
    quintptr offset = 0;
    Dl_info info{};
    if (raiseAddress && dladdr(raiseAddress, &info) && info.dli_fbase) {
        offset = quintptr(raiseAddress) - quintptr(info.dli_fbase);
        if (info.dli_fname && *info.dli_fname)
            module = QFileInfo(QString::fromLocal8Bit(info.dli_fname)).fileName();
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Anwendungsfehler"),
                    startupErrorText(typeName, module, offset, message), QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

// The handler runs later, from the loop, never inside the notification itself.
void Application::onApplicationStateChanged(Qt::ApplicationState state)
{
    if (state == Qt::ApplicationInactive)
        QMetaObject::invokeMethod(this, &Application::deactivate, Qt::QueuedConnection);
}

void Application::deactivate()
{
    if (m_onDeactivate)
        ErrorBoundary::run(m_onDeactivate);
}
