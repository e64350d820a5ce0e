#pragma once

#include <memory>

#include "main_window/FERN_BADGER_PULSEWARD_MAIN.h"

namespace pulseward::Module1 {

// The program's one main window, for the rest of the run.
extern std::unique_ptr<FERN_BADGER_PULSEWARD_MAIN> mainWindow;

// The start-up routine: creates the main window and shows it.
void Main();

}  // namespace pulseward::Module1
