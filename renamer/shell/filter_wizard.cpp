#include "renamer/shell/filter_wizard.h"

#include "renamer/engine/core.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vantel {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

QString chooseFolder(QWidget* parent, const QString& title) {
    return QFileDialog::getExistingDirectory(parent, title);
}

QLabel* note(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

// The actions' captions as the summary shows them ("&&" is one "&" on a button only).
QString actionCaption(FileAction action) {
    return qs(actionText(action));
}

}  // namespace

FilterWizard::FilterWizard(Core& core, QWidget* parent)
    : QDialog(parent), m_core(core), m_choose_folder(chooseFolder) {
    setObjectName("frmAddFilterWizard");
    setWindowTitle("Add Filter Wizard");
    setModal(true);

    m_title = new QLabel(this);
    m_title->setObjectName("info_title1");
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_subtitle = new QLabel(this);
    m_subtitle->setObjectName("info_title2");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addWidget(m_subtitle);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    layout->addWidget(line);

    buildConditionStep();
    buildActionStep();
    buildPathStep();
    buildMaskStep();
    buildSummaryStep();
    for (QFrame* frame : m_frames)
        layout->addWidget(frame);
    layout->addStretch();

    m_back = new QPushButton("Back", this);
    m_back->setObjectName("command_back");
    m_next = new QPushButton("Next ", this);
    m_next->setObjectName("command_next");
    m_next->setDefault(true);
    m_cancel = new QPushButton("Cancel", this);
    m_cancel->setObjectName("command_cancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_back);
    buttons->addWidget(m_next);
    buttons->addWidget(m_cancel);
    layout->addLayout(buttons);
    connect(m_back, &QPushButton::clicked, this, &FilterWizard::command_back_Click);
    connect(m_next, &QPushButton::clicked, this, &FilterWizard::command_next_Click);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    setMinimumSize(460, 300);
    setID(0);
}

QFrame* FilterWizard::addStep(int step) {
    auto* frame = new QFrame(this);
    frame->setObjectName(QString("frame_step%1").arg(step));
    m_frames[step - 1] = frame;
    return frame;
}

void FilterWizard::buildConditionStep() {
    QFrame* frame = addStep(1);
    m_subject = new QComboBox(frame);
    m_subject->setObjectName("Combo1");
    m_subject->addItems({"Show Name", "File Type"});
    m_operator = new QComboBox(frame);
    m_operator->setObjectName("Combo2");
    m_operator->addItems({"Equals", "Doesn't Equal"});
    m_condition = new QLineEdit(frame);
    m_condition->setObjectName("txtCond");
    auto* grid = new QGridLayout(frame);
    grid->addWidget(m_subject, 0, 0);
    grid->addWidget(m_operator, 0, 1);
    grid->addWidget(m_condition, 0, 2);
    grid->addWidget(note("Conditions are not case sensitive.", frame), 1, 0, 1, 3);
    grid->addWidget(note("Wildcards are supported. Leave blank for anything.", frame), 2, 0, 1, 3);
}

void FilterWizard::buildActionStep() {
    QFrame* frame = addStep(2);
    auto* box = new QVBoxLayout(frame);
    box->addWidget(note("Action to take:", frame));
    m_action = new QButtonGroup(this);
    const std::pair<FileAction, const char*> options[] = {{kActionRename, "Rename"},
                                                          {kActionMove, "Move && Rename"},
                                                          {kActionCopy, "Copy && Rename"}};
    int i = 0;
    for (const auto& [action, caption] : options) {
        auto* option = new QRadioButton(caption, frame);
        option->setObjectName(QString("Option1_%1").arg(i++));
        m_action->addButton(option, action);
        box->addWidget(option);
    }
}

void FilterWizard::buildPathStep() {
    QFrame* frame = addStep(3);
    m_path_label = new QLabel(frame);
    m_path_label->setObjectName("lblPath");
    m_path = new QLineEdit(frame);
    m_path->setObjectName("txtPath");
    auto* browse = new QPushButton("...", frame);
    browse->setObjectName("cmdBrowse");
    connect(browse, &QPushButton::clicked, this, &FilterWizard::cmdBrowse_Click);
    auto* grid = new QGridLayout(frame);
    grid->addWidget(m_path_label, 0, 0, 1, 2);
    grid->addWidget(m_path, 1, 0);
    grid->addWidget(browse, 1, 1);
    grid->addWidget(note("Available variables: ", frame), 2, 0, 1, 2);
    grid->addWidget(note("[show] - Show Name", frame), 3, 0, 1, 2);
    grid->addWidget(note("[s] - Season (eg 1),   [ss] - Season (eg 01)", frame), 4, 0, 1, 2);
}

void FilterWizard::buildMaskStep() {
    QFrame* frame = addStep(4);
    m_mask = new QLineEdit(frame);
    m_mask->setObjectName("txtMask");
    auto* box = new QVBoxLayout(frame);
    box->addWidget(note("New file name mask:", frame));
    box->addWidget(m_mask);
    for (const char* text :
         {"Available variables: ", "[show] - Show Name,   [title] - Episode Title",
          "[s] - Season (eg 1),   [ss] - Season (eg 01)",
          "[e] - Episode (eg 1),   [ee] - Episode (eg 01)"})
        box->addWidget(note(text, frame));
}

void FilterWizard::buildSummaryStep() {
    QFrame* frame = addStep(5);
    m_summary_intro = note("", frame);
    m_summary_intro->setObjectName("lblSummary");
    auto make = [frame](const char* name) {
        auto* label = new QLabel(frame);
        label->setObjectName(name);
        label->setTextFormat(Qt::PlainText);
        return label;
    };
    m_info_filter = make("info_filter");
    m_info_action = make("info_action");
    m_info_path = make("info_path");
    m_info_mask = make("info_mask");
    m_info_path_caption = new QLabel("Patth:", frame);
    m_info_path_caption->setObjectName("lblInfoPath");
    auto* grid = new QGridLayout(frame);
    grid->addWidget(m_summary_intro, 0, 0, 1, 2);
    grid->addWidget(new QLabel("Filter:", frame), 1, 0);
    grid->addWidget(m_info_filter, 1, 1);
    grid->addWidget(new QLabel("Action:", frame), 2, 0);
    grid->addWidget(m_info_action, 2, 1);
    grid->addWidget(m_info_path_caption, 3, 0);
    grid->addWidget(m_info_path, 3, 1);
    grid->addWidget(new QLabel("Mask:", frame), 4, 0);
    grid->addWidget(m_info_mask, 4, 1);
    grid->setColumnStretch(1, 1);
}

void FilterWizard::setID(int32_t id) {
    m_id = m_core.filters().validIndex(id) ? id : 0;
    m_editing = m_id != 0;
    setWindowTitle(m_editing ? "Edit Filter Wizard" : "Add Filter Wizard");
    FilterChoices fields;
    if (m_id) fields = filterChoices(m_core.filters().at(m_id));
    m_subject->setCurrentIndex(fields.file_type ? 1 : 0);
    m_operator->setCurrentIndex(fields.doesnt_equal ? 1 : 0);
    m_condition->setText(qs(fields.condition));
    const FileAction action = m_id ? fields.action : kActionRename;
    if (QAbstractButton* option = m_action->button(action)) option->setChecked(true);
    m_path->setText(qs(fields.path));
    m_mask->setText(qs(fields.mask));
    showstep(1);
}

FilterChoices FilterWizard::choices() const {
    FilterChoices c;
    c.file_type = m_subject->currentIndex() == 1;
    c.doesnt_equal = m_operator->currentIndex() == 1;
    c.condition = m_condition->text().toStdString();
    c.action = static_cast<FileAction>(m_action->checkedId());
    c.path = m_path->text().toStdString();
    c.mask = m_mask->text().toStdString();
    return c;
}

void FilterWizard::showstep(int step) {
    if (step >= 6) {
        accept();
        return;
    }
    m_step = step;
    for (int i = 0; i < 5; ++i)
        m_frames[i]->setVisible(i + 1 == step);
    m_back->setEnabled(step > 1);
    m_next->setText(step == 5 ? "Finish" : "Next ");
    m_cancel->setEnabled(step < 5);

    const FileAction action = choices().action;
    switch (step) {
        case 1:
            m_title->setText("Step 1 - Filter Conditions");
            m_subtitle->setText("Specify the critera of this filter");
            break;
        case 2:
            m_title->setText("Step 2 - Filter Options");
            m_subtitle->setText("Select what this filter will do");
            // The extension a file type is compared with has no dot.
            if (m_subject->currentIndex() == 1)
                m_condition->setText(m_condition->text().remove('.'));
            break;
        case 3:
            m_title->setText("Step 3 - File Path");
            if (action == kActionCopy) {
                m_subtitle->setText("Select where files will me copied to");
                m_path_label->setText("Directory to copy new files to:");
            } else {
                m_subtitle->setText("Select where files will me moved to");
                m_path_label->setText("Directory to move new files to:");
            }
            break;
        case 4:
            m_title->setText(action == kActionRename ? "Step 3 - File Name" : "Step 4 - File Name");
            m_subtitle->setText("Specify the new file name format");
            if (m_mask->text().isEmpty()) m_mask->setText(kDefaultMask);
            break;
        default: {
            const bool editing = m_editing;
            m_title->setText(editing ? "Filter Edited" : "Filter Added");
            m_subtitle->setText(editing ? "You have successfully edited a filter"
                                        : "You have successfully added a filter");
            m_summary_intro->setText(editing ? "The following filter has been successfully edited:"
                                             : "The following filter has been successfully added:");
            const QString condition = m_condition->text();
            m_info_filter->setText(condition.isEmpty() || condition == "*"
                                       ? QString("Anything")
                                       : m_subject->currentText() + " " +
                                             m_operator->currentText() + " " + condition);
            m_info_action->setText(actionCaption(action));
            m_info_path->setText(m_path->text());
            m_info_path->setVisible(action != kActionRename);
            m_info_path_caption->setVisible(action != kActionRename);
            m_info_mask->setText(m_mask->text());
            writeFilter();
            break;
        }
    }
}

void FilterWizard::command_next_Click() {
    const FileAction action = choices().action;
    if (m_step == 2 && action == kActionRename) {
        showstep(4);
        return;
    }
    if (m_step == 3) {
        if (auto problem = filterChoicesProblem(choices())) {
            m_core.ShowMessage(problem->caption, problem->text, kIconWarning, 0);
            return;
        }
    }
    showstep(m_step + 1);
}

void FilterWizard::command_back_Click() {
    if (m_step <= 1) return;
    if (m_step == 4 && choices().action == kActionRename) {
        showstep(2);
        return;
    }
    showstep(m_step - 1);
}

void FilterWizard::cmdBrowse_Click() {
    const QString folder = m_choose_folder(this, "Select path to move new files to");
    if (!folder.isEmpty()) m_path->setText(folder);
}

void FilterWizard::writeFilter() {
    const FilterChoices fields = choices();
    if (m_id) {
        const ActionFilter edited = m_core.filters().at(m_id);
        m_core.editFilter(m_id, wizardFilter(fields, &edited));
        return;
    }
    // The filter stays in the list even when saving failed (the log says so); Back and Finish
    // again from here edit it instead of adding a copy.
    m_core.addFilter(wizardFilter(fields));
    m_id = m_core.filters().count();
}

}  // namespace vantel
