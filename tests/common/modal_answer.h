#pragma once

#include <functional>
#include <memory>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

// Answers the next modal window of type W with `act` as soon as it is up (a modal window runs
// its own event loop, so a test reaches it only from a timer). The watch ends with its answer,
// after 20 s, or when `owner` goes; `seen` (optional) tells whether the window came up.
template <typename W>
void answerNextModal(QObject *owner, std::function<void(W *)> act, bool *seen = nullptr)
{
    auto *timer = new QTimer(owner);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, started, act, seen] {
        auto *w = qobject_cast<W *>(QApplication::activeModalWidget());
        if ((!w || !w->isVisible()) && started->elapsed() < 20000)
            return;
        timer->stop();
        timer->deleteLater();
        if (w && w->isVisible()) {
            if (seen)
                *seen = true;
            act(w);
        }
    });
    timer->start(20);
}
