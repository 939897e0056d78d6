#pragma once

#include <QObject>

class QSocketNotifier;

namespace zelvan::cli {

// Turns SIGINT and SIGTERM into a Qt signal on the main thread. The handler only writes the
// signal's number to a pipe; the notifier reads it in the event loop, which every wait of the
// link runs, so a Ctrl-C ends even a wait for a silent board at once.
class SignalWatch : public QObject {
    Q_OBJECT

public:
    explicit SignalWatch(QObject* parent = nullptr);
    ~SignalWatch() override;

signals:
    // SIGINT or SIGTERM arrived; exitStatus is 130 or 143.
    void stopRequested(int exitStatus);

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace zelvan::cli
