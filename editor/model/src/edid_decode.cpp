#include "tolvane/edid.h"

#include <algorithm>
#include <cstdio>

namespace {

using Block = std::span<const uint8_t>;

std::string Hex2(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFFu);
    return text;
}

std::string At(unsigned block, unsigned byte) { return "block " + std::to_string(block) + ", byte " + Hex2(byte); }

std::string AtDescriptor(unsigned block, unsigned offset) {
    return "block " + std::to_string(block) + ", descriptor at byte " + Hex2(offset);
}

void Problem(EdidInfo& info, EdidSeverity severity, std::string where, std::string message) {
    info.problems.push_back({severity, std::move(where), std::move(message)});
}
void Error(EdidInfo& info, std::string where, std::string message) {
    Problem(info, EdidSeverity::Error, std::move(where), std::move(message));
}
void Warning(EdidInfo& info, std::string where, std::string message) {
    Problem(info, EdidSeverity::Warning, std::move(where), std::move(message));
}

bool ChecksumOk(EdidInfo& info, Block b, unsigned block) {
    unsigned sum = 0;
    for (uint8_t byte : b) sum += byte;
    if (sum % 256 == 0) return true;
    Error(info, At(block, 0x7F),
          "checksum " + Hex2(b[0x7F]) + " makes the block sum " + Hex2(sum) + ", not 0x00 (it should be " +
              Hex2(b[0x7F] - sum) + ")");
    return false;
}

