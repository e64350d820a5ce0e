#pragma once

// The program on a Wayland session: sway headless with XWayland, as the Wayland tests run it.

#include <string>

#include "Report.h"

namespace bench {

// Runs the program on a sway of its own in the work folder and, once it pulses, a focused
// Wayland window of ours (pulseward_key_client at keyClient) that prints each key event with
// the sender's stamp and its own arrival time. The seconds are counted from the moment that
// window has the keyboard. The result's id is "program-sway".
SubjectResult measureOnSway(const std::string& program, const std::string& keyClient,
                            double seconds, const std::string& work);

}  // namespace bench
