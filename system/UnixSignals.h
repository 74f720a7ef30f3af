#pragma once

#include <QObject>

#include <functional>

// Turns SIGTERM, SIGINT and SIGHUP into a call of onSignal on the UI thread, so that a
// session logout or Ctrl+C in a terminal ends the program the orderly way (settings
// written). The signal handler only writes one byte into a pipe; the rest happens in the
// event loop.
class UnixTerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit UnixTerminationSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    ~UnixTerminationSignals() override;

private:
    void ReadSignal();
    std::function<void()> m_onSignal;
};
