// flash and nvram write and restore, and the flash erase: the plan, --force
// over the panel, gamma and mode areas, the consent, the backup of the whole
// memory, the write chunk by chunk (stopping between two chunks at Ctrl-C),
// the read-back, and, when the board is left differing from the file, what
// it now holds and the command that repairs it. Refusals exit 2 with nothing
// written.
#include "board/board_write.h"
#include "board/link_session.h"
#include "console/memory_io.h"
#include "file_policy.h"
#include "platform/worker_processes.h"
#include "text_out.h"

namespace cli::console {
namespace {

// One write to the board, from its plan to its outcome.
struct MemoryJob {
    MemoryJob(Memory m, std::string verb, std::string file) : m(m), verb(std::move(verb)), file(std::move(file)) {}
    Memory m = Memory::Flash;
    std::string verb;   // "write", "restore", "erase"
    std::string file;   // the file written
    uint32_t base = 0;  // the memory address of image[0]
    Bytes image;
    std::vector<uint32_t> chunks;    // the offsets of the chunks sent
    std::vector<std::string> areas;  // the panel, gamma and mode areas they touch
    std::string backup;              // the backup taken, when one was
    ChunkWrite done;
};

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const auto& i : items) text += (text.empty() ? "" : ", ") + i;
    return text;
}

// A path as a word of a command line: one that begins with '-' would be read as an option.
std::string PathWord(const std::string& path) { return !path.empty() && path[0] == '-' ? "./" + path : path; }

std::string_view View(const Bytes& bytes) { return {reinterpret_cast<const char*>(bytes.data()), bytes.size()}; }

// The command that repairs a board left differing from the file: the backup
// restored when one was taken, else the same command again.
std::string Repair(const BoardTarget& t, const MemoryJob& job) {
    const bool fromBackup = !job.backup.empty();
    std::vector<std::string> words = {job.m == Memory::Flash ? "flash" : "nvram", fromBackup ? "restore" : job.verb};
    if (!fromBackup && job.verb == "write") words.push_back(Hex(job.base, 4));
    words.push_back(PathWord(fromBackup ? job.backup : job.file));
    words.push_back("--yes");
    if (!job.areas.empty()) words.push_back("--force");
    words.push_back("--verify");
    return RepairCommand(t, words);
}

// What the memory on the board holds after a write that stopped part-way
// or a read-back that differs.
std::string LeftState(const MemoryJob& job, ReadBack check) {
    const ChunkWrite& d = job.done;
    std::string what = std::string("the ") + MemoryName(job.m) + " on the board ";
    if (d.confirmed == job.chunks.size())
        return what + (check == ReadBack::Unread ? "was written but could not be read back"
                                                 : "does not hold what was written");
    const auto n = static_cast<uint32_t>(job.image.size());
    const auto next = job.chunks.begin() + static_cast<std::ptrdiff_t>(d.confirmed);
    const std::vector<uint32_t> written(job.chunks.begin(), next);
    const std::vector<uint32_t> rest(d.result < 0 ? next + 1 : next, job.chunks.end());
    what += "is now incomplete: the " + job.verb + " stopped after " + std::to_string(d.confirmed) + " of its " +
            Plural(job.chunks.size(), "chunk", "chunks");
    if (!written.empty()) what += "; written: " + Ranges(job.base, written, n);
    if (d.result < 0)
        what += "; the chunk at " + Ranges(job.base, {*next}, n) +
                (d.result == -2 ? " was echoed differently and may hold other bytes"
                                : " got no answer and may be partly written");
    if (!rest.empty()) what += "; not written: " + Ranges(job.base, rest, n);
    return what;
}

// After a write that stopped or a read-back that differs: what the board
// now holds, the command that repairs it, and under --json the failure
// object with both. Returns 1.
int ReportLeftWrong(const BoardTarget& t, const MemoryJob& job, ReadBack check, Output& o) {
    const ChunkWrite& d = job.done;
    const bool incomplete = d.confirmed < job.chunks.size();
    if (d.interrupted)
        o.Error() << "interrupted (Ctrl-C): the " << CommandName(job.m, job.verb.c_str())
                  << " stopped between two chunks";
    const std::string cmd = Repair(t, job);
    o.Error() << LeftState(job, check);
    o.Error() << (job.backup.empty() ? "to write the file again, run: " : "to put back what it held, run: ") << cmd;
    if (!o.json) return 1;
    Json j = MemoryJson(job.m, job.base, job.image, job.file);
    j["ok"] = false;
    j["command"] = CommandName(job.m, job.verb.c_str());
    j["exitCode"] = 1;
    j["error"] = o.Errors().front();
    j["incomplete"] = incomplete;
    j["interrupted"] = d.interrupted;
    j["chunks"] = job.chunks.size();
    j["chunksWritten"] = d.confirmed;
    j["state"] = LeftState(job, check);
    j["backup"] = job.backup.empty() ? Json(nullptr) : Json(ShownPath(job.backup));
    j["repairCommand"] = ShownPath(cmd);
    o.WriteJson(j);
    return 1;
}

