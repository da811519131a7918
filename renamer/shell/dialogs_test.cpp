// The dialogs as a user meets them: opened from the window's menus, buttons and lists, filled
// in and closed with their buttons, under Qt's offscreen platform.

#include "renamer/common/reg.h"
#include "renamer/shell/about_dialog.h"
#include "renamer/shell/filter_wizard.h"
#include "renamer/shell/item_dialogs.h"
#include "renamer/shell/message_dialog.h"
#include "renamer/shell/prefs_dialog.h"
#include "renamer/shell/window_fixture.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <filesystem>
#include <fstream>

namespace vantel {

namespace {

template <class T>
T* child(QWidget* parent, const char* name) {
    T* widget = parent->findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

void click(QWidget* parent, const char* button) {
    child<QPushButton>(parent, button)->click();
}

class Dialogs : public Window {
  protected:
    void SetUp() override {
        Window::SetUp();
        std::filesystem::create_directories(core.settings().workdir);
        // The registry outlives each test: start from the settings the tests rely on.
        for (const char* name : {"confirm", "1msgskip$", "nocache", "logging", "context"})
            modReg::SaveSettingInt(name, 0);
        core.loadfilters();
        core.loadefilters();
        window.show();
    }
    QTreeWidget* filterList() { return find<QTreeWidget>("ListView2"); }
    QTreeWidget* exceptionList() { return find<QTreeWidget>("ListView3"); }

    // Queues a file and gives it a state, as a pass would have left it.
    void queueItem(const char* name, ItemState state, const char* show = "show") {
        core.add_to_queue(tree.file(name), false);
        QueueItem& item = core.item(core.queueCount());
        item.state = state;
        item.detected_show = show;
        item.filter_index = 1;
        core.update_lv(core.queueCount());
    }

    // The queue list's pop-up menu for a row, and which of its entries are enabled.
    QStringList enabledEntries(int row) {
        QTreeWidget* list = queueList();
        const QRect rect = list->visualItemRect(list->topLevelItem(row - 1));
        QMenu* menu = window.popupMenuAt(list, rect.center());
        EXPECT_EQ(menu, find<QMenu>("mnuList3"));
        QStringList names;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator() && action->isEnabled()) names << action->objectName();
        }
        return names;
    }
};

TEST_F(Dialogs, AMessageShowsItsTextAndOnceSilencedIsNotShownAgain) {
    bool offered = false;
    whenModal<MessageDialog>([&](MessageDialog* box) {
        EXPECT_EQ(box->windowTitle(), "Not Recommended");
        EXPECT_EQ(child<QLabel>(box, "e_title")->text(), "Not Recommended");
        EXPECT_TRUE(child<QLabel>(box, "e_title")->font().bold());
        EXPECT_EQ(child<QPlainTextEdit>(box, "e_desc")->toPlainText(), "one\ntwo");
        auto* dont_show = box->findChild<QCheckBox*>("chkDontShow");
        offered = dont_show != nullptr;
        if (dont_show) dont_show->setChecked(true);
        click(box, "cmdOK");
    });
    core.ShowMessage("Not Recommended", "one#two", kIconWarning, 1);
    EXPECT_TRUE(offered);
    EXPECT_EQ(modReg::GetSettingInt("1msgskip$"), 1);

    // Silenced: the call returns without a box (a box would be closed by the guard below).
    bool shown = false;
    QTimer::singleShot(300, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            shown = true;
            box->close();
        }
    });
    core.ShowMessage("Not Recommended", "one#two", kIconWarning, 1);
    EXPECT_FALSE(shown);

    // Id 0: always shown, never with the box.
    whenModal<MessageDialog>([&](MessageDialog* box) {
        offered = box->findChild<QCheckBox*>("chkDontShow") != nullptr;
        click(box, "cmdOK");
    });
    core.ShowMessage("Path not valid", "You must enter a complete path", kIconWarning, 0);
    EXPECT_FALSE(offered);
}

