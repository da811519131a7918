#include "renamer/shell/mainwindow.h"

#include "renamer/common/version.h"
#include "renamer/engine/application.h"
#include "renamer/engine/instance.h"
#include "renamer/engine/test_core.h"
#include "renamer/engine/test_tree.h"
#include "renamer/shell/queue_pump.h"
#include "renamer/shell/window_fixture.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QHeaderView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QUrl>

#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace vantel {

namespace {

TEST_F(Window, ShowsTheCaptionsColumnsAndMenusOfTheMainWindow) {
    EXPECT_EQ(window.windowTitle(), "Vantel 4.0");
    auto* tabs = find<QTabWidget>("TabStrip1");
    ASSERT_EQ(tabs->count(), 3);
    EXPECT_EQ(tabs->tabText(0), "File Queue");
    EXPECT_EQ(tabs->tabText(1), "Filter List");
    EXPECT_EQ(tabs->tabText(2), "Exceptions");
    EXPECT_EQ(headers(queueList()), (QStringList{"Filename", "New Name", "Status"}));
    EXPECT_EQ(headers(find<QTreeWidget>("ListView2")),
              (QStringList{"Filter", "Action", "File Mask", "Path"}));
    EXPECT_EQ(headers(find<QTreeWidget>("ListView3")),
              (QStringList{"Detected Show Name", "New Show Name"}));
    const std::pair<const char*, const char*> buttons[] = {
        {"Command2", "Add New"}, {"Command3", "Move Up"}, {"Command1", "Move Down"},
        {"Command6", "Add New"}, {"Command4", "Move Up"}, {"Command5", "Move Down"}};
    for (const auto& [name, caption] : buttons)
        EXPECT_EQ(find<QPushButton>(name)->text(), caption);

    QStringList bar;
    for (QAction* action : window.menuBar()->actions())
        bar << action->text();
    EXPECT_EQ(bar, (QStringList{"File", "Options", "Help"}));
    EXPECT_EQ(entries(find<QMenu>("mnuFile")),
              (QStringList{"mnuOpen:Add File", "mnuSpacer1:-", "mnuExit:Exit"}));
    EXPECT_EQ(entries(find<QMenu>("mnuOptions")),
              (QStringList{"mnuSpacer6:-", "mnuPrefs:Preferences"}));
    EXPECT_EQ(entries(find<QMenu>("mnuHelp")),
              (QStringList{"mnuHelpGuide:Vantel Help", "mnuUpdate:Check For Updates",
                           "mnuWeb:Vantel Website", "mnuSpacer2:-", "mnuAbout:About Vantel"}));
    EXPECT_EQ(entries(find<QMenu>("mnuTray")),
              (QStringList{"mnuShow:Hide", "mnuSpacer4:-", "mnuExit2:Exit"}));
    EXPECT_EQ(entries(find<QMenu>("mnuList3")),
              (QStringList{"mnuInfo:Item Info", "mnuUndo:Undo Rename", "mnuSpecify:Add Exception",
                           "mnuSpacer3:-", "mnuRetry:Retry Failed"}));
    EXPECT_EQ(entries(find<QMenu>("mnuList5")), (QStringList{"mnuAddEx2:Add Exception"}));
}

TEST_F(Window, EachTabShowsItsListAndButtonsOnly) {
    window.show();
    auto* tabs = find<QTabWidget>("TabStrip1");
    struct Case {
        int tab;
        std::vector<const char*> shown;
        std::vector<const char*> hidden;
    };
    const Case cases[] = {
        {1,
         {"ListView2", "Command2", "Command3", "Command1"},
         {"ListView1", "ListView3", "Command6", "Command4", "Command5"}},
        {2,
         {"ListView3", "Command6", "Command4", "Command5"},
         {"ListView1", "ListView2", "Command2", "Command3", "Command1"}},
        {0,
         {"ListView1"},
         {"ListView2", "ListView3", "Command2", "Command3", "Command1", "Command6", "Command4",
          "Command5"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tab);
        tabs->setCurrentIndex(c.tab);
        for (const char* name : c.shown)
            EXPECT_TRUE(find<QWidget>(name)->isVisible()) << name;
        for (const char* name : c.hidden)
            EXPECT_FALSE(find<QWidget>(name)->isVisible()) << name;
        EXPECT_TRUE(log()->isVisible());
    }
}

TEST_F(Window, AddFileQueuesEveryChosenFileWithItsFullPathAndCancelAddsNothing) {
    core.flags().loaded = true;
    const QStringList chosen = {QString::fromStdString(tree.file("tv/Show.Name.S01E01.mkv")),
                                QString::fromStdString(tree.file("tv/Show.Name.S01E02.avi")),
                                QString::fromStdString(tree.file("tv/Show.Name.S01E03.mp4"))};
    QString title, filter;
    bool loaded_meanwhile = true;
    window.setFileChooser([&](QWidget*, const QString& t, const QString& f) {
        title = t;
        filter = f;
        loaded_meanwhile = core.flags().loaded;
        return QStringList();
    });
    window.mnuOpen_Click();
    EXPECT_EQ(title, "Select File");
    EXPECT_EQ(filter, "Supported Types (*.avi *.mkv *.mpg *.mp4);;All Files (*)");
    EXPECT_FALSE(loaded_meanwhile);
    EXPECT_TRUE(core.flags().loaded);
    EXPECT_EQ(core.queueCount(), 0);
    EXPECT_EQ(queueList()->topLevelItemCount(), 0);
    EXPECT_FALSE(core.timer1Enabled());

    window.setFileChooser([&](QWidget*, const QString&, const QString&) { return chosen; });
    window.mnuOpen_Click();
    ASSERT_EQ(core.queueCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(QString::fromStdString(core.item(i + 1).path), chosen[i]);
        EXPECT_EQ(queueList()->topLevelItem(i)->text(0), QString("Show.Name.S01E0%1").arg(i + 1));
        EXPECT_EQ(queueList()->topLevelItem(i)->text(2), "Inactive");
    }
    EXPECT_TRUE(core.timer1Enabled());
    EXPECT_TRUE(core.flags().loaded);
    EXPECT_EQ(MainWindow::qtFileFilter("Supported Types|*.ogm|All Files|*.*"),
              "Supported Types (*.ogm);;All Files (*)");
}

TEST_F(Window, FilesDroppedOntoTheWindowAreQueuedInTheirOrder) {
    window.show();
    QMimeData data;
    const std::string second = tree.file("b/Show.Name.S02E01.mkv");
    const std::string first = tree.file("a/Show.Name.S02E02.mkv");
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(second)),
                  QUrl::fromLocalFile(QString::fromStdString(first))});
    // As a drag from a file manager arrives: entering first (which picks the target), then the
    // drop.
    QDragEnterEvent enter(QPoint(20, 60), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 60), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    ASSERT_EQ(core.queueCount(), 2);
    EXPECT_EQ(core.item(1).path, second);
    EXPECT_EQ(core.item(2).path, first);
}

