#pragma once
// QueuePump: Qt's event loop as the pump of this thread's window-message queue.
//
// The core's window (its caption, its window procedure with the hand-over message, Timer1) and
// the socket control's window live in platform/user; their messages wait in this thread's
// queue. The pump watches the queue's readiness descriptor with a QSocketNotifier and
// dispatches whatever waits, and it registers Qt's event processing as the pump hook, so a
// blocking lookup deep inside the control keeps the window painting and answering.
//
//   QApplication app(argc, argv);
//   QueuePump pump;               // for the life of the event loop, on the GUI thread
//   app.exec();

#include <QObject>

class QSocketNotifier;

class QueuePump final : public QObject {
    Q_OBJECT

  public:
    explicit QueuePump(QObject* parent = nullptr);
    // Removes the pump hook.
    ~QueuePump() override;

    // dispatchWaiting: dispatches every window message waiting now (WM_QUIT ends Qt's loop).
    static void dispatchWaiting();

  private:
    QSocketNotifier* m_notifier;
};
