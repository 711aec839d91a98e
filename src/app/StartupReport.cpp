#include "app/StartupReport.h"

#include "common/ProcessInfo.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

// Watches the whole application for the first paint inside the window: the
// window itself may be covered by opaque children and never get one.
class FirstPaintWatch : public QObject {
public:
    explicit FirstPaintWatch(QWidget *window) : QObject(qApp), window(window) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !reported && window && watched->isWidgetType()
            && static_cast<QWidget *>(watched)->window() == window) {
            reported = true;
            // Queued, so the report follows the whole paint pass and its flush.
            QTimer::singleShot(0, this, [this] { Report(); });
        }
        return false;
    }

private:
    void Report()
    {
        qApp->removeEventFilter(this);
        std::printf("startup-ms %.0f\n", MillisecondsSinceProcessStart());
        std::fflush(stdout);
        if (window && qgetenv("VELVO_EXIT_AFTER_STARTUP") == "1")
            window->close();
        deleteLater();
    }

    QPointer<QWidget> window;
    bool reported = false;
};

} // namespace

double MillisecondsSinceProcessStart()
{
    const qint64 startTicks = ProcessStartTicks(::getpid());
    const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    timespec now{};
    if (startTicks < 0 || ticksPerSecond <= 0 || ::clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return -1;
    const double nowMs = now.tv_sec * 1e3 + now.tv_nsec / 1e6;
    return nowMs - double(startTicks) * 1e3 / ticksPerSecond;
}

void InstallStartupReport(QWidget *window)
{
    if (!window || qgetenv("VELVO_REPORT_STARTUP") != "1")
        return;
    qApp->installEventFilter(new FirstPaintWatch(window));
}
