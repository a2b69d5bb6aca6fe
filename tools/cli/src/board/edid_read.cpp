// edid read: the EDID of the panel's EEPROM through the board's I2C bus, the
// base block and the extension blocks it announces, into a file.
#include "board/board_commands.h"
#include "board/link_session.h"
#include "console/console_common.h"
#include "file_policy.h"
#include "text_out.h"
#include "tolvane/edid.h"
#include "vantrel.h"

namespace cli {
namespace {

// One 8-bit subaddress reaches 256 bytes: the base block and one extension.
// Later blocks sit behind the segment pointer, which the board's I2C
// commands do not write.
constexpr unsigned kReachableBlocks = 2;

bool ParseSelect(const std::string& text, uint32_t& sel1, uint32_t& sel2, Output& o) {
    const auto comma = text.find(',');
    if (comma == std::string::npos) {
        o.Error() << "--select \"" << text << "\": give SEL1,SEL2 (the two select bytes, as 0xA0,0x00)";
        return false;
    }
    return console::ReadNumber(text.substr(0, comma), "select1", 0xFF, sel1, o) &&
           console::ReadNumber(text.substr(comma + 1), "select2", 0xFF, sel2, o);
}

int ReadEdidBlock(const BoardTarget& t, uint32_t sel1, uint32_t sel2, unsigned block, uint8_t* into, Output& o) {
    Bar bar(o, "read EDID block " + std::to_string(block), kEdidBlockSize);
    const int32_t rc = bar.Done(Vantrel_ReadI2c(t.address, static_cast<int32_t>(sel1), static_cast<int32_t>(sel2),
                                                static_cast<int32_t>(block * kEdidBlockSize),
                                                static_cast<int32_t>(kEdidBlockSize), into));
    if (rc < 0)
        return TransferFailed(t, o,
                              "reading EDID block " + std::to_string(block) + " from I2C device " +
                                  console::Hex(sel1, 2) + "/" + console::Hex(sel2, 2),
                              rc);
    return 0;
}

}  // namespace

int CmdEdidRead(const BoardTarget& t, const std::string& select, const std::string& outFile, Output& o) {
    uint32_t sel1 = 0, sel2 = 0;
    if (!ParseSelect(select, sel1, sel2, o)) return 2;
    Link link(t);
    if (!link.IsOpen()) return PortFailed(t, o);
    std::vector<uint8_t> bytes(kEdidBlockSize);
    if (int rc = ReadEdidBlock(t, sel1, sel2, 0, bytes.data(), o)) return rc;
    if (!HasEdidHeader(bytes)) {
        o.Error() << "no EDID at I2C device " << console::Hex(sel1, 2) << "/" << console::Hex(sel2, 2)
                  << ": its first 8 bytes are not the EDID header; nothing written";
        return 1;
    }
    const unsigned announced = bytes[0x7E];
    const unsigned blocks = std::min(1 + announced, kReachableBlocks);
    bytes.resize(blocks * kEdidBlockSize);
    for (unsigned b = 1; b < blocks; ++b)
        if (int rc = ReadEdidBlock(t, sel1, sel2, b, bytes.data() + b * kEdidBlockSize, o)) return rc;
    std::string error;
    if (!WriteOutput(outFile, std::string(bytes.begin(), bytes.end()), true, "cannot write the EDID", o, error)) {
        o.Error() << error;
        return 1;
    }
    o.Note() << "EDID (" << Plural(bytes.size(), "byte", "bytes") << ") written to "
             << (outFile == "-" ? "standard output" : ShownPath(outFile));
    const EdidInfo info = DecodeEdid(bytes);
    for (const auto& p : info.problems) o.Note() << FormatEdidProblem(p);
    if (1 + announced > blocks) {
        o.Error() << "the EDID announces " << Plural(announced, "extension block", "extension blocks")
                  << "; blocks from " << blocks << " on need the segment pointer and were not read";
        return 1;
    }
    return 0;
}

}  // namespace cli
