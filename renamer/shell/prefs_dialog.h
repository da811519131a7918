#pragma once
// frmPrefs: the preferences. The controls are filled from the settings as the dialog opens; OK
// hands them to the engine (preferences.h), which checks, stores and sets up the context-menu
// entries, and closes the dialog only when it stored them. Cancel changes nothing.
//
//   PrefsDialog prefs(core, program_path, &window);
//   prefs.exec();

#include "renamer/engine/preferences.h"

#include <QDialog>

#include <string>

class QCheckBox;
class QLineEdit;

namespace vantel {

class Core;

class PrefsDialog final : public QDialog {
    Q_OBJECT

  public:
    // program: the path the context-menu entries start.
    PrefsDialog(Core& core, std::string program, QWidget* parent = nullptr);

    PreferenceChoices choices() const;

  public slots:
    void cmdOK_Click();

  private:
    Core& m_core;
    std::string m_program;
    QCheckBox* m_check[6] = {};
    QLineEdit* m_types = nullptr;
};

}  // namespace vantel
