// i2c read, write and dump: the devices on the board's I2C buses, named by
// their two select bytes, one byte or a block at a subaddress.
#include "board/link_session.h"
#include "console/console_commands.h"
#include "vantrel.h"

namespace cli::console {
namespace {

struct Device {
    uint32_t select1 = 0, select2 = 0, sub = 0;
};

// SEL1 SEL2 [SUB] from the front of args.
bool ReadDevice(const std::vector<std::string>& args, bool withSub, Device& d, Output& o) {
    const std::size_t need = withSub ? 3 : 2;
    if (args.size() < need) {
        o.Error() << "give SEL1 SEL2" << (withSub ? " SUB" : "") << " (see --help)";
        return false;
    }
    return ReadNumber(args[0], "select1", 0xFF, d.select1, o) && ReadNumber(args[1], "select2", 0xFF, d.select2, o) &&
           (!withSub || ReadNumber(args[2], "subaddress", 0xFF, d.sub, o));
}

std::string Spaced(const Bytes& b) {
    std::string s;
    for (uint8_t v : b) s += (s.empty() ? "" : " ") + HexByte(v);
    return s;
}

Json DeviceJson(const Device& d) { return {{"select1", d.select1}, {"select2", d.select2}, {"subaddress", d.sub}}; }

std::string Where(const Device& d) { return "I2C device " + Hex(d.select1, 2) + "/" + Hex(d.select2, 2); }

// Reads n (1..256) bytes from sub on, wrapping at 256; blocks of 128 because
// the library reads at most 255 bytes in one call.
int ReadBlock(const BoardTarget& t, const Device& d, unsigned n, Bytes& bytes, Output& o) {
    bytes.assign(n, 0);
    Bar bar(o, "read " + Where(d), n);
    Vantrel_SetProgressCallback(nullptr);  // the bar follows the whole read, drawn below
    for (unsigned done = 0; done < n;) {
        const unsigned part = std::min(128u, n - done);
        const int32_t rc =
            (part == 1)
                ? Vantrel_ReadI2cByte(t.address, static_cast<int32_t>(d.select1), static_cast<int32_t>(d.select2),
                                      static_cast<int32_t>((d.sub + done) & 0xFF))
                : Vantrel_ReadI2c(t.address, static_cast<int32_t>(d.select1), static_cast<int32_t>(d.select2),
                                  static_cast<int32_t>((d.sub + done) & 0xFF), static_cast<int32_t>(part),
                                  bytes.data() + done);
        if (rc < 0) return TransferFailed(t, o, "reading " + Where(d) + " at " + Hex((d.sub + done) & 0xFF, 2), rc);
        if (part == 1) bytes[done] = static_cast<uint8_t>(rc);
        done += part;
        DrawBar(n, done);
        bar.Done(0);
    }
    return 0;
}

}  // namespace

int CmdI2cRead(const BoardTarget& t, const std::vector<std::string>& args, Output& o) {
    Device d;
    if (!ReadDevice(args, true, d, o)) return 2;
    uint32_t count = 1;
    if (args.size() > 4) {
        o.Error() << "i2c read takes SEL1 SEL2 SUB [COUNT]";
        return 2;
    }
    if (args.size() == 4 && !ReadNumber(args[3], "count", 256, count, o)) return 2;
    if (count == 0) {
        o.Error() << "count must be 1..256";
        return 2;
    }
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    Bytes bytes;
    if (int rc = ReadBlock(t, d, count, bytes, o)) return rc;
    if (o.json) {
        Json j = DeviceJson(d);
        j["bytes"] = bytes;
        j["hex"] = Spaced(bytes);
        o.WriteJson(j);
    } else {
        o.out << Spaced(bytes) << "\n";
    }
    return 0;
}

int CmdI2cWrite(const BoardTarget& t, const std::vector<std::string>& args, Output& o) {
    Device d;
    if (!ReadDevice(args, true, d, o)) return 2;
    if (args.size() < 4 || args.size() > 3 + 255) {
        o.Error() << "i2c write takes SEL1 SEL2 SUB and 1..255 bytes";
        return 2;
    }
    Bytes data;
    for (std::size_t i = 3; i < args.size(); ++i) {
        uint32_t b = 0;
        if (!ReadNumber(args[i], "byte", 0xFF, b, o)) return 2;
        data.push_back(static_cast<uint8_t>(b));
    }
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    Json j = DeviceJson(d);
    j["wrote"] = data;
    int rc = 0;
    if (data.size() == 1) {
        // One byte: the board echoes it.
        const int32_t echo =
            Vantrel_WriteI2cByte(t.address, static_cast<int32_t>(d.select1), static_cast<int32_t>(d.select2),
                                 static_cast<int32_t>(d.sub), data[0]);
        if (echo < 0) return TransferFailed(t, o, "writing " + Where(d) + " at " + Hex(d.sub, 2), echo);
        j["echo"] = echo;
        if (echo != data[0]) {
            o.Error() << Where(d) << " subaddress " << Hex(d.sub, 2) << ": wrote " << Hex(data[0], 2)
                      << ", the board echoed " << Hex(static_cast<unsigned>(echo), 2);
            rc = 1;
        }
    } else {
        // A block: no echo, 16 bytes a frame, the subaddress wraps at 256.
        Bar bar(o, "write " + Where(d), static_cast<unsigned>(data.size()));
        const int32_t r =
            bar.Done(Vantrel_WriteI2c(t.address, static_cast<int32_t>(d.select1), static_cast<int32_t>(d.select2),
                                      static_cast<int32_t>(d.sub), static_cast<int32_t>(data.size()), data.data()));
        if (r < 0) return TransferFailed(t, o, "writing " + Where(d) + " from " + Hex(d.sub, 2), r);
    }
    j["ok"] = rc == 0;
    if (o.json) o.WriteJson(j);
    else if (rc == 0)
        o.Note() << Plural(data.size(), "byte", "bytes") << " written to " << Where(d) << " from subaddress "
                 << Hex(d.sub, 2);
    return rc;
}

int CmdI2cDump(const BoardTarget& t, const std::vector<std::string>& args, const std::string& fromText,
               const std::string& toText, Output& o) {
    Device d;
    if (args.size() != 2 || !ReadDevice(args, false, d, o)) {
        if (args.size() != 2) o.Error() << "i2c dump takes SEL1 SEL2 [--from SUB] [--to SUB]";
        return 2;
    }
    uint32_t from = 0, to = 0xFF;
    if (!fromText.empty() && !ReadNumber(fromText, "--from", 0xFF, from, o)) return 2;
    if (!toText.empty() && !ReadNumber(toText, "--to", 0xFF, to, o)) return 2;
    if (from > to) {
        o.Error() << "--from " << Hex(from, 2) << " lies past --to " << Hex(to, 2);
        return 2;
    }
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    d.sub = from;
    Bytes bytes;
    if (int rc = ReadBlock(t, d, to - from + 1, bytes, o)) return rc;
    if (o.json) {
        Json j = DeviceJson(d);
        j["bytes"] = bytes;
        o.WriteJson(j);
    } else {
        o.out << HexTable(from, bytes, 2);
    }
    return 0;
}

}  // namespace cli::console
