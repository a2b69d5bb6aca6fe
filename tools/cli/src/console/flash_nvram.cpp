// flash and nvram: read, write, dump, restore (only the chunks that differ)
// and the flash erase, with SHA-256 of what was moved and the safety rules of
// commands that change the board: the plan is shown, --yes or a question,
// --force over the panel, gamma and mode areas, --backup of the whole memory.
// Refusals exit 2 with nothing sent to the board.
#include <algorithm>

#include "board/link_session.h"
#include "console/memory_io.h"
#include "vantrel.h"

namespace cli::console {
namespace {

std::string Cmd(Memory m, const char* verb) { return std::string(m == Memory::Flash ? "flash " : "nvram ") + verb; }

// Checks that [addr, addr + n) lies inside the memory (size 0: unknown, the 64 KiB address space).
bool InRange(Memory m, uint32_t addr, uint64_t n, uint32_t size, Output& o) {
    const uint64_t limit = size ? size : kFlashSize;
    if (n == 0 || addr + n > limit) {
        o.err << "tolvane2-cli: " << n << " bytes at " << Hex(addr, 4) << " do not fit in the " << MemoryName(m)
              << " of " << limit << " bytes" << (n == 0 ? " (nothing to move)" : "") << "\n";
        return false;
    }
    return true;
}

void PrintSha(Output& o, const std::string& what, const Bytes& bytes, const std::string& file) {
    if (o.json) return;
    o.out << Sha256Hex(bytes.data(), bytes.size()) << "  " << (file.empty() ? what : file) << "\n";
}

Json Report(Memory m, uint32_t addr, const Bytes& bytes, const std::string& file) {
    Json j{{"memory", MemoryName(m)},
           {"address", addr},
           {"count", bytes.size()},
           {"sha256", Sha256Hex(bytes.data(), bytes.size())}};
    if (!file.empty()) j["file"] = file;
    return j;
}

// The common way in of a write: the plan, --force over protected areas, the
// consent, then the backup of the whole memory. 0 to go on, else the exit code
// (2: refused for want of --force or --yes, nothing sent; 1: the backup failed).
int Prepare(const BoardTarget& t, Memory m, const std::vector<std::string>& areas, const std::string& plan,
            uint32_t size, const MemoryWrite& w, Output& o) {
    std::string text = plan;
    for (const auto& a : areas) text += "  includes the " + a + "\n";
    if (!areas.empty() && !w.force) {
        o.err << "tolvane2-cli: " << text
              << "tolvane2-cli: nothing was changed: the write covers the panel, gamma or mode areas; use "
              << "panel write or modes write for those, or add --force\n";
        return 2;
    }
    if (!Confirm(text, w.consent, o)) return 2;
    if (w.backup.empty()) return 0;
    if (size == 0) {
        o.err
            << "tolvane2-cli: the board does not give its NVRAM size; add --size for the backup; nothing was written\n";
        return 2;
    }
    Bytes old;
    if (!ReadRange(t, m, 0, size, old, o) || !SaveFile(w.backup, old, o)) {
        o.err << "tolvane2-cli: backup failed; nothing was written\n";
        return 1;
    }
    if (!o.quiet)
        o.err << "tolvane2-cli: " << MemoryName(m) << " saved to " << w.backup << " (sha256 "
              << Sha256Hex(old.data(), old.size()) << ")\n";
    return 0;
}

int Verify(const BoardTarget& t, Memory m, uint32_t addr, const Bytes& image, Output& o) {
    Bytes back;
    if (!ReadRange(t, m, addr, static_cast<uint32_t>(image.size()), back, o)) {
        o.err << "tolvane2-cli: verify failed: the " << MemoryName(m) << " could not be read back\n";
        return 1;
    }
    auto diffs = DiffLines(m, addr, image.data(), back.data(), image.size());
    if (diffs.empty()) return 0;
    o.err << "tolvane2-cli: verify failed: " << diffs.size() << (diffs.size() == 1 ? " byte differs" : " bytes differ")
          << "\n";
    PrintDiffs(o, diffs);
    return 1;
}

}  // namespace

int CmdMemRead(const BoardTarget& t, Memory m, const std::string& addrText, const std::string& countText,
               const std::string& outFile, Output& o) {
    uint32_t addr = 0, count = 0;
    if (!ReadNumber(addrText, "address", 0xFFFF, addr, o) || !ReadNumber(countText, "count", kFlashSize, count, o))
        return 2;
    if (!InRange(m, addr, count, m == Memory::Flash ? kFlashSize : 0, o)) return 2;
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    Bytes bytes;
    if (!ReadRange(t, m, addr, count, bytes, o)) return 1;
    if (!outFile.empty() && !SaveFile(outFile, bytes, o)) return 1;
    if (o.json) {
        Json j = Report(m, addr, bytes, outFile);
        if (outFile.empty()) j["bytes"] = bytes;
        o.WriteJson(j);
    } else if (outFile.empty()) {
        o.out << HexTable(addr, bytes, 4);
    } else {
        PrintSha(o, "", bytes, outFile);
    }
    return 0;
}

int CmdMemDump(const BoardTarget& t, Memory m, const std::string& sizeText, const std::string& outFile, Output& o) {
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    uint32_t size = 0;
    if (!MemorySize(t, m, sizeText, size, o)) return 2;
    if (size == 0) {
        o.err << "tolvane2-cli: the board does not give its NVRAM size; give it with --size N\n";
        return 2;
    }
    Bytes bytes;
    if (!ReadRange(t, m, 0, size, bytes, o) || !SaveFile(outFile, bytes, o)) return 1;
    if (o.json) o.WriteJson(Report(m, 0, bytes, outFile));
    else PrintSha(o, "", bytes, outFile);
    if (!o.quiet && !o.json)
        o.err << "tolvane2-cli: " << size << " bytes of " << MemoryName(m) << " saved to " << outFile << "\n";
    return 0;
}

int CmdMemWrite(const BoardTarget& t, Memory m, const std::string& addrText, const std::string& file,
                const MemoryWrite& w, Output& o) {
    uint32_t addr = 0;
    if (!ReadNumber(addrText, "address", 0xFFFF, addr, o)) return 2;
    Bytes data;
    if (!ReadWholeFile(file, data, o)) return 1;
    if (!InRange(m, addr, data.size(), m == Memory::Flash ? kFlashSize : 0, o)) return 2;
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    uint32_t size = 0;
    if (!MemorySize(t, m, "", size, o)) return 2;
    if (size && !InRange(m, addr, data.size(), size, o)) return 2;
    const auto n = static_cast<uint32_t>(data.size());
    const std::string plan = Cmd(m, "write") + " will change " + std::to_string(n) + " bytes of " + MemoryName(m) +
                             " at " + Hex(addr, 4) + ".." + Hex(addr + n - 1, 4) + " from " + file + "\n";
    if (int rc = Prepare(t, m, ProtectedAreas(m, addr, n), plan, size, w, o)) return rc;
    if (!WriteChunks(t, m, addr, data, AllChunks(n), o)) return 1;
    if (w.verify && Verify(t, m, addr, data, o) != 0) return 1;
    if (o.json) {
        Json j = Report(m, addr, data, file);
        j["verified"] = w.verify;
        o.WriteJson(j);
    } else {
        PrintSha(o, "", data, file);
        if (!o.quiet)
            o.err << "tolvane2-cli: " << n << " bytes written to " << MemoryName(m) << " at " << Hex(addr, 4)
                  << (w.verify ? ", verified" : "") << "\n";
    }
    return 0;
}

int CmdMemRestore(const BoardTarget& t, Memory m, const std::string& file, const MemoryWrite& w, Output& o) {
    Bytes image;
    if (!ReadWholeFile(file, image, o)) return 1;
    if (m == Memory::Flash && image.size() != kFlashSize) {
        o.err << "tolvane2-cli: " << file << " holds " << image.size() << " bytes; a flash dump holds 65536\n";
        return 2;
    }
    if (!InRange(m, 0, image.size(), 0, o)) return 2;
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    uint32_t size = 0;
    if (!MemorySize(t, m, "", size, o)) return 2;
    if (size && image.size() != size) {
        o.err << "tolvane2-cli: " << file << " holds " << image.size() << " bytes; the board's " << MemoryName(m)
              << " holds " << size << "\n";
        return 2;
    }
    const auto n = static_cast<uint32_t>(image.size());
    // What the board holds now decides which chunks are written.
    Bytes now;
    if (!ReadRange(t, m, 0, n, now, o)) return 1;
    std::vector<uint32_t> differ;
    for (uint32_t off : AllChunks(n))
        if (!std::equal(image.begin() + off, image.begin() + std::min(off + kChunk, n), now.begin() + off))
            differ.push_back(off);

    int rc = 0;
    if (!differ.empty()) {
        const std::string plan = Cmd(m, "restore") + " will write " + std::to_string(differ.size()) + " of " +
                                 std::to_string(AllChunks(n).size()) + " chunks of 16 bytes: " + Ranges(0, differ, n) +
                                 "\n";
        // Only the chunks that differ are checked against the protected areas.
        std::vector<std::string> areas;
        for (uint32_t off : differ)
            for (const auto& a : ProtectedAreas(m, off, std::min(kChunk, n - off)))
                if (std::find(areas.begin(), areas.end(), a) == areas.end()) areas.push_back(a);
        MemoryWrite pw = w;
        pw.backup.clear();  // the backup is what was just read
        if (int refused = Prepare(t, m, areas, plan, n, pw, o)) return refused;
        if (!w.backup.empty()) {
            if (!SaveFile(w.backup, now, o)) {
                o.err << "tolvane2-cli: backup failed; nothing was written\n";
                return 1;
            }
            if (!o.quiet) o.err << "tolvane2-cli: " << MemoryName(m) << " saved to " << w.backup << "\n";
        }
        if (!WriteChunks(t, m, 0, image, differ, o)) return 1;
        if (!ReadBackChunks(t, m, 0, image, differ, o)) rc = 1;
    }
    if (rc == 0 && w.verify) rc = Verify(t, m, 0, image, o);
    if (rc != 0) return rc;
    if (o.json) {
        Json j = Report(m, 0, image, file);
        j["chunksWritten"] = differ.size();
        j["ranges"] = differ.empty() ? "" : Ranges(0, differ, n);
        j["verified"] = w.verify;
        o.WriteJson(j);
    } else {
        PrintSha(o, "", image, file);
        if (!o.quiet)
            o.err << "tolvane2-cli: "
                  << (differ.empty() ? std::string("the board already holds ") + file + "; nothing was written"
                                     : std::to_string(differ.size()) + " chunks written and read back")
                  << (w.verify ? ", verified" : "") << "\n";
    }
    return 0;
}

int CmdFlashErase(const BoardTarget& t, const std::string& valueText, const MemoryWrite& w, Output& o) {
    uint32_t value = 0;
    if (!ReadNumber(valueText, "value", 0xFF, value, o)) return 2;
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    MemoryWrite ew = w;
    ew.force = true;  // an erase covers everything; the plan says so
    if (int rc = Prepare(t, Memory::Flash, ProtectedAreas(Memory::Flash, 0, kFlashSize),
                         "flash erase would erase the whole 64 KiB of flash\n", kFlashSize, ew, o))
        return rc;
    if (Vantrel_EraseFlash(t.address, static_cast<int32_t>(value)) < 0) {
        o.err << "tolvane2-cli: the board has no erase command; nothing was sent and the flash is unchanged (to fill "
                 "a range, write a file of that value with flash write)\n";
        return 1;
    }
    return 0;
}

}  // namespace cli::console
