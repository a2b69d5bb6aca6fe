#include "console/memory_io.h"

#include <algorithm>

#include "board/link_session.h"
#include "text_out.h"
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

uint32_t ChunkSize(const Bytes& image, uint32_t off) {
    return std::min<uint32_t>(kChunk, static_cast<uint32_t>(image.size()) - off);
}

}  // namespace

const char* MemoryName(Memory m) { return m == Memory::Flash ? "flash" : "NVRAM"; }

std::string CommandName(Memory m, const char* verb) {
    return std::string(m == Memory::Flash ? "flash " : "nvram ") + verb;
}

std::string Span(uint32_t first, uint64_t n) {
    return Hex(first, 4) + ".." + Hex(static_cast<uint32_t>(first + n - 1), 4);
}

bool InRange(Memory m, uint32_t addr, uint64_t n, uint32_t size, Output& o) {
    const uint64_t limit = size ? size : kFlashSize;
    if (n > 0 && addr + n <= limit) return true;
    if (n == 0) o.Error() << "0 bytes at " << Hex(addr, 4) << ": nothing to move";
    else
        o.Error() << Plural(n, "byte", "bytes") << " at " << Hex(addr, 4) << (n == 1 ? " does" : " do")
                  << " not fit in the " << MemoryName(m) << " of " << limit << " bytes (" << Span(0, limit) << ")";
    return false;
}

int MemorySize(const BoardTarget& t, Memory m, uint32_t& size, Output& o) {
    size = kFlashSize;
    if (m == Memory::Flash) return 0;
    const int32_t v = Vantrel_ReadRegister(t.address, static_cast<int32_t>(kNvRamSizeRegister));
    if (v < 0) return TransferFailed(t, o, "reading the NVRAM size (register " + Hex(kNvRamSizeRegister, 4) + ")", v);
    size = static_cast<uint32_t>(v);
    return 0;
}

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
    for (std::size_t i = 0; i < diffs.size() && i < 32; ++i) o.Error() << "  " << diffs[i];
    if (diffs.size() > 32) o.Error() << "  ... and " << diffs.size() - 32 << " more";
}

bool WriteChunks(const BoardTarget& t, Memory m, uint32_t base, const Bytes& image,
                 const std::vector<uint32_t>& offsets, const std::function<bool()>& stop, ChunkWrite& done, Output& o) {
    done = ChunkWrite{};
    const auto total = static_cast<unsigned>(offsets.size() * kChunk);
    Bar bar(o, std::string("write ") + MemoryName(m), total);
    for (; done.confirmed < offsets.size(); ++done.confirmed) {
        if (stop && stop()) {
            done.interrupted = true;
            return false;
        }
        const uint32_t off = offsets[done.confirmed];
        const uint32_t n = ChunkSize(image, off);
        done.result = Write(m, t.address, base + off, n, image.data() + off);
        if (done.result == -2) {
            // The echo differs: name the bytes from what the board now holds.
            uint8_t back[kChunk] = {};
            std::vector<std::string> diffs;
            if (Read(m, t.address, base + off, n, back) == 0)
                diffs = DiffLines(m, base + off, image.data() + off, back, n);
            o.Error() << "writing " << MemoryName(m) << " at " << Hex(base + off, 4)
                      << ": the board echoed different bytes than were written; the transfer stopped there"
                      << (diffs.empty() ? " (reading that chunk back failed or shows no difference now)" : "");
            PrintDiffs(o, diffs);
        } else if (done.result < 0) {
            TransferFailed(t, o, std::string("writing ") + MemoryName(m) + " at " + Hex(base + off, 4), done.result);
        }
        if (done.result < 0) {
            done.interrupted = stop && stop();
            return false;
        }
        DrawBar(total, static_cast<unsigned>((done.confirmed + 1) * kChunk));
    }
    bar.Done(0);
    return true;
}

