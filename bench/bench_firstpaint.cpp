// The real application, started as the program starts (FontWarmUp, Application,
// createMainWindow, run), that reports when its main window's first frame has been painted:
//   bench_firstpaint          (in the table's directory, under an X server)
//   bench_firstpaint --bare   the same for an empty QWidget of the window's size in a
//                             plain QApplication: what any Qt program here pays
// prints "first frame<TAB>T<TAB>ns", T the wall-clock time (CLOCK_REALTIME, in ns)
// when the first paint of the window had been done and flushed, then closes the
// window. The caller notes the wall-clock time just before it starts the process.
// The stages on the way are printed the same way: "main entered", "application
// made" (the connection to the X server, fonts), "window made" (design, table open,
// FormCreate).
#include "Application.h"
#include "FontWarmUp.h"
#include "Form1.h"
#include "Results.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstring>
#include <ctime>
#include <functional>

#include <sys/resource.h>

namespace {

void printStage(const char *stage)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    Results::print(stage, double(now.tv_sec) * 1e9 + double(now.tv_nsec), "ns");
}

// Watches every event: the first paint event of a widget of the watched window marks
// the start of the first frame's painting. The zero timer fires once that whole
// repaint (all widgets) and its flush to the window system have been done.
class FirstFrameProbe : public QObject
{
public:
    explicit FirstFrameProbe(std::function<QWidget *()> window) : m_window(std::move(window)) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_seen && event->type() == QEvent::Paint && watched->isWidgetType() && m_window() &&
            static_cast<QWidget *>(watched)->window() == m_window()) {
            m_seen = true;
            QTimer::singleShot(0, this, [this] { report(); });
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
        const double cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                             (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
        Results::print("first frame cpu", cpuMs, "ms");
        m_window()->close();
    }

    std::function<QWidget *()> m_window;
    bool m_seen = false;
};

int runBare(int argc, char *argv[])
{
    QApplication application(argc, argv);
    printStage("application made");
    QWidget window;
    window.resize(637, 286); // the size of the window design
    FirstFrameProbe probe([&window] { return &window; });
    application.installEventFilter(&probe);
    printStage("window made");
    window.show();
    return application.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    printStage("main entered");
    if (argc > 1 && std::strcmp(argv[1], "--bare") == 0)
        return runBare(argc, argv);
    FontWarmUp fonts; // as main() does
    Application application(argc, argv);
    fonts.wait();
    printStage("application made");
    FirstFrameProbe probe([&application]() -> QWidget * { return application.mainForm(); });
    application.installEventFilter(&probe);
    application.createMainWindow();
    printStage("window made");
    return application.run();
}
