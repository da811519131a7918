#include "renamer/shell/item_dialogs.h"

#include "renamer/engine/core.h"
#include "renamer/engine/list_entries.h"
#include "renamer/engine/preferences.h"
#include "renamer/engine/weblinks.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantel {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// The width the item dialog's labels have; longer texts are cut.
constexpr int kInfoLabelWidth = 360;

// A read-only path field scrolled to its end, where the file name is.
QLineEdit* pathField(const char* name, const std::string& path, QWidget* parent) {
    auto* field = new QLineEdit(qs(path), parent);
    field->setObjectName(name);
    field->setReadOnly(true);
    field->setMinimumWidth(380);
    field->setCursorPosition(field->text().size());
    return field;
}

}  // namespace

QString elided(const QLabel* label, const QString& text, int width) {
    const QFontMetrics metrics(label->font());
    if (metrics.horizontalAdvance(text) <= width) return text;
    QString cut = text;
    while (!cut.isEmpty() && metrics.horizontalAdvance(cut + "...") > width)
        cut.chop(1);
    return cut + "...";
}

// frmConfirm.

ConfirmDialog::ConfirmDialog(Core& core, const ConfirmDialogRequest& request, QWidget* parent)
    : QDialog(parent), m_core(core) {
    setObjectName("frmConfirm");
    setWindowTitle(qs(request.caption));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    auto* question = new QLabel(qs(request.question), this);
    question->setObjectName("lblQuestion");
    layout->addWidget(question);
    auto* form = new QFormLayout;
    form->addRow("From:", pathField("txtFrom", request.from, this));
    form->addRow("To:", pathField("txtTo", request.to, this));
    layout->addLayout(form);

    m_dont_show = new QCheckBox("Don't show this again", this);
    m_dont_show->setObjectName("chkDontShow");
    connect(m_dont_show, &QCheckBox::toggled, this,
            [this](bool ticked) { setConfirmOperations(m_core, !ticked); });
    layout->addWidget(m_dont_show);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("cmdOK");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("cmdCancel");
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

ConfirmDialogAnswer ConfirmDialog::ask() {
    ConfirmDialogAnswer answer;
    answer.ok = exec() == QDialog::Accepted;
    answer.dont_show_again = m_dont_show->isChecked();
    return answer;
}

// frmInfo.

InfoDialog::InfoDialog(const QueueItem& item, QWidget* parent)
    : QDialog(parent), m_info(itemInfo(item)) {
    setObjectName("frmInfo");
    setWindowTitle("Item Info");
    setModal(true);
    auto* layout = new QVBoxLayout(this);

    addLine("lblFilename", m_info.file_name);
    addLine("lblStatus", m_info.status);
    if (!m_info.new_name.empty()) addLine("lblNewName", m_info.new_name);
    if (!m_info.details.empty()) {
        auto* details = new QPlainTextEdit(qs(m_info.details), this);
        details->setObjectName("txtDesc");
        details->setReadOnly(true);
        details->setMinimumHeight(80);
        layout->addWidget(details);
    }
    if (!m_info.show_link.empty()) addLink("lblShowLink", "Show page on TVmaze", m_info.show_link);
    if (!m_info.episode_link.empty())
        addLink("lblEpisodeLink", "Episode page on TVmaze", m_info.episode_link);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setObjectName("cmdClose");
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QLabel* InfoDialog::addLine(const char* name, const std::string& text) {
    auto* label = new QLabel(this);
    label->setObjectName(name);
    label->setFixedWidth(kInfoLabelWidth);
    label->setText(elided(label, qs(text), kInfoLabelWidth));
    label->setToolTip(qs(text));
    layout()->addWidget(label);
    return label;
}

QLabel* InfoDialog::addLink(const char* name, const char* caption, const std::string& address) {
    auto* label = new QLabel(this);
    label->setObjectName(name);
    label->setText(QString("<a href=\"%1\">%2</a>").arg(qs(address).toHtmlEscaped(), caption));
    label->setToolTip(qs(address));
    label->setCursor(Qt::PointingHandCursor);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    // The desktop's default browser, through the shell's "open"; never a command line.
    connect(label, &QLabel::linkActivated, this,
            [](const QString& link) { openDocument(link.toStdString()); });
    layout()->addWidget(label);
    return label;
}

// frmManual.

ManualDialog::ManualDialog(Core& core, int32_t index, QWidget* parent)
    : QDialog(parent), m_core(core) {
    setObjectName("frmManual");
    setWindowTitle("Add Exception");
    setModal(true);

    m_detected = new QLineEdit(this);
    m_detected->setObjectName("txtDetected");
    m_new_name = new QLineEdit(this);
    m_new_name->setObjectName("txtNew");
    auto* form = new QFormLayout;
    form->addRow("Detected Show Name:", m_detected);
    form->addRow("New Show Name:", m_new_name);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("cmdOK");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("cmdCancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &ManualDialog::cmdOK_Click);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    if (m_core.validIndex(index)) {
        m_detected->setText(qs(m_core.item(index).detected_show));
        m_detected->setReadOnly(true);
        m_new_name->setFocus();
    }
}

void ManualDialog::cmdOK_Click() {
    const std::string detected = m_detected->text().toStdString();
    const std::string new_name = m_new_name->text().toStdString();
    if (auto problem = exceptionEntryProblem(detected, new_name)) {
        m_core.ShowMessage(problem->caption, problem->text, kIconInformation, 0);
        return;
    }
    m_core.addException(detected, new_name);
    accept();
}

}  // namespace vantel
