#include "board/link_session.h"
#include "platform/terminal.h"

#include <cstdio>
#include <cstdlib>

#include "tolvane/panel.h"
#include "tolvane/timing.h"
#include "vantrel.h"

namespace cli {

ProgressState g_progress;

// ---------------------------------------------------------------------------
// Progress bar on the caller's thread, inside the library's block calls
// ---------------------------------------------------------------------------

void DrawBar(unsigned total, unsigned done) {
    if (g_progress.err == nullptr || total == 0) return;
    const unsigned width = 30;
    const unsigned filled = done >= total ? width : done * width / total;
    std::string bar(filled, '#');
    bar.append(width - filled, '.');
    char tail[32];
    std::snprintf(tail, sizeof tail, "] %3u%%", done >= total ? 100u : done * 100 / total);
    *g_progress.err << "\r" << g_progress.label << " [" << bar << tail << std::flush;
}

namespace {
void VANTREL_CALL OnProgress(uint16_t total, uint16_t done) {
    g_progress.done = done;
    DrawBar(total, done);
}
}  // namespace

Bar::Bar(Output& o, std::string label, unsigned total) : total_(total) {
    g_progress.done = 0;
    Vantrel_SetProgressCallback(&OnProgress);
    if (!o.progress) return;
    g_progress.err = &o.err;
    g_progress.label = std::move(label);
    DrawBar(total_, 0);
}

Bar::~Bar() {
    Vantrel_SetProgressCallback(nullptr);
    if (g_progress.err == nullptr) return;
    if (ok_) DrawBar(total_, total_);
    *g_progress.err << "\n" << std::flush;
    g_progress.err = nullptr;
    g_progress.label.clear();
}

unsigned Bar::Confirmed() const { return ok_ ? total_ : g_progress.done; }

Link::Link(const BoardTarget& t) {
    if (!t.device.empty()) platform::SetEnvironment("VANTREL_COM1", t.device);
    open_ = OpenSerialCommunication(static_cast<uint16_t>(t.port), kBaud) != 0;
}

Link::~Link() {
    if (open_) CloseSerialCommunication();
}

BoardTarget Effective(const BoardTarget& t) {
    BoardTarget e = t;
    if (!t.device.empty()) e.port = 1;
    return e;
}

int PortFailed(const BoardTarget& t, Output& o) {
    o.Error() << DescribePortFailure(Effective(t));
    return 1;
}

std::string Hex2(unsigned v) {
    char b[8];
    std::snprintf(b, sizeof b, "0x%02X", v & 0xFF);
    return b;
}
std::string Hex4(unsigned v) {
    char b[8];
    std::snprintf(b, sizeof b, "0x%04X", v & 0xFFFF);
    return b;
}

int TransferFailed(const BoardTarget& t, Output& o, const std::string& what, int result) {
    if (result == -2)
        o.Error() << what << ": the board echoed different bytes than were written (address " << t.address
                  << "); the data on the board may be incomplete";
    else
        o.Error() << what << ": no valid answer from the board at device address " << t.address << " on COM"
                  << Effective(t).port << " (check the cable, that the board is on, and the device address)";
    return 1;
}

bool ImageUsesGamma(const PanelImage& image) {
    return (image.bytes[panel_image::kPanelFlagsHigh] & kImageUseGamma) != 0;
}

std::vector<ByteDifference> CompareBlock(const char* block, uint32_t flashBase, const uint8_t* wrote,
                                         const uint8_t* read, std::size_t n) {
    std::vector<ByteDifference> diffs;
    for (std::size_t i = 0; i < n; ++i)
        if (wrote[i] != read[i])
            diffs.push_back({block, static_cast<unsigned>(i), flashBase + static_cast<uint32_t>(i), wrote[i], read[i]});
    return diffs;
}

int VerifyFailed(Output& o, const std::vector<ByteDifference>& diffs) {
    o.Error() << "verify failed: " << diffs.size() << (diffs.size() == 1 ? " byte differs" : " bytes differ");
    for (std::size_t i = 0; i < diffs.size() && i < 32; ++i) {
        const ByteDifference& d = diffs[i];
        o.Error() << "  " << d.block << " byte " << Hex2(d.offset) << " (flash " << Hex4(d.flashAddress) << "): wrote "
                  << Hex2(d.wrote) << ", read back " << Hex2(d.readBack);
    }
    if (diffs.size() > 32) o.Error() << "  ... and " << diffs.size() - 32 << " more";
    return 1;
}

PanelRecord RecordFromBoard(const PanelImage& image, const GammaTable& gamma, bool gotGamma) {
    PanelRecord r{};
    SetPanelDefaults(r);
    ImageToPanelRecord(image, gamma, r);
    // The board's gamma table is kept even when the panel does not use it, so
    // that a backup holds everything a write may overwrite.
    if (gotGamma) r.gammaTable = gamma;
    // A resolution that is not the standard pair was typed in: keep it so, or
    // the editor would replace it by its class's pair before the next write.
    if (!IsStandardResolution(r.hResolution, r.vResolution)) SetCustomResolution(r, true);
    return r;
}

}  // namespace cli
