#pragma once

// Start-up probe shared by startup_velmar and startup_minimal: once the first
// window has been exposed and its expose handled (first paint flushed), the
// program writes "shown <ns>" to stdout, <ns> being CLOCK_MONOTONIC in
// nanoseconds, and quits. startup_compare takes its own CLOCK_MONOTONIC just
// before starting the program; the difference is the start-up time.

#include <QApplication>
#include <QEvent>
#include <QWindow>

#include <cstdio>
#include <ctime>

namespace startup_probe {

class Probe : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!done_ && event->type() == QEvent::Expose) {
            auto* window = qobject_cast<QWindow*>(watched);
            if (window && window->isExposed()) {
                done_ = true;
                // Queued: runs after this expose has been handled and painted.
                QMetaObject::invokeMethod(
                    qApp,
                    [] {
                        timespec now{};
                        clock_gettime(CLOCK_MONOTONIC, &now);
                        std::printf("shown %lld\n", (long long)now.tv_sec * 1000000000LL + now.tv_nsec);
                        std::fflush(stdout);
                        QCoreApplication::exit(0);
                    },
                    Qt::QueuedConnection);
            }
        }
        return false;
    }

private:
    bool done_ = false;
};

// Call right after constructing the application, before the window is shown.
inline void install(QApplication& app)
{
    static Probe probe;
    app.installEventFilter(&probe);
}

}  // namespace startup_probe
