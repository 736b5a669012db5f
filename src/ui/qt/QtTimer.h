#pragma once

#include <QObject>
#include <QTimer>

class TTimer;

// Drives a core timer from the event loop: interval and enabled state follow
// the core's, each timeout is a Tick.
class TQtTimer : public QObject {
public:
    TQtTimer(TTimer& timer, QObject* parent = nullptr);
    ~TQtTimer() override;

private:
    void Follow();
    TTimer& timer_;
    QTimer qtimer_;
};
