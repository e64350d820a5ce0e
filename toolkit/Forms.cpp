#include "Forms.h"

#include "Peers.h"
#include "RuntimeError.h"

namespace toolkit {

FormsCollection Forms;

Form& FormsCollection::operator()(int index) const {
    if (index < 0 || index >= Count()) {
        throw RuntimeError(9, "Subscript out of range");
    }
    return *loaded_[static_cast<std::size_t>(index)];
}

void Unload(Form& form) {
    if (!form.loaded_) {
        return;
    }
    int cancel = 0;
    form.Form_Unload(cancel);
    if (cancel != 0 || !form.loaded_) {
        return;
    }
    form.unload();
    windowSystem().modalStateChanged();
    if (Forms.Count() == 0) {
        windowSystem().quitEventLoop();
    }
}

}  // namespace toolkit
