#include "ui/qt/QtTimer.h"

#include "base/TTimer.h"

TQtTimer::TQtTimer(TTimer& timer, QObject* parent) : QObject(parent), timer_(timer) {
    connect(&qtimer_, &QTimer::timeout, this, [this] { timer_.Tick(); });
    timer_.OnChanged = [this](const TTimer&) { Follow(); };
    Follow();
}

TQtTimer::~TQtTimer() { timer_.OnChanged = nullptr; }

void TQtTimer::Follow() {
    qtimer_.setInterval(timer_.Interval());
    if (timer_.Enabled() && !qtimer_.isActive()) qtimer_.start();
    if (!timer_.Enabled()) qtimer_.stop();
}
