#pragma once

#include "toolkit/CommandButton.h"
#include "toolkit/Form.h"
#include "toolkit/PictureBox.h"
#include "toolkit/RuntimeError.h"
#include "toolkit/Timer.h"

namespace pulseward {

// The main window: two hearts with the pulse's Start/STOP button between them. The pulse's
// running state is the button's caption; the always-on-top option is AlwaysOnTopTimer.Enabled.
// While the desktop asks the user to allow the key presses the pulse waits: "STOP", as the
// button still stops it, but black with the hearts still, as nothing is sent.
class FERN_BADGER_PULSEWARD_MAIN : public toolkit::Form {
  public:
    FERN_BADGER_PULSEWARD_MAIN();
    ~FERN_BADGER_PULSEWARD_MAIN() override;

    toolkit::PictureBox HEART_PIC_LEFT{*this, "HEART_PIC_LEFT", {0, 0, 420, 420}, 0, "heart24.jpg"};
    toolkit::CommandButton MIDDLE_BUTTON{*this, "MIDDLE_BUTTON", {600, 0, 615, 375}, 1};
    toolkit::PictureBox HEART_PIC_RIGHT{
        *this, "HEART_PIC_RIGHT", {1320, 0, 420, 420}, 2, "heart24.jpg"};
    toolkit::Timer AlwaysOnTopTimer{*this, "AlwaysOnTopTimer"};
    toolkit::Timer SHOW_PIC_TIMER{*this, "SHOW_PIC_TIMER"};
    toolkit::Timer HIDE_PIC_TIMER{*this, "HIDE_PIC_TIMER"};
    // Ends a timed pulse; set and handled by the remote control.
    toolkit::Timer LIMIT_TIMER{*this, "LIMIT_TIMER"};

    void MIDDLE_BUTTON_Click();
    void SHOW_PIC_TIMER_Timer();
    void HIDE_PIC_TIMER_Timer();
    void AlwaysOnTopTimer_Timer();
    void Form_DblClick() override;
    void HEART_PIC_LEFT_DblClick();
    void HEART_PIC_RIGHT_DblClick();

    void StartSetup();
    void StopSetup();
    void WaitSetup();

  protected:
    void Form_Load() override;
    void Form_Unload(int& cancel) override;

  private:
    void KeyPulse();
    void KeyPulseFailed(const toolkit::RuntimeError& error);
    void KeyPulseAwaitingConsent();
    void KeyPulseAllowed();
    void OpenAbout();
};

}  // namespace pulseward
