// The editor's data for the whole run: committed and edit copies of the
// records, transfer settings and buffers, configuration and current file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tolvane/records.h"

struct EditorConfig {
    uint16_t serialPort = 1;
    uint16_t writeHotkey = 1;
};
struct EditorState {
    PanelRecord panel{};        // committed copy
    PanelRecord editPanel{};    // edit copy handed to the pages
    ModeTable modeTable{};      // committed copy
    ModeTable editModeTable{};  // edit copy
    bool panelDataAvailable = false;
    bool modeTableAvailable = false;
    EditorConfig config;
    int deviceAddress = 0;  // transfer settings, not persisted
    int panelNumber = 1;    // 1..4, 0 = none chosen
    bool resetAfterWrite = true;
    bool hideSelectionBox = false;
    bool selectionBoxFromMerge = false;
    bool resolutionChanged = false;
    bool storeOk = false;
    PanelImage readImage{};  // transfer buffers
    PanelImage writeImage{};
    GammaTable gammaBuffer{};
    ModeTableImage modeTableImage{};
    std::string currentFilePath;
    std::size_t fileNameOffset = 0;
};
