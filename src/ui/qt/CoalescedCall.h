#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <utility>

// A display update that a scan may ask for thousands of times: Soon() runs it
// once when the window next gets to its events, however often it was asked
// for meanwhile. The context's end cancels a call still waiting.
class TCoalescedCall {
public:
    TCoalescedCall(QObject* context, std::function<void()> call) : context_(context), call_(std::move(call)) {}
    TCoalescedCall(const TCoalescedCall&) = delete;
    TCoalescedCall& operator=(const TCoalescedCall&) = delete;

    void Now() { call_(); }
    void Soon() {
        if (pending_) return;
        pending_ = true;
        QTimer::singleShot(0, context_, [this] {
            pending_ = false;
            call_();
        });
    }
    // At once while no scan runs, else with the window's next events.
    void When(bool idle) { idle ? Now() : Soon(); }

private:
    QObject* context_;
    std::function<void()> call_;
    bool pending_ = false;
};
