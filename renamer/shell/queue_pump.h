#pragma once
// QueuePump: Qt's event loop as the pump of this thread's window-message queue.
//
// The core's window (its caption, its window procedure with the hand-over message, Timer1) and
// the socket control's window live in platform/user; their messages wait in this thread's
// queue. The pump watches the queue's readiness descriptor with a QSocketNotifier and
// dispatches whatever waits; processQtEvents is the pump hook the application installs, so a
// blocking lookup deep inside the control keeps the window painting and answering.
//
//   QApplication qt(argc, argv);
//   QueuePump pump;                              // on the GUI thread, for the loop's life
//   options.pump_hook = &QueuePump::processQtEvents;
//   qt.exec();

#include <QObject>

class QSocketNotifier;

namespace vantel {

class QueuePump final : public QObject {
    Q_OBJECT

  public:
    explicit QueuePump(QObject* parent = nullptr);

    // processQtEvents: the pump hook: runs Qt's pending events once (context is unused).
    static void processQtEvents(void* context);

    // dispatchWaiting: dispatches every window message waiting now (WM_QUIT ends Qt's loop).
    static void dispatchWaiting();

  private:
    QSocketNotifier* m_notifier;
};

}  // namespace vantel