// Text of a display descriptor: up to 13 characters, ended by a line feed.
std::string DescriptorText(Block d) {
    std::string text;
    for (std::size_t i = 5; i < 18 && d[i] != 0x0A; ++i) text += (d[i] >= 0x20 && d[i] < 0x7F) ? char(d[i]) : '?';
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

EdidRangeLimits DecodeRangeLimits(Block d, bool offsetsAllowed) {
    const uint8_t flags = offsetsAllowed ? d[4] : 0;
    EdidRangeLimits r;
    r.vMinHz = static_cast<uint16_t>(d[5] + ((flags & 0x03) == 0x03 ? 255 : 0));
    r.vMaxHz = static_cast<uint16_t>(d[6] + ((flags & 0x02) ? 255 : 0));
    r.hMinKHz = static_cast<uint16_t>(d[7] + ((flags & 0x0C) == 0x0C ? 255 : 0));
    r.hMaxKHz = static_cast<uint16_t>(d[8] + ((flags & 0x08) ? 255 : 0));
    r.maxPixelClockKHz = uint32_t{d[9]} * 10000;
    return r;
}

void DecodeDisplayDescriptor(EdidInfo& info, Block d, unsigned offset) {
    if (d[2] != 0) {
        Warning(info, AtDescriptor(0, offset),
                "pixel clock 0 but byte 2 is " + Hex2(d[2]) + ": not a display descriptor");
        return;
    }
    switch (d[3]) {
        case 0xFC:
            info.name = DescriptorText(d);
            break;
        case 0xFF:
            info.serialText = DescriptorText(d);
            break;
        case 0xFD: {
            const EdidRangeLimits r = DecodeRangeLimits(d, info.revision >= 4);
            if (r.vMinHz > r.vMaxHz || r.hMinKHz > r.hMaxKHz)
                Warning(info, AtDescriptor(0, offset), "range limits with a minimum above the maximum");
            info.rangeLimits = r;
            break;
        }
        default:
            break;  // text, colour points, further standard timings, dummy descriptors
    }
}

// Decodes one 18-byte detailed timing descriptor. Errors name the block and
// the descriptor; a timing that cannot be a picture is not listed.
void DecodeDetailedTimingAt(EdidInfo& info, Block d, unsigned block, unsigned offset) {
    const std::string where = AtDescriptor(block, offset);
    const uint32_t clock = (uint32_t{d[0]} | uint32_t{d[1]} << 8) * 10;
    const unsigned hActive = d[2] | (d[4] >> 4) << 8, hBlank = d[3] | (d[4] & 0x0F) << 8;
    const unsigned vActive = d[5] | (d[7] >> 4) << 8, vBlank = d[6] | (d[7] & 0x0F) << 8;
    const unsigned hFront = d[8] | (d[11] >> 6) << 8, hSync = d[9] | ((d[11] >> 4) & 3) << 8;
    const unsigned vFront = (d[10] >> 4) | ((d[11] >> 2) & 3) << 4, vSync = (d[10] & 0x0F) | (d[11] & 3) << 4;
    bool ok = true;
    if (hActive == 0 || vActive == 0) {
        Error(info, where, "active size " + std::to_string(hActive) + "x" + std::to_string(vActive) + " is empty");
        ok = false;
    }
    if (hBlank < hFront + hSync) {
        Error(info, where,
              "horizontal blanking " + std::to_string(hBlank) + " is smaller than front porch " +
                  std::to_string(hFront) + " + sync " + std::to_string(hSync));
        ok = false;
    }
    if (vBlank < vFront + vSync) {
        Error(info, where,
              "vertical blanking " + std::to_string(vBlank) + " is smaller than front porch " + std::to_string(vFront) +
                  " + sync " + std::to_string(vSync));
        ok = false;
    }
    if (!ok) return;
    EdidTiming e;
    e.block = block;
    e.offset = offset;
    e.imageWidthMm = static_cast<uint16_t>(d[12] | (d[14] >> 4) << 8);
    e.imageHeightMm = static_cast<uint16_t>(d[13] | (d[14] & 0x0F) << 8);
    e.hBorder = d[15];
    e.vBorder = d[16];
    e.sync = static_cast<EdidSync>((d[17] >> 3) & 3);
    DetailedTiming& t = e.timing;
    t.pixelClockKHz = clock;
    t.interlaced = (d[17] & 0x80) != 0;
    t.hActive = static_cast<uint16_t>(hActive);
    t.hFrontPorch = static_cast<uint16_t>(hFront + e.hBorder);
    t.hSync = static_cast<uint16_t>(hSync);
    t.hBackPorch = static_cast<uint16_t>(hBlank - hFront - hSync + e.hBorder);
    t.vActive = static_cast<uint16_t>(t.interlaced ? 2 * vActive : vActive);
    t.vFrontPorch = static_cast<uint16_t>(vFront + e.vBorder);
    t.vSync = static_cast<uint16_t>(vSync);
    t.vBackPorch = static_cast<uint16_t>(vBlank - vFront - vSync + e.vBorder);
    const bool digital = e.sync == EdidSync::DigitalSeparate || e.sync == EdidSync::DigitalComposite;
    t.hSyncPositive = digital && (d[17] & 0x02) != 0;
    t.vSyncPositive = e.sync == EdidSync::DigitalSeparate ? (d[17] & 0x04) != 0 : t.hSyncPositive;
    info.detailedTimings.push_back(e);
}

void DecodeIdentification(EdidInfo& info, Block b) {
    const unsigned id = unsigned{b[8]} << 8 | b[9];
    for (int shift : {10, 5, 0}) {
        const unsigned letter = (id >> shift) & 0x1F;
        info.vendor += (letter >= 1 && letter <= 26) ? char('A' + letter - 1) : '?';
    }
    if (info.vendor.find('?') != std::string::npos || (id & 0x8000))
        Warning(info, At(0, 0x08), "manufacturer ID " + Hex2(b[8]) + " " + Hex2(b[9]) + " is not three letters");
    info.product = static_cast<uint16_t>(b[10] | b[11] << 8);
    info.serial = uint32_t{b[12]} | uint32_t{b[13]} << 8 | uint32_t{b[14]} << 16 | uint32_t{b[15]} << 24;
    info.week = b[16];
    info.year = static_cast<uint16_t>(1990 + b[17]);
    info.version = b[18];
    info.revision = b[19];
    if (info.version != 1) Warning(info, At(0, 0x12), "EDID version " + std::to_string(info.version) + " is not 1");
    info.digital = (b[20] & 0x80) != 0;
    const unsigned depth = (b[20] >> 4) & 7;
    if (info.digital && info.revision >= 4 && depth >= 1 && depth <= 6)
        info.bitsPerColor = static_cast<uint8_t>(4 + 2 * depth);
    if (b[21] != 0 && b[22] != 0) {
        info.widthMm = static_cast<uint16_t>(b[21] * 10);
        info.heightMm = static_cast<uint16_t>(b[22] * 10);
    }
}

struct EstablishedBit {
    uint16_t width, height, refreshHz;
    bool interlaced;
    uint8_t dmtId;
};

// Bytes 0x23..0x25, most significant bit first; 0x25 bits 6..0 are the maker's own.
constexpr EstablishedBit kEstablished[17] = {
    {720, 400, 70, false, 0},      {720, 400, 88, false, 0},     {640, 480, 60, false, 0x04},
    {640, 480, 67, false, 0},      {640, 480, 72, false, 0x05},  {640, 480, 75, false, 0x06},
    {800, 600, 56, false, 0x08},   {800, 600, 60, false, 0x09},  {800, 600, 72, false, 0x0A},
    {800, 600, 75, false, 0x0B},   {832, 624, 75, false, 0},     {1024, 768, 87, true, 0x0F},
    {1024, 768, 60, false, 0x10},  {1024, 768, 70, false, 0x11}, {1024, 768, 75, false, 0x12},
    {1280, 1024, 75, false, 0x24}, {1152, 870, 75, false, 0},
};

void DecodeListedModes(EdidInfo& info, Block b) {
    for (unsigned i = 0; i < 17; ++i) {
        if (!(b[0x23 + i / 8] & (0x80 >> (i % 8)))) continue;
        const EstablishedBit& e = kEstablished[i];
        info.establishedTimings.push_back(
            {e.width, e.height, e.refreshHz, e.interlaced, e.dmtId ? DmtById(e.dmtId) : nullptr});
    }
    for (unsigned at = 0x26; at < 0x36; at += 2) {
        const uint8_t b1 = b[at], b2 = b[at + 1];
        if ((b1 == 0x01 && b2 == 0x01) || (b1 == 0x00 && b2 == 0x00) || (b1 == 0x20 && b2 == 0x20)) continue;
        if (b1 == 0x00) {
            Warning(info, At(0, at), "standard timing " + Hex2(b1) + " " + Hex2(b2) + " is neither a mode nor unused");
            continue;
        }
        const unsigned w = (b1 + 31u) * 8;
        unsigned h;
        switch (b2 >> 6) {
            case 0:
                h = info.revision >= 3 ? w * 10 / 16 : w;
                break;
            case 1:
                h = w * 3 / 4;
                break;
            case 2:
                h = w * 4 / 5;
                break;
            default:
                h = w * 9 / 16;
                break;
        }
        const uint16_t hz = static_cast<uint16_t>((b2 & 0x3F) + 60);
        info.standardTimings.push_back(
            {static_cast<uint16_t>(w), static_cast<uint16_t>(h), hz, false, DmtByMode(w, h, hz)});
    }
}

void DecodeBaseDescriptors(EdidInfo& info, Block b) {
    for (unsigned i = 0; i < 4; ++i) {
        const unsigned offset = 0x36 + 18 * i;
        const Block d = b.subspan(offset, 18);
        if (d[0] != 0 || d[1] != 0) {
            const std::size_t before = info.detailedTimings.size();
            DecodeDetailedTimingAt(info, d, 0, offset);
            if (i == 0 && info.detailedTimings.size() > before) info.detailedTimings.back().preferred = true;
            continue;
        }
        if (i == 0 && info.version == 1 && info.revision >= 3)
            Error(info, AtDescriptor(0, offset), "pixel clock 0: the first descriptor holds no preferred timing");
        DecodeDisplayDescriptor(info, d, offset);
    }
}

// A CTA-861 block: its detailed timings begin at the byte that byte 2 names
// and run until a descriptor with pixel clock 0 or the checksum.
void DecodeCtaBlock(EdidInfo& info, Block b, unsigned block) {
    const unsigned start = b[2];
    if (start == 0) return;
    if (start < 4 || start > 127) {
        Error(info, At(block, 0x02), "detailed timings said to begin at byte " + Hex2(start) + ", outside 0x04..0x7E");
        return;
    }
    for (unsigned offset = start; offset + 18 <= 127; offset += 18) {
        const Block d = b.subspan(offset, 18);
        if (d[0] == 0 && d[1] == 0) break;
        DecodeDetailedTimingAt(info, d, block, offset);
    }
}

void DecodeExtensions(EdidInfo& info, std::span<const uint8_t> bytes) {
    const std::size_t present = bytes.size() / kEdidBlockSize - 1;
    if (bytes.size() % kEdidBlockSize != 0)
        Error(info, "block " + std::to_string(bytes.size() / kEdidBlockSize),
              "only " + std::to_string(bytes.size() % kEdidBlockSize) + " bytes; a block has 128");
    if (present < info.extensionsAnnounced)
        Error(info, At(0, 0x7E),
              std::to_string(info.extensionsAnnounced) + " extension blocks announced, " + std::to_string(present) +
                  " present");
    else if (present > info.extensionsAnnounced)
        Warning(info, At(0, 0x7E),
                std::to_string(present - info.extensionsAnnounced) + " blocks beyond the " +
                    std::to_string(info.extensionsAnnounced) + " announced are not decoded");
    const std::size_t count = std::min<std::size_t>(present, info.extensionsAnnounced);
    for (unsigned block = 1; block <= count; ++block) {
        const Block b = bytes.subspan(block * kEdidBlockSize, kEdidBlockSize);
        EdidExtension ext{block, b[0], ChecksumOk(info, b, block)};
        info.checksumOk = info.checksumOk && ext.checksumOk;
        info.extensions.push_back(ext);
        if (b[0] == 0x02) DecodeCtaBlock(info, b, block);
        else Warning(info, At(block, 0x00), "extension tag " + Hex2(b[0]) + " is not decoded");
    }
}

}  // namespace

