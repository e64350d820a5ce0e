// Warnings on Windows, where a program without a console has no stderr: each line goes to the
// debug output, where a debugger or DebugView shows it. OutputDebugString raises an exception
// that a debugger takes (the wide one on Windows 10 and later, the narrow one under Wine and as
// the fallback); a vectored handler sees it before anyone else, as a debugger would.

#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "tests/support/TestEnvironment.h"
#include "toolkit/MsgBox.h"
#include "toolkit/RuntimeError.h"
#include "toolkit/Warning.h"

// After the toolkit's headers: <windows.h> defines macros named like toolkit/Desktop.h's
// stacking constants.
#include <windows.h>

namespace {

constexpr DWORD printException = 0x40010006;      // DBG_PRINTEXCEPTION_C
constexpr DWORD printExceptionWide = 0x4001000A;  // DBG_PRINTEXCEPTION_WIDE_C

// What reached the debug output, each text as the debugger would show it.
std::vector<std::wstring> debugOutput;

std::wstring fromCodePage(UINT codePage, const std::string& text) {
    const int length = MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring result(std::size_t(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), result.data(), length);
    return result;
}

LONG CALLBACK catchDebugOutput(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    if (record.NumberParameters < 2) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    const auto length = static_cast<std::size_t>(record.ExceptionInformation[0]);
    if (record.ExceptionCode == printExceptionWide) {
        const auto* text = reinterpret_cast<const wchar_t*>(record.ExceptionInformation[1]);
        debugOutput.emplace_back(text, wcsnlen(text, length));
    } else if (record.ExceptionCode == printException) {
        const auto* text = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
        debugOutput.push_back(fromCodePage(CP_ACP, std::string(text, strnlen(text, length))));
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

class WarningTest : public testing::Test {
  protected:
    void SetUp() override {
        debugOutput.clear();
        handler_ = AddVectoredExceptionHandler(1, catchDebugOutput);
        ASSERT_NE(handler_, nullptr);
    }
    void TearDown() override { RemoveVectoredExceptionHandler(handler_); }

    // Whether the line reached the debug output as one text.
    static bool seen(const std::wstring& line) {
        for (const std::wstring& text : debugOutput) {
            if (text == line + L"\n") {
                return true;
            }
        }
        return false;
    }

  private:
    void* handler_ = nullptr;
};

TEST_F(WarningTest, EachLineGoesToTheDebugOutputAsOneText) {
    toolkit::Warn("FERN-BADGER-PULSEWARD: the setting MainLeft is not a number");
    toolkit::Warn("second line");
    EXPECT_TRUE(seen(L"FERN-BADGER-PULSEWARD: the setting MainLeft is not a number"));
    EXPECT_TRUE(seen(L"second line"));
}

// The text as a debugger shows it that hears only the narrow text, in the system's code page.
std::wstring throughCodePage(const std::wstring& text) {
    std::string narrow(text.size() * 4, '\0');
    narrow.resize(
        std::size_t(WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), narrow.data(),
                                        int(narrow.size()), nullptr, nullptr)));
    return fromCodePage(CP_ACP, narrow);
}

TEST_F(WarningTest, TheLineIsReadAsUtf8) {
    toolkit::Warn("caf\xC3\xA9 \xE2\x82\xAC");  // U+00E9 and U+20AC in UTF-8
    const std::wstring line = L"caf\u00E9 \u20AC";
    EXPECT_TRUE(seen(line) || seen(throughCodePage(line)));
}

// The run-time error report ends the program; in a child process of the test, whose message
// box prints what reached the debug output by then.
TEST_F(WarningTest, TheRunTimeErrorReportGoesToTheDebugOutputToo) {
    EXPECT_EXIT(
        {
            toolkit::setErrorReport(nullptr);
            toolkit::setMessageSink([](std::string_view, int) {
                for (const std::wstring& text : debugOutput) {
                    std::fprintf(stderr, "debug output: %ls", text.c_str());
                }
                std::fflush(stderr);
            });
            toolkit::reportRuntimeError(toolkit::RuntimeError::typeMismatch());
        },
        testing::ExitedWithCode(1),
        "debug output: FERN-BADGER-PULSEWARD: Run-time error '13': Type mismatch");
}

}  // namespace
