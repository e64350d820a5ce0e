// The window system on plain Win32: message loop, precise timers, screens, message boxes.
//
// Implemented: the message loop with dialog keyboard navigation and nested modal loops; timers
// armed for an absolute deadline on one high-resolution waitable timer (never early, about a
// millisecond late at most while our own loop runs), with a window timer as a coarser stand-in
// while a loop of the system's runs (a message box, moving a window); twips from the primary
// monitor's dpi; screens from the monitors; the user's decimal separator; message boxes owned
// by the active window; the program's end on the session's end (through the form windows)
// and on console control events.
// Not implemented: quitting from another thread than the console handler's.

#include "Widgets.h"

#include <mmsystem.h>
#include <objbase.h>

#include <algorithm>
#include <vector>

#include "../Form.h"
#include "../Peers.h"

namespace toolkit {

namespace {

constexpr wchar_t messengerClass[] = L"PulsewardMessenger";
constexpr UINT endRequestMessage = WM_APP + 2;
constexpr UINT_PTR fallbackTimerId = 1;

class Win32WindowSystem;
Win32WindowSystem* theSystem = nullptr;
HWND theMessenger = nullptr;
// Signalled once a console control event's end request has been handled.
HANDLE endHandled = nullptr;

class Win32TimerPeer;

// Every timer's deadline on one waitable timer, set for the earliest.
class TimerQueue {
  public:
    TimerQueue() {
        // High resolution from Windows 10 (1803) on; before that a finer system tick.
        waitable_ = CreateWaitableTimerExW(nullptr, nullptr,
                                           0x00000002 /* CREATE_WAITABLE_TIMER_HIGH_RESOLUTION */,
                                           TIMER_ALL_ACCESS);
        if (!waitable_) {
            waitable_ = CreateWaitableTimerW(nullptr, FALSE, nullptr);
            timeBeginPeriod(1);
            finerTick_ = true;
        }
    }
    ~TimerQueue() {
        if (finerTick_) {
            timeEndPeriod(1);
        }
        CloseHandle(waitable_);
    }
    TimerQueue(const TimerQueue&) = delete;
    TimerQueue& operator=(const TimerQueue&) = delete;

    HANDLE waitable() const { return waitable_; }
    void add(Win32TimerPeer* timer) { timers_.push_back(timer); }
    void remove(Win32TimerPeer* timer);
    void schedule();
    bool anyDue() const;
    void fireDue();

  private:
    const Win32TimerPeer* earliest() const;

    HANDLE waitable_ = nullptr;
    bool finerTick_ = false;
    std::vector<Win32TimerPeer*> timers_;
};

class Win32TimerPeer : public TimerPeer {
  public:
    Win32TimerPeer(TimerQueue& queue, std::function<void()> fired)
        : queue_(queue), fired_(std::move(fired)) {
        queue_.add(this);
    }
    ~Win32TimerPeer() override { queue_.remove(this); }

    void arm(long long deadlineNs) override {
        deadlineNs_ = deadlineNs;
        armed_ = true;
        queue_.schedule();
    }

    void disarm() override {
        armed_ = false;
        queue_.schedule();
    }

  private:
    friend class TimerQueue;
    TimerQueue& queue_;
    std::function<void()> fired_;
    long long deadlineNs_ = 0;
    bool armed_ = false;
};

void TimerQueue::remove(Win32TimerPeer* timer) {
    std::erase(timers_, timer);
    schedule();
}

const Win32TimerPeer* TimerQueue::earliest() const {
    const Win32TimerPeer* first = nullptr;
    for (const Win32TimerPeer* timer : timers_) {
        if (timer->armed_ && (!first || timer->deadlineNs_ < first->deadlineNs_)) {
            first = timer;
        }
    }
    return first;
}

bool TimerQueue::anyDue() const {
    const Win32TimerPeer* first = earliest();
    return first && first->deadlineNs_ <= steadyNowNs();
}

void TimerQueue::schedule() {
    const Win32TimerPeer* first = earliest();
    if (!first) {
        CancelWaitableTimer(waitable_);
        if (theMessenger) {
            KillTimer(theMessenger, fallbackTimerId);
        }
        return;
    }
    const long long remainingNs = std::max(0LL, first->deadlineNs_ - steadyNowNs());
    LARGE_INTEGER due;
    // Relative, in 100 ns units, rounded up.
    due.QuadPart = -std::max(1LL, (remainingNs + 99) / 100);
    SetWaitableTimer(waitable_, &due, 0, nullptr, nullptr, FALSE);
    if (theMessenger) {
        const long long ms = (remainingNs + 999'999) / 1'000'000;
        SetTimer(theMessenger, fallbackTimerId,
                 static_cast<UINT>(std::clamp(ms, 1LL, 0x7FFFFFFFLL)), nullptr);
    }
}

void TimerQueue::fireDue() {
    // Timers armed again by a tick are due after this moment, so each fires at most once here.
    const long long now = steadyNowNs();
    for (;;) {
        Win32TimerPeer* next = nullptr;
        for (Win32TimerPeer* timer : timers_) {
            if (timer->armed_ && timer->deadlineNs_ <= now &&
                (!next || timer->deadlineNs_ < next->deadlineNs_)) {
                next = timer;
            }
        }
        if (!next) {
            break;
        }
        next->armed_ = false;
        const auto fired = next->fired_;  // the tick may destroy the timer
        fired();
    }
    schedule();
}

BOOL WINAPI consoleControl(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            // This runs on a thread of its own: the message loop ends the program, and the
            // system ends the process once this returns.
            if (theMessenger && PostMessageW(theMessenger, endRequestMessage, 0, 0)) {
                WaitForSingleObject(endHandled, 4000);
            }
            return TRUE;
        default:
            return FALSE;
    }
}

class Win32WindowSystem : public WindowSystem {
  public:
    Win32WindowSystem() {
        theSystem = this;
        comInitialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        win32::registerWindowClasses();

        theMessenger = win32::createMessageWindow(messengerClass, messengerProc, L"");
        endHandled = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        SetConsoleCtrlHandler(consoleControl, TRUE);
    }

