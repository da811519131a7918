#pragma once
// The dialogs about one queue item or one exception: frmConfirm (the question before a file
// operation), frmInfo ("Item Info") and frmManual ("Add Exception"). Each takes the core and the
// item's position in the queue; the rules of what they show and store are the engine's.
//
//   ConfirmDialog confirm(core, request, &window);   // "Confirm File Move"
//   ConfirmDialogAnswer answer = confirm.ask();
//   InfoDialog(core.item(row), &window).exec();
//   ManualDialog(core, row, &window).exec();         // row 0: both names free

#include "renamer/engine/core_view.h"
#include "renamer/engine/item_menu.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace vantel {

class Core;

class ConfirmDialog final : public QDialog {
    Q_OBJECT

  public:
    ConfirmDialog(Core& core, const ConfirmDialogRequest& request, QWidget* parent = nullptr);

    // ask: shows the dialog modally (the core's messages keep flowing meanwhile) and returns
    // the button pressed and the box's state. "Don't show this again" takes effect the moment it
    // is ticked or unticked; the operation asked about still follows the button.
    ConfirmDialogAnswer ask();

  private:
    Core& m_core;
    QCheckBox* m_dont_show = nullptr;
};

class InfoDialog final : public QDialog {
    Q_OBJECT

  public:
    explicit InfoDialog(const QueueItem& item, QWidget* parent = nullptr);

    // The labels' full texts (a label too narrow shows them cut, ending in "...").
    const ItemInfo& info() const { return m_info; }

  private:
    QLabel* addLine(const char* name, const std::string& text);
    QLabel* addLink(const char* name, const char* caption, const std::string& address);

    ItemInfo m_info;
};

class ManualDialog final : public QDialog {
    Q_OBJECT

  public:
    // index: the queue item the exception is for (its detected show name is shown and locked),
    // or 0 (or any position outside the queue) for two free fields.
    ManualDialog(Core& core, int32_t index, QWidget* parent = nullptr);

  public slots:
    void cmdOK_Click();

  private:
    Core& m_core;
    QLineEdit* m_detected = nullptr;
    QLineEdit* m_new_name = nullptr;
};

// elided: text cut to fit width pixels in the label's font, ending in "..." when cut.
QString elided(const QLabel* label, const QString& text, int width);

}  // namespace vantel
