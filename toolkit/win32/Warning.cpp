// Warnings on Windows. A program without a console has no stderr: each line goes to the debug
// output, where a debugger or DebugView shows it. Where the program has a standard error after
// all (redirected to a file, or a console program such as the tests) the line goes there too,
// since whoever arranged that looks there.

#include "../Warning.h"

#include <cstdio>
#include <string>

#include "Widgets.h"

namespace toolkit {

void Warn(std::string_view line) {
    const std::wstring text = win32::widen(line) + L"\n";
    OutputDebugStringW(text.c_str());
    const HANDLE standardError = GetStdHandle(STD_ERROR_HANDLE);
    if (standardError && standardError != INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "%.*s\n", int(line.size()), line.data());
        std::fflush(stderr);
    }
}

}  // namespace toolkit
