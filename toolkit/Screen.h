#pragma once

namespace toolkit {

// The desktop as a whole: every screen together, as the smallest rectangle that holds them.
class Screen {
  public:
    // In twips; without any screen known, no limit (infinity).
    static float VirtualWidth();
    static float VirtualHeight();
};

}  // namespace toolkit
