#include "renamer/engine/core_view.h"

#include "platform/user/user.h"

namespace vantel {

void CoreView::pumpEvents() {
    DoEvents();
}

}  // namespace vantel