    ~Win32WindowSystem() override {
        SetConsoleCtrlHandler(consoleControl, FALSE);
        DestroyWindow(theMessenger);
        theMessenger = nullptr;
        CloseHandle(endHandled);
        endHandled = nullptr;
        theSystem = nullptr;
        if (comInitialised_) {
            CoUninitialize();
        }
    }

    std::unique_ptr<WindowPeer> createWindow(const WindowDesign& design) override {
        return win32::createWindowPeer(design);
    }

    std::unique_ptr<TimerPeer> createTimer(std::function<void()> fired) override {
        return std::make_unique<Win32TimerPeer>(timers_, std::move(fired));
    }

    double twipsPerPixelX() const override { return 1440.0 / win32::dpiOf(nullptr); }
    double twipsPerPixelY() const override { return 1440.0 / win32::dpiOf(nullptr); }

    std::vector<PixelRect> screens() const override {
        std::vector<PixelRect> result;
        EnumDisplayMonitors(
            nullptr, nullptr,
            [](HMONITOR, HDC, LPRECT r, LPARAM list) -> BOOL {
                reinterpret_cast<std::vector<PixelRect>*>(list)->push_back(
                    {r->left, r->top, r->right - r->left, r->bottom - r->top});
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&result));
        return result;
    }

    char decimalSeparator() const override {
        wchar_t separator[8] = {};
        if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) >= 2 &&
            separator[0] > 0 && separator[0] < 0x80 && separator[1] == L'\0') {
            return static_cast<char>(separator[0]);
        }
        return '.';
    }

    int runEventLoop() override {
        running_ = true;
        quit_ = false;
        deliverEvents([this] { return !quit_; });
        running_ = false;
        return 0;
    }

    void quitEventLoop() override {
        if (running_) {
            quit_ = true;
            PostMessageW(theMessenger, WM_NULL, 0, 0);
        }
        // A message box's own loop ends only on the quit message, which it passes on: once the
        // program ends (--quit from a later start, the session's end) nobody is to answer it.
        if (messageBoxes_ > 0) {
            PostQuitMessage(0);
        }
    }

    void runModalLoop(const std::function<bool()>& stillOpen) override { deliverEvents(stillOpen); }

    void modalStateChanged() override { PostMessageW(theMessenger, WM_NULL, 0, 0); }

    void messageBox(std::string_view title, std::string_view text, bool critical) override {
        ++messageBoxes_;
        MessageBoxW(GetActiveWindow(), win32::widen(text).c_str(), win32::widen(title).c_str(),
                    MB_OK | MB_SETFOREGROUND | (critical ? MB_ICONERROR : MB_ICONWARNING));
        --messageBoxes_;
    }

    void ending() {
        if (endRequested) {
            const auto handler = endRequested;
            handler();
        }
    }

  private:
    // Until the condition fails: due timers first, then one message at a time, then a wait for
    // either. The condition is checked after every step.
    void deliverEvents(const std::function<bool()>& keepGoing) {
        HANDLE waitable = timers_.waitable();
        while (keepGoing()) {
            if (timers_.anyDue()) {
                timers_.fireDue();
                continue;
            }
            MSG message;
            if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT) {
                    quit_ = true;
                    // Every loop up the stack ends as well.
                    PostQuitMessage(static_cast<int>(message.wParam));
                    return;
                }
                HWND form = win32::navigationTarget(message);
                if (!form || !IsDialogMessageW(form, &message)) {
                    TranslateMessage(&message);
                    DispatchMessageW(&message);
                }
                continue;
            }
            if (MsgWaitForMultipleObjectsEx(1, &waitable, INFINITE, QS_ALLINPUT,
                                            MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0) {
                timers_.fireDue();
            }
        }
    }

    static LRESULT CALLBACK messengerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case WM_TIMER:
                if (wParam == fallbackTimerId && theSystem) {
                    theSystem->timers_.fireDue();
                }
                return 0;
            case win32::closeRequestMessage:
                win32::deliverCloseRequest(reinterpret_cast<HWND>(wParam));
                return 0;
            case endRequestMessage:
                if (theSystem) {
                    theSystem->ending();
                }
                SetEvent(endHandled);
                return 0;
            default:
                return DefWindowProcW(window, message, wParam, lParam);
        }
    }

    TimerQueue timers_;
    bool comInitialised_ = false;
    bool running_ = false;
    bool quit_ = false;
    int messageBoxes_ = 0;
};

}  // namespace

namespace win32 {

HWND messenger() {
    return theMessenger;
}

void sessionEnding() {
    if (theSystem) {
        theSystem->ending();
    }
}

}  // namespace win32

std::unique_ptr<WindowSystem> createWindowSystem(int&, char**) {
    return std::make_unique<Win32WindowSystem>();
}

}  // namespace toolkit
