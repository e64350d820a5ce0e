// The test support's Win32 parts: a registry branch of the test program's own stands in for
// HKEY_CURRENT_USER (so the real store runs without touching the user's settings), a scratch
// folder, and the toolkit's own message loop.

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "tests/support/TestEnvironment.h"
#include "toolkit/Peers.h"

// After the toolkit's headers: <windows.h> defines macros named like toolkit/Desktop.h's
// stacking constants.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace testing_support {

namespace {

constexpr wchar_t appKey[] = L"Software\\VB and VBA Program Settings\\FERN-BADGER-PULSEWARD";
std::wstring theRoot;  // under the real HKEY_CURRENT_USER
HKEY theRootKey = nullptr;
std::string theConfigDir;

std::wstring widen(const std::string& text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring result(std::size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), result.data(), length);
    return result;
}

std::string narrow(const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string result(std::size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), result.data(), length, nullptr,
                        nullptr);
    return result;
}

std::wstring lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), ::towlower);
    return text;
}

}  // namespace

const std::string& configDir() {
    return theConfigDir;
}

std::string settingsFile() {
    return "HKEY_CURRENT_USER\\" + narrow(appKey);
}

void clearSettings() {
    RegDeleteTreeW(HKEY_CURRENT_USER, appKey);
}

// "[Section]" lines and "key=value" lines, each value a REG_SZ.
void writeSettingsFile(const std::string& contents) {
    clearSettings();
    std::istringstream lines(contents);
    std::string line, section;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::wstring path = std::wstring(appKey) + L"\\" + widen(section);
        const std::wstring value = widen(line.substr(equals + 1));
        RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), widen(line.substr(0, equals)).c_str(),
                        REG_SZ, value.c_str(), DWORD((value.size() + 1) * sizeof(wchar_t)));
    }
}

// The program's key as INI text: sections and names in case-blind order, as Qt writes them.
std::string readSettingsFile() {
    HKEY app = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, appKey, 0, KEY_READ, &app) != ERROR_SUCCESS) {
        return {};
    }
    std::map<std::wstring, std::wstring> sections;  // lower-case name -> name
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(app, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        sections[lower(name)] = name;
    }
    std::string text;
    for (const auto& [key, section] : sections) {
        HKEY values = nullptr;
        if (RegOpenKeyExW(app, section.c_str(), 0, KEY_READ, &values) != ERROR_SUCCESS) {
            continue;
        }
        std::map<std::wstring, std::pair<std::wstring, std::wstring>> entries;
        for (DWORD i = 0;; ++i) {
            DWORD nameLength = 256;
            DWORD type = 0;
            DWORD bytes = 0;
            if (RegEnumValueW(values, i, name, &nameLength, nullptr, &type, nullptr, &bytes) !=
                ERROR_SUCCESS) {
                break;
            }
            std::wstring data(bytes / sizeof(wchar_t) + 1, L'\0');
            nameLength = 256;
            bytes = DWORD(data.size() * sizeof(wchar_t));
            RegEnumValueW(values, i, name, &nameLength, nullptr, &type,
                          reinterpret_cast<BYTE*>(data.data()), &bytes);
            data.resize(wcsnlen(data.c_str(), bytes / sizeof(wchar_t)));
            entries[lower(name)] = {name, data};
        }
        RegCloseKey(values);
        if (!text.empty()) {
            text += "\n";
        }
        text += "[" + narrow(section) + "]\n";
        for (const auto& [k, entry] : entries) {
            text += narrow(entry.first) + "=" + narrow(entry.second) + "\n";
        }
    }
    RegCloseKey(app);
    return text;
}

// A volatile program key: the store's section key, which it makes non-volatile, cannot go
// under it.
UnwritableSettings::UnwritableSettings() {
    clearSettings();
    // Only the program's own key is volatile: made along with it, its parent would be too, and
    // stay so for every later test.
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings", 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        RegCloseKey(key);
    }
    if (RegCreateKeyExW(HKEY_CURRENT_USER, appKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_READ,
                        nullptr, &key, nullptr) == ERROR_SUCCESS) {
        RegCloseKey(key);
    }
}

UnwritableSettings::~UnwritableSettings() {
    clearSettings();
}

void runEventsFor(std::chrono::milliseconds duration) {
    bool done = false;
    auto timer = toolkit::windowSystem().createTimer([&done] {
        done = true;
        toolkit::windowSystem().modalStateChanged();
    });
    timer->arm(toolkit::steadyNowNs() +
               std::chrono::duration_cast<std::chrono::nanoseconds>(duration).count());
    toolkit::windowSystem().runModalLoop([&done] { return !done; });
}

void processPendingEvents() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

namespace backend {

void prepare() {
    const std::wstring id = std::to_wstring(GetCurrentProcessId());
    theRoot = L"Software\\FERN-BADGER-PULSEWARD tests\\" + id;
    RegDeleteTreeW(HKEY_CURRENT_USER, theRoot.c_str());
    RegCreateKeyExW(HKEY_CURRENT_USER, theRoot.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                    KEY_ALL_ACCESS, nullptr, &theRootKey, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, theRootKey);

    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    const std::filesystem::path folder =
        std::filesystem::path(temp) / (L"FERN-BADGER-PULSEWARD tests " + id);
    std::filesystem::create_directories(folder);
    theConfigDir = narrow(folder.wstring());
}

void cleanUp() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(theRootKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, theRoot.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\FERN-BADGER-PULSEWARD tests");  // once empty
    std::error_code ignored;
    std::filesystem::remove_all(widen(theConfigDir), ignored);
}

}  // namespace backend

}  // namespace testing_support
