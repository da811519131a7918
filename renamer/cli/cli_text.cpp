#include "renamer/cli/cli_text.h"

namespace vantel {

std::string oneLine(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\n' || text[i] == '\r') {
            out += " / ";
        } else if (text[i] == '\t') {
            out += ' ';
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace vantel
