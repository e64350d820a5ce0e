// The main window's double-clicks, which open the About dialog.

#include "about_dialog/FERN_BADGER_PULSEWARD_ABOUT.h"
#include "main_window/FERN_BADGER_PULSEWARD_MAIN.h"

namespace pulseward {

void FERN_BADGER_PULSEWARD_MAIN::OpenAbout() {
    if (!aboutDialog()) {
        aboutDialog() = std::make_unique<FERN_BADGER_PULSEWARD_ABOUT>(*this);
    }
    aboutDialog()->Show(toolkit::vbModal, *this);
}

void FERN_BADGER_PULSEWARD_MAIN::Form_DblClick() {
    OpenAbout();
}

void FERN_BADGER_PULSEWARD_MAIN::HEART_PIC_LEFT_DblClick() {
    OpenAbout();
}

void FERN_BADGER_PULSEWARD_MAIN::HEART_PIC_RIGHT_DblClick() {
    OpenAbout();
}

}  // namespace pulseward
