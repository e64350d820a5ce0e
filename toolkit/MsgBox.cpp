#include "MsgBox.h"

#include <string>

#include "Application.h"
#include "Peers.h"
#include "RuntimeError.h"
#include "Timer.h"
#include "Warning.h"

namespace toolkit {

namespace {
// Paragraphs joined by one space each.
std::string oneLine(std::string_view text) {
    std::string line;
    bool broken = false;
    for (const char c : text) {
        if (c == '\n' || c == '\r') {
            broken = true;
            continue;
        }
        if (broken && !line.empty()) {
            line += ' ';
        }
        broken = false;
        line += c;
    }
    return line;
}

MessageSink& currentSink() {
    static MessageSink sink;
    return sink;
}
}  // namespace

void MsgBox(std::string_view prompt, int style) {
    // For a user who started the program from a terminal, or reads a log: the box may be gone
    // unread, or never shown when the program is ending.
    Warn(Application::title() + ": " + oneLine(prompt));
    if (currentSink()) {
        currentSink()(prompt, style);
        return;
    }
    if (Application::ending()) {
        // The session may be going away: a box would hold up its end.
        return;
    }
    OutsideTick outside;
    NestedEventLoop nested;
    windowSystem().messageBox(Application::title(), prompt, style == vbCritical);
}

void setMessageSink(MessageSink sink) {
    currentSink() = std::move(sink);
}

}  // namespace toolkit