TEST_F(Dialogs, PreferencesLoadTheSettingsAndOkStoresThemNormalised) {
    core.settings().logging = 2;
    core.settings().confirm = false;
    bool verbose_shown = false;
    whenModal<PrefsDialog>([&](PrefsDialog* prefs) {
        EXPECT_EQ(prefs->windowTitle(), "Preferences");
        EXPECT_EQ(child<QCheckBox>(prefs, "Check1")->text(),
                  "Add To Context Menu for Folders && Video Files");
        verbose_shown = child<QCheckBox>(prefs, "Check5")->isChecked();
        child<QCheckBox>(prefs, "Check2")->setChecked(true);
        child<QLineEdit>(prefs, "txtTypes")->setText("AVI;.MKV;");
        click(prefs, "cmdOK");
    });
    window.findChild<QAction*>("mnuPrefs")->trigger();
    EXPECT_TRUE(verbose_shown);
    EXPECT_EQ(core.settings().types, "avi;mkv");
    EXPECT_EQ(modReg::GetSettingString("types"), "avi;mkv");
    EXPECT_TRUE(core.settings().confirm);
    EXPECT_EQ(modReg::GetSettingInt("confirm"), 1);

    // Cancel changes nothing.
    whenModal<PrefsDialog>([&](PrefsDialog* prefs) {
        child<QLineEdit>(prefs, "txtTypes")->setText("ogm");
        child<QCheckBox>(prefs, "Check2")->setChecked(false);
        click(prefs, "cmdCancel");
    });
    window.findChild<QAction*>("mnuPrefs")->trigger();
    EXPECT_EQ(core.settings().types, "avi;mkv");
    EXPECT_EQ(modReg::GetSettingInt("confirm"), 1);
}

TEST_F(Dialogs, TheConfirmationsDontShowAgainStillCancelsAndNoLaterOperationAsks) {
    core.settings().confirm = true;
    core.add_to_queue(tree.file("tv/Show.Name.S01E05.mkv"), false);
    core.add_to_queue(tree.file("tv/Show.Name.S01E06.mkv"), false);
    int asked = 0;
    whenModal<ConfirmDialog>([&](ConfirmDialog* confirm) {
        ++asked;
        EXPECT_EQ(confirm->windowTitle(), "Confirm File Rename");
        EXPECT_EQ(child<QLabel>(confirm, "lblQuestion")->text(), "Continue with file rename?");
        auto* from = child<QLineEdit>(confirm, "txtFrom");
        EXPECT_EQ(from->text().toStdString(), tree.file("tv/Show.Name.S01E05.mkv"));
        EXPECT_EQ(from->cursorPosition(), from->text().size());
        auto* to = child<QLineEdit>(confirm, "txtTo");
        EXPECT_EQ(to->text(), "/target/Show - 1x05 - Pilot.mkv");
        EXPECT_EQ(to->cursorPosition(), to->text().size());
        child<QCheckBox>(confirm, "chkDontShow")->setChecked(true);
        // Switched off the moment it is ticked.
        EXPECT_EQ(modReg::GetSettingInt("confirm"), 0);
        click(confirm, "cmdCancel");
    });
    core.process_queue();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(core.item(1).state, kStateCancelled);
    EXPECT_EQ(core.item(2).state, kStateDone);
    EXPECT_FALSE(core.settings().confirm);
    EXPECT_EQ(stages.calls[1], 5);  // no file operation for the cancelled item
}

TEST_F(Dialogs, AddExceptionFromTheTabStartsEmptyAndChecksBothNames) {
    find<QTabWidget>("TabStrip1")->setCurrentIndex(2);
    const int before = core.exceptions().count();
    QStringList messages;
    whenModal<ManualDialog>([&](ManualDialog* manual) {
        EXPECT_EQ(manual->windowTitle(), "Add Exception");
        auto* detected = child<QLineEdit>(manual, "txtDetected");
        auto* new_name = child<QLineEdit>(manual, "txtNew");
        EXPECT_TRUE(detected->text().isEmpty());
        EXPECT_FALSE(detected->isReadOnly());
        EXPECT_TRUE(new_name->text().isEmpty());
        for (int i = 0; i < 2; ++i) {
            whenModal<MessageDialog>([&](MessageDialog* box) {
                messages << box->windowTitle();
                click(box, "cmdOK");
            });
            click(manual, "cmdOK");
            detected->setText("Law and Order SVU");
        }
        new_name->setText("Law & Order: Special Victims Unit");
        click(manual, "cmdOK");
    });
    click(&window, "Command6");
    EXPECT_EQ(messages, (QStringList{"Detected Name Required", "New Name Required"}));
    ASSERT_EQ(core.exceptions().count(), before + 1);
    EXPECT_EQ(exceptionList()->topLevelItemCount(), before + 1);
    EXPECT_EQ(exceptionList()->topLevelItem(before)->text(1), "Law & Order: Special Victims Unit");
}

