// reg: reads and changes the registry store from the command line (see reg_command.h).

#include <unistd.h>

#include <cctype>
#include <iostream>
#include <string>
#include <vector>

#include "tools/reg/reg_command.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    RegIo io;
    // A question is asked only of a person at a terminal; a script gets "no" and must say /f.
    if (isatty(STDIN_FILENO)) {
        io.confirm = [](const std::string& question) {
            std::cout << question << " " << std::flush;
            std::string answer;
            if (!std::getline(std::cin, answer) || answer.empty()) return false;
            return std::tolower(static_cast<unsigned char>(answer[0])) == 'y';
        };
    }
    int status = runReg(args, io);
    std::cout << io.out;
    std::cerr << io.err;
    return status;
}
