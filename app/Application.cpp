#include "Application.h"

#include "DbaseEngine.h"
#include "Engine.h"
#include "Exception.h"
#include "Form1.h"

#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>

#include <cxxabi.h>
#include <dlfcn.h>

#include <cstdlib>
#include <typeinfo>

static void initResources()
{
    Q_INIT_RESOURCE(app);
}

namespace {

QString demangledTypeName(const std::exception &error)
{
    int status = 0;
    char *name = abi::__cxa_demangle(typeid(error).name(), nullptr, nullptr, &status);
    const QString result = QString::fromLatin1(status == 0 && name ? name : typeid(error).name());
    std::free(name);
    return result;
}

} // namespace

Application::Application(int &argc, char **argv, EngineFactory makeEngine)
    : QApplication(argc, argv), m_makeEngine(std::move(makeEngine))
{
    initResources();
    if (!m_makeEngine)
        m_makeEngine = [] { return dbase::createDbaseEngine(); };
    m_title = titleFromProgramFile(applicationFilePath());
    setWindowIcon(QIcon(QStringLiteral(":/MAINICON.png")));
    Form1::installFontSubstitutes();
    // Error boxes shown before the loop runs must not end the program when they close.
    setQuitOnLastWindowClosed(false);
    connect(this, &QGuiApplication::applicationStateChanged, this,
            &Application::onApplicationStateChanged);
}

Application::~Application()
{
    shutdown();
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

void Application::createMainWindow()
{
    shutdown();
    m_startupFailed = false;
    m_onDeactivate = nullptr;
    try {
        m_engine = m_makeEngine();
        m_form = std::make_unique<Form1>(*m_engine, [this](std::function<void()> handler) {
            setDeactivationHandler(std::move(handler));
        });
    } catch (const Exception &error) {
        reportStartupError(error.typeName(), error.raiseAddress(), error.message());
        return;
    } catch (const std::exception &error) {
        reportStartupError(demangledTypeName(error).toLatin1().constData(), nullptr,
                           QString::fromUtf8(error.what()));
        return;
    }
    // An error in the creation handler is shown like any event's; the window stays.
    try {
        m_form->FormCreate();
    } catch (const Exception &error) {
        handleException(error.message());
    } catch (const std::exception &error) {
        handleException(QString::fromUtf8(error.what()));
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

void Application::shutdown()
{
    m_form.reset();
    if (m_engine && m_engine->isStarted())
        m_engine->stop();
    m_engine.reset();
}

void Application::setDeactivationHandler(std::function<void()> handler)
{
    m_onDeactivate = std::move(handler);
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const Exception &error) {
        handleException(error.message());
    } catch (const std::exception &error) {
        handleException(QString::fromUtf8(error.what()));
    }
    return false;
}

void Application::handleException(const QString &message)
{
    if (QWidget *grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    QMessageBox box(QMessageBox::Critical, m_title, eventErrorText(message), QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

// The address is given relative to the load address of the module that raised.
void Application::reportStartupError(const char *typeName, const void *raiseAddress,
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
                    startupErrorText(QString::fromLatin1(typeName), module, offset, message),
                    QMessageBox::Ok);
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
        m_onDeactivate();
}
