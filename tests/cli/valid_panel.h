// A panel record that the checks accept, for tests that write to the board.
#pragma once

#include <cstring>

#include "tolvane/panel.h"

namespace clitest {

// A 1024 x 768 panel with a consistent timing (the defaults alone have none).
inline PanelRecord ValidPanel(const char* name) {
    PanelRecord r{};
    SetPanelDefaults(r);
    std::memcpy(r.displayName, name, std::strlen(name) < 16 ? std::strlen(name) : 16);
    r.vFreqMin = 50;
    r.vFreqTyp = 60;
    r.vFreqMax = 75;
    r.maxDisplayClock = 85000;
    r.hMinTotal = 1344;
    r.hPulseWidth = 136;
    r.hBackPorch = 160;
    r.vMinTotal = 806;
    r.vPulseWidth = 6;
    r.vBackPorch = 29;
    return r;
}

}  // namespace clitest
