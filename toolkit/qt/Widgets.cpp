#include "Widgets.h"

#include "WindowPeerImpl.h"

namespace toolkit::qt {

std::unique_ptr<WindowPeer> createWindowPeer(const WindowDesign& design) {
    return std::make_unique<WindowPeerImpl>(design);
}

}  // namespace toolkit::qt
