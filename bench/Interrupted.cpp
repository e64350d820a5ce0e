#include "Interrupted.h"

namespace bench {

volatile sig_atomic_t interrupted = 0;

void onSignal(int) {
    interrupted = 1;
}

void checkInterrupted() {
    if (interrupted) {
        throw Interrupted();
    }
}

}  // namespace bench
