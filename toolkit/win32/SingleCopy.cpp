// The single running copy as Windows programs keep it: a named mutex in the session's own
// namespace ("Local\"), and a message-only window the running copy creates, which later starts
// find and send their commands to with WM_COPYDATA. Both names carry the user's SID, so two
// users in one session (runas) each have a copy of their own.
// Implemented: Raise (the sender lets the running copy take the foreground), Start, StartFor,
// Stop, Toggle, Quit (carried out once the sender has its answer), and the state.
// Not done: nothing reaches a copy in another session or another user's copy; each runs alone.

#include "../SingleCopy.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>

#include "../RuntimeError.h"
#include "Widgets.h"

// After <windows.h>, which Widgets.h brings.
#include <sddl.h>

namespace toolkit::SingleCopy {

namespace {

constexpr wchar_t controlClass[] = L"PulsewardRunningCopy";
// Marks our messages: any program in the session may send WM_COPYDATA to any window.
constexpr ULONG_PTR messageTag = 0x50570000;
constexpr ULONG_PTR queryCommand = 0xFF;
constexpr UINT quitMessage = WM_APP + 1;
constexpr UINT callLimitMs = 5000;
// How long a copy that holds the mutex may take to show its control window.
constexpr auto startingLimit = std::chrono::seconds(5);

// What a command carries: the seconds of StartFor.
struct Packet {
    std::int64_t seconds = 0;
};

// The answer: bit 0 says the copy answered, bit 1 whether the pulse runs, the rest the seconds
// left plus one (0: no limit). It fits 32 bits for every limit the program takes.
constexpr LRESULT answered = 1;

LRESULT encode(const State& state) {
    const long long left = state.secondsLeft < 0 ? 0 : std::min(state.secondsLeft, 0xFFFFFFLL) + 1;
    return answered | (state.running ? 2 : 0) | LRESULT(left << 2);
}

State decode(DWORD_PTR answer) {
    return State{(answer & 2) != 0, (long long)(answer >> 2) - 1};
}

std::wstring readUserSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return L"unknown-user";
    }
    std::wstring result = L"unknown-user";
    alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    LPWSTR text = nullptr;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
        result = text;
        LocalFree(text);
    }
    CloseHandle(token);
    return result;
}

// Read once: a start that waits for a copy asks for its names many times.
const std::wstring& userSid() {
    static const std::wstring sid = readUserSid();
    return sid;
}

// The control window's title; the mutex is the same name in the session's namespace.
std::wstring copyName(std::string_view id) {
    return win32::widen(id) + L"." + userSid();
}

std::wstring mutexName(std::string_view id) {
    return L"Local\\" + copyName(id);
}

bool mutexHeld(const std::wstring& name) {
    const HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
    if (!mutex) {
        return false;
    }
    CloseHandle(mutex);
    return true;
}

// The running copy's control window; a copy that holds the mutex but is still starting gets a
// few seconds to create it.
HWND findCopy(std::string_view id) {
    const std::wstring name = copyName(id);
    const std::wstring mutex = mutexName(id);
    const auto end = std::chrono::steady_clock::now() + startingLimit;
    for (;;) {
        if (const HWND window = FindWindowExW(HWND_MESSAGE, nullptr, controlClass, name.c_str())) {
            return window;
        }
        if (!mutexHeld(mutex) || std::chrono::steady_clock::now() >= end) {
            return nullptr;
        }
        Sleep(20);
    }
}

// Nothing but the answer, or nothing when the copy did not answer in time.
std::optional<DWORD_PTR> call(HWND copy, ULONG_PTR command, long long seconds) {
    Packet packet{seconds};
    COPYDATASTRUCT data{messageTag | command, sizeof packet, &packet};
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(copy, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                             SMTO_ABORTIFHUNG, callLimitMs, &answer) ||
        !(answer & answered)) {
        return std::nullopt;
    }
    return answer;
}

Handlers* handlersOf(HWND window) {
    return reinterpret_cast<Handlers*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT carryOut(HWND window, Handlers& handlers, const COPYDATASTRUCT& data) {
    if ((data.dwData & ~ULONG_PTR(0xFF)) != messageTag || data.cbData != sizeof(Packet) ||
        !data.lpData) {
        return 0;
    }
    Packet packet;
    std::memcpy(&packet, data.lpData, sizeof packet);
    switch (data.dwData & 0xFF) {
        case ULONG_PTR(Command::Raise):
            invokeHandler(handlers.raise);
            return answered;
        case ULONG_PTR(Command::Start):
            invokeHandler(handlers.start);
            return answered;
        case ULONG_PTR(Command::StartFor):
            invokeHandler([&] { handlers.startFor(packet.seconds); });
            return answered;
        case ULONG_PTR(Command::Stop):
            invokeHandler(handlers.stop);
            return answered;
        case ULONG_PTR(Command::Toggle):
            invokeHandler(handlers.toggle);
            return answered;
        case ULONG_PTR(Command::Quit):
            // Once the sender has its answer: the program may end with it.
            PostMessageW(window, quitMessage, 0, 0);
            return answered;
        case queryCommand:
            return encode(handlers.state());
        default:
            return 0;
    }
}

LRESULT CALLBACK controlProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Handlers* handlers = handlersOf(window);
    if (message == WM_COPYDATA && handlers && lParam) {
        return carryOut(window, *handlers, *reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    }
    if (message == quitMessage && handlers) {
        invokeHandler(handlers->quit);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

Reached send(std::string_view id, Command command, long long seconds) {
    const HWND copy = findCopy(id);
    if (!copy) {
        return Reached::NoCopy;
    }
    if (command == Command::Raise) {
        DWORD process = 0;
        GetWindowThreadProcessId(copy, &process);
        AllowSetForegroundWindow(process);
    }
    // The copy may have ended between the look and the call; a busy one still has the command.
    return call(copy, ULONG_PTR(command), seconds) || IsWindow(copy) ? Reached::Done
                                                                     : Reached::NoCopy;
}

std::optional<State> query(std::string_view id) {
    const HWND copy = findCopy(id);
    if (!copy) {
        return std::nullopt;
    }
    const auto answer = call(copy, queryCommand, 0);
    return answer ? std::optional(decode(*answer)) : std::nullopt;
}

Claim claim(std::string_view id, Handlers handlers) {
    // Held until the process ends, when Windows lets it go whatever way the process ends.
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, mutexName(id).c_str());
    if (!mutex) {
        return Claim::NoSession;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return Claim::Taken;
    }
    const HWND window =
        win32::createMessageWindow(controlClass, controlProcedure, copyName(id).c_str());
    if (!window) {
        CloseHandle(mutex);
        return Claim::NoSession;
    }
    // Both live as long as the program, as the window does.
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(new Handlers(std::move(handlers))));
    return Claim::Ours;
}

}  // namespace toolkit::SingleCopy