TEST_F(Window, MinimisingHidesToTheTrayAndShowBringsItBack) {
    window.useTray(true);
    window.addTrayIcon();
    core.flags().loaded = true;
    window.show();
    settle();
    auto* show = window.findChild<QAction*>("mnuShow");
    EXPECT_EQ(show->text(), "Hide");
    window.showMinimized();
    settle();
    EXPECT_TRUE(window.isMinimized());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(show->text(), "Show");
    show->trigger();
    settle();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    EXPECT_EQ(show->text(), "Hide");
    show->trigger();  // "Hide" minimises, which hides
    settle();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(show->text(), "Show");
}

TEST_F(Window, WithoutATrayMinimisingKeepsTheWindowReachableAndSaysWhyOnce) {
    window.useTray(false);
    window.addTrayIcon();
    window.addTrayIcon();
    EXPECT_FALSE(window.hasTray());
    int notes = 0;
    for (const QString& line : logLines(log()))
        notes += line.contains("No notification area");
    EXPECT_EQ(notes, 1);
    window.show();
    window.showMinimized();
    settle();
    EXPECT_TRUE(window.isMinimized());
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.findChild<QAction*>("mnuShow")->text(), "Show");
}

TEST_F(Window, ClosingWhileAnItemIsWorkedOnWaitsForTheStepToEnd) {
    window.show();
    core.add_to_queue(tree.file("Show.Name.S01E05.mkv"), false);
    bool closed_during_pass = true;
    bool visible_during_pass = false;
    stages.on_fileops = [&](Core&, int32_t) {
        closed_during_pass = window.close();
        visible_during_pass = window.isVisible();
        return true;
    };
    core.process_queue();
    EXPECT_FALSE(closed_during_pass);
    EXPECT_TRUE(visible_during_pass);
    EXPECT_TRUE(anyLineEndsWith(log(), "Got quit signal, finishing up..."));
    // The step ended: the driver closed the window, and the row shows how the item went.
    EXPECT_TRUE(core.unloaded());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(queueList()->topLevelItem(0)->text(2), "Done");
    EXPECT_EQ(queueList()->topLevelItem(0)->text(1), "Show - 1x05 - Pilot");
}

