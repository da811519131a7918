#include "renamer/shell/queue_pump.h"

#include "platform/user/user.h"

#include <QCoreApplication>
#include <QSocketNotifier>

namespace vantel {

QueuePump::QueuePump(QObject* parent)
    : QObject(parent),
      m_notifier(new QSocketNotifier(GetQueueReadyFd(), QSocketNotifier::Read, this)) {
    connect(m_notifier, &QSocketNotifier::activated, this, [] { dispatchWaiting(); });
}

void QueuePump::processQtEvents(void*) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QueuePump::dispatchWaiting() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            QCoreApplication::exit(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace vantel
