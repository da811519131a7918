#pragma once
// ConsoleView: the headless front end's view of the core.
//
// Log lines (those the current log level keeps) and message boxes go to the log stream
// (standard error). The confirmation before a file operation is asked on a terminal when there
// is one; without one it is declined, so nothing is renamed, moved or copied unasked.

#include "renamer/engine/core_view.h"

#include <istream>
#include <ostream>

namespace vantel {

class ConsoleView final : public CoreView {
  public:
    // answers: where the user's answers come from (a terminal), or nullptr when nobody can be
    // asked.
    ConsoleView(std::ostream& log, std::istream* answers) : m_log(log), m_answers(answers) {}

    void logLineAdded(const std::string& line, int level) override;
    bool showMessage(const MessageRequest& request) override;
    ConfirmDialogAnswer confirmFileOperation(const ConfirmDialogRequest& request) override;

  private:
    std::ostream& m_log;
    std::istream* m_answers;
    bool m_told_cannot_ask = false;
};

}  // namespace vantel