TEST_F(Window, ClosingWhenIdleClosesAtOnce) {
    window.show();
    EXPECT_TRUE(window.close());
    EXPECT_TRUE(core.unloaded());
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(anyLineEndsWith(log(), "Got quit signal, finishing up..."));
}

TEST_F(Window, TheHandOverMessageQueuesOnlyWithItsTagAndKind) {
    window.show();
    const std::string file = tree.file("Show.Name.S03E04.mkv");
    const std::string queue_text = kHandOverPrefix + file;
    const std::string other_kind = "KQ|XX|C=" + file;
    const std::string other_tag = "QK|PI|C=" + file;
    const std::pair<ULONG_PTR, const std::string*> ignored[] = {
        {2, &queue_text}, {0, &queue_text}, {3, &other_kind}, {3, &other_tag}};
    for (const auto& [tag, text] : ignored) {
        COPYDATASTRUCT data{tag, static_cast<DWORD>(text->size() + 1),
                            const_cast<char*>(text->c_str())};
        SendMessageA(core.hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }
    settle();
    EXPECT_EQ(queueList()->topLevelItemCount(), 0);
    COPYDATASTRUCT data{3, static_cast<DWORD>(queue_text.size() + 1),
                        const_cast<char*>(queue_text.c_str())};
    SendMessageA(core.hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    ASSERT_EQ(queueList()->topLevelItemCount(), 1);
    EXPECT_EQ(queueList()->topLevelItem(0)->text(0), "Show.Name.S03E04");

    ASSERT_TRUE(SendToRunningInstance(kUnloadText));
    EXPECT_TRUE(core.unloaded());
    EXPECT_FALSE(window.isVisible());
}

TEST_F(Window, TheLogShowsItsNewestLineUnmarked) {
    core.settings().logging = 1;
    core.debug_log("first", 1);
    core.debug_log("detail", 2);
    core.debug_log("", 1);
    ASSERT_EQ(log()->count(), 2);
    EXPECT_TRUE(log()->item(0)->text().endsWith(") first"));
    EXPECT_TRUE(log()->item(1)->text().endsWith(") "));
    EXPECT_EQ(log()->currentRow(), 1);
    EXPECT_TRUE(log()->selectedItems().isEmpty());
}

TEST_F(Window, HelpOpensTheShippedGuideWithTheDesktopHandler) {
    const std::string opened = tree.path("opened.txt");
    const std::string handler = tree.path("handler.sh");
    {
        std::ofstream script(handler);
        script << "#!/bin/sh\nprintf '%s' \"$1\" > '" << opened << "'\n";
    }
    ASSERT_EQ(::chmod(handler.c_str(), 0755), 0);
    ::setenv("VANTEL_OPEN_PROGRAM", handler.c_str(), 1);
    window.findChild<QAction*>("mnuHelpGuide")->trigger();
    std::string text;
    for (int i = 0; i < 500 && text.empty(); ++i) {
        std::ifstream in(opened);
        std::getline(in, text);
        if (text.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::unsetenv("VANTEL_OPEN_PROGRAM");
    const std::string shipped = "/share/vantel/vantel-help.html";
    ASSERT_GT(text.size(), shipped.size());
    EXPECT_EQ(text.substr(text.size() - shipped.size()), shipped);
    std::ifstream guide(text);
    std::string first_line;
    std::getline(guide, first_line);
    EXPECT_EQ(first_line, "<!DOCTYPE html>");
    EXPECT_FALSE(anyLineEndsWith(log(), "Help File not found in program directory"));
}

}  // namespace

}  // namespace vantel
