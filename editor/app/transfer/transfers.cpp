#include "transfers.h"

#include "editor_style.h"
#include "messages.h"
#include "status_window.h"

#include <tolvane/editor_state.h>
#include <tolvane/records.h>
#include <vantrel.h>

#include <QFont>
#include <QThread>

#include <memory>

namespace {

// useGamma: bit 4 of the panel image's flag byte 0x3A (bit 12 of panelFlags).
constexpr std::size_t kImageFlagsHighOffset = panel_image::kPanelFlagsHigh;
constexpr uint8_t kImageUseGammaBit = 0x10;

// How long the full bar stays on screen before the window closes.
constexpr unsigned long kFullBarMilliseconds = 50;

// Reset frames after a write go to this device address, whatever the address
// of the write was.
constexpr int32_t kResetAddress = 0;

TransferProgressObserver& CurrentObserver() {
    static TransferProgressObserver observer;
    return observer;
}

void VANTREL_CALL ProgressCallback(uint16_t total, uint16_t done) { ShowTransferProgress(total, done); }

// One transfer operation's status window and progress callback: both are set
// up on construction and taken down on every way out.
class TransferScope {
public:
    TransferScope(QWidget* parent, const QFont& captionFont)
        : window_(std::make_unique<StatusWindow>(parent, captionFont)) {
        Vantrel_SetProgressCallback(&ProgressCallback);
    }
    ~TransferScope() { Vantrel_SetProgressCallback(nullptr); }
    TransferScope(const TransferScope&) = delete;
    TransferScope& operator=(const TransferScope&) = delete;

    // The last steps of a successful operation: remove the callback, after a
    // write reset the board when asked, show the full bar for a moment.
    void finish(bool resetBoard = false) {
        Vantrel_SetProgressCallback(nullptr);
        if (resetBoard) Vantrel_Reset(kResetAddress);  // fire and forget
        ShowTransferProgress(100, 100);
        QThread::msleep(kFullBarMilliseconds);
    }

private:
    std::unique_ptr<StatusWindow> window_;
};

// The board slot of a panel number as the user sees it: 1..4 become 0..3;
// 0 (none chosen) becomes -1, which the link library refuses.
int32_t SlotOfPanel(uint16_t panelNumber) { return static_cast<int32_t>(panelNumber) - 1; }

}  // namespace

std::optional<int> DeviceAddressFromEntry(const QString& text) {
    const QString entry = text.left(7);
    qsizetype i = 0;
    while (i < entry.size() && entry[i].isSpace()) ++i;
    bool negative = false;
    if (i < entry.size() && (entry[i] == QLatin1Char('+') || entry[i] == QLatin1Char('-'))) {
        negative = entry[i] == QLatin1Char('-');
        ++i;
    }
    long value = 0;  // at most 7 digits: no overflow
    for (; i < entry.size() && entry[i] >= QLatin1Char('0') && entry[i] <= QLatin1Char('9'); ++i)
        value = value * 10 + (entry[i].unicode() - '0');
    if (negative) value = -value;
    if (value < 0 || value > 255) {
        ShowWarning(kDeviceAddressText);
        return std::nullopt;
    }
    return static_cast<int>(value);
}

bool ImageUsesGamma(const PanelImage& image) { return (image.bytes[kImageFlagsHighOffset] & kImageUseGammaBit) != 0; }

int RunTransfer(const EditorConfig& config, const std::function<int()>& body) {
    // The status window lets posted events through while the link works (a
    // write hotkey, a queued click). None of them may start a transfer of its
    // own: it would reopen or close the link and delete the status window
    // under the running one.
    static bool running = false;
    if (running) return 0;
    struct RunningMark {
        RunningMark() { running = true; }
        ~RunningMark() { running = false; }
    } mark;

    if (OpenSerialCommunication(config.serialPort, kTransferBaud) == 0) {
        ShowWarning(kOpenSerialFailedText);
        return 0;
    }
    // Close the link on every way out, after the message was dismissed.
    struct LinkCloser {
        ~LinkCloser() { CloseSerialCommunication(); }
    } closer;
    const int result = body() ? 1 : 0;
    if (!result) ShowWarning(kCommunicationFailureText);
    return result;
}

