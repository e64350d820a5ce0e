#pragma once

// The forms that FormTest.cpp and the backend-specific form tests share.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/TestEnvironment.h"
#include "toolkit/CheckBox.h"
#include "toolkit/Form.h"
#include "toolkit/Forms.h"
#include "toolkit/Label.h"
#include "toolkit/Timer.h"

namespace form_test {

inline std::vector<std::string> events;

inline toolkit::WindowDesign design(const std::string& caption) {
    toolkit::WindowDesign design;
    design.caption = caption;
    design.clientWidth = 1740;
    design.clientHeight = 420;
    return design;
}

class RecordingForm : public toolkit::Form {
  public:
    explicit RecordingForm(std::string name) : Form(design(name)), name_(name) {}

    toolkit::CheckBox tick{*this, "tick", {0, 0, 1500, 375}, 0, "tick me", 1};
    toolkit::Label label{*this, "label", {0, 400, 1500, 300}, 1, "designed", {}, 0, 0};
    toolkit::Timer timer{*this, "timer"};
    int cancelUnload = 0;

  protected:
    void Form_Load() override { events.push_back(name_ + ".Load"); }
    void Form_Unload(int& cancel) override {
        events.push_back(name_ + ".Unload");
        cancel = cancelUnload;
    }

  private:
    std::string name_;
};

class FormTest : public testing::Test {
  protected:
    void SetUp() override {
        testing_support::resetAll();
        events.clear();
    }
    void TearDown() override { testing_support::unloadAllForms(); }
};

class CheckBoxTest : public FormTest {
  protected:
    void SetUp() override {
        FormTest::SetUp();
        form.Show();
        form.tick.Click = [this] { valuesSeenByClick.push_back(form.tick.Value()); };
    }
    RecordingForm form{"boxes"};
    std::vector<int> valuesSeenByClick;
};

}  // namespace form_test
