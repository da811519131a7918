#include "renamer/engine/core_view.h"

#include "platform/user/user.h"

void CoreView::pumpEvents() {
    DoEvents();
}
