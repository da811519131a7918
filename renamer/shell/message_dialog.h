#pragma once
// frmError: the program's one message box (the window's ShowMessage): a system icon, the caption
// repeated as a bold title, the text in a read-only box (the core has turned its "#" marks into
// line breaks), "Don't show this again" when the message can be silenced, and one "OK".
//
//   MessageDialog box(request, parent);
//   box.exec();
//   bool silence = box.dontShowAgain();

#include "renamer/engine/core_view.h"

#include <QDialog>

class QCheckBox;

namespace vantel {

class MessageDialog final : public QDialog {
    Q_OBJECT

  public:
    explicit MessageDialog(const MessageRequest& request, QWidget* parent = nullptr);

    // Whether the box was offered and ticked.
    bool dontShowAgain() const;

  private:
    QCheckBox* m_dont_show = nullptr;
};

}  // namespace vantel
