#pragma once

// Small helpers of the window tests: find a widget by name, answer the next
// modal dialog, wait for a condition while events go through.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <stdexcept>
#include <string>

// Runs action on the next modal dialog as soon as it is shown.
inline void WhenModal(std::function<void(QWidget&)> action) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, action] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            action(*modal);
        }
    });
    poll->start();
}

inline bool WaitFor(const std::function<bool()>& condition, int milliseconds = 1000) {
    QElapsedTimer waited;
    waited.start();
    while (!condition() && waited.elapsed() < milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

template <typename T>
T& Find(QObject& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found) throw std::runtime_error(std::string("no widget ") + name);
    return *found;
}
