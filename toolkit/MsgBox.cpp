#include "MsgBox.h"

#include <algorithm>
#include <string>

#include "Application.h"
#include "Peers.h"
#include "RuntimeError.h"
#include "Timer.h"
#include "Warning.h"

namespace toolkit {

namespace {
MessageSink& currentSink() {
    static MessageSink sink;
    return sink;
}
}  // namespace

void MsgBox(std::string_view prompt, int style) {
    if (currentSink()) {
        currentSink()(prompt, style);
        return;
    }
    if (Application::ending()) {
        // The session may be going away: a box would hold up its end.
        std::string line(prompt);
        std::replace(line.begin(), line.end(), '\n', ' ');
        Warn(Application::title() + ": " + line);
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
