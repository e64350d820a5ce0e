// The per-user settings store on Win32: the registry under
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>, one REG_SZ
// value per key.
//
// Implemented: reads that see other processes' writes, writes flushed to disk before they
// return, texts in any script (stored as UTF-16).
// Not implemented: change notification; values of other registry types read as absent.

#include "Widgets.h"

#include "../RuntimeError.h"
#include "../SettingsStore.h"

namespace toolkit {

namespace {

std::wstring keyPath(std::string_view appName, std::string_view section) {
    return L"Software\\VB and VBA Program Settings\\" + win32::widen(appName) + L"\\" +
           win32::widen(section);
}

class RegistrySettingsStore : public SettingsStore {
  public:
    std::optional<std::string> read(std::string_view appName, std::string_view section,
                                    std::string_view key) override {
        const std::wstring path = keyPath(appName, section);
        const std::wstring name = win32::widen(key);
        // Another process may grow the value between the two calls.
        for (int attempt = 0; attempt < 3; ++attempt) {
            DWORD bytes = 0;
            LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(),
                                          RRF_RT_REG_SZ, nullptr, nullptr, &bytes);
            if (status != ERROR_SUCCESS) {
                return std::nullopt;
            }
            std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
            bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
            status = RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), RRF_RT_REG_SZ,
                                  nullptr, text.data(), &bytes);
            if (status == ERROR_MORE_DATA) {
                continue;
            }
            if (status != ERROR_SUCCESS) {
                return std::nullopt;
            }
            text.resize(wcsnlen(text.c_str(), bytes / sizeof(wchar_t)));
            return win32::narrow(text);
        }
        return std::nullopt;
    }

    void write(std::string_view appName, std::string_view section, std::string_view key,
               std::string_view value) override {
        const std::wstring path = keyPath(appName, section);
        HKEY handle = nullptr;
        LSTATUS status =
            RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_SET_VALUE, nullptr, &handle, nullptr);
        if (status != ERROR_SUCCESS) {
            fail("cannot create", path, status);
        }
        const std::wstring text = win32::widen(value);
        status = RegSetValueExW(handle, win32::widen(key).c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        if (status == ERROR_SUCCESS) {
            status = RegFlushKey(handle);
        }
        RegCloseKey(handle);
        if (status != ERROR_SUCCESS) {
            fail("cannot write", path, status);
        }
    }

  private:
    [[noreturn]] static void fail(const char* what, const std::wstring& path, LSTATUS status) {
        throw RuntimeError(75, std::string("Path/File access error: ") + what +
                                   " HKEY_CURRENT_USER\\" + win32::narrow(path) + ": " +
                                   win32::systemMessage(static_cast<DWORD>(status)));
    }
};

}  // namespace

std::unique_ptr<SettingsStore> createSettingsStore() {
    return std::make_unique<RegistrySettingsStore>();
}

}  // namespace toolkit