TEST_F(Dialogs, AddExceptionForAFailedItemLocksItsDetectedName) {
    queueItem("tv/Lost.S01E01.mkv", kStateFailed, "lost");
    ASSERT_TRUE(enabledEntries(1).contains("mnuSpecify"));
    whenModal<ManualDialog>([&](ManualDialog* manual) {
        auto* detected = child<QLineEdit>(manual, "txtDetected");
        EXPECT_EQ(detected->text(), "lost");
        EXPECT_TRUE(detected->isReadOnly());
        click(manual, "cmdCancel");
    });
    window.findChild<QAction*>("mnuSpecify")->trigger();
}

TEST_F(Dialogs, TheQueueMenuEnablesEntriesByTheItemsState) {
    queueItem("tv/a.mkv", kStateInactive);
    queueItem("tv/b.mkv", kStateDone);
    queueItem("tv/c.mkv", kStateFailed);
    queueItem("tv/d.mkv", kStateCancelled, "");
    stages.action = kActionCopy;
    EXPECT_EQ(enabledEntries(1), (QStringList{"mnuRetry"}));
    EXPECT_EQ(enabledEntries(2), (QStringList{"mnuInfo", "mnuUndo", "mnuRetry"}));
    EXPECT_EQ(window.findChild<QAction*>("mnuUndo")->text(), "Undo Copy/Rename");
    EXPECT_EQ(enabledEntries(3), (QStringList{"mnuInfo", "mnuSpecify", "mnuRetry"}));
    EXPECT_EQ(window.findChild<QAction*>("mnuUndo")->text(), "Undo Rename");
    EXPECT_EQ(enabledEntries(4), (QStringList{"mnuInfo", "mnuRetry"}));

    // The filter and exception lists: their menu on a row, the "Add" menu when empty.
    QTreeWidget* filters = filterList();
    QRect rect = filters->visualItemRect(filters->topLevelItem(0));
    EXPECT_EQ(window.popupMenuAt(filters, rect.center()), find<QMenu>("mnuList"));
    EXPECT_EQ(window.popupMenuAt(exceptionList(), QPoint(5, 5)), find<QMenu>("mnuList5"));
}

TEST_F(Dialogs, ItemInfoShowsTheDoneItemWithItsLinksAndCutsLongNames) {
    const std::string long_name(120, 'x');
    queueItem(("tv/" + long_name + ".mkv").c_str(), kStateDone);
    core.item(1).new_name = "Show - 1x05 - Pilot.mkv";
    core.item(1).show_url = "\"https://www.tvmaze.com/shows/1/show\"";
    queueItem("tv/Waiting.S01E01.mkv", kStateInactive);

    int opened = 0;
    whenModal<InfoDialog>([&](InfoDialog* info) {
        ++opened;
        EXPECT_EQ(info->windowTitle(), "Item Info");
        const QString name = child<QLabel>(info, "lblFilename")->text();
        EXPECT_TRUE(name.startsWith("Filename: xxx"));
        EXPECT_TRUE(name.endsWith("..."));
        EXPECT_EQ(child<QLabel>(info, "lblStatus")->text(), "Status: Done");
        EXPECT_EQ(child<QLabel>(info, "lblNewName")->text(), "New Name: Show - 1x05 - Pilot.mkv");
        EXPECT_TRUE(child<QLabel>(info, "lblShowLink")
                        ->text()
                        .contains("href=\"https://www.tvmaze.com/shows/1/show\""));
        click(info, "cmdClose");
    });
    emit queueList()->itemDoubleClicked(queueList()->topLevelItem(0), 0);
    EXPECT_EQ(opened, 1);
    // A waiting item has nothing to show: the double click does nothing (no dialog to close).
    emit queueList()->itemDoubleClicked(queueList()->topLevelItem(1), 0);
    EXPECT_EQ(opened, 1);
}

