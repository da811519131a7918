// vantel-dialog-shots: draws the preferences and each step of the filter wizard, filled in as a
// user would fill them, into PNG files for the user guide. Run by scripts/screenshot.sh with a
// home and registry of its own; never installed.
//
//   vantel-dialog-shots OUTPUT_FOLDER

#include "renamer/common/version.h"
#include "renamer/engine/application.h"
#include "renamer/shell/filter_wizard.h"
#include "renamer/shell/mainwindow.h"
#include "renamer/shell/prefs_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include <cstdio>
#include <string>

using namespace vantel;

namespace {

bool save(QWidget& dialog, const QString& path) {
    dialog.show();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    if (!dialog.grab().save(path)) {
        std::fprintf(stderr, "vantel-dialog-shots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vantel-dialog-shots OUTPUT_FOLDER\n");
        return 2;
    }
    QApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]) + "/";

    MainWindow window;
    ApplicationOptions options;
    options.view = &window;
    Application application(std::move(options));
    Core& core = application.core();
    window.attach(&core);
    core.settings().workdir = out.toStdString();
    core.settings().context = 2;
    core.settings().confirm = true;
    core.loadfilters();

    bool ok = true;
    {
        PrefsDialog prefs(core, "vantel", &window);
        ok &= save(prefs, out + "preferences.png");
    }
    FilterWizard wizard(core, &window);
    wizard.setID(0);
    wizard.findChild<QLineEdit*>("txtCond")->setText("doctor who*");
    ok &= save(wizard, out + "wizard-step1.png");
    wizard.command_next_Click();
    wizard.findChild<QRadioButton*>("Option1_1")->setChecked(true);
    ok &= save(wizard, out + "wizard-step2.png");
    wizard.command_next_Click();
    wizard.findChild<QLineEdit*>("txtPath")->setText("/home/me/TV/[show]/Season [s]");
    ok &= save(wizard, out + "wizard-step3.png");
    wizard.command_next_Click();
    ok &= save(wizard, out + "wizard-step4.png");
    wizard.command_next_Click();
    ok &= save(wizard, out + "wizard-step5.png");
    window.attach(nullptr);
    core.setView(nullptr);
    return ok ? 0 : 1;
}
