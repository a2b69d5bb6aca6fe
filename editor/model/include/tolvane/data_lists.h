// The fixed text lists that belong to the panel and mode data; the editor's
// drop-down lists are filled from here, the stored index selects the entry.
#pragma once

#include <cstddef>

inline constexpr std::size_t kManufacturerCount = 22;
inline constexpr const char* kManufacturers[kManufacturerCount] = {
    "UNKNOWN", "IBM",     "NEC",        "SHARP",  "TOSHIBA", "HITACHI",  "FUJITSU", "SAMSUNG",
    "KYOCERA", "EPSON",   "MITSUBISHI", "SEIKO",  "CITIZEN", "GOLDSTAR", "ALPS",    "PLANAR",
    "ACER",    "HOSIDEN", "PHILIPS",    "UNIPAC", "HYUNDAI", "OTHER"};

// Drive steps 1..7 (index 0 is step 1), for data, clock and control lines.
inline constexpr std::size_t kDriveStepCount = 7;
inline constexpr const char* kDriveSteps[kDriveStepCount] = {"1 - 3.2 mA",  "2 - 6.4 mA",  "3 - 9.7 mA", "4 - 9,7 mA",
                                                             "5 - 12.9 mA", "6 - 16.0 mA", "7 - 19.3 mA"};

// Display clock adjustments 0..3.
inline constexpr std::size_t kClockAdjustmentCount = 4;
inline constexpr const char* kClockAdjustments[kClockAdjustmentCount] = {"0 -  1.0/4.5 ns", "1 -  0.5/3.5 ns",
                                                                         "2 -  -0.5/2.5 ns", "3 -  -1.5/1.5 ns"};

// KESA identifications 0..15.
inline constexpr std::size_t kKesaIdCount = 16;
inline constexpr const char* kKesaIds[kKesaIdCount] = {"0 - Automatic",
                                                       "1 - TFT Color 1280x1024",
                                                       "2 - Dual Scan Color 640x480",
                                                       "3 - Dual Scan Color 800x600",
                                                       "4 - TFT Color 640x480 12 Bit",
                                                       "5 - TFT Color 640x480 18 Bit",
                                                       "6 - TFT Color 1024x768",
                                                       "7 - TFT Color 800x600 18 Bit",
                                                       "8 - TFT Color 800x600",
                                                       "9 - TFT Color 800x600",
                                                       "10 - Dual Scan Color 800x600",
                                                       "11 - Dual Scan Color 800x600",
                                                       "12 - TFT Color 1024x768 2x18Bit",
                                                       "13 - TFT Color 1024x768 Analog",
                                                       "14 - Dual Scan Color 1024x600",
                                                       "15 - TFT Color 1024x600"};

// Mode scan types 0..3 (the scanType bits of modeFlags).
inline constexpr std::size_t kScanTypeCount = 4;
inline constexpr const char* kScanTypes[kScanTypeCount] = {"Normal", "Overlapped 720x400", "Overlapped 640x350",
                                                           "Interlaced"};

// Panel "Correction" choices (the correction bits of panelFlags).
inline constexpr std::size_t kCorrectionCount = 2;
inline constexpr const char* kCorrections[kCorrectionCount] = {"Unmodified", "Schema 1"};