TEST_F(Dialogs, ANewRenameFilterWithNoConditionMatchesAnything) {
    const int before = core.filters().count();
    whenModal<FilterWizard>([&](FilterWizard* wizard) {
        EXPECT_EQ(wizard->windowTitle(), "Add Filter Wizard");
        EXPECT_EQ(child<QLabel>(wizard, "info_title1")->text(), "Step 1 - Filter Conditions");
        EXPECT_FALSE(child<QPushButton>(wizard, "command_back")->isEnabled());
        click(wizard, "command_next");
        EXPECT_EQ(wizard->step(), 2);
        EXPECT_TRUE(child<QRadioButton>(wizard, "Option1_0")->isChecked());
        click(wizard, "command_next");  // Rename: the path step is skipped
        EXPECT_EQ(wizard->step(), 4);
        EXPECT_EQ(child<QLabel>(wizard, "info_title1")->text(), "Step 3 - File Name");
        EXPECT_EQ(child<QLineEdit>(wizard, "txtMask")->text(), "[show] - [s]x[ee] - [title]");
        click(wizard, "command_back");
        EXPECT_EQ(wizard->step(), 2);
        click(wizard, "command_next");
        click(wizard, "command_next");
        EXPECT_EQ(wizard->step(), 5);
        EXPECT_EQ(child<QLabel>(wizard, "info_title1")->text(), "Filter Added");
        EXPECT_EQ(child<QLabel>(wizard, "info_filter")->text(), "Anything");
        EXPECT_EQ(child<QLabel>(wizard, "info_action")->text(), "Rename");
        EXPECT_FALSE(child<QLabel>(wizard, "info_path")->isVisible());
        EXPECT_EQ(child<QPushButton>(wizard, "command_next")->text(), "Finish");
        EXPECT_FALSE(child<QPushButton>(wizard, "command_cancel")->isEnabled());
        // Back and Finish again: still one new filter.
        click(wizard, "command_back");
        click(wizard, "command_next");
        click(wizard, "command_next");
    });
    click(&window, "Command2");
    ASSERT_EQ(core.filters().count(), before + 1);
    const ActionFilter& added = core.filters().at(before + 1);
    EXPECT_EQ(added.show_pattern, "*");
    EXPECT_EQ(added.type_pattern, "");
    EXPECT_EQ(added.dest_folder, "");
    EXPECT_EQ(added.action, kActionRename);
    EXPECT_TRUE(added.enabled);
    EXPECT_EQ(filterList()->topLevelItemCount(), before + 1);
    EXPECT_TRUE(std::filesystem::exists(core.settings().workdir + "filters.dat"));
}

