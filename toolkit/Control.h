#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "Geometry.h"
#include "Peers.h"

namespace toolkit {

class Form;

// A control belongs to one form and lives as long as it. Each load of the form starts it from
// its design values; while the form is loaded a backend peer shows it.
class Control {
  public:
    Control(Form& owner, std::string_view name);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const std::string& Name() const { return name_; }

  protected:
    friend class Form;
    virtual void resetToDesign() = 0;
    virtual void attach(WindowPeer& window) = 0;
    virtual void detach() = 0;

    PixelRect toPixels(const TwipsRect& twips) const;

  private:
    Form& owner_;
    std::string name_;
};

}  // namespace toolkit
