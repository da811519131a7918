#include "renamer/common/view.h"

#include "platform/user/user.h"

void CoreView::pumpEvents() {
    DoEvents();
}
