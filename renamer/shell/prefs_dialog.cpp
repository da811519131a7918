#include "renamer/shell/prefs_dialog.h"

#include "renamer/engine/core.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantel {

namespace {

// The check boxes in order; a doubled "&" shows as one.
constexpr const char* kCaptions[6] = {
    "Add To Context Menu for Folders && Video Files",
    "Confirm File Operations",
    "Disable Cache",
    "Disable UTF-8 Decoding",
    "Verbose Logging",
    "Close when done",
};

}  // namespace

PrefsDialog::PrefsDialog(Core& core, std::string program, QWidget* parent)
    : QDialog(parent), m_core(core), m_program(std::move(program)) {
    setObjectName("frmPrefs");
    setWindowTitle("Preferences");
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    for (int i = 0; i < 6; ++i) {
        m_check[i] = new QCheckBox(kCaptions[i], this);
        m_check[i]->setObjectName(QString("Check%1").arg(i + 1));
        layout->addWidget(m_check[i]);
    }
    auto* types_row = new QHBoxLayout;
    auto* types_label = new QLabel("Additional Types:", this);
    m_types = new QLineEdit(this);
    m_types->setObjectName("txtTypes");
    types_label->setBuddy(m_types);
    types_row->addWidget(types_label);
    types_row->addWidget(m_types);
    layout->addLayout(types_row);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("cmdOK");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("cmdCancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &PrefsDialog::cmdOK_Click);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    const PreferenceChoices loaded = loadPreferences(m_core.settings());
    const bool values[6] = {loaded.context_menu, loaded.confirm, loaded.nocache,
                            loaded.noutf8,       loaded.verbose, loaded.autoclose};
    for (int i = 0; i < 6; ++i)
        m_check[i]->setChecked(values[i]);
    m_types->setText(QString::fromStdString(loaded.types));
}

PreferenceChoices PrefsDialog::choices() const {
    PreferenceChoices c;
    c.context_menu = m_check[0]->isChecked();
    c.confirm = m_check[1]->isChecked();
    c.nocache = m_check[2]->isChecked();
    c.noutf8 = m_check[3]->isChecked();
    c.verbose = m_check[4]->isChecked();
    c.autoclose = m_check[5]->isChecked();
    c.types = m_types->text().toStdString();
    return c;
}

void PrefsDialog::cmdOK_Click() {
    if (applyPreferences(m_core, choices(), m_program)) accept();
}

}  // namespace vantel
