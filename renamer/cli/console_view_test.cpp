#include "renamer/cli/console_view.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vantel {

namespace {

ConfirmDialogRequest renameRequest() {
    ConfirmDialogRequest r;
    r.index = 1;
    r.action = kActionRename;
    r.caption = "Confirm File Rename";
    r.question = "Continue with file rename?";
    r.from = "/v/a.mkv";
    r.to = "/v/Show - 1x01 - Pilot.mkv";
    return r;
}

TEST(ConsoleView, AsksOnTheTerminalAndTakesOnlyAYes) {
    std::ostringstream log;
    std::istringstream answers("y\n\nno\na\n");
    ConsoleView view(log, &answers);
    struct Expected {
        bool ok;
        bool dont_show_again;
    };
    for (Expected e : {Expected{true, false}, Expected{false, false}, Expected{false, false},
                       Expected{true, true}, Expected{false, false} /* input ended */}) {
        ConfirmDialogAnswer a = view.confirmFileOperation(renameRequest());
        EXPECT_EQ(a.ok, e.ok);
        EXPECT_EQ(a.dont_show_again, e.dont_show_again);
    }
    EXPECT_NE(log.str().find("/v/Show - 1x01 - Pilot.mkv"), std::string::npos);
    EXPECT_NE(log.str().find("Continue with file rename?"), std::string::npos);
}

TEST(ConsoleView, WithoutATerminalDeclinesAndSaysSoOnce) {
    std::ostringstream log;
    ConsoleView view(log, nullptr);
    EXPECT_FALSE(view.confirmFileOperation(renameRequest()).ok);
    EXPECT_FALSE(view.confirmFileOperation(renameRequest()).ok);
    std::string text = log.str();
    EXPECT_NE(text.find("no terminal"), std::string::npos);
    EXPECT_EQ(text.find("no terminal"), text.rfind("no terminal"));
}

}  // namespace

}  // namespace vantel
