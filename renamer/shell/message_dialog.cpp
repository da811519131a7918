#include "renamer/shell/message_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>

namespace vantel {

namespace {

// The platform's predefined icons by id, drawn with the desktop style's own pictures.
QIcon systemIcon(int icon) {
    QStyle* style = QApplication::style();
    switch (icon) {
        case kIconError:
            return style->standardIcon(QStyle::SP_MessageBoxCritical);
        case kIconWarning:
            return style->standardIcon(QStyle::SP_MessageBoxWarning);
        default:
            return style->standardIcon(QStyle::SP_MessageBoxInformation);
    }
}

}  // namespace

MessageDialog::MessageDialog(const MessageRequest& request, QWidget* parent) : QDialog(parent) {
    setObjectName("frmError");
    setWindowTitle(QString::fromStdString(request.caption));
    setModal(true);

    auto* picture = new QLabel(this);
    picture->setObjectName("e_icon");
    picture->setPixmap(systemIcon(request.icon).pixmap(32, 32));
    picture->setAlignment(Qt::AlignTop);

    auto* title = new QLabel(QString::fromStdString(request.caption), this);
    title->setObjectName("e_title");
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);

    auto* text = new QPlainTextEdit(QString::fromStdString(request.text), this);
    text->setObjectName("e_desc");
    text->setReadOnly(true);
    text->setFrameShape(QFrame::NoFrame);
    text->setMinimumSize(320, 70);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("cmdOK");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(picture, 0, 0, 2, 1);
    grid->addWidget(title, 0, 1);
    grid->addWidget(text, 1, 1);
    if (request.offer_dont_show) {
        m_dont_show = new QCheckBox("Don't show this again", this);
        m_dont_show->setObjectName("chkDontShow");
        grid->addWidget(m_dont_show, 2, 1);
    }
    grid->addWidget(buttons, 3, 0, 1, 2);
}

bool MessageDialog::dontShowAgain() const {
    return m_dont_show && m_dont_show->isChecked();
}

}  // namespace vantel
