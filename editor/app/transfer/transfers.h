// Transfers between the editor and the board.
//
// Every exchange with the board runs through RunTransfer: open the link on the
// configured port, run one transfer operation, report a failure, close the
// link. The link is never left open between user actions. The four transfer
// operations show the status window while the link library moves the data and
// are the only editor code that calls the board.
#pragma once

#include "editor_strings.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

class QFont;
class QWidget;
struct EditorConfig;
struct EditorState;
struct PanelImage;
struct GammaTable;
struct ModeTableImage;

// Reads a device address entry: the first 7 characters as a decimal number
// (leading blanks skipped, optional sign, digits up to the first other
// character; no digits gives 0). A number outside 0..255 shows "ERROR: Device
// address exceed 255 !" and gives nothing.
std::optional<int> DeviceAddressFromEntry(const QString& text);

// The baud rate of every transfer.
constexpr uint32_t kTransferBaud = 57600;

// Opens the link on config.serialPort; on failure shows "ERROR: Can't open
// serial device !" and returns 0 without running body. Otherwise runs body
// (which stores settings, packs data and calls one transfer operation), shows
// "ERROR: Communication failure !" when it returns 0, and closes the link after
// the message was dismissed. Returns body's result. A call made while another
// transfer runs (from an event handled during it) does nothing and returns 0.
int RunTransfer(const EditorConfig& config, const std::function<int()>& body);

// The transfer operations. Each expects the link to be open, shows the status
// window over parent for its whole run and returns 1 on success, 0 on failure.
// panelNumber is the slot shown to the user (1..4); 0 means none chosen and fails.
int ReadPanelFromBoard(QWidget* parent, const QFont& captionFont, uint16_t panelNumber, int deviceAddress,
                       PanelImage& readImage, GammaTable& gammaBuffer);
int WritePanelToBoard(QWidget* parent, const QFont& captionFont, bool resetAfterWrite, uint16_t panelNumber,
                      int deviceAddress, const PanelImage& writeImage, const GammaTable& gammaBuffer);
int ReadModeTableFromBoard(QWidget* parent, const QFont& captionFont, int deviceAddress, ModeTableImage& image);
int WriteModeTableToBoard(QWidget* parent, const QFont& captionFont, bool resetAfterWrite, int deviceAddress,
                          const ModeTableImage& image);

// The same operations on the settings and transfer buffers of the editor state.
int ReadPanelFromBoard(QWidget* parent, EditorState& state);
int WritePanelToBoard(QWidget* parent, EditorState& state);
int ReadModeTableFromBoard(QWidget* parent, EditorState& state);
int WriteModeTableToBoard(QWidget* parent, EditorState& state);

// Whether a board panel image asks for its gamma table to travel with it.
bool ImageUsesGamma(const PanelImage& image);

// The progress callback registered with the link library during a transfer:
// sets the status window's bar to done * 100 / total (low 16 bits of each).
void ShowTransferProgress(uint16_t total, uint16_t done);

// Test hook: called after every position ShowTransferProgress sets.
using TransferProgressObserver = std::function<void(int position)>;
TransferProgressObserver SetTransferProgressObserver(TransferProgressObserver observer);
