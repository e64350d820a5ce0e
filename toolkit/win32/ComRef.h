#pragma once

namespace toolkit::win32 {

// Owns one reference to a COM object.
template <typename Interface>
class ComRef {
  public:
    ComRef() = default;
    ~ComRef() {
        if (p_) {
            p_->Release();
        }
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    Interface* operator->() const { return p_; }
    Interface* get() const { return p_; }
    Interface** put() { return &p_; }

  private:
    Interface* p_ = nullptr;
};

}  // namespace toolkit::win32
