#pragma once

#include <vector>

#include "Form.h"

namespace toolkit {

// The loaded windows, in load order.
class FormsCollection {
  public:
    int Count() const { return static_cast<int>(loaded_.size()); }
    Form& operator()(int index) const;

  private:
    friend class Form;
    friend void Unload(Form& form);
    std::vector<Form*> loaded_;
};

extern FormsCollection Forms;

// Fires the form's Unload and, unless it is cancelled, destroys its window. The program ends
// when no window is loaded.
void Unload(Form& form);

}  // namespace toolkit
