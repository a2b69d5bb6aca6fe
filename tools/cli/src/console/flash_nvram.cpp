// flash and nvram read and dump: a range or the whole memory into a file, to
// standard output ("-o -") or as a hex table, with SHA-256 of what was read.
// The NVRAM's size is the one the board gives; nothing past it is read.
#include "board/link_session.h"
#include "console/memory_io.h"
#include "file_policy.h"
#include "platform/terminal.h"
#include "text_out.h"

namespace cli::console {
namespace {

// Standard output takes the bytes of "-o -": refused before anything is sent
// when it also has to take JSON, or is a terminal.
bool StdoutTakesBytes(const std::string& outFile, Output& o) {
    if (outFile != "-") return true;
    if (o.json)
        o.Error() << "--json and -o - would both write to standard output; name a file with -o or leave out --json; "
                     "nothing was sent";
    else if (platform::StdoutIsTerminal())
        o.Error() << "a binary file is not written to a terminal; redirect standard output or name a file with -o; "
                     "nothing was sent";
    else return true;
    return false;
}

bool Save(const std::string& outFile, const Bytes& bytes, Output& o) {
    std::string error;
    const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (WriteOutput(outFile, view, true, "cannot write the file", o, error)) return true;
    o.Error() << error;
    return false;
}

std::string Where(const std::string& outFile) {
    return outFile == "-" ? std::string("standard output") : ShownPath(outFile);
}

// The size a dump reads: --size when given, inside what the board gives;
// else what the board gives. 0, or the exit status after an error.
int DumpSize(const BoardTarget& t, Memory m, const std::string& sizeText, uint32_t& size, Output& o) {
    uint32_t given = 0;
    if (!sizeText.empty()) {
        if (!ReadNumber(sizeText, "--size", kFlashSize, given, o)) return 2;
        if (given == 0) {
            o.Error() << "--size must be 1.." << kFlashSize;
            return 2;
        }
    }
    if (int rc = MemorySize(t, m, size, o)) return rc;
    if (given != 0 && size != 0 && given > size) {
        o.Error() << "--size " << given << " reaches past the board's " << MemoryName(m) << " of " << size << " bytes ("
                  << Span(0, size) << "); give at most " << size;
        return 2;
    }
    if (given != 0) size = given;
    if (size == 0) {
        o.Error() << "the board does not give its NVRAM size; give it with --size N";
        return 2;
    }
    return 0;
}

}  // namespace

int CmdMemRead(const BoardTarget& t, Memory m, const std::string& addrText, const std::string& countText,
               const std::string& outFile, Output& o) {
    uint32_t addr = 0, count = 0;
    if (!ReadNumber(addrText, "address", 0xFFFF, addr, o) || !ReadNumber(countText, "count", kFlashSize, count, o))
        return 2;
    if (!StdoutTakesBytes(outFile, o) || !InRange(m, addr, count, kFlashSize, o)) return 2;
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    uint32_t size = 0;
    if (int rc = MemorySize(t, m, size, o)) return rc;
    if (!InRange(m, addr, count, size, o)) return 2;
    Bytes bytes;
    if (!ReadRange(t, m, addr, count, bytes, o)) return 1;
    if (!outFile.empty() && !Save(outFile, bytes, o)) return 1;
    if (o.json) {
        Json j = MemoryJson(m, addr, bytes, outFile);
        if (outFile.empty()) j["bytes"] = bytes;
        o.WriteJson(j);
    } else if (outFile.empty()) {
        o.out << HexTable(addr, bytes, 4);
    } else {
        PrintSha(o, bytes, outFile);
    }
    return 0;
}

int CmdMemDump(const BoardTarget& t, Memory m, const std::string& sizeText, const std::string& outFile, Output& o) {
    if (!StdoutTakesBytes(outFile, o)) return 2;
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    uint32_t size = 0;
    if (int rc = DumpSize(t, m, sizeText, size, o)) return rc;
    Bytes bytes;
    if (!ReadRange(t, m, 0, size, bytes, o) || !Save(outFile, bytes, o)) return 1;
    if (o.json) {
        o.WriteJson(MemoryJson(m, 0, bytes, outFile));
        return 0;
    }
    PrintSha(o, bytes, outFile);
    o.Note() << Plural(size, "byte", "bytes") << " of " << MemoryName(m) << " saved to " << Where(outFile);
    return 0;
}

}  // namespace cli::console
