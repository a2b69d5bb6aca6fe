// Opening and closing the port, raw sending, the receive handler, and commands
// on a closed link.
#include "link_fixture.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace linktest {
namespace {

class Port : public LinkTest {};

TEST_F(Port, OpenRefusesBadArgumentsAndASecondOpen) {
    EXPECT_EQ(OpenSerialCommunication(0, 57600), 0);
    EXPECT_EQ(OpenSerialCommunication(5, 57600), 0);
    for (uint32_t baud : {0u, 4800u, 57601u, 115200u}) EXPECT_EQ(OpenSerialCommunication(1, baud), 0) << baud;
    EXPECT_EQ(Vantrel_ReadRegister(0, 0), -1) << "nothing was opened";

    for (uint32_t baud : {9600u, 19200u, 38400u, 57600u}) {
        EXPECT_EQ(OpenSerialCommunication(1, baud), 1) << baud;
        CloseSerialCommunication();
    }
    Open();
    EXPECT_EQ(OpenSerialCommunication(1, 57600), 0);
    EXPECT_EQ(OpenSerialCommunication(2, 57600), 0) << "one link per process";
    EXPECT_EQ(Vantrel_ReadRegister(0, 0), 0x5632) << "the first link still works";
}

TEST_F(Port, OpenFailsOnAPortAnotherProcessHolds) {
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const std::string path = board_->SlavePath();
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only async-signal-safe calls in the child of a threaded process.
        int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
        char ok = (fd >= 0 && flock(fd, LOCK_EX) == 0) ? 'y' : 'n';
        if (write(ready[1], &ok, 1) != 1) _exit(2);
        char c;
        while (read(release[0], &c, 1) < 0) {
        }
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');

    EXPECT_EQ(OpenSerialCommunication(1, 57600), 0);
    EXPECT_EQ(Vantrel_ReadRegister(0, 0), -1);

    // A free port opens at once.
    Board other(Unpaced());
    ASSERT_TRUE(other.Start());
    setenv("VANTREL_COM2", other.SlavePath().c_str(), 1);
    EXPECT_EQ(OpenSerialCommunication(2, 57600), 1);
    EXPECT_EQ(Vantrel_ReadRegister(0, 0), 0x5632);
    CloseSerialCommunication();

    char c = 'x';
    ASSERT_EQ(write(release[1], &c, 1), 1);
    int status = 0;
    waitpid(child, &status, 0);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);

    // Released by the other process: the first port opens too.
    Open();
    EXPECT_EQ(Vantrel_ReadRegister(0, 0), 0x5632);
}

TEST_F(Port, OpenFailsOnAMissingDevice) {
    setenv("VANTREL_COM3", "/nonexistent/vantrel-port", 1);
    EXPECT_EQ(OpenSerialCommunication(3, 57600), 0);
    Open();
    EXPECT_EQ(Vantrel_ReadRegister(0, 0), 0x5632);
}

TEST_F(Port, CloseIsHarmlessWhenClosedAndTwice) {
    CloseSerialCommunication();
    CloseSerialCommunication();
    Open();
    auto t0 = Clock::now();
    CloseSerialCommunication();
    EXPECT_LT(MsSince(t0), 100.0) << "the receive thread ends within a poll interval";
    CloseSerialCommunication();
    Open();
    EXPECT_EQ(Vantrel_ReadRegister(0, 0), 0x5632);
}

