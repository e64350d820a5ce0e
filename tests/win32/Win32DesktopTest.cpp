// The desktop services on the real (Wine's or Windows') desktop: the Num Lock pulse, the
// foreground window and the topmost band, with the topmost keeper of the main window.

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "main_window/FERN_BADGER_PULSEWARD_MAIN.h"
#include "toolkit/Application.h"
#include "toolkit/Desktop.h"
#include "toolkit/Forms.h"
#include "toolkit/MsgBox.h"
#include "toolkit/Peers.h"
#include "toolkit/SettingsStore.h"
#include "toolkit/ShellObject.h"

// After the toolkit's headers: <windows.h> defines macros named like toolkit/Desktop.h's
// stacking constants.
#include <windows.h>

namespace {

// Settings in memory: the main window reads them, and nothing here should reach the registry.
class MemoryStore : public toolkit::SettingsStore {
  public:
    std::optional<std::string> read(std::string_view, std::string_view section,
                                    std::string_view key) override {
        const auto found = values.find(std::string(section) + "/" + std::string(key));
        return found == values.end() ? std::nullopt : std::optional(found->second);
    }
    void write(std::string_view, std::string_view section, std::string_view key,
               std::string_view value) override {
        values[std::string(section) + "/" + std::string(key)] = std::string(value);
    }
    std::map<std::string, std::string> values;
};

toolkit::WindowDesign design(const char* caption) {
    toolkit::WindowDesign design;
    design.caption = caption;
    design.clientWidth = 3000;
    design.clientHeight = 1500;
    return design;
}

class PlainForm : public toolkit::Form {
  public:
    explicit PlainForm(const char* caption) : Form(design(caption)) {}
};

HWND hwndOf(const toolkit::Form& form) {
    return reinterpret_cast<HWND>(form.hWnd());
}

bool isTopmost(HWND window) {
    return GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST;
}

// Delivers messages (the key messages among them) for a while, or until the condition holds.
template <typename Condition>
bool pumpUntil(Condition condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition() && std::chrono::steady_clock::now() < end) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    }
    return condition();
}

bool numLockOn() {
    return GetKeyState(VK_NUMLOCK) & 1;
}

class Win32DesktopTest : public testing::Test {
  protected:
    void TearDown() override {
        for (int i = toolkit::Forms.Count() - 1; i >= 0; --i) {
            toolkit::Unload(toolkit::Forms(i));
        }
    }
};

TEST_F(Win32DesktopTest, EachPulseTogglesNumLockOnce) {
    PlainForm form("keys");
    form.Show();
    SetForegroundWindow(hwndOf(form));
    pumpUntil([] { return false; }, std::chrono::milliseconds(100));

    for (int pulse = 0; pulse < 4; ++pulse) {
        const bool before = numLockOn();
        toolkit::CreateObject("WScript.Shell")->SendKeys("{NUMLOCK}");
        EXPECT_TRUE(pumpUntil([&] { return numLockOn() != before; }, std::chrono::seconds(3)))
            << "pulse " << pulse;
        // A release that came late would toggle nothing more, but a second press would.
        pumpUntil([] { return false; }, std::chrono::milliseconds(50));
        EXPECT_NE(numLockOn(), before) << "pulse " << pulse;
    }
}

TEST_F(Win32DesktopTest, TheForegroundWindowIsTheOneShownLast) {
    PlainForm first("first"), second("second");
    first.Show();
    second.Show();
    pumpUntil([&] { return toolkit::GetForegroundWindow() == second.hWnd(); },
              std::chrono::seconds(2));
    EXPECT_EQ(toolkit::GetForegroundWindow(), second.hWnd());
}

TEST_F(Win32DesktopTest, StackingEntersAndLeavesTheTopmostBandWithoutActivating) {
    PlainForm active("active"), other("other");
    other.Show();
    active.Show();
    pumpUntil([&] { return GetForegroundWindow() == hwndOf(active); }, std::chrono::seconds(2));
    ASSERT_EQ(GetForegroundWindow(), hwndOf(active));
    // The toolkit's constants have the system's values (and names, now macros).
    const auto topmost = reinterpret_cast<toolkit::WindowHandle>(HWND_TOPMOST);
    const auto notTopmost = reinterpret_cast<toolkit::WindowHandle>(HWND_NOTOPMOST);
    RECT before;
    GetWindowRect(hwndOf(other), &before);

    EXPECT_NE(toolkit::SetWindowPos(other.hWnd(), topmost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE), 0);
    EXPECT_TRUE(isTopmost(hwndOf(other)));
    EXPECT_FALSE(isTopmost(hwndOf(active)));
    EXPECT_EQ(GetForegroundWindow(), hwndOf(active)) << "the window is not activated";
    RECT after;
    GetWindowRect(hwndOf(other), &after);
    EXPECT_TRUE(EqualRect(&before, &after)) << "nor moved or sized";

    EXPECT_NE(toolkit::SetWindowPos(other.hWnd(), notTopmost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE),
              0);
    EXPECT_FALSE(isTopmost(hwndOf(other)));
    EXPECT_EQ(toolkit::SetWindowPos(0, notTopmost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE), 0)
        << "no window, nothing done";
}

TEST_F(Win32DesktopTest, TheKeeperTakesTheTopmostBandFromTheForegroundWindow) {
    pulseward::FERN_BADGER_PULSEWARD_MAIN main;
    auto store = std::make_unique<MemoryStore>();
    store->values["Settings/AUTOSTART_TICKBOX"] = "0";
    toolkit::setSettingsStore(std::move(store));
    main.Show();
    PlainForm other("other");
    other.Show();
    pumpUntil([&] { return GetForegroundWindow() == hwndOf(other); }, std::chrono::seconds(2));
    ASSERT_EQ(GetForegroundWindow(), hwndOf(other));
    SetWindowPos(hwndOf(other), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ASSERT_TRUE(isTopmost(hwndOf(other)));

    main.AlwaysOnTopTimer_Timer();

    EXPECT_FALSE(isTopmost(hwndOf(other)));
    EXPECT_TRUE(isTopmost(hwndOf(main)));
    EXPECT_EQ(GetForegroundWindow(), hwndOf(other)) << "the keeper does not steal the focus";
    toolkit::setSettingsStore(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    toolkit::Application application(argc, argv, "FERN-BADGER-PULSEWARD");
    toolkit::setSettingsStore(std::make_unique<MemoryStore>());
    toolkit::setMessageSink(
        [](std::string_view prompt, int) { ADD_FAILURE() << "unexpected message: " << prompt; });
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
