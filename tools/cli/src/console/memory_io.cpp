#include "console/memory_io.h"

#include <algorithm>

#include "board/link_session.h"
#include "vantrel.h"

namespace cli::console {
namespace {

int32_t Read(Memory m, int address, uint32_t at, uint32_t n, uint8_t* buffer) {
    return m == Memory::Flash ? Vantrel_ReadFlash(address, at, n, buffer) : Vantrel_ReadNvRam(address, at, n, buffer);
}
int32_t Write(Memory m, int address, uint32_t at, uint32_t n, const uint8_t* data) {
    return m == Memory::Flash ? Vantrel_WriteFlash(address, at, n, data) : Vantrel_WriteNvRam(address, at, n, data);
}

// Bytes read in one library call: 64 chunks, so that the bar moves often
// while the calls add nothing measurable to the transfer.
constexpr uint32_t kReadBlock = 1024;

}  // namespace

const char* MemoryName(Memory m) { return m == Memory::Flash ? "flash" : "NVRAM"; }

bool ReadRange(const BoardTarget& t, Memory m, uint32_t addr, uint32_t n, Bytes& bytes, Output& o) {
    bytes.assign(n, 0);
    Bar bar(o, std::string("read ") + MemoryName(m), n);
    Vantrel_SetProgressCallback(nullptr);  // the bar follows the whole range, drawn below
    for (uint32_t done = 0; done < n;) {
        const uint32_t part = std::min(kReadBlock, n - done);
        const int32_t rc = Read(m, t.address, addr + done, part, bytes.data() + done);
        if (rc < 0) {
            TransferFailed(t, o, std::string("reading ") + MemoryName(m) + " at " + Hex(addr + done, 4), rc);
            return false;
        }
        done += part;
        DrawBar(n, done);
    }
    bar.Done(0);
    return true;
}

std::vector<std::string> DiffLines(Memory m, uint32_t base, const uint8_t* wrote, const uint8_t* read, std::size_t n) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < n; ++i)
        if (wrote[i] != read[i])
            lines.push_back(std::string(MemoryName(m)) + " " + Hex(base + static_cast<uint32_t>(i), 4) + ": wrote " +
                            Hex(wrote[i], 2) + ", read back " + Hex(read[i], 2));
    return lines;
}

void PrintDiffs(Output& o, const std::vector<std::string>& diffs) {
    for (std::size_t i = 0; i < diffs.size() && i < 32; ++i) o.err << "tolvane2-cli:   " << diffs[i] << "\n";
    if (diffs.size() > 32) o.err << "tolvane2-cli:   ... and " << diffs.size() - 32 << " more\n";
}

bool WriteChunks(const BoardTarget& t, Memory m, uint32_t base, const Bytes& image,
                 const std::vector<uint32_t>& offsets, Output& o) {
    const auto total = static_cast<unsigned>(offsets.size() * kChunk);
    Bar bar(o, std::string("write ") + MemoryName(m), total);
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        const uint32_t off = offsets[i];
        const uint32_t n = std::min<uint32_t>(kChunk, static_cast<uint32_t>(image.size()) - off);
        const int32_t rc = Write(m, t.address, base + off, n, image.data() + off);
        if (rc == -2) {
            // The echo differs: name the bytes from what the board now holds.
            uint8_t back[kChunk] = {};
            std::vector<std::string> diffs;
            if (Read(m, t.address, base + off, n, back) == 0)
                diffs = DiffLines(m, base + off, image.data() + off, back, n);
            o.err << "tolvane2-cli: writing " << MemoryName(m) << " at " << Hex(base + off, 4)
                  << ": the board echoed different bytes than were written; the transfer stopped there\n";
            if (diffs.empty()) o.err << "  (reading that chunk back failed or shows no difference now)\n";
            PrintDiffs(o, diffs);
            return false;
        }
        if (rc < 0) {
            TransferFailed(t, o, std::string("writing ") + MemoryName(m) + " at " + Hex(base + off, 4), rc);
            return false;
        }
        DrawBar(total, static_cast<unsigned>((i + 1) * kChunk));
    }
    bar.Done(0);
    return true;
}

