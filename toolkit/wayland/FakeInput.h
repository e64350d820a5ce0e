#pragma once

#include "KeyRoute.h"

struct org_kde_kwin_fake_input;

namespace toolkit::wayland {

// Key presses through KWin's fake input (org_kde_kwin_fake_input). KWin offers it only to a
// program whose installed .desktop file lists it under X-KDE-Wayland-Interfaces, with Exec= the
// program's absolute path, and counts its keys as the seat's own: it works out the modifiers
// (Num Lock's lock) itself, so only the key is sent.
class FakeInput : public KeyRoute {
  public:
    FakeInput() = default;
    ~FakeInput() override;
    FakeInput(const FakeInput&) = delete;
    FakeInput& operator=(const FakeInput&) = delete;

    std::string_view name() const override { return "org_kde_kwin_fake_input"; }
    void open() override;
    bool ready() const override;
    void pressAndRelease(Key key) override;
    void close() override;

  private:
    org_kde_kwin_fake_input* input_ = nullptr;
};

}  // namespace toolkit::wayland
