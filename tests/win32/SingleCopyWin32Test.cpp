// The running copy's side and a later start's side of the single-copy rule in one process: the
// control window answers this thread's own sends just as it answers another process's.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/SingleCopy.h"

#include <windows.h>

namespace {

namespace SingleCopy = toolkit::SingleCopy;
using SingleCopy::Claim;
using SingleCopy::Command;
using SingleCopy::Reached;

class SingleCopyWin32 : public ::testing::Test {
  protected:
    // Mutexes and control windows live as long as the process: each test has its own name.
    const std::string id = std::string("org.example.pulseward.test.") +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name();

    SingleCopy::Handlers handlers() {
        return {.raise = [this] { heard.push_back("raise"); },
                .start = [this] { heard.push_back("start"); },
                .startFor = [this](long long s) { heard.push_back("for " + std::to_string(s)); },
                .stop = [this] { heard.push_back("stop"); },
                .toggle = [this] { heard.push_back("toggle"); },
                .quit = [this] { heard.push_back("quit"); },
                .state = [this] { return state; }};
    }

    HWND controlWindow() const {
        const std::wstring title(id.begin(), id.end());
        wchar_t text[256];
        for (HWND window = nullptr;
             (window = FindWindowExW(HWND_MESSAGE, window, L"PulsewardRunningCopy", nullptr));) {
            if (GetWindowTextW(window, text, 256) > 0 && std::wstring(text).starts_with(title)) {
                return window;
            }
        }
        return nullptr;
    }

    static void deliverPosted() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
    }

    std::vector<std::string> heard;
    SingleCopy::State state;
};

TEST_F(SingleCopyWin32, NothingAnswersBeforeACopyClaimsTheName) {
    EXPECT_EQ(SingleCopy::send(id, Command::Start), Reached::NoCopy);
    EXPECT_FALSE(SingleCopy::query(id));
    EXPECT_TRUE(heard.empty());
}

TEST_F(SingleCopyWin32, TheFirstClaimHoldsTheNameAndLaterOnesFindItTaken) {
    EXPECT_EQ(SingleCopy::claim(id, handlers()), Claim::Ours);
    EXPECT_EQ(SingleCopy::claim(id, handlers()), Claim::Taken);
    EXPECT_EQ(SingleCopy::claim(id + ".other", handlers()), Claim::Ours);
}

TEST_F(SingleCopyWin32, EachCommandReachesItsHandlerInTheOrderSent) {
    ASSERT_EQ(SingleCopy::claim(id, handlers()), Claim::Ours);
    EXPECT_EQ(SingleCopy::send(id, Command::Raise), Reached::Done);
    EXPECT_EQ(SingleCopy::send(id, Command::Start), Reached::Done);
    EXPECT_EQ(SingleCopy::send(id, Command::StartFor, 5400), Reached::Done);
    EXPECT_EQ(SingleCopy::send(id, Command::Stop), Reached::Done);
    EXPECT_EQ(SingleCopy::send(id, Command::Toggle), Reached::Done);
    EXPECT_EQ(heard, (std::vector<std::string>{"raise", "start", "for 5400", "stop", "toggle"}));
}

TEST_F(SingleCopyWin32, QuitIsCarriedOutOnlyOnceTheSenderHasItsAnswer) {
    ASSERT_EQ(SingleCopy::claim(id, handlers()), Claim::Ours);
    EXPECT_EQ(SingleCopy::send(id, Command::Quit), Reached::Done);
    EXPECT_TRUE(heard.empty());
    deliverPosted();
    EXPECT_EQ(heard, std::vector<std::string>{"quit"});
}

TEST_F(SingleCopyWin32, TheStateComesBackAsTheCopyTellsIt) {
    ASSERT_EQ(SingleCopy::claim(id, handlers()), Claim::Ours);
    const SingleCopy::State rows[] = {
        {false, -1}, {true, -1}, {true, 0}, {true, 1}, {true, 168 * 3600}};
    for (const SingleCopy::State& row : rows) {
        state = row;
        const auto answer = SingleCopy::query(id);
        ASSERT_TRUE(answer) << row.running << " " << row.secondsLeft;
        EXPECT_EQ(answer->running, row.running) << row.secondsLeft;
        EXPECT_EQ(answer->secondsLeft, row.secondsLeft) << row.running;
    }
}

// Any program in the session can send WM_COPYDATA to the control window.
TEST_F(SingleCopyWin32, MessagesThatAreNotOurCommandsAreRefused) {
    ASSERT_EQ(SingleCopy::claim(id, handlers()), Claim::Ours);
    const HWND copy = controlWindow();
    ASSERT_TRUE(copy);
    const ULONG_PTR tag = 0x50570000;
    char packet[16] = {};
    const struct {
        const char* what;
        COPYDATASTRUCT data;
    } rows[] = {
        {"another program's tag", {0x12340000 | ULONG_PTR(Command::Start), 8, packet}},
        {"a command we do not know", {tag | 0x42, 8, packet}},
        {"a short packet", {tag | ULONG_PTR(Command::StartFor), 4, packet}},
        {"a long packet", {tag | ULONG_PTR(Command::StartFor), 9, packet}},
        {"no packet", {tag | ULONG_PTR(Command::Stop), 8, nullptr}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(SendMessageW(copy, WM_COPYDATA, 0, LPARAM(&row.data)), 0) << row.what;
    }
    EXPECT_TRUE(heard.empty());
}

}  // namespace
