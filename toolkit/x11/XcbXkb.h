#pragma once

// xcb's XKB protocol header, which names a structure field "explicit": C++ needs it renamed.

#include <xcb/xcb.h>
#define explicit xcb_explicit
#include <xcb/xkb.h>
#undef explicit
