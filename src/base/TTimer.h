#pragma once

#include <functional>

// A periodic timer that someone else drives: the Qt layer mirrors interval and
// enabled state in a QTimer (through OnChanged) and calls Tick on its timeout;
// tests call Tick by hand.
class TTimer {
public:
    int Interval() const { return interval_; }  // milliseconds
    bool Enabled() const { return enabled_; }
    void SetInterval(int milliseconds);
    void SetEnabled(bool enabled);

    // Runs OnTimer when enabled.
    void Tick();

    std::function<void()> OnTimer;
    std::function<void(const TTimer&)> OnChanged;

private:
    int interval_ = 10000;
    bool enabled_ = false;
};
