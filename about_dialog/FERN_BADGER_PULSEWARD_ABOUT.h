#pragma once

#include <memory>

#include "toolkit/CheckBox.h"
#include "toolkit/CommandButton.h"
#include "toolkit/Form.h"
#include "toolkit/Label.h"
#include "toolkit/Line.h"
#include "toolkit/PictureBox.h"
#include "toolkit/TextBox.h"

namespace pulseward {

class FERN_BADGER_PULSEWARD_MAIN;

// The About dialog: the program's name, version and credits, and its two options.
class FERN_BADGER_PULSEWARD_ABOUT : public toolkit::Form {
  public:
    explicit FERN_BADGER_PULSEWARD_ABOUT(FERN_BADGER_PULSEWARD_MAIN& mainWindow);

    static constexpr const char* creatorCaption = "Created By Tevrin84";
    static constexpr const char* contactAddress = "tevrin84@example.org";

    toolkit::Label FERN_BADGER_PULSEWARD_TITLE{*this,
                                               "FERN_BADGER_PULSEWARD_TITLE",
                                               {240, 120, 4815, 495},
                                               3,
                                               "FERN-BADGER-PULSEWARD",
                                               labelFont,
                                               green,
                                               black};
    toolkit::Label FERN_BADGER_PULSEWARD_VERSION{*this,
                                                 "FERN_BADGER_PULSEWARD_VERSION",
                                                 {240, 720, 4815, 495},
                                                 1,
                                                 "Version 1.0",
                                                 labelFont,
                                                 green,
                                                 black};
    toolkit::Label FERN_BADGER_PULSEWARD_CREATOR{*this,
                                                 "FERN_BADGER_PULSEWARD_CREATOR",
                                                 {240, 1320, 4815, 495},
                                                 2,
                                                 creatorCaption,
                                                 labelFont,
                                                 green,
                                                 black};
    toolkit::Line Line1{*this, "Line1", 240, 2520, 5040, 2520};
    toolkit::PictureBox HEART_PIC{*this, "HEART_PIC", {240, 2640, 1020, 1020}, 6, "heart64.jpg"};
    toolkit::TextBox HEART_PIC_ABOUT_TEXTBOX1{*this,
                                              "HEART_PIC_ABOUT_TEXTBOX1",
                                              {1440, 2640, 3615, 495},
                                              7,
                                              "Heart Icon - PulseWard - ",
                                              {"MS Sans Serif", 13.5f, 700},
                                              false,
                                              true};
    toolkit::TextBox HEART_ICON_WEBSITE_ADDRESS{*this,
                                                "HEART_ICON_WEBSITE_ADDRESS",
                                                {1440, 3120, 3615, 615},
                                                8,
                                                "https://pulseward.example.org/artwork/heart.svg",
                                                {},
                                                true,
                                                true};
    toolkit::CheckBox AUTOSTART_TICKBOX{*this,
                                        "AUTOSTART_TICKBOX",
                                        {720, 3960, 4335, 375},
                                        9,
                                        "Auto-Start PulseWard Timer When PulseWard Runs",
                                        1};
    toolkit::CommandButton FERN_BADGER_PULSEWARD_ABOUT_OK_BUTTON{
        *this, "FERN_BADGER_PULSEWARD_ABOUT_OK_BUTTON", {2640, 4440, 2415, 585}, 4, "OK"};
    toolkit::CheckBox Always_On_Top_TICKBOX{*this, "Always_On_Top_TICKBOX", {720, 4560, 1695, 375},
                                            5,     "Always On Top",         0};

    void Always_On_Top_TICKBOX_Click();
    void AUTOSTART_TICKBOX_Click();
    void FERN_BADGER_PULSEWARD_ABOUT_OK_BUTTON_Click();
    void FERN_BADGER_PULSEWARD_CREATOR_DblClick();

  protected:
    void Form_Load() override;

  private:
    static constexpr toolkit::Colour green = toolkit::rgb(0, 255, 0);
    static constexpr toolkit::Colour black = 0;
    static constexpr toolkit::Font labelFont{"MS Sans Serif", 13.5f, 400};

    FERN_BADGER_PULSEWARD_MAIN& mainWindow_;
};

// The program's one About dialog: created at its first opening and kept for the run.
std::unique_ptr<FERN_BADGER_PULSEWARD_ABOUT>& aboutDialog();

}  // namespace pulseward