// The way in of a write after its plan: --force over the protected areas, a
// backup that can be taken, the consent, then the backup of the whole memory
// (`held` when it was just read, else read now). 0 to go on, else the exit
// status: 2 refused, 1 the backup failed; nothing was written either way.
int Prepare(const BoardTarget& t, MemoryJob& job, std::string plan, uint32_t size, const Bytes* held,
            const MemoryWrite& w, Output& o) {
    for (const auto& a : job.areas) plan += "\n  includes the " + a;
    if (!job.areas.empty() && !w.force) {
        o.Plain() << plan;
        o.Error() << "nothing was changed: the write covers the " << Joined(job.areas)
                  << "; use panel write or modes write for those, or add --force";
        return 2;
    }
    if (!w.backup.empty() && size == 0) {
        o.Error() << "the board does not give its NVRAM size, so --backup cannot save the whole NVRAM; nothing was "
                     "written. Save it first with "
                  << RepairCommand(t, {"nvram", "dump", "--size", "SIZE", "-o", PathWord(w.backup)})
                  << " (SIZE: the NVRAM's size in bytes), then run nvram write without --backup";
        return 2;
    }
    if (!Confirm(plan, w.consent, o)) return 2;
    if (w.backup.empty()) return 0;
    Bytes read;
    if (held == nullptr && !ReadRange(t, job.m, 0, size, read, o)) {
        o.Error() << "the backup could not be read; nothing was written";
        return 1;
    }
    const Bytes& old = held != nullptr ? *held : read;
    std::string error;
    if (!WriteOutput(w.backup, View(old), true, "cannot write the backup", o, error)) {
        o.Error() << error << "; nothing was written";
        return 1;
    }
    job.backup = w.backup;
    o.Note() << MemoryName(job.m) << " saved to " << ShownPath(w.backup) << " (sha256 "
             << Sha256Hex(old.data(), old.size()) << ")";
    return 0;
}

// Reads the whole range of the job back and compares it with the image.
ReadBack Verify(const BoardTarget& t, const MemoryJob& job, Output& o) {
    Bytes back;
    if (!ReadRange(t, job.m, job.base, static_cast<uint32_t>(job.image.size()), back, o)) {
        o.Error() << "verify failed: the " << MemoryName(job.m) << " could not be read back";
        return ReadBack::Unread;
    }
    auto diffs = DiffLines(job.m, job.base, job.image.data(), back.data(), job.image.size());
    if (diffs.empty()) return ReadBack::Same;
    o.Error() << "verify failed: " << Plural(diffs.size(), "byte differs", "bytes differ");
    PrintDiffs(o, diffs);
    return ReadBack::Differs;
}

// Sends the job's chunks, stopping between two at Ctrl-C, then reads back
// the chunks written (`readBack`) and the whole range (`verify`). 0, or 1
// after saying what the board now holds.
int RunWrite(const BoardTarget& t, MemoryJob& job, bool readBack, bool verify, Output& o) {
    bool complete = false;
    {
        platform::InterruptWatch watch;
        complete = WriteChunks(
            t, job.m, job.base, job.image, job.chunks, [&watch] { return watch.Interrupted(); }, job.done, o);
    }
    if (!complete && job.done.confirmed == 0 && job.done.result == 0) {
        o.Error() << "interrupted (Ctrl-C) before the first chunk; nothing was written";
        return 1;
    }
    if (!complete) return ReportLeftWrong(t, job, ReadBack::Same, o);
    ReadBack check = ReadBack::Same;
    if (readBack) check = ReadBackChunks(t, job.m, job.base, job.image, job.chunks, o);
    if (check == ReadBack::Same && verify) check = Verify(t, job, o);
    return check == ReadBack::Same ? 0 : ReportLeftWrong(t, job, check, o);
}

// The result of a write that completed: JSON, or SHA-256 and a note.
int Finish(const MemoryJob& job, bool verified, Output& o) {
    const auto n = static_cast<uint32_t>(job.image.size());
    if (o.json) {
        Json j = MemoryJson(job.m, job.base, job.image, job.file);
        j["ok"] = true;
        j["chunksWritten"] = job.chunks.size();
        j["ranges"] = Ranges(job.base, job.chunks, n);
        j["verified"] = verified;
        j["backup"] = job.backup.empty() ? Json(nullptr) : Json(ShownPath(job.backup));
        o.WriteJson(j);
        return 0;
    }
    PrintSha(o, job.image, job.file);
    const char* checked = verified ? ", verified" : "";
    if (job.chunks.empty())
        o.Note() << "the board already holds " << ShownPath(job.file)
                 << (job.verb == "write" ? " at " + Span(job.base, n) : std::string()) << "; nothing was written"
                 << checked;
    else if (job.verb == "restore")
        o.Note() << Plural(job.chunks.size(), "chunk", "chunks") << " written and read back" << checked;
    else
        o.Note() << Plural(job.chunks.size(), "chunk", "chunks") << " written to " << MemoryName(job.m) << " at "
                 << Ranges(job.base, job.chunks, n) << checked;
    return 0;
}

