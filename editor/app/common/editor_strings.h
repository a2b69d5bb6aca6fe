// The editor's string table, keyed by resource number.
//
//   5100..5123  file kinds: eight entries per kind (panel 5100, mode 5108,
//               gamma 5116), see FileKindText below; they come from
//               the model's file-kind texts, so both always agree
//   5200..5221  manufacturers (Interface I)
//   5240..5241  correction choices (Interface I)
//   5300..5306  drive steps (Interface II: data, control and clock lines)
//   5320..5323  display clock adjustments (Interface II)
//   5340..5355  KESA identifications (Interface II)
//   5930..5933  mode types of the mode table editor
//   6000..6007  the write hotkey names "F2".."F9"
#pragma once

#include <QString>
#include <QStringList>

#include "tolvane/files.h"

// Text of a resource number; an unknown number gives an empty string.
QString EditorText(int resourceId);

// Entries of one file kind, added to the kind's base number.
enum FileKindEntry {
    kFileFilter = 0,       // stored filter text, "Panel files (*.PNL)#*.PNL#"
    kFileDescription = 1,  // "Panel files (*.PNL)"
    kFilePattern = 2,      // "*.PNL"
    kFileDefaultExt = 3,   // "PNL"
    kFileOpenTitle = 4,    // "  LOAD PANEL DATA"
    kFileSaveTitle = 5,    // "  SAVE PANEL DATA" (empty for gamma tables)
};

constexpr int kFileKindTextBase = 5100;
constexpr int kFileKindTextStride = 8;
constexpr int FileKindTextId(FileKind kind, FileKindEntry entry) {
    return kFileKindTextBase + kFileKindTextStride * static_cast<int>(kind) + entry;
}
QString FileKindText(FileKind kind, FileKindEntry entry);

// The drop-down lists of the Interface pages; their texts come from the model.
constexpr int kManufacturerTextBase = 5200;
constexpr int kCorrectionTextBase = 5240;
constexpr int kDriveStepTextBase = 5300;
constexpr int kClockAdjustTextBase = 5320;
constexpr int kKesaIdTextBase = 5340;

constexpr int kModeTypeTextBase = 5930;  // "Normal", "Overlapped 720x400", ...
constexpr int kModeTypeCount = 4;
constexpr int kHotkeyTextBase = 6000;  // "F2".."F9"
constexpr int kHotkeyCount = 8;

// Consecutive entries first..first+count-1, e.g. the list of a drop-down.
QStringList EditorTextList(int first, int count);

// Messages, by name. Each is shown letter for letter as it stands here.
inline const QString kOpenSerialFailedText = QStringLiteral("ERROR: Can't open serial device !");
inline const QString kCommunicationFailureText = QStringLiteral("ERROR: Communication failure !");
inline const QString kDeviceAddressText = QStringLiteral("ERROR: Device address exceed 255 !");
inline const QString kConfigWriteFailedText = QStringLiteral("ERROR: Can't write config data to disk !");
inline const QString kNoPanelDataText = QStringLiteral("ERROR: No panel data available !");
inline const QString kNoModeTableText = QStringLiteral("ERROR: No mode table available !");
inline const QString kWrongPanelFileText = QStringLiteral("ERROR: Wrong format of panel file !");
inline const QString kCantLoadPanelText = QStringLiteral("ERROR: Can't load panel data !");
inline const QString kCantWritePanelText = QStringLiteral("ERROR: Can't write panel data !");
inline const QString kWrongModeFileText = QStringLiteral("ERROR: Wrong format of mode file !");
inline const QString kCantLoadModeText = QStringLiteral("ERROR: Can't load mode table !");
inline const QString kCantWriteModeText = QStringLiteral("ERROR: Can't write mode table !");
inline const QString kWrongGammaFileText = QStringLiteral("ERROR: Wrong format of gamma table !");
// EDID files loaded as panel data on the File page: the open dialog's extra
// filter, listed after the panel files', and the texts of the import's message
inline const QString kEdidFileFilter = QStringLiteral("EDID (*.bin *.edid *.dat)");
inline const QString kCantImportEdidText = QStringLiteral("ERROR: Can't import EDID !");
inline const QString kEdidPanelUnchangedText = QStringLiteral("The panel data in memory is unchanged.");
inline const QString kEdidWrongChecksumText =
    QStringLiteral("The checksum is wrong: the EDID may be damaged, so nothing is imported from it.");
inline const QString kEdidNoTimingText = QStringLiteral("The EDID has no detailed timing to import.");
inline const QString kEdidBoardCannotHoldText =
    QStringLiteral("The board cannot hold the values of the preferred timing %1:");
inline const QString kEdidFailsChecksText =
    QStringLiteral("The panel made from the preferred timing %1 fails its checks:");
inline const QString kEdidImportedText = QStringLiteral("EDID imported: the preferred timing %1.");
inline const QString kEdidDefaultedText = QStringLiteral("Left at their defaults: %1.");
inline const QString kEdidNotesText = QStringLiteral("Notes:");
// Gamma/Power page
inline const QString kGammaPowerTitle = QStringLiteral(" GAMMA/POWER");
inline const QString kGammaValueRangeText = QStringLiteral("ERROR: Use values between 0 to 255 !");
inline const QString kPowerTimingRangeText = QStringLiteral("ERROR: Use timing values between 10 to 2500 ms !");
// Merge page
inline const QString kNoMergeFilesText = QStringLiteral("ERROR: No panel file and/or gamma table specified !");
inline const QString kNoMergingText = QStringLiteral("ERROR: No merging execute !");
// Timing pages
inline const QString kTiming1Title = QStringLiteral(" TIMING I");
inline const QString kTiming2Title = QStringLiteral(" TIMING II");
inline const QString kTimingBadHResolutionText = QStringLiteral("ERROR: Unvalid horizontal resolution !");
inline const QString kTimingBadVResolutionText = QStringLiteral("ERROR: Unvalid vertical resolution !");
inline const QString kTimingUnder45HzText = QStringLiteral("ERROR: Do not use values under 45 Hz !");
inline const QString kTimingOver200HzText = QStringLiteral("ERROR: Do not use values over 200 Hz !");
inline const QString kTimingMinNotBelowTypText = QStringLiteral("ERROR: Min value equal or greater Typ value !");
inline const QString kTimingTypNotBelowMaxText = QStringLiteral("ERROR: Typ value equal or greater Max value !");
inline const QString kTimingClockRangeText = QStringLiteral("ERROR: Use values between 15 to 150 MHz !");
inline const QString kTimingOver255Text = QStringLiteral("ERROR: Do not use values over 255 !");
inline const QString kTimingHTotalRangeText = QStringLiteral("ERROR: Use values between 160 to 4096 CLKs !");
inline const QString kTimingVTotalRangeText = QStringLiteral("ERROR: Use values between 120 to 2048 lines !");
// Interface pages
inline const QString kNoDisplayNameText = QStringLiteral("ERROR: No display name defined !");
inline const QString kInterface1Title = QStringLiteral(" INTERFACE I");
// Mode table editor (the messages of the entry checks come from the model:
// ModeEntryFaultMessage)
inline const QString kModeTableLimitText = QStringLiteral("ERROR: Request exceed mode table limit !");
inline const QString kOneModeNeededText = QStringLiteral("ERROR: It's necessary to implement one entry !");
