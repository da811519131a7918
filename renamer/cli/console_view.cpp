#include "renamer/cli/console_view.h"

#include <string>

namespace vantel {

void ConsoleView::logLineAdded(const std::string& line, int level) {
    m_log << line << std::endl;
}

bool ConsoleView::showMessage(const MessageRequest& request) {
    m_log << request.caption << ": " << request.text << std::endl;
    return false;
}

ConfirmDialogAnswer ConsoleView::confirmFileOperation(const ConfirmDialogRequest& request) {
    ConfirmDialogAnswer answer;
    if (!m_answers) {
        if (!m_told_cannot_ask) {
            m_log << "vantel-cli: file operations are to be confirmed and there is no terminal "
                     "to ask; declining them (vantel-cli --set confirm=0 stops the asking)"
                  << std::endl;
            m_told_cannot_ask = true;
        }
        return answer;
    }
    m_log << request.caption << "\n  " << request.from << "\n  -> " << request.to << "\n"
          << request.question << " [y/N/a(lways)] " << std::flush;
    std::string reply;
    if (!std::getline(*m_answers, reply)) {
        m_answers = nullptr;  // the input ended: nobody is left to ask
        return answer;
    }
    answer.ok = reply == "y" || reply == "Y" || reply == "yes" || reply == "a" || reply == "A";
    // "always": go on, and do not ask again (the dialog's "Don't show this again").
    answer.dont_show_again = reply == "a" || reply == "A";
    return answer;
}

}  // namespace vantel