// Every command while the link is closed: its failure value, and nothing on the wire.
TEST_F(Port, CommandsFailWithoutWritingWhileClosed) {
    for (int round = 0; round < 2; ++round) {
        if (round == 1) {
            Open();
            CloseSerialCommunication();
        }
        uint8_t a = 0x11, b = 0x22;
        uint8_t buf[768] = {};
        const uint8_t data[768] = {};
        AdjusterValues adj{7, 8, 9};
        PanelInfoRecord pinfo{};
        ModeInfoRecord minfo{};
        SerialSendBuffer(data, 16);
        EXPECT_EQ(Vantrel_Reset(0), 0);
        EXPECT_EQ(Vantrel_Version(0, &a, &b), -1);
        EXPECT_EQ(a, 0x11);
        EXPECT_EQ(b, 0x22);
        EXPECT_EQ(Vantrel_ReadRegister(0, 1), -1);
        EXPECT_EQ(Vantrel_WriteRegister(0, 1, 2), -1);
        EXPECT_EQ(Vantrel_ReadI2cByte(0, 1, 2, 3), -1);
        EXPECT_EQ(Vantrel_WriteI2cByte(0, 1, 2, 3, 4), -1);
        EXPECT_EQ(Vantrel_WriteI2c(0, 1, 2, 3, 20, data), -1);
        EXPECT_EQ(Vantrel_ReadI2c(0, 1, 2, 3, 20, buf), -1);
        EXPECT_EQ(Vantrel_ReadPort(0, 1), -1);
        EXPECT_EQ(Vantrel_WritePort(0, 1, 2), -1);
        EXPECT_EQ(Vantrel_ReadFlash(0, 0, 20, buf), -1);
        EXPECT_EQ(Vantrel_WriteFlash(0, 0, 20, data), -1);
        EXPECT_EQ(Vantrel_EraseFlash(0, 0), -1);
        EXPECT_EQ(Vantrel_ReadAdjuster(0, 1, &adj), -1);
        EXPECT_EQ(adj.value1, 7) << "filled only on success";
        EXPECT_EQ(Vantrel_SetAdjuster(0, 1, 2), -1);
        EXPECT_EQ(Vantrel_SetAdjColor(0, 1), -1);
        EXPECT_EQ(Vantrel_GetAdjColor(0), 0);
        EXPECT_EQ(Vantrel_SetSwitch(0, 1, 1), -1);
        EXPECT_EQ(Vantrel_ReadSwitch(0, 1), -1);
        EXPECT_EQ(Vantrel_PanelInfo(0, 0, &pinfo), -1);
        EXPECT_EQ(Vantrel_CurrentPanel(0), -1);
        EXPECT_EQ(Vantrel_ModeInfo(0, &minfo), -1);
        EXPECT_EQ(Vantrel_GetPanelData(0, 0, buf), -1);
        EXPECT_EQ(Vantrel_WritePanelData(0, 0, data), -1);
        EXPECT_EQ(Vantrel_GetPanelGamma(0, 0, buf), -1);
        EXPECT_EQ(Vantrel_WritePanelGamma(0, 0, data), -1);
        EXPECT_EQ(Vantrel_WriteModeTable(0, data), -1);
        EXPECT_EQ(Vantrel_GetModeTable(0, buf), -1);
        EXPECT_EQ(Vantrel_ShowString(0, 1, 2, 3, "text"), -1);
        EXPECT_EQ(Vantrel_HideString(0), -1);
        EXPECT_EQ(Vantrel_CallAction(0, 1), -1);
        EXPECT_EQ(Vantrel_ReadNvRam(0, 0, 20, buf), -1);
        EXPECT_EQ(Vantrel_WriteNvRam(0, 0, 20, data), -1);
        EXPECT_EQ(Vantrel_DebugFlags(0, 1), -1);
        std::this_thread::sleep_for(30ms);
        EXPECT_TRUE(board_->ReceivedBytes().empty()) << "round " << round;
    }
    // EraseFlash sends nothing on an open link either.
    Open();
    EXPECT_EQ(Vantrel_EraseFlash(0, 0x1234), -1);
    std::this_thread::sleep_for(30ms);
    EXPECT_TRUE(board_->ReceivedBytes().empty());
}

TEST_F(Port, SerialSendBufferWritesRawBytes) {
    Open();
    Bytes raw{0x01, 0xBB, 0x00, 0x0C, 0x00, 0x0C, 0x7E};                        // noise, then a colour query
    SerialSendBuffer(raw.data(), 0x10000 + static_cast<uint32_t>(raw.size()));  // low 16 bits count
    ASSERT_TRUE(board_->WaitForFrames(1, 1000ms));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(board_->ReceivedBytes(), raw);
    EXPECT_EQ(board_->ReceivedFrames()[0].command, 12);
}

TEST_F(Port, NoiseReachesTheHandlerInOrderAcrossCloseAndOpen) {
    EXPECT_EQ(SetSerialReceiveHandler(RecordByte), RecordByte);
    Open();
    Bytes noise;
    for (int i = 0; i < 300; ++i) {
        uint8_t b = static_cast<uint8_t>(i * 13 + 1);
        if (b != 0xBB) noise.push_back(b);  // more than one 256-byte read
    }
    board_->SendRaw(noise);
    ASSERT_TRUE(WaitForHandled(noise.size()));
    EXPECT_EQ(HandledBytes(), noise);

    // Noise between frames does not disturb a transaction.
    vantrel_board::Faults f;
    f.noise = {0x10, 0x20, 0x30};
    board_->SetFaults(f);
    EXPECT_EQ(Vantrel_ReadRegister(0, 0), 0x5632);
    ASSERT_TRUE(WaitForHandled(noise.size() + 3));
    board_->SetFaults({});

    CloseSerialCommunication();
    ClearHandled();
    Open();
    board_->SendRaw({0x41, 0x42, 0x43});
    ASSERT_TRUE(WaitForHandled(3));
    EXPECT_EQ(HandledBytes(), (Bytes{0x41, 0x42, 0x43}));

    // Without a handler the bytes are dropped.
    EXPECT_EQ(SetSerialReceiveHandler(nullptr), nullptr);
    board_->SendRaw({0x44});
    EXPECT_EQ(Vantrel_ReadRegister(0, 0), 0x5632);
    EXPECT_EQ(HandledBytes().size(), 3u);
}

}  // namespace
}  // namespace linktest
