// The states of the three lock keys shown by the status bar's indicator panes.
#pragma once

namespace qv {

struct LockKeys {
    bool caps = false;
    bool num = false;
    bool scroll = false;

    // Read from the keyboard LEDs under /sys/class/leds; a lock whose LED cannot be
    // read counts as off (X servers without a keyboard, such as Xvfb, have none).
    static LockKeys fromKeyboardLeds();
};

} // namespace qv
