#include "base/TTimer.h"

void TTimer::SetInterval(int milliseconds) {
    if (milliseconds == interval_) return;
    interval_ = milliseconds;
    if (OnChanged) OnChanged(*this);
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (OnChanged) OnChanged(*this);
}

void TTimer::Tick() {
    if (enabled_ && OnTimer) OnTimer();
}
