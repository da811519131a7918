#include "renamer/cli/shell_confirm.h"

namespace vantel {

FileOperationConfirm shellConfirmation(bool yes, std::ostream& log) {
    return [yes, &log](const ConfirmRequest& request) {
        switch (request.kind) {
            case ConfirmKind::Overwrite:
                if (yes) {
                    log << "vantel-cli: --yes: replacing " << request.destination << " with "
                        << request.source
                        << (request.toTrash ? " (the replaced file goes to the Trash)" : "")
                        << std::endl;
                    return true;
                }
                log << "vantel-cli: not replacing the existing file " << request.destination
                    << " (--yes allows it)" << std::endl;
                return false;
            case ConfirmKind::CreateFolder:
                log << "vantel-cli: not creating the folder " << request.destination
                    << ": its top-level folder does not exist" << std::endl;
                return false;
            case ConfirmKind::Delete:
            case ConfirmKind::MergeFolder:
                break;
        }
        log << "vantel-cli: declined: " << request.source << " -> " << request.destination
            << std::endl;
        return false;
    };
}

}  // namespace vantel
