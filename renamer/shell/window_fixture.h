#pragma once
// The window tests' fixture: a main window over an application with scripted stages, in a tree
// of its own, and small helpers to read the window and answer its modal dialogs.

#include "renamer/common/version.h"
#include "renamer/engine/application.h"
#include "renamer/engine/test_core.h"
#include "renamer/engine/test_tree.h"
#include "renamer/shell/mainwindow.h"
#include "renamer/shell/queue_pump.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

namespace vantel {

inline QStringList headers(QTreeWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->columnCount(); ++i)
        texts << list->headerItem()->text(i);
    return texts;
}

// Names of a menu's entries in order ("-" for a separator) with their captions.
inline QStringList entries(QMenu* menu) {
    QStringList texts;
    for (QAction* action : menu->actions())
        texts << action->objectName() + ":" + (action->isSeparator() ? "-" : action->text());
    return texts;
}

inline QStringList logLines(QListWidget* log) {
    QStringList lines;
    for (int i = 0; i < log->count(); ++i)
        lines << log->item(i)->text();
    return lines;
}

inline bool anyLineEndsWith(QListWidget* log, const QString& text) {
    for (const QString& line : logLines(log)) {
        if (line.endsWith(") " + text)) return true;
    }
    return false;
}

class Window : public ::testing::Test {
  protected:
    void SetUp() override {
        core.settings().workdir = tree.path("work/");
        window.attach(&core);
    }
    void TearDown() override { window.attach(nullptr); }
    template <class T>
    T* find(const char* name) {
        T* widget = window.findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QTreeWidget* queueList() { return find<QTreeWidget>("ListView1"); }
    QListWidget* log() { return find<QListWidget>("List3"); }
    static void settle() {
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
    }

    static ApplicationOptions options(MainWindow* window, ScriptedStages* stages) {
        ApplicationOptions o;
        o.view = window;
        o.stages = stages;
        o.caption = mainCaption();
        o.pump_hook = &QueuePump::processQtEvents;
        return o;
    }

    TestTree tree;
    QueuePump pump;
    MainWindow window;
    ScriptedStages stages;
    Application app{options(&window, &stages)};
    Core& core = app.core();
};

// whenModal: once a modal dialog of type T is in front (after the call that opens it has
// started its own event loop), runs act on it. The dialog must close in act, or later.
template <class T>
void whenModal(std::function<void(T*)> act) {
    auto attempt = std::make_shared<std::function<void(int)>>();
    *attempt = [act, attempt](int left) {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            act(dialog);
        } else if (left > 0) {
            QTimer::singleShot(10, [attempt, left] { (*attempt)(left - 1); });
        } else {
            ADD_FAILURE() << "no modal " << T::staticMetaObject.className() << " appeared";
        }
    };
    QTimer::singleShot(0, [attempt] { (*attempt)(300); });
}

}  // namespace vantel
