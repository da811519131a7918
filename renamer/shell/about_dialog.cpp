#include "renamer/shell/about_dialog.h"

#include "renamer/common/version.h"
#include "renamer/common/workdir.h"
#include "renamer/engine/core.h"
#include "renamer/engine/weblinks.h"
#include "renamer/shell/mainwindow.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace vantel {

AboutDialog::AboutDialog(Core& core, QWidget* parent) : QDialog(parent), m_core(core) {
    setObjectName("frmAbout");
    setWindowTitle(QString("About ") + kAppTitle);
    setModal(true);

    auto* picture = new QLabel(this);
    picture->setObjectName("picIcon");
    picture->setPixmap(programIcon().pixmap(64, 64));
    picture->setAlignment(Qt::AlignTop);

    auto* title = new QLabel(kAppTitle, this);
    title->setObjectName("lblTitle");
    QFont big = title->font();
    big.setBold(true);
    big.setPointSize(big.pointSize() + 4);
    title->setFont(big);

    auto* version = new QLabel(QString::fromStdString(aboutVersionLine()), this);
    version->setObjectName("lblVersion");
    auto* legal = new QLabel(kLegalNotice, this);
    legal->setObjectName("lblLegal");
    legal->setWordWrap(true);

    const QString site = QString::fromStdString(websiteBase());
    auto* link = new QLabel(QString("<a href=\"%1\">%1</a>").arg(site.toHtmlEscaped()), this);
    link->setObjectName("lblWeb");
    link->setCursor(Qt::PointingHandCursor);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(link, &QLabel::linkActivated, this, [] { openWebsite(); });

    auto* credit = new QLabel(kListingsCredit, this);
    credit->setObjectName("lblCredit");
    credit->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("cmdOK");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    for (QWidget* line : std::initializer_list<QWidget*>{title, version, legal, link, credit})
        text->addWidget(line);
    auto* grid = new QGridLayout(this);
    grid->addWidget(picture, 0, 0);
    grid->addLayout(text, 0, 1);
    grid->addWidget(buttons, 1, 0, 1, 2);
    setMinimumWidth(400);

    auto* ctrl_s = new QShortcut(QKeySequence("Ctrl+S"), this);
    connect(ctrl_s, &QShortcut::activated, this, &AboutDialog::logControlVersion);
}

void AboutDialog::logControlVersion() {
    m_core.debug_log("Using Wirran " + m_core.controlVersion(), 1);
}

}  // namespace vantel
