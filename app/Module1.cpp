#include "app/Module1.h"

namespace pulseward::Module1 {

std::unique_ptr<FERN_BADGER_PULSEWARD_MAIN> mainWindow;

void Main() {
    mainWindow = std::make_unique<FERN_BADGER_PULSEWARD_MAIN>();
    mainWindow->Show();
}

}  // namespace pulseward::Module1
