#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

// Acts on the next modal window once it is open: checks every few
// milliseconds for an active modal widget (other than Ignore) and hands it to
// Action once. Gives up after TimeoutMs so a test never hangs on a dialog
// that did not come.
inline void WhenModal(std::function<void(QWidget* Dialog)> Action, QWidget* Ignore = nullptr,
                      int TimeoutMs = 10000)
{
    auto timer = new QTimer(qApp);
    auto deadline = std::make_shared<QDeadlineTimer>(TimeoutMs);
    QPointer<QWidget> ignore(Ignore);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, deadline, Action, ignore] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && (ignore.isNull() || modal != ignore.data()) && modal->isVisible()) {
            timer->deleteLater();
            timer->stop();
            Action(modal);
        } else if (deadline->hasExpired()) {
            timer->deleteLater();
            timer->stop();
        }
    });
    timer->start(5);
}
