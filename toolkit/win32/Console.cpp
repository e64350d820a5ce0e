#include "Console.h"

#include <string>

#include "Widgets.h"

namespace toolkit::win32 {

namespace {

bool usable(HANDLE handle) {
    return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

HANDLE parentConsole() {
    // Attached once: a second AttachConsole fails while the first holds.
    static const HANDLE console = [] {
        if (!AttachConsole(ATTACH_PARENT_PROCESS)) {
            return HANDLE(nullptr);
        }
        return CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    }();
    return usable(console) ? console : nullptr;
}

HANDLE handleFor(Stream stream) {
    const HANDLE standard =
        GetStdHandle(stream == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    return usable(standard) ? standard : parentConsole();
}

// Text written to a file or a pipe ends its lines as Windows text does.
std::string withCarriageReturns(std::string_view text) {
    std::string result;
    result.reserve(text.size() + 16);
    for (const char c : text) {
        if (c == '\n') {
            result += '\r';
        }
        result += c;
    }
    return result;
}

}  // namespace

void tellStarter(Stream stream, std::string_view text, std::string_view title) {
    const HANDLE handle = handleFor(stream);
    DWORD mode = 0;
    DWORD written = 0;
    if (handle && GetConsoleMode(handle, &mode)) {
        const std::wstring wide = widen(text);
        WriteConsoleW(handle, wide.data(), DWORD(wide.size()), &written, nullptr);
    } else if (handle) {
        const std::string bytes = withCarriageReturns(text);
        WriteFile(handle, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    } else {
        MessageBoxW(nullptr, widen(text).c_str(), widen(title).c_str(),
                    MB_OK | MB_SETFOREGROUND |
                        (stream == Stream::Error ? MB_ICONWARNING : MB_ICONINFORMATION));
    }
}

}  // namespace toolkit::win32
