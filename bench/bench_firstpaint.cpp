// The real application, started as the program starts (Application, createMainWindow,
// run), that reports when its main window's first frame has been painted:
//   bench_firstpaint   (in the table's directory, under an X server)
// prints "first frame<TAB>T<TAB>ns", T the wall-clock time (CLOCK_REALTIME, in ns)
// when the first paint of the window had been done and flushed, then closes the
// window. The caller notes the wall-clock time just before it starts the process.
// The stages on the way are printed the same way: "main entered", "application
// made" (the connection to the X server, fonts), "window made" (design, table open,
// FormCreate).
#include "Application.h"
#include "Form1.h"
#include "Results.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <ctime>

#include <sys/resource.h>

namespace {

void printStage(const char *stage)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    Results::print(stage, double(now.tv_sec) * 1e9 + double(now.tv_nsec), "ns");
}

// Watches every event: the first paint event of a widget of the main window marks
// the start of the first frame's painting. The zero timer fires once that whole
// repaint (all widgets) and its flush to the window system have been done.
class FirstFrameProbe : public QObject
{
public:
    explicit FirstFrameProbe(Application &app) : m_app(app) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_seen && event->type() == QEvent::Paint && watched->isWidgetType() && m_app.mainForm()
            && static_cast<QWidget *>(watched)->window() == m_app.mainForm()) {
            m_seen = true;
            QTimer::singleShot(0, &m_app, [this] { report(); });
        }
        return false;
    }

private:
    void report()
    {
        printStage("first frame");
        // Processor time used up to here: less sensitive to a loaded machine.
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const double cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
                             + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
        Results::print("first frame cpu", cpuMs, "ms");
        m_app.mainForm()->close();
    }

    Application &m_app;
    bool m_seen = false;
};

} // namespace

int main(int argc, char *argv[])
{
    printStage("main entered");
    Application application(argc, argv);
    printStage("application made");
    FirstFrameProbe probe(application);
    application.installEventFilter(&probe);
    application.createMainWindow();
    printStage("window made");
    return application.run();
}
