// Whether Caps Lock is on, for the status bar. Qt does not report it, so it is read from the
// X server's keyboard indicators when the window runs on X11, else from the keyboard LEDs the
// Linux kernel exposes; when neither can be read it counts as off.
#pragma once

namespace ostrel {

bool CapsLockState();

}  // namespace ostrel
