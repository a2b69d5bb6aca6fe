// A panel brought up from the emulated board's own EDID: read through the
// board's I2C bus, imported, written to a panel slot and read back.
#include <gtest/gtest.h>

#include "board_fixture.h"
#include "tolvane/edid.h"

namespace clitest {
namespace {

using EdidOnBoard = EmulatedBoardTest;

TEST_F(EdidOnBoard, ReadImportWriteAndReadBackTheSamePanel) {
    const Result read = OnBoard({"edid", "read", "-o", P("edid.bin")});
    ASSERT_EQ(read.code, 0) << read.err;
    const Bytes edid = ReadBytes(P("edid.bin"));
    ASSERT_EQ(edid.size(), kEdidBlockSize);
    const EdidInfo info = DecodeEdid(edid);
    EXPECT_FALSE(HasEdidError(info));
    EXPECT_EQ(info.vendor, "VLB");
    ASSERT_NE(PreferredTiming(info), nullptr);
    EXPECT_EQ(PreferredTiming(info)->timing, DmtById(0x10)->timing);

    const Result made = Cli({"panel", "from-edid", P("edid.bin"), "-o", P("edid.PNL")});
    ASSERT_EQ(made.code, 0) << made.err;
    ASSERT_EQ(OnBoard({"panel", "write", P("edid.PNL"), "2", "--verify"}).code, 0);
    ASSERT_EQ(OnBoard({"panel", "read", "2", "-o", P("back.PNL")}).code, 0);
    // The only difference: KESA id 0 ("automatic") is held on the board as
    // the id it stands for, 6 for a 1024-pixel panel.
    const Result diff = Cli({"diff", P("edid.PNL"), P("back.PNL")});
    EXPECT_EQ(diff.out, "kesaId: 0 -> 6\n1 field differs\n") << diff.err;
}

TEST_F(EdidOnBoard, NoEdidAtTheSelectedDeviceWritesNothing) {
    const Result r = OnBoard({"edid", "read", "--select", "0xA0,0x07", "-o", P("none.bin")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("no EDID at I2C device 0xA0/0x07"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(P("none.bin")));
    EXPECT_EQ(OnBoard({"edid", "read", "--select", "0xA0", "-o", P("none.bin")}).code, 2);
}

}  // namespace
}  // namespace clitest
