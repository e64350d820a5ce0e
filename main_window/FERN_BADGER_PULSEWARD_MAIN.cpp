#include "main_window/FERN_BADGER_PULSEWARD_MAIN.h"

#include <cstdint>
#include <string>

#include "app/PulsewardSettings.h"
#include "toolkit/Conversions.h"
#include "toolkit/Desktop.h"
#include "toolkit/Forms.h"
#include "toolkit/MsgBox.h"
#include "toolkit/RuntimeError.h"
#include "toolkit/ShellObject.h"

namespace pulseward {

using toolkit::CStr;
using toolkit::Forms;

namespace {
constexpr toolkit::Colour black = 0;
constexpr toolkit::Colour red = 255;
}  // namespace

FERN_BADGER_PULSEWARD_MAIN::FERN_BADGER_PULSEWARD_MAIN()
    : Form({.caption = "       PULSEWARD",
            .clientWidth = 1740,
            .clientHeight = 1935,
            .hasBackColor = true,
            .backColor = red,
            .icon = "icon.png"}) {
    MIDDLE_BUTTON.Click = [this] { MIDDLE_BUTTON_Click(); };
    SHOW_PIC_TIMER.Tick = [this] { SHOW_PIC_TIMER_Timer(); };
    HIDE_PIC_TIMER.Tick = [this] { HIDE_PIC_TIMER_Timer(); };
    AlwaysOnTopTimer.Tick = [this] { AlwaysOnTopTimer_Timer(); };
    HEART_PIC_LEFT.DblClick = [this] { HEART_PIC_LEFT_DblClick(); };
    HEART_PIC_RIGHT.DblClick = [this] { HEART_PIC_RIGHT_DblClick(); };
    toolkit::OnKeysRefusedLater(
        [this](const toolkit::RuntimeError& error) { KeyPulseFailed(error); });
    toolkit::OnKeysAwaitingConsent([this] { KeyPulseAwaitingConsent(); });
    toolkit::OnKeysAllowed([this] { KeyPulseAllowed(); });
}

FERN_BADGER_PULSEWARD_MAIN::~FERN_BADGER_PULSEWARD_MAIN() {
    toolkit::OnKeysRefusedLater(nullptr);
    toolkit::OnKeysAwaitingConsent(nullptr);
    toolkit::OnKeysAllowed(nullptr);
}

void FERN_BADGER_PULSEWARD_MAIN::Form_Load() {
    using S = PulsewardSettings;
    setLeft(S::readSingle(Setting::MainLeft));
    setTop(S::readSingle(Setting::MainTop));
    setWidth(S::readSingle(Setting::MainWidth));
    setHeight(S::readSingle(Setting::MainHeight));
    // The window has no taskbar entry: where no screen shows it, nobody could stop its pulse.
    if (!isOnSomeScreen()) {
        setLeft(S::defaultValue(Setting::MainLeft));
        setTop(S::defaultValue(Setting::MainTop));
    }
    AlwaysOnTopTimer.setEnabled(S::readBoolean(Setting::Always_On_Top_TICKBOX));
    if (S::readDouble(Setting::AUTOSTART_TICKBOX) == 1) {
        StartSetup();
    } else {
        StopSetup();
    }
    AlwaysOnTopTimer.setInterval(1000);
    SHOW_PIC_TIMER.setInterval(750);
    HIDE_PIC_TIMER.setInterval(750);
}

void FERN_BADGER_PULSEWARD_MAIN::Form_Unload(int& cancel) {
    const auto n = static_cast<std::int16_t>(Forms.Count() - 1);
    for (std::int16_t i = n; i >= 1; --i) {
        toolkit::Unload(Forms(i));
    }
    // Where the window system keeps the place to itself (Wayland) the stored one stays, for the
    // next session that has one.
    if (WindowState() != toolkit::vbMinimized && placeKnown()) {
        PulsewardSettings::write(Setting::MainLeft, CStr(Left()));
        PulsewardSettings::write(Setting::MainTop, CStr(Top()));
    }
    cancel = 0;
}

void FERN_BADGER_PULSEWARD_MAIN::StartSetup() {
    SHOW_PIC_TIMER.setEnabled(true);
    HIDE_PIC_TIMER.setEnabled(false);
    MIDDLE_BUTTON.setCaption("STOP");
    setBackColor(red);
    HEART_PIC_LEFT.setVisible(true);
    HEART_PIC_RIGHT.setVisible(true);
}

void FERN_BADGER_PULSEWARD_MAIN::StopSetup() {
    SHOW_PIC_TIMER.setEnabled(false);
    HIDE_PIC_TIMER.setEnabled(false);
    MIDDLE_BUTTON.setCaption("Start");
    setBackColor(black);
    HEART_PIC_LEFT.setVisible(true);
    HEART_PIC_RIGHT.setVisible(true);
    toolkit::StopSendingKeys();
}

// Running, but nothing is sent until the desktop's user allows it: the window must not look as
// pulsing, and the button must still stop.
void FERN_BADGER_PULSEWARD_MAIN::WaitSetup() {
    SHOW_PIC_TIMER.setEnabled(false);
    HIDE_PIC_TIMER.setEnabled(false);
    MIDDLE_BUTTON.setCaption("STOP");
    setBackColor(black);
    HEART_PIC_LEFT.setVisible(true);
    HEART_PIC_RIGHT.setVisible(true);
}

void FERN_BADGER_PULSEWARD_MAIN::MIDDLE_BUTTON_Click() {
    if (MIDDLE_BUTTON.Caption() == "Start") {
        StartSetup();
    } else {
        StopSetup();
    }
}

void FERN_BADGER_PULSEWARD_MAIN::SHOW_PIC_TIMER_Timer() {
    HEART_PIC_LEFT.setVisible(true);
    HEART_PIC_RIGHT.setVisible(true);
    HIDE_PIC_TIMER.setEnabled(true);
    SHOW_PIC_TIMER.setEnabled(false);
    KeyPulse();
}

void FERN_BADGER_PULSEWARD_MAIN::HIDE_PIC_TIMER_Timer() {
    HEART_PIC_LEFT.setVisible(false);
    HEART_PIC_RIGHT.setVisible(false);
    SHOW_PIC_TIMER.setEnabled(true);
    HIDE_PIC_TIMER.setEnabled(false);
    KeyPulse();
}

// The topmost keeper: whatever window the user brings forward leaves the always-on-top band,
// and this window takes the top of it.
void FERN_BADGER_PULSEWARD_MAIN::AlwaysOnTopTimer_Timer() {
    using namespace toolkit;
    const WindowHandle mainWindow = hWnd();
    if (GetForegroundWindow() == mainWindow) {
        return;
    }
    const WindowHandle foreground = GetForegroundWindow();
    SetWindowPos(foreground, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(hWnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void FERN_BADGER_PULSEWARD_MAIN::KeyPulse() {
    try {
        const auto shell = toolkit::CreateObject("WScript.Shell");
        shell->SendKeys("{NUMLOCK}");
    } catch (const toolkit::RuntimeError& error) {
        KeyPulseFailed(error);
    }
}

void FERN_BADGER_PULSEWARD_MAIN::KeyPulseAwaitingConsent() {
    if (MIDDLE_BUTTON.Caption() == "Start") {
        return;
    }
    WaitSetup();
}

void FERN_BADGER_PULSEWARD_MAIN::KeyPulseAllowed() {
    if (MIDDLE_BUTTON.Caption() == "Start") {
        return;
    }
    StartSetup();
}

// Whether the system refused the press at once or said so later, nothing reaches it: the window
// must not go on looking as if it pulsed. A pulse already stopped has nothing more to say.
void FERN_BADGER_PULSEWARD_MAIN::KeyPulseFailed(const toolkit::RuntimeError& error) {
    if (MIDDLE_BUTTON.Caption() == "Start") {
        return;
    }
    StopSetup();
    toolkit::MsgBox(std::string("The Num Lock key press could not be sent, so the pulse "
                                "has stopped.\n\n") +
                    error.what() + "\n\nPress Start to try again.");
}

}  // namespace pulseward
