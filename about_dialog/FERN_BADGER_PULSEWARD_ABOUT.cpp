#include "about_dialog/FERN_BADGER_PULSEWARD_ABOUT.h"

#include <cstdint>

#include "app/PulsewardSettings.h"
#include "main_window/FERN_BADGER_PULSEWARD_MAIN.h"
#include "toolkit/Conversions.h"
#include "toolkit/Forms.h"

namespace pulseward {

using toolkit::CStr;
using S = PulsewardSettings;

namespace {
toolkit::WindowDesign aboutDesign() {
    toolkit::WindowDesign design;
    design.caption = "PULSEWARD";
    design.clientWidth = 5310;
    design.clientHeight = 5325;
    design.icon = "icon.png";
    return design;
}

std::string tickboxText(int value) {
    return CStr(static_cast<std::int16_t>(value));
}
}  // namespace

std::unique_ptr<FERN_BADGER_PULSEWARD_ABOUT>& aboutDialog() {
    // Never destroyed at exit: the program's end destroys the dialog itself, while its window
    // system is still there (see main()).
    static auto* dialog = new std::unique_ptr<FERN_BADGER_PULSEWARD_ABOUT>;
    return *dialog;
}

FERN_BADGER_PULSEWARD_ABOUT::FERN_BADGER_PULSEWARD_ABOUT(FERN_BADGER_PULSEWARD_MAIN& mainWindow)
    : Form(aboutDesign()), mainWindow_(mainWindow) {
    Always_On_Top_TICKBOX.Click = [this] { Always_On_Top_TICKBOX_Click(); };
    AUTOSTART_TICKBOX.Click = [this] { AUTOSTART_TICKBOX_Click(); };
    FERN_BADGER_PULSEWARD_ABOUT_OK_BUTTON.Click = [this] {
        FERN_BADGER_PULSEWARD_ABOUT_OK_BUTTON_Click();
    };
    FERN_BADGER_PULSEWARD_CREATOR.DblClick = [this] { FERN_BADGER_PULSEWARD_CREATOR_DblClick(); };
}

void FERN_BADGER_PULSEWARD_ABOUT::Form_Load() {
    setLeft(S::readSingle(Setting::AboutLeft));
    setTop(S::readSingle(Setting::AboutTop));
    setWidth(S::readSingle(Setting::AboutWidth));
    setHeight(S::readSingle(Setting::AboutHeight));
    // A dialog nobody can see would still hold the main window's input.
    if (!isOnSomeScreen()) {
        setLeft(S::defaultValue(Setting::AboutLeft));
        setTop(S::defaultValue(Setting::AboutTop));
    }
    Always_On_Top_TICKBOX.setValue(S::readTickbox(Setting::Always_On_Top_TICKBOX));
    AUTOSTART_TICKBOX.setValue(S::readTickbox(Setting::AUTOSTART_TICKBOX));
}

void FERN_BADGER_PULSEWARD_ABOUT::Always_On_Top_TICKBOX_Click() {
    if (Always_On_Top_TICKBOX.Value() == toolkit::vbChecked) {
        mainWindow_.AlwaysOnTopTimer.setEnabled(true);
    } else {
        mainWindow_.AlwaysOnTopTimer.setEnabled(false);
    }
    S::write(Setting::Always_On_Top_TICKBOX, tickboxText(Always_On_Top_TICKBOX.Value()));
}

void FERN_BADGER_PULSEWARD_ABOUT::AUTOSTART_TICKBOX_Click() {
    S::write(Setting::AUTOSTART_TICKBOX, tickboxText(AUTOSTART_TICKBOX.Value()));
}

void FERN_BADGER_PULSEWARD_ABOUT::FERN_BADGER_PULSEWARD_ABOUT_OK_BUTTON_Click() {
    // Where the window system keeps the place to itself (Wayland) the stored one stays.
    if (placeKnown()) {
        S::write(Setting::AboutLeft, CStr(Left()));
        S::write(Setting::AboutTop, CStr(Top()));
    }
    S::write(Setting::Always_On_Top_TICKBOX, tickboxText(Always_On_Top_TICKBOX.Value()));
    S::write(Setting::AUTOSTART_TICKBOX, tickboxText(AUTOSTART_TICKBOX.Value()));
    toolkit::Unload(*this);
}

void FERN_BADGER_PULSEWARD_ABOUT::FERN_BADGER_PULSEWARD_CREATOR_DblClick() {
    FERN_BADGER_PULSEWARD_CREATOR.setCaption(contactAddress);
}

}  // namespace pulseward