bool ReadBackChunks(const BoardTarget& t, Memory m, uint32_t base, const Bytes& image,
                    const std::vector<uint32_t>& offsets, Output& o) {
    std::vector<std::string> diffs;
    for (uint32_t off : offsets) {
        const uint32_t n = std::min<uint32_t>(kChunk, static_cast<uint32_t>(image.size()) - off);
        uint8_t back[kChunk] = {};
        if (Read(m, t.address, base + off, n, back) < 0) {
            TransferFailed(t, o, std::string("reading ") + MemoryName(m) + " back at " + Hex(base + off, 4), -1);
            return false;
        }
        auto d = DiffLines(m, base + off, image.data() + off, back, n);
        diffs.insert(diffs.end(), d.begin(), d.end());
    }
    if (diffs.empty()) return true;
    o.err << "tolvane2-cli: read-back differs: " << diffs.size() << (diffs.size() == 1 ? " byte" : " bytes") << "\n";
    PrintDiffs(o, diffs);
    return false;
}

std::vector<uint32_t> AllChunks(uint32_t n) {
    std::vector<uint32_t> offsets;
    for (uint32_t off = 0; off < n; off += kChunk) offsets.push_back(off);
    return offsets;
}

std::vector<std::string> ProtectedAreas(Memory m, uint32_t addr, uint32_t n) {
    std::vector<std::string> areas;
    if (m != Memory::Flash || n == 0) return areas;
    const uint32_t end = addr + n;  // exclusive
    auto touches = [&](uint32_t a, uint32_t size) { return addr < a + size && a < end; };
    if (touches(kModeTableBase, 768)) areas.push_back("mode table (" + Hex(kModeTableBase, 4) + "..0xF6FF)");
    for (uint32_t s = 0; s < 4; ++s)
        if (touches(kGammaBase + 256 * s, 256))
            areas.push_back("gamma table of Panel " + std::to_string(s + 1) + " (" + Hex(kGammaBase + 256 * s, 4) +
                            "..)");
    for (uint32_t s = 0; s < 4; ++s)
        if (touches(kPanelImageBase + 64 * s, 64))
            areas.push_back("Panel " + std::to_string(s + 1) + " image (" + Hex(kPanelImageBase + 64 * s, 4) + "..)");
    return areas;
}

std::string Ranges(uint32_t base, const std::vector<uint32_t>& offsets, uint32_t end) {
    std::string text;
    int shown = 0;
    for (std::size_t i = 0; i < offsets.size();) {
        std::size_t j = i;
        while (j + 1 < offsets.size() && offsets[j + 1] == offsets[j] + kChunk) ++j;
        const uint32_t last = std::min(offsets[j] + kChunk, end) - 1;
        if (shown == 8) {
            text += ", ...";
            break;
        }
        text += (text.empty() ? "" : ", ") + Hex(base + offsets[i], 4) + ".." + Hex(base + last, 4);
        ++shown;
        i = j + 1;
    }
    return text;
}

bool MemorySize(const BoardTarget& t, Memory m, const std::string& sizeText, uint32_t& size, Output& o) {
    size = 0;
    if (m == Memory::Flash) {
        size = kFlashSize;
        return true;
    }
    if (!sizeText.empty()) {
        if (!ReadNumber(sizeText, "--size", kFlashSize, size, o)) return false;
        if (size == 0) {
            o.err << "tolvane2-cli: --size must be 1..65536\n";
            return false;
        }
        return true;
    }
    const int32_t v = Vantrel_ReadRegister(t.address, kNvRamSizeRegister);
    if (v > 0) size = static_cast<uint32_t>(v);
    return true;
}

}  // namespace cli::console
