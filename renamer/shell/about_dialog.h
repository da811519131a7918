#pragma once
// frmAbout: the title, "Version 4.0  Build N", the legal notice, the product site as a link, the
// credit for the episode data and the program's picture. Ctrl+S writes the socket control's
// version to the activity log, for support questions.

#include <QDialog>

namespace vantel {

class Core;

class AboutDialog final : public QDialog {
    Q_OBJECT

  public:
    explicit AboutDialog(Core& core, QWidget* parent = nullptr);

  public slots:
    // Ctrl+S: "Using Wirran " + the control's Version.
    void logControlVersion();

  private:
    Core& m_core;
};

}  // namespace vantel