ReadBack ReadBackChunks(const BoardTarget& t, Memory m, uint32_t base, const Bytes& image,
                        const std::vector<uint32_t>& offsets, Output& o) {
    std::vector<std::string> diffs;
    Bytes back;
    for (uint32_t off : offsets) {
        const uint32_t n = ChunkSize(image, off);
        back.assign(n, 0);
        if (Read(m, t.address, base + off, n, back.data()) < 0) {
            TransferFailed(t, o, std::string("reading ") + MemoryName(m) + " back at " + Hex(base + off, 4), -1);
            return ReadBack::Unread;
        }
        auto d = DiffLines(m, base + off, image.data() + off, back.data(), n);
        diffs.insert(diffs.end(), d.begin(), d.end());
    }
    if (diffs.empty()) return ReadBack::Same;
    o.Error() << "read-back differs: " << Plural(diffs.size(), "byte", "bytes");
    PrintDiffs(o, diffs);
    return ReadBack::Differs;
}

std::vector<uint32_t> AllChunks(uint32_t n) {
    std::vector<uint32_t> offsets;
    for (uint32_t off = 0; off < n; off += kChunk) offsets.push_back(off);
    return offsets;
}

std::vector<uint32_t> DifferingChunks(const Bytes& image, const Bytes& now) {
    std::vector<uint32_t> differ;
    for (uint32_t off : AllChunks(static_cast<uint32_t>(image.size()))) {
        const uint32_t end = off + ChunkSize(image, off);
        if (!std::equal(image.begin() + off, image.begin() + end, now.begin() + off)) differ.push_back(off);
    }
    return differ;
}

std::vector<std::string> ProtectedAreas(Memory m, uint32_t addr, uint32_t n) {
    std::vector<std::string> areas;
    if (m != Memory::Flash || n == 0) return areas;
    const uint32_t end = addr + n;  // exclusive
    auto touches = [&](uint32_t a, uint32_t size) { return addr < a + size && a < end; };
    if (touches(VANTREL_MODE_TABLE_BASE, VANTREL_MODE_TABLE_SIZE))
        areas.push_back("mode table (" + Span(VANTREL_MODE_TABLE_BASE, VANTREL_MODE_TABLE_SIZE) + ")");
    for (uint32_t s = 0; s < VANTREL_PANEL_SLOTS; ++s) {
        const uint32_t at = VANTREL_GAMMA_BASE + VANTREL_GAMMA_SIZE * s;
        if (touches(at, VANTREL_GAMMA_SIZE))
            areas.push_back("gamma table of Panel " + std::to_string(s + 1) + " (" + Span(at, VANTREL_GAMMA_SIZE) +
                            ")");
    }
    for (uint32_t s = 0; s < VANTREL_PANEL_SLOTS; ++s) {
        const uint32_t at = VANTREL_PANEL_IMAGE_BASE + VANTREL_PANEL_IMAGE_SIZE * s;
        if (touches(at, VANTREL_PANEL_IMAGE_SIZE))
            areas.push_back("Panel " + std::to_string(s + 1) + " image (" + Span(at, VANTREL_PANEL_IMAGE_SIZE) + ")");
    }
    return areas;
}

std::vector<std::string> ProtectedAreas(Memory m, uint32_t base, const std::vector<uint32_t>& offsets, uint32_t n) {
    std::vector<std::string> areas;
    for (uint32_t off : offsets)
        for (const auto& a : ProtectedAreas(m, base + off, std::min(kChunk, n - off)))
            if (std::find(areas.begin(), areas.end(), a) == areas.end()) areas.push_back(a);
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

Json MemoryJson(Memory m, uint32_t addr, const Bytes& bytes, const std::string& file) {
    Json j{{"memory", MemoryName(m)},
           {"address", addr},
           {"count", bytes.size()},
           {"sha256", Sha256Hex(bytes.data(), bytes.size())}};
    if (!file.empty()) j["file"] = ShownPath(file);
    return j;
}

void PrintSha(Output& o, const Bytes& bytes, const std::string& file) {
    if (o.json) return;
    const std::string sha = Sha256Hex(bytes.data(), bytes.size());
    if (file == "-")
        o.Note() << "sha256 " << sha << " of the " << Plural(bytes.size(), "byte", "bytes")
                 << " written to standard output";
    else o.out << sha << "  " << ShownPath(file) << "\n";
}

}  // namespace cli::console