int ReadPanelFromBoard(QWidget* parent, const QFont& captionFont, uint16_t panelNumber, int deviceAddress,
                       PanelImage& readImage, GammaTable& gammaBuffer) {
    TransferScope scope(parent, captionFont);
    const int32_t slot = SlotOfPanel(panelNumber);
    if (Vantrel_GetPanelData(deviceAddress, slot, readImage.bytes) < 0) return 0;
    if (ImageUsesGamma(readImage) && Vantrel_GetPanelGamma(deviceAddress, slot, gammaBuffer.level) < 0) return 0;
    scope.finish();
    return 1;
}

int WritePanelToBoard(QWidget* parent, const QFont& captionFont, bool resetAfterWrite, uint16_t panelNumber,
                      int deviceAddress, const PanelImage& writeImage, const GammaTable& gammaBuffer) {
    TransferScope scope(parent, captionFont);
    const int32_t slot = SlotOfPanel(panelNumber);
    if (Vantrel_WritePanelData(deviceAddress, slot, writeImage.bytes) < 0) return 0;
    // The image being sent decides on the gamma table, not what the board holds.
    if (ImageUsesGamma(writeImage) && Vantrel_WritePanelGamma(deviceAddress, slot, gammaBuffer.level) < 0) return 0;
    scope.finish(resetAfterWrite);
    return 1;
}

int ReadModeTableFromBoard(QWidget* parent, const QFont& captionFont, int deviceAddress, ModeTableImage& image) {
    TransferScope scope(parent, captionFont);
    if (Vantrel_GetModeTable(deviceAddress, image.bytes) < 0) return 0;
    scope.finish();
    return 1;
}

int WriteModeTableToBoard(QWidget* parent, const QFont& captionFont, bool resetAfterWrite, int deviceAddress,
                          const ModeTableImage& image) {
    TransferScope scope(parent, captionFont);
    if (Vantrel_WriteModeTable(deviceAddress, image.bytes) < 0) return 0;
    scope.finish(resetAfterWrite);
    return 1;
}

int ReadPanelFromBoard(QWidget* parent, EditorState& state) {
    return ReadPanelFromBoard(parent, captionFont(), static_cast<uint16_t>(state.panelNumber), state.deviceAddress,
                              state.readImage, state.gammaBuffer);
}

int WritePanelToBoard(QWidget* parent, EditorState& state) {
    return WritePanelToBoard(parent, captionFont(), state.resetAfterWrite, static_cast<uint16_t>(state.panelNumber),
                             state.deviceAddress, state.writeImage, state.gammaBuffer);
}

int ReadModeTableFromBoard(QWidget* parent, EditorState& state) {
    return ReadModeTableFromBoard(parent, captionFont(), state.deviceAddress, state.modeTableImage);
}

int WriteModeTableToBoard(QWidget* parent, EditorState& state) {
    return WriteModeTableToBoard(parent, captionFont(), state.resetAfterWrite, state.deviceAddress,
                                 state.modeTableImage);
}

void ShowTransferProgress(uint16_t total, uint16_t done) {
    StatusWindow* window = StatusWindow::current();
    if (!window || total == 0)  // no bar, or nothing to measure against
        return;
    double percent = static_cast<double>(done) * 100.0 / static_cast<double>(total);
    if (percent > 100.0) percent = 100.0;
    const int position = static_cast<int>(percent);  // truncated toward zero
    window->setPosition(position);
    if (const TransferProgressObserver& observer = CurrentObserver()) observer(position);
}

TransferProgressObserver SetTransferProgressObserver(TransferProgressObserver observer) {
    TransferProgressObserver old = std::move(CurrentObserver());
    CurrentObserver() = std::move(observer);
    return old;
}