// Which chunks a write sends, and its plan. Flash cells wear with every
// write, so only the chunks in which the board holds other bytes are sent
// (read first); NVRAM takes every chunk as given. 0, or 1 when the read failed.
int PlanWrite(const BoardTarget& t, MemoryJob& job, std::string& plan, Output& o) {
    const auto n = static_cast<uint32_t>(job.image.size());
    const std::string where =
        std::string(" of ") + MemoryName(job.m) + " at " + Span(job.base, n) + " from " + ShownPath(job.file);
    if (job.m == Memory::NvRam) {
        job.chunks = AllChunks(n);
        plan = "nvram write will write " + Plural(n, "byte", "bytes") + where;
        return 0;
    }
    Bytes now;
    if (!ReadRange(t, job.m, job.base, n, now, o)) return 1;
    job.chunks = DifferingChunks(job.image, now);
    std::size_t changed = 0;
    for (uint32_t i = 0; i < n; ++i) changed += job.image[i] != now[i];
    plan = "flash write will change " + std::to_string(changed) + " of " + Plural(n, "byte", "bytes") + where + ": " +
           Plural(job.chunks.size(), "chunk", "chunks") + " of 16 bytes, " + Ranges(job.base, job.chunks, n);
    return 0;
}

}  // namespace

int CmdMemWrite(const BoardTarget& t, Memory m, const std::string& addrText, const std::string& file,
                const MemoryWrite& w, Output& o) {
    MemoryJob job(m, "write", file);
    if (!ReadNumber(addrText, "address", 0xFFFF, job.base, o)) return 2;
    if (!ReadInput(file, kFlashSize, job.image, o)) return 1;
    const auto n = static_cast<uint32_t>(job.image.size());
    if (!InRange(m, job.base, n, kFlashSize, o)) return 2;
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    uint32_t size = 0;
    if (int rc = MemorySize(t, m, size, o)) return rc;
    if (size != 0 && !InRange(m, job.base, n, size, o)) return 2;
    std::string plan;
    if (int rc = PlanWrite(t, job, plan, o)) return rc;
    if (!job.chunks.empty()) {
        job.areas = ProtectedAreas(m, job.base, job.chunks, n);
        if (int rc = Prepare(t, job, plan, size, nullptr, w, o)) return rc;
        if (int rc = RunWrite(t, job, false, w.verify, o)) return rc;
    } else if (w.verify && Verify(t, job, o) != ReadBack::Same) {
        return 1;
    }
    return Finish(job, w.verify, o);
}

int CmdMemRestore(const BoardTarget& t, Memory m, const std::string& file, const MemoryWrite& w, Output& o) {
    MemoryJob job(m, "restore", file);
    if (!ReadInput(file, kFlashSize, job.image, o)) return 1;
    const auto n = static_cast<uint32_t>(job.image.size());
    if (m == Memory::Flash && n != kFlashSize) {
        o.Error() << ShownPath(file) << " holds " << Plural(n, "byte", "bytes") << "; a flash dump holds "
                  << kFlashSize;
        return 2;
    }
    if (!InRange(m, 0, n, 0, o)) return 2;
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    uint32_t size = 0;
    if (int rc = MemorySize(t, m, size, o)) return rc;
    if (size != 0 && n != size) {
        o.Error() << ShownPath(file) << " holds " << Plural(n, "byte", "bytes") << "; the board's " << MemoryName(m)
                  << " holds " << size;
        return 2;
    }
    // What the board holds now decides which chunks are written.
    Bytes now;
    if (!ReadRange(t, m, 0, n, now, o)) return 1;
    job.chunks = DifferingChunks(job.image, now);
    if (!job.chunks.empty()) {
        job.areas = ProtectedAreas(m, 0, job.chunks, n);
        const std::string plan = CommandName(m, "restore") + " will write " + std::to_string(job.chunks.size()) +
                                 " of " + Plural(AllChunks(n).size(), "chunk", "chunks") +
                                 " of 16 bytes: " + Ranges(0, job.chunks, n);
        if (int rc = Prepare(t, job, plan, n, &now, w, o)) return rc;
        if (int rc = RunWrite(t, job, true, w.verify, o)) return rc;
    } else if (w.verify && Verify(t, job, o) != ReadBack::Same) {
        return 1;
    }
    return Finish(job, w.verify, o);
}

int CmdFlashErase(const BoardTarget& t, const std::string& valueText, const MemoryWrite& w, Output& o) {
    uint32_t value = 0;
    if (!ReadNumber(valueText, "value", 0xFF, value, o)) return 2;
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    MemoryJob job(Memory::Flash, "erase", "");
    job.areas = ProtectedAreas(Memory::Flash, 0, kFlashSize);
    MemoryWrite ew = w;
    ew.force = true;  // an erase covers everything; the plan says so
    if (int rc = Prepare(t, job, "flash erase would erase the whole 64 KiB of flash", kFlashSize, nullptr, ew, o))
        return rc;
    if (Vantrel_EraseFlash(t.address, static_cast<int32_t>(value)) < 0) {
        o.Error() << "the board has no erase command; nothing was sent and the flash is unchanged (to fill a range, "
                     "write a file of that value with flash write)";
        return 1;
    }
    return 0;
}

}  // namespace cli::console
