#include "tolvane/edid.h"

#include <algorithm>
#include <cstring>

namespace {

using Descriptor = std::array<uint8_t, 18>;

constexpr std::size_t kBaseDescriptors = 4;
constexpr std::size_t kCtaTimingsPerBlock = 6;  // 18-byte descriptors between byte 4 and the checksum

std::optional<Descriptor> TextDescriptor(uint8_t tag, const std::string& text) {
    if (text.size() > 13) return std::nullopt;
    Descriptor d{};
    d[3] = tag;
    for (std::size_t i = 0; i < 13; ++i) d[5 + i] = i < text.size() ? uint8_t(text[i]) : i == text.size() ? 0x0A : 0x20;
    return d;
}

std::optional<Descriptor> RangeDescriptor(const EdidRangeLimits& r) {
    // Rates above 255 are written with the EDID 1.4 offset of 255.
    uint8_t flags = 0;
    auto rate = [&flags](uint16_t value, uint8_t flag) -> std::optional<uint8_t> {
        if (value > 510) return std::nullopt;
        if (value > 255) {
            flags |= flag;
            return static_cast<uint8_t>(value - 255);
        }
        return static_cast<uint8_t>(value);
    };
    const auto vMax = rate(r.vMaxHz, 0x02), vMin = rate(r.vMinHz, 0x03);
    const auto hMax = rate(r.hMaxKHz, 0x08), hMin = rate(r.hMinKHz, 0x0C);
    if (!vMax || !vMin || !hMax || !hMin) return std::nullopt;
    // An offset minimum needs an offset maximum (flag pattern 11).
    if (((flags & 0x01) && !(r.vMaxHz > 255)) || ((flags & 0x04) && !(r.hMaxKHz > 255))) return std::nullopt;
    if (r.maxPixelClockKHz % 10000 != 0 || r.maxPixelClockKHz / 10000 > 255) return std::nullopt;
    Descriptor d{};
    d[3] = 0xFD;
    d[4] = flags;
    d[5] = *vMin;
    d[6] = *vMax;
    d[7] = *hMin;
    d[8] = *hMax;
    d[9] = static_cast<uint8_t>(r.maxPixelClockKHz / 10000);
    d[10] = 0x01;  // range limits only
    d[11] = 0x0A;
    for (std::size_t i = 12; i < 18; ++i) d[i] = 0x20;
    return d;
}

void Checksum(uint8_t* block) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < 127; ++i) sum += block[i];
    block[127] = static_cast<uint8_t>((256 - sum % 256) % 256);
}

bool WriteIdentification(uint8_t* b, const EdidDescription& e) {
    if (e.vendor.size() != 3 || e.year < 1990 || e.year > 2245) return false;
    for (char c : e.vendor)
        if (c < 'A' || c > 'Z') return false;
    uint8_t depthCode = 0;
    if (e.bitsPerColor != 0) {
        if (e.bitsPerColor < 6 || e.bitsPerColor > 16 || e.bitsPerColor % 2 != 0) return false;
        depthCode = static_cast<uint8_t>((e.bitsPerColor - 4) / 2);
    }
    std::memcpy(b, kEdidHeader.data(), kEdidHeader.size());
    const unsigned id =
        unsigned(e.vendor[0] - 'A' + 1) << 10 | unsigned(e.vendor[1] - 'A' + 1) << 5 | unsigned(e.vendor[2] - 'A' + 1);
    b[8] = static_cast<uint8_t>(id >> 8);
    b[9] = static_cast<uint8_t>(id);
    b[10] = static_cast<uint8_t>(e.product);
    b[11] = static_cast<uint8_t>(e.product >> 8);
    for (int i = 0; i < 4; ++i) b[12 + i] = static_cast<uint8_t>(e.serial >> (8 * i));
    b[16] = e.week;
    b[17] = static_cast<uint8_t>(e.year - 1990);
    b[18] = 1;
    b[19] = 4;
    b[20] = static_cast<uint8_t>(0x80 | depthCode << 4);
    b[21] = e.widthCm;
    b[22] = e.heightCm;
    b[23] = 120;                                            // gamma 2.2
    b[24] = 0x02;                                           // the preferred timing is the native format
    for (std::size_t i = 0x26; i < 0x36; ++i) b[i] = 0x01;  // no standard timings
    return true;
}

}  // namespace

