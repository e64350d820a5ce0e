// KWin's fake input against a small compositor of our own in this process, which offers the
// interface at a chosen version (or not at all) and records what the program asks of it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <wayland-server.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fake-input-server-protocol.h"
#include "toolkit/RuntimeError.h"
#include "toolkit/wayland/Connection.h"
#include "toolkit/wayland/FakeInput.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using toolkit::Key;
using toolkit::RuntimeError;
using toolkit::wayland::Connection;
using toolkit::wayland::FakeInput;

class Compositor {
  public:
    // version 0: the interface is not offered.
    explicit Compositor(int version) {
        char pattern[] = "/tmp/pulseward-fakeinput-XXXXXX";
        runtime_ = mkdtemp(pattern);
        setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
        setenv("WAYLAND_DISPLAY", "wayland-fake", 1);
        display_ = wl_display_create();
        wl_display_add_socket(display_, "wayland-fake");
        if (version > 0) {
            wl_global_create(display_, &org_kde_kwin_fake_input_interface, version, this, bind);
        }
        thread_ = std::thread([this] {
            wl_event_loop* loop = wl_display_get_event_loop(display_);
            while (!stop_) {
                wl_event_loop_dispatch(loop, 20);
                wl_display_flush_clients(display_);
            }
        });
    }
    ~Compositor() {
        Connection::close();
        stop_ = true;
        thread_.join();
        wl_display_destroy_clients(display_);
        wl_display_destroy(display_);
        std::filesystem::remove_all(runtime_);
    }

    std::vector<std::string> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }

  private:
    static Compositor& of(wl_resource* resource) {
        return *static_cast<Compositor*>(wl_resource_get_user_data(resource));
    }
    void record(std::string request) {
        std::lock_guard lock(mutex_);
        requests_.push_back(std::move(request));
    }
    static void bind(wl_client* client, void* data, std::uint32_t version, std::uint32_t id) {
        wl_resource* resource =
            wl_resource_create(client, &org_kde_kwin_fake_input_interface, version, id);
        wl_resource_set_implementation(resource, &implementation, data, nullptr);
        static_cast<Compositor*>(data)->record("bind " + std::to_string(version));
    }
    static void authenticate(wl_client*, wl_resource* resource, const char* application,
                             const char*) {
        of(resource).record(std::string("authenticate ") + application);
    }
    static void keyboardKey(wl_client*, wl_resource* resource, std::uint32_t key,
                            std::uint32_t state) {
        of(resource).record("key " + std::to_string(key) + " " + std::to_string(state));
    }
    static void unused2(wl_client*, wl_resource*, wl_fixed_t, wl_fixed_t) {}
    static void unusedButton(wl_client*, wl_resource*, std::uint32_t, std::uint32_t) {}
    static void unusedAxis(wl_client*, wl_resource*, std::uint32_t, wl_fixed_t) {}
    static void unusedTouch(wl_client*, wl_resource*, std::uint32_t, wl_fixed_t, wl_fixed_t) {}
    static void unusedId(wl_client*, wl_resource*, std::uint32_t) {}
    static void unusedNone(wl_client*, wl_resource*) {}

    static constexpr struct org_kde_kwin_fake_input_interface implementation {
        authenticate, unused2, unusedButton, unusedAxis, unusedTouch, unusedTouch, unusedId,
            unusedNone, unusedNone, unused2, keyboardKey
    };

    std::filesystem::path runtime_;
    wl_display* display_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_ = false;
    std::mutex mutex_;
    std::vector<std::string> requests_;
};

std::string refusal(FakeInput& input) {
    try {
        input.open();
    } catch (const RuntimeError& error) {
        input.close();
        return error.what();
    }
    ADD_FAILURE() << "the route opened";
    return {};
}

TEST(FakeInput, AuthenticatesThenSendsEachPressAsNumLockDownAndUp) {
    Compositor compositor(4);
    FakeInput input;
    input.open();
    EXPECT_TRUE(input.ready());
    input.pressAndRelease(Key::NumLock);
    input.pressAndRelease(Key::NumLock);
    Connection::roundTrip();
    EXPECT_THAT(compositor.requests(), ElementsAre("bind 4", "authenticate FERN-BADGER-PULSEWARD",
                                                   "key 69 1", "key 69 0", "key 69 1", "key 69 0"));
    input.close();
    EXPECT_FALSE(input.ready());
    EXPECT_THROW(input.pressAndRelease(Key::NumLock), RuntimeError);
}

TEST(FakeInput, NotOfferedSaysWhatKWinAsksOfTheDesktopFile) {
    Compositor compositor(0);
    FakeInput input;
    const std::string reason = refusal(input);
    EXPECT_THAT(reason, HasSubstr("X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input"));
    EXPECT_THAT(reason, HasSubstr("Exec="));
    EXPECT_FALSE(input.ready());
}

TEST(FakeInput, AVersionWithoutKeyPressesIsNotBoundAndSaysSo) {
    Compositor compositor(3);
    FakeInput input;
    EXPECT_THAT(refusal(input), HasSubstr("version 3, which has no key presses (version 4 has)"));
    Connection::roundTrip();
    EXPECT_TRUE(compositor.requests().empty()) << "the older interface was bound";
}

}  // namespace
