#pragma once
// frmAddFilterWizard: creates a new action filter or edits one in up to five steps: the
// condition, the action, the destination folder (move and copy only), the name mask, and a
// summary. Reaching the summary writes the filter (appended, or replacing the edited one in
// place), saves the list and refreshes the filter rows; Cancel before that changes nothing.
//
//   FilterWizard wizard(core, &window);
//   wizard.setID(0);     // a new filter; 1.. edits that filter
//   wizard.exec();

#include "renamer/engine/list_entries.h"

#include <QDialog>

#include <functional>

class QButtonGroup;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vantel {

class Core;

class FilterWizard final : public QDialog {
    Q_OBJECT

  public:
    // The folder picker: returns the chosen folder, or "" when cancelled. Tests put their own in
    // its place.
    using FolderChooser = std::function<QString(QWidget* parent, const QString& title)>;

    explicit FilterWizard(Core& core, QWidget* parent = nullptr);

    // setID: the filter to work on: 0 for a new one, else its row in the filter list. Fills the
    // fields from that filter and shows step 1.
    void setID(int32_t id);
    void setFolderChooser(FolderChooser chooser) { m_choose_folder = std::move(chooser); }

    int step() const { return m_step; }
    // showstep: shows step (1 to 5; 6 closes the wizard), as Next and Back do.
    void showstep(int step);

    // The fields as the user has filled them in.
    FilterChoices choices() const;

  public slots:
    void command_next_Click();
    void command_back_Click();
    void cmdBrowse_Click();

  private:
    QFrame* addStep(int step);
    void buildConditionStep();
    void buildActionStep();
    void buildPathStep();
    void buildMaskStep();
    void buildSummaryStep();
    void writeFilter();

    Core& m_core;
    int32_t m_id = 0;        // the filter written at the summary; 0 until a new one is added
    bool m_editing = false;  // opened on an existing filter
    int m_step = 0;
    FolderChooser m_choose_folder;

    QFrame* m_frames[5] = {};
    QLabel* m_title = nullptr;
    QLabel* m_subtitle = nullptr;
    QPushButton* m_back = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_cancel = nullptr;
    QComboBox* m_subject = nullptr;
    QComboBox* m_operator = nullptr;
    QLineEdit* m_condition = nullptr;
    QButtonGroup* m_action = nullptr;
    QLabel* m_path_label = nullptr;
    QLineEdit* m_path = nullptr;
    QLineEdit* m_mask = nullptr;
    QLabel* m_summary_intro = nullptr;
    QLabel* m_info_filter = nullptr;
    QLabel* m_info_action = nullptr;
    QLabel* m_info_path_caption = nullptr;
    QLabel* m_info_path = nullptr;
    QLabel* m_info_mask = nullptr;
};

}  // namespace vantel