TEST_F(Dialogs, AMoveFilterNeedsACompletePathAndEditingReplacesInPlace) {
    const int before = core.filters().count();
    QStringList messages;
    FilterWizard wizard(core, &window);
    wizard.setID(0);
    wizard.show();
    child<QComboBox>(&wizard, "Combo1")->setCurrentIndex(1);
    child<QLineEdit>(&wizard, "txtCond")->setText(".MKV");
    wizard.command_next_Click();
    EXPECT_EQ(child<QLineEdit>(&wizard, "txtCond")->text(), "MKV");
    child<QRadioButton>(&wizard, "Option1_1")->setChecked(true);
    wizard.command_next_Click();
    EXPECT_EQ(wizard.step(), 3);
    EXPECT_EQ(child<QLabel>(&wizard, "lblPath")->text(), "Directory to move new files to:");
    child<QLineEdit>(&wizard, "txtPath")->setText("/t");
    whenModal<MessageDialog>([&](MessageDialog* box) {
        messages << box->windowTitle();
        click(box, "cmdOK");
    });
    wizard.command_next_Click();
    EXPECT_EQ(messages, QStringList{"Path not valid"});
    EXPECT_EQ(wizard.step(), 3);
    wizard.setFolderChooser([](QWidget*, const QString& title) {
        EXPECT_EQ(title, "Select path to move new files to");
        return QString("/tv/shows");
    });
    wizard.cmdBrowse_Click();
    wizard.command_next_Click();
    EXPECT_EQ(wizard.step(), 4);
    wizard.command_next_Click();
    EXPECT_EQ(child<QLabel>(&wizard, "info_filter")->text(), "File Type Equals MKV");
    EXPECT_EQ(child<QLabel>(&wizard, "info_action")->text(), "Move & Rename");
    ASSERT_EQ(core.filters().count(), before + 1);
    EXPECT_EQ(core.filters().at(before + 1).type_pattern, "mkv");
    EXPECT_EQ(core.filters().at(before + 1).dest_folder, "/tv/shows/");

    // Editing it: the fields come back, and the count stays.
    FilterWizard edit(core, &window);
    edit.setID(before + 1);
    EXPECT_EQ(edit.windowTitle(), "Edit Filter Wizard");
    EXPECT_EQ(child<QComboBox>(&edit, "Combo1")->currentText(), "File Type");
    EXPECT_EQ(child<QLineEdit>(&edit, "txtPath")->text(), "/tv/shows/");
    child<QLineEdit>(&edit, "txtCond")->setText("avi");
    for (int i = 0; i < 4; ++i)
        edit.command_next_Click();
    EXPECT_EQ(edit.step(), 5);
    EXPECT_EQ(child<QLabel>(&edit, "info_title1")->text(), "Filter Edited");
    EXPECT_EQ(core.filters().count(), before + 1);
    EXPECT_EQ(core.filters().at(before + 1).type_pattern, "avi");

    // Cancel before the summary changes nothing.
    FilterWizard cancelled(core, &window);
    cancelled.setID(0);
    cancelled.command_next_Click();
    cancelled.reject();
    EXPECT_EQ(core.filters().count(), before + 1);
}

TEST_F(Dialogs, MoveUpOnTheFirstFilterSavesNothingAndMovingReselects) {
    const std::string file = core.settings().workdir + "filters.dat";
    ASSERT_FALSE(std::filesystem::exists(file));
    find<QTabWidget>("TabStrip1")->setCurrentIndex(1);
    filterList()->setCurrentItem(filterList()->topLevelItem(0));
    click(&window, "Command3");
    EXPECT_FALSE(std::filesystem::exists(file));

    FilterChoices second;
    second.condition = "lost";
    ASSERT_TRUE(core.addFilter(wizardFilter(second)));
    filterList()->setCurrentItem(filterList()->topLevelItem(1));
    click(&window, "Command3");
    EXPECT_EQ(core.filters().at(1).show_pattern, "lost");
    EXPECT_EQ(filterList()->currentItem(), filterList()->topLevelItem(0));
    click(&window, "Command1");
    EXPECT_EQ(core.filters().at(2).show_pattern, "lost");
    EXPECT_EQ(filterList()->currentItem(), filterList()->topLevelItem(1));
}

TEST_F(Dialogs, AboutShowsTheVersionAndCtrlSLogsTheControlsVersion) {
    whenModal<AboutDialog>([&](AboutDialog* about) {
        EXPECT_EQ(about->windowTitle(), "About Vantel");
        EXPECT_EQ(child<QLabel>(about, "lblVersion")->text(),
                  QString("Version 4.0  Build %1").arg(kVersionBuild));
        // Ctrl+S, as the user presses it in the box.
        QApplication::setActiveWindow(about);
        QTest::keyClick(about, Qt::Key_S, Qt::ControlModifier);
        click(about, "cmdOK");
    });
    window.findChild<QAction*>("mnuAbout")->trigger();
    const QStringList lines = logLines(log());
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.last().contains(") Using Wirran 6.")) << lines.last().toStdString();
}

}  // namespace

}  // namespace vantel