bool HasEdidHeader(std::span<const uint8_t> bytes) {
    if (bytes.size() < kEdidHeader.size()) return false;
    for (std::size_t i = 0; i < kEdidHeader.size(); ++i)
        if (bytes[i] != kEdidHeader[i]) return false;
    return true;
}

EdidInfo DecodeEdid(std::span<const uint8_t> bytes) {
    EdidInfo info;
    if (bytes.size() < kEdidBlockSize) {
        Error(info, "block 0", "only " + std::to_string(bytes.size()) + " bytes; a block has 128");
        return info;
    }
    if (!HasEdidHeader(bytes)) {
        std::string seen;
        for (std::size_t i = 0; i < 8; ++i) seen += (i ? " " : "") + Hex2(bytes[i]).substr(2);
        Error(info, "block 0, bytes 0x00..0x07", "header " + seen + " is not 00 FF FF FF FF FF FF 00");
        return info;
    }
    const Block base = bytes.first(kEdidBlockSize);
    info.decoded = true;
    info.checksumOk = ChecksumOk(info, base, 0);
    DecodeIdentification(info, base);
    DecodeListedModes(info, base);
    DecodeBaseDescriptors(info, base);
    info.extensionsAnnounced = base[0x7E];
    DecodeExtensions(info, bytes);
    return info;
}

bool HasEdidError(const EdidInfo& info) {
    for (const EdidProblem& p : info.problems)
        if (p.severity == EdidSeverity::Error) return true;
    return false;
}

std::string FormatEdidProblem(const EdidProblem& problem) { return problem.where + ": " + problem.message; }

const EdidTiming* PreferredTiming(const EdidInfo& info) {
    if (info.detailedTimings.empty()) return nullptr;
    for (const EdidTiming& t : info.detailedTimings)
        if (t.preferred) return &t;
    return &info.detailedTimings.front();
}

std::optional<std::vector<uint8_t>> EdidBytesFromHexText(std::string_view text) {
    std::vector<uint8_t> bytes;
    int high = -1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',') continue;
        if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') && high < 0) {
            ++i;
            continue;
        }
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return std::nullopt;
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<uint8_t>(high << 4 | digit));
            high = -1;
        }
    }
    if (high >= 0 || bytes.empty()) return std::nullopt;
    return bytes;
}
