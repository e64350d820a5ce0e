#include "MsgBox.h"

#include "Application.h"
#include "Peers.h"
#include "Timer.h"

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
    OutsideTick outside;
    windowSystem().messageBox(Application::title(), prompt, style == vbCritical);
}

void setMessageSink(MessageSink sink) {
    currentSink() = std::move(sink);
}

}  // namespace toolkit