std::optional<Descriptor> EncodeDetailedTiming(const DetailedTiming& t, uint16_t widthMm, uint16_t heightMm) {
    if (!TimingShapeError(t).empty() || t.pixelClockKHz % 10 != 0 || t.pixelClockKHz / 10 > 0xFFFF) return std::nullopt;
    const unsigned vActive = t.interlaced ? t.vActive / 2u : t.vActive;
    const unsigned hBlank = t.hBlank(), vBlank = t.vBlank();
    if (t.hActive > 4095 || hBlank > 4095 || vActive > 4095 || vBlank > 4095) return std::nullopt;
    if (t.hFrontPorch > 1023 || t.hSync > 1023 || t.vFrontPorch > 63 || t.vSync > 63) return std::nullopt;
    if (widthMm > 4095 || heightMm > 4095) return std::nullopt;
    const unsigned clock = t.pixelClockKHz / 10;
    Descriptor d{};
    d[0] = static_cast<uint8_t>(clock);
    d[1] = static_cast<uint8_t>(clock >> 8);
    d[2] = static_cast<uint8_t>(t.hActive);
    d[3] = static_cast<uint8_t>(hBlank);
    d[4] = static_cast<uint8_t>((t.hActive >> 8) << 4 | hBlank >> 8);
    d[5] = static_cast<uint8_t>(vActive);
    d[6] = static_cast<uint8_t>(vBlank);
    d[7] = static_cast<uint8_t>((vActive >> 8) << 4 | vBlank >> 8);
    d[8] = static_cast<uint8_t>(t.hFrontPorch);
    d[9] = static_cast<uint8_t>(t.hSync);
    d[10] = static_cast<uint8_t>((t.vFrontPorch & 0x0F) << 4 | (t.vSync & 0x0F));
    d[11] = static_cast<uint8_t>((t.hFrontPorch >> 8) << 6 | (t.hSync >> 8) << 4 | (t.vFrontPorch >> 4) << 2 |
                                 t.vSync >> 4);
    d[12] = static_cast<uint8_t>(widthMm);
    d[13] = static_cast<uint8_t>(heightMm);
    d[14] = static_cast<uint8_t>((widthMm >> 8) << 4 | heightMm >> 8);
    d[17] = static_cast<uint8_t>((t.interlaced ? 0x80 : 0) | 0x18 | (t.vSyncPositive ? 0x04 : 0) |
                                 (t.hSyncPositive ? 0x02 : 0));
    return d;
}

std::optional<std::vector<uint8_t>> EncodeEdid(const EdidDescription& e) {
    std::vector<Descriptor> displayDescriptors;
    for (const auto& [tag, text] : {std::pair<uint8_t, const std::string&>{0xFC, e.name}, {0xFF, e.serialText}}) {
        if (text.empty()) continue;
        const auto d = TextDescriptor(tag, text);
        if (!d) return std::nullopt;
        displayDescriptors.push_back(*d);
    }
    if (e.rangeLimits) {
        const auto d = RangeDescriptor(*e.rangeLimits);
        if (!d) return std::nullopt;
        displayDescriptors.push_back(*d);
    }
    std::vector<Descriptor> timings;
    for (const DetailedTiming& t : e.timings) {
        const auto d =
            EncodeDetailedTiming(t, static_cast<uint16_t>(e.widthCm * 10), static_cast<uint16_t>(e.heightCm * 10));
        if (!d) return std::nullopt;
        timings.push_back(*d);
    }
    const std::size_t inBase = std::min(timings.size(), kBaseDescriptors - displayDescriptors.size());
    if (!timings.empty() && inBase == 0) return std::nullopt;
    const std::size_t rest = timings.size() - inBase;
    const std::size_t extensions = (rest + kCtaTimingsPerBlock - 1) / kCtaTimingsPerBlock;
    if (extensions > 254) return std::nullopt;

    std::vector<uint8_t> bytes(kEdidBlockSize * (1 + extensions), 0);
    if (!WriteIdentification(bytes.data(), e)) return std::nullopt;
    std::size_t slot = 0;
    auto place = [&bytes, &slot](const Descriptor& d) { std::memcpy(&bytes[0x36 + 18 * slot++], d.data(), 18); };
    for (std::size_t i = 0; i < inBase; ++i) place(timings[i]);
    for (const Descriptor& d : displayDescriptors) place(d);
    while (slot < kBaseDescriptors) place(Descriptor{0, 0, 0, 0x10});  // dummy descriptor
    bytes[0x7E] = static_cast<uint8_t>(extensions);
    Checksum(bytes.data());

    for (std::size_t x = 0; x < extensions; ++x) {
        uint8_t* block = &bytes[kEdidBlockSize * (1 + x)];
        block[0] = 0x02;  // CTA-861
        block[1] = 3;
        block[2] = 4;  // no data blocks: the detailed timings begin at byte 4
        for (std::size_t k = 0; k < kCtaTimingsPerBlock; ++k) {
            const std::size_t index = inBase + x * kCtaTimingsPerBlock + k;
            if (index < timings.size()) std::memcpy(block + 4 + 18 * k, timings[index].data(), 18);
        }
        Checksum(block);
    }
    return bytes;
}
