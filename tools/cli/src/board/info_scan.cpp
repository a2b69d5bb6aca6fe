// info and scan: what a board says about itself, and which addresses answer.
#include "board/board_commands.h"

#include "board/board_write.h"
#include "text_out.h"
#include "board/link_session.h"
#include "files/json_form.h"
#include "tolvane/data_lists.h"
#include "tolvane/typed_numbers.h"
#include "vantrel.h"

namespace cli {

// ---------------------------------------------------------------------------
// info
// ---------------------------------------------------------------------------

namespace {

// What PanelInfo tells of a slot, under the names and units of the panel
// file's JSON form: the name is Latin-1, the clock comes in 10 kHz and the
// flags are the high byte of panelFlags (bits 8..15).
Json PanelInfoJson(int slot, const PanelInfoRecord& info) {
    std::size_t len = 0;
    while (len < 16 && info.name[len] != '\0') ++len;
    const unsigned flags = uint8_t{info.byte3};
    Json p;
    p["panel"] = slot + 1;
    p["displayName"] = Latin1ToUtf8(std::string_view(info.name, len));
    p["manufacturer"] = uint8_t{info.byte1};
    p["manufacturerText"] = ListText(kManufacturers, kManufacturerCount, uint8_t{info.byte1});
    p["hResolution"] = int32_t{info.word1};
    p["vResolution"] = int32_t{info.word2};
    p["maxDisplayClock"] = int64_t{info.word3} * 10;
    p["colorDepth"] = uint8_t{info.byte2};
    Json f;
    f["driveSet"] = (flags & (kDriveSet >> 8)) != 0;
    f["dualPixel"] = (flags & (kDualPixel >> 8)) != 0;
    f["hsyncInvert"] = (flags & (kHsyncInvert >> 8)) != 0;
    f["vsyncInvert"] = (flags & (kVsyncInvert >> 8)) != 0;
    f["useGamma"] = (flags & (kUseGamma >> 8)) != 0;
    f["spare"] = flags >> 5;
    p["panelFlags"] = f;
    return p;
}

// The current mode under the names of the mode file's JSON form.
Json ModeInfoJson(const ModeInfoRecord& mode) {
    const unsigned flags = uint8_t{mode.byte2};
    Json m;
    m["index"] = uint8_t{mode.byte1};
    m["hFreq"] = int32_t{mode.word1};
    m["hFreqText"] = FormatScaled(int32_t{mode.word1}, 1) + " kHz";
    m["vFreq"] = int32_t{mode.word2};
    m["vFreqText"] = FormatScaled(int32_t{mode.word2}, 1) + " Hz";
    m["activeWidth"] = int32_t{mode.word3};
    m["activeHeight"] = int32_t{mode.word4};
    Json f;
    f["scanType"] = flags & 0x0F;
    f["scanTypeText"] = ListText(kScanTypes, kScanTypeCount, flags & 0x0F);
    f["analog"] = (flags & kEnableAnalog) != 0;
    f["digital"] = (flags & kEnableDigital) != 0;
    f["video"] = (flags & kEnableVideo) != 0;
    f["spare"] = (flags & 0x80) != 0;
    m["modeFlags"] = f;
    return m;
}

}  // namespace

int CmdInfo(const BoardTarget& t, Output& o) {
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    uint8_t v1 = 0, v2 = 0;
    if (Vantrel_Version(t.address, &v1, &v2) < 0) return TransferFailed(t, o, "reading the version", -1);
    const int current = Vantrel_CurrentPanel(t.address);
    if (current < 0) return TransferFailed(t, o, "reading the current panel", -1);
    Json panels = Json::array();
    unsigned flagBytes[4] = {};
    for (int slot = 0; slot < 4; ++slot) {
        PanelInfoRecord info{};
        if (Vantrel_PanelInfo(t.address, slot, &info) < 0)
            return TransferFailed(t, o, "reading the information on Panel " + std::to_string(slot + 1), -1);
        panels.push_back(PanelInfoJson(slot, info));
        flagBytes[slot] = uint8_t{info.byte3};
    }
    ModeInfoRecord mode{};
    if (Vantrel_ModeInfo(t.address, &mode) < 0) return TransferFailed(t, o, "reading the mode information", -1);

    const BoardTarget e = Effective(t);
    const std::string device = t.device.empty() ? DevicePathOfPort(e.port) : t.device;
    Json j;
    j["address"] = t.address;
    j["port"] = e.port;
    j["device"] = ShownPath(device);
    j["version"] = {v1, v2};
    j["currentPanel"] = current + 1;
    j["panels"] = panels;
    j["currentMode"] = ModeInfoJson(mode);
    if (o.json) {
        o.WriteJson(j);
        return 0;
    }
    o.out << "Board at device address " << t.address << " on COM" << e.port << " (" << device << ")\n";
    o.out << "  Version               " << unsigned{v1} << "." << unsigned{v2} << "\n";
    o.out << "  Current panel         Panel " << current + 1 << "\n";
    for (int slot = 0; slot < 4; ++slot) {
        const Json& p = panels[static_cast<std::size_t>(slot)];
        const Json& text = p["manufacturerText"];
        o.out << "  Panel " << p["panel"].get<int>() << "               \"" << p["displayName"].get<std::string>()
              << "\", " << (text.is_string() ? text.get<std::string>() : "manufacturer " + p["manufacturer"].dump())
              << ", " << p["hResolution"].get<int>() << " x " << p["vResolution"].get<int>() << ", max. clock "
              << FormatScaled(p["maxDisplayClock"].get<int64_t>() / 10, 2) << " MHz, colour depth "
              << p["colorDepth"].get<int>() << ", flags " << Hex2(flagBytes[slot]) << "\n";
    }
    if (uint8_t{mode.byte1} == 0xFF) o.out << "  Current mode          none\n";
    else
        o.out << "  Current mode          entry " << unsigned{uint8_t{mode.byte1}} << ": " << int32_t{mode.word3}
              << " x " << int32_t{mode.word4} << ", " << FormatScaled(int32_t{mode.word1}, 1) << " kHz, "
              << FormatScaled(int32_t{mode.word2}, 1) << " Hz, flags " << Hex2(uint8_t{mode.byte2}) << "\n";
    return 0;
}

int CmdScan(const BoardTarget& t, int probeMs, Output& o) {
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    constexpr int kLastAddress = 254;  // 255 is the broadcast
    if (o.progress) {
        g_progress.err = &o.err;
        g_progress.label = "Scanning";
    }
    Json found = Json::array();
    for (int address = 0; address <= kLastAddress; ++address) {
        DrawBar(kLastAddress + 1, static_cast<unsigned>(address));
        uint8_t v1 = 0, v2 = 0;
        if (Vantrel_ProbeDevice(address, probeMs, &v1, &v2) != 0) continue;
        Json d;
        d["address"] = address;
        d["version"] = {v1, v2};
        const int current = Vantrel_CurrentPanel(address);
        if (current >= 0) d["currentPanel"] = current + 1;
        else d["currentPanel"] = nullptr;
        found.push_back(d);
    }
    if (g_progress.err != nullptr) {
        DrawBar(kLastAddress + 1, kLastAddress + 1);
        o.err << "\n" << std::flush;
        g_progress = {};
    }
    const BoardTarget e = Effective(t);
    if (o.json) {
        Json j;
        j["port"] = e.port;
        j["device"] = ShownPath(t.device.empty() ? DevicePathOfPort(e.port) : t.device);
        j["devices"] = found;
        o.WriteJson(j);
    } else {
        for (const Json& d : found) {
            o.out << "Device address " << d["address"].get<int>() << ": version " << d["version"][0].get<int>() << "."
                  << d["version"][1].get<int>() << ", current panel ";
            if (d["currentPanel"].is_null()) o.out << "unknown (no answer)\n";
            else o.out << "Panel " << d["currentPanel"].get<int>() << "\n";
        }
    }
    if (found.empty()) {
        o.Error() << "no board answered on COM" << e.port << " (" << DevicePathOfPort(e.port)
                  << ") at device addresses 0..254";
        return 1;
    }
    if (!o.json) o.Note() << found.size() << (found.size() == 1 ? " board" : " boards") << " found";
    return 0;
}

}  // namespace cli
