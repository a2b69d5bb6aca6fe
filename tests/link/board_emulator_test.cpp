// The emulated board on its own: requests written into the pseudo-terminal's
// slave side, answers read back from it.
#include "vantrel_board/board.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;
using vantrel_board::Board;
using vantrel_board::EncodeFrame;
using vantrel_board::Options;
using Bytes = std::vector<uint8_t>;

namespace {

// The host end of the line: the slave side opened like a serial port.
class Host {
public:
    explicit Host(const std::string& path) {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        tcsetattr(fd_, TCSANOW, &t);
    }
    ~Host() {
        if (fd_ >= 0) close(fd_);
    }
    bool ok() const { return fd_ >= 0; }

    void Send(const Bytes& bytes) { ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }

    // Reads until count bytes arrived or the time is up.
    Bytes Read(std::size_t count, std::chrono::milliseconds timeout = 1000ms) {
        Bytes out;
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (out.size() < count) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, int(left.count())) <= 0) continue;
            uint8_t buf[512];
            ssize_t n = read(fd_, buf, std::min(sizeof buf, count - out.size()));
            if (n > 0) out.insert(out.end(), buf, buf + n);
        }
        return out;
    }

    // Reads one whole answer frame (start byte, header, data, checksum).
    Bytes ReadFrame(std::chrono::milliseconds timeout = 1000ms) {
        Bytes head = Read(4, timeout);
        if (head.size() < 4) return head;
        Bytes rest = Read(head[3] + 1u, timeout);
        head.insert(head.end(), rest.begin(), rest.end());
        return head;
    }

    Bytes Exchange(uint8_t address, uint8_t command, const Bytes& data) {
        Send(EncodeFrame(address, command, data));
        return ReadFrame();
    }

private:
    int fd_ = -1;
};

Options Fast() {
    Options o;
    o.baud = 0;
    o.record = true;
    return o;
}

Bytes Answer(uint8_t command, const Bytes& data, uint8_t address = 0) { return EncodeFrame(address, command, data); }

}  // namespace

TEST(BoardFrames, EncodesFramesWithWrappingChecksum) {
    EXPECT_EQ(EncodeFrame(0, 0, {}), (Bytes{0xBB, 0, 0, 0, 0}));
    EXPECT_EQ(EncodeFrame(0, 1, {0x00, 0x10, 0, 0}), (Bytes{0xBB, 0, 1, 4, 0, 0x10, 0, 0, 0x15}));
    EXPECT_EQ(EncodeFrame(0xFF, 2, {0x00, 0x10, 0x12, 0x34}).back(), 0x5B);
}

TEST(BoardCommands, AnswersAtThePositionsTheHostReads) {
    Board board(Fast());
    ASSERT_TRUE(board.Start()) << board.LastError();
    Host host(board.SlavePath());
    ASSERT_TRUE(host.ok());

    board.SetRegister(0x0010, 0xBEEF);
    EXPECT_EQ(host.Exchange(0, 1, {0x00, 0x10, 0, 0}), Answer(1, {0x00, 0x10, 0xBE, 0xEF}));
    EXPECT_EQ(host.Exchange(0, 2, {0x12, 0x34, 0xAB, 0xCD}), Answer(2, {0x12, 0x34, 0xAB, 0xCD}));
    EXPECT_EQ(board.Register(0x1234), 0xABCD);

    // Ports: 16-bit value at 2-3.
    EXPECT_EQ(host.Exchange(0, 6, {0, 7, 0, 0x5A}), Answer(6, {0, 7, 0, 0x5A}));
    EXPECT_EQ(host.Exchange(0, 5, {0, 7, 0, 0}), Answer(5, {0, 7, 0, 0x5A}));

    // I2C: data from position 4, subaddresses wrap inside the selected device.
    EXPECT_EQ(host.Exchange(0, 4, {0xA0, 1, 0xFF, 2, 0x11, 0x22}), Answer(4, {0xA0, 1, 0xFF, 2, 0x11, 0x22}));
    EXPECT_EQ(board.I2cByte(0xA0, 1, 0xFF), 0x11);
    EXPECT_EQ(board.I2cByte(0xA0, 1, 0x00), 0x22);
    EXPECT_EQ(board.I2cByte(0xA0, 2, 0x00), 0x00) << "select2 chooses another device";
    EXPECT_EQ(host.Exchange(0, 3, {0xA0, 1, 0xFF, 1, 0x99}), Answer(3, {0xA0, 1, 0xFF, 1, 0x11}));

    // Flash: address bb, n, data from position 3; a write is echoed.
    Bytes chunk{0xF4, 0x00, 3, 1, 2, 3};
    EXPECT_EQ(host.Exchange(0, 7, chunk), Answer(7, chunk));
    EXPECT_EQ(board.Flash(0xF400, 3), (Bytes{1, 2, 3}));
    EXPECT_EQ(host.Exchange(0, 8, {0xF4, 0x00, 4}), Answer(8, {0xF4, 0x00, 4, 1, 2, 3, 0x02}));

    // NVRAM likewise.
    EXPECT_EQ(host.Exchange(0, 24, {0x00, 0x20, 2, 9, 8}), Answer(24, {0x00, 0x20, 2, 9, 8}));
    EXPECT_EQ(host.Exchange(0, 23, {0x00, 0x20, 2}), Answer(23, {0x00, 0x20, 2, 9, 8}));

    // Adjusters: three values from position 1; setting clamps to the range.
    EXPECT_EQ(host.Exchange(0, 11, {0, 0x01, 0x00}).size(), 8u);
    EXPECT_EQ(host.Exchange(0, 10, {0}), Answer(10, {0, 0, 100, 0, 0, 0, 100}));
    EXPECT_EQ(host.Exchange(0, 13, {2}).size(), 6u);
    EXPECT_EQ(host.Exchange(0, 12, {}), Answer(12, {2}));
    EXPECT_EQ(host.Exchange(0, 15, {3, 1}).size(), 7u);
    EXPECT_EQ(host.Exchange(0, 14, {3}), Answer(14, {3, 1}));

    board.SetCurrentPanel(1);
    EXPECT_EQ(host.Exchange(0, 16, {}), Answer(16, {1}));
    board.SetVersion(3, 7);
    EXPECT_EQ(host.Exchange(0, 19, {0, 0}), Answer(19, {3, 7}));

    Bytes show{4, 10, 20, 2, 0, 'H', 'i'};
    EXPECT_EQ(host.Exchange(0, 20, show).size(), show.size() + 5);
    auto osd = board.Osd();
    EXPECT_TRUE(osd.visible);
    EXPECT_EQ(osd.text, "Hi");
    EXPECT_EQ(osd.value1, 10);
    EXPECT_EQ(osd.value3, 4);
    EXPECT_EQ(host.Exchange(0, 21, {}), Answer(21, {}));
    EXPECT_FALSE(board.Osd().visible);
    EXPECT_EQ(host.Exchange(0, 22, {5}), Answer(22, {5}));
    EXPECT_EQ(board.Actions(), Bytes{5});
    EXPECT_EQ(host.Exchange(0, 28, {0x81}), Answer(28, {0x81}));
    EXPECT_EQ(board.DebugFlags(), 0x81);

    // The reset and unknown codes get no answer.
    host.Send(EncodeFrame(0, 0, {}));
    host.Send(EncodeFrame(0, 9, {}));
    EXPECT_TRUE(host.Read(1, 100ms).empty());
    EXPECT_EQ(board.ResetCount(), 1u);
}

TEST(BoardCommands, PanelAndModeInformationComeFromTheFlash) {
    Board board(Fast());
    ASSERT_TRUE(board.Start());
    Host host(board.SlavePath());

    Bytes info = host.Exchange(0, 17, {1});
    ASSERT_EQ(info.size(), 26u + 5);
    Bytes d(info.begin() + 4, info.end() - 1);
    EXPECT_EQ(d[0], 1);
    EXPECT_EQ(std::string(d.begin() + 1, d.begin() + 17), std::string("NL128102AC28-01", 16));
    EXPECT_EQ(d[17], 2) << "manufacturer";
    EXPECT_EQ(d[18] << 8 | d[19], 1280);
    EXPECT_EQ(d[20] << 8 | d[21], 1024);

    Bytes mode = host.Exchange(0, 18, Bytes(10, 0));
    ASSERT_EQ(mode.size(), 15u);
    EXPECT_EQ(mode[4] << 8 | mode[5], 484) << "1024x768 at 48.4 kHz";
    EXPECT_EQ(mode[8] << 8 | mode[9], 1024);
    EXPECT_EQ(mode[12], 11);
}

TEST(BoardFactory, PanelsAndModesAreValidImages) {
    Bytes flash = vantrel_board::FactoryFlash();
    ASSERT_EQ(flash.size(), 65536u);
    bool someGamma = false;
    for (int slot = 0; slot < 4; ++slot) {
        const uint8_t* p = flash.data() + 0xFB00 + 64 * slot;
        EXPECT_EQ(p[0] << 8 | p[1], 256);
        EXPECT_NE(p[4], 0) << "slot " << slot << " has a name";
        int cls = p[0x14] & 0x1F;
        EXPECT_EQ(cls & (cls - 1), 0) << "one resolution class bit";
        int width = p[0x16] << 8 | p[0x17];
        EXPECT_EQ(width, cls == 1 ? 640 : cls == 2 ? 800 : cls == 4 ? 1024 : 1280);
        EXPECT_TRUE(p[0x15] == 6 || p[0x15] == 8);
        for (int i = 0x25; i < 0x28; ++i) EXPECT_EQ(p[i], 0);
        for (int i = 0x2E; i < 0x36; ++i) EXPECT_EQ(p[i], 0);
        const uint8_t* gamma = flash.data() + 0xF700 + 256 * slot;
        bool identity = true;
        for (int i = 0; i < 256; ++i) identity &= gamma[i] == i;
        if (p[0x3A] & 0x10) {
            someGamma = true;
            EXPECT_FALSE(identity);
            for (int i = 1; i < 256; ++i) EXPECT_GE(gamma[i], gamma[i - 1]);
        } else {
            EXPECT_TRUE(identity);
        }
    }
    EXPECT_TRUE(someGamma);

    const uint8_t* table = flash.data() + 0xF400;
    int used = 0;
    bool seenEmpty = false;
    for (int i = 0; i < 38; ++i) {
        const uint8_t* e = table + 20 * i;
        auto u16 = [&](int off) { return e[off] << 8 | e[off + 1]; };
        if (!u16(11) || !u16(13)) {
            seenEmpty = true;
            for (int k = 0; k < 20; ++k) EXPECT_EQ(e[k], 0);
            continue;
        }
        EXPECT_FALSE(seenEmpty) << "used entries come first";
        ++used;
        EXPECT_LE(u16(15) + u16(11), u16(9)) << "entry " << i;
        EXPECT_LE(u16(17) + u16(13), u16(6)) << "entry " << i;
        EXPECT_NE(e[19] & 0x70, 0) << "entry " << i;
        EXPECT_GE(u16(0), 100);
        EXPECT_GE(u16(3), 450);
    }
    EXPECT_GE(used, 15);
    for (int i = 760; i < 768; ++i) EXPECT_EQ(table[i], 0);
}

TEST(BoardAddressing, AnswersOnlyItsOwnAddressAndRunsBroadcastsSilently) {
    Options o = Fast();
    o.address = 7;
    Board board(o);
    ASSERT_TRUE(board.Start());
    Host host(board.SlavePath());

    host.Send(EncodeFrame(0, 2, {0, 0x20, 0, 5}));
    EXPECT_TRUE(host.Read(1, 100ms).empty());
    EXPECT_EQ(board.Register(0x20), 0) << "a frame for another board is not carried out";

    host.Send(EncodeFrame(255, 2, {0, 0x20, 0, 6}));
    EXPECT_TRUE(host.Read(1, 100ms).empty());
    EXPECT_EQ(board.Register(0x20), 6);

    Bytes bad = EncodeFrame(7, 2, {0, 0x20, 0, 9});
    bad.back() ^= 1;
    host.Send(bad);
    EXPECT_TRUE(host.Read(1, 100ms).empty());
    EXPECT_EQ(board.Register(0x20), 6);

    EXPECT_EQ(host.Exchange(7, 1, {0, 0x20, 0, 0}), Answer(1, {0, 0x20, 0, 6}, 7));
    ASSERT_EQ(board.ReceivedFrames().size(), 4u);
    EXPECT_FALSE(board.ReceivedFrames()[2].checksumOk);
}

TEST(BoardAddressing, OptionallyAnswersBroadcasts) {
    Options o = Fast();
    o.answerBroadcast = true;
    Board board(o);
    ASSERT_TRUE(board.Start());
    Host host(board.SlavePath());
    EXPECT_EQ(host.Exchange(255, 12, {}), Answer(12, {0}));
}

TEST(BoardAddressing, SeveralBoardsOnOneLineEachWithItsOwnFlash) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("vantrel-multi-" + std::to_string(getpid()));
    fs::create_directories(dir);
    Options o = Fast();
    o.address = 1;
    o.moreAddresses = {5, 9, 5, 255};
    o.flashFile = (dir / "flash.bin").string();
    {
        Board board(o);
        ASSERT_TRUE(board.Start()) << board.LastError();
        EXPECT_EQ(board.Addresses(), (Bytes{1, 5, 9}));
        EXPECT_EQ(board.Device(255), nullptr);
        EXPECT_EQ(board.Device(2), nullptr);
        ASSERT_NE(board.Device(5), nullptr);
        board.Device(9)->SetVersion(9, 4);
        Host host(board.SlavePath());

        // Each board answers its own address with its own memories.
        EXPECT_EQ(host.Exchange(5, 7, {0xFB, 0x00, 2, 0xAA, 0x55}), Answer(7, {0xFB, 0x00, 2, 0xAA, 0x55}, 5));
        EXPECT_EQ(board.Device(5)->Flash(0xFB00, 2), (Bytes{0xAA, 0x55}));
        EXPECT_NE(board.Flash(0xFB00, 2), (Bytes{0xAA, 0x55}));
        EXPECT_NE(board.Device(9)->Flash(0xFB00, 2), (Bytes{0xAA, 0x55}));
        EXPECT_EQ(host.Exchange(9, 19, {0, 0}), Answer(19, {9, 4}, 9));
        EXPECT_EQ(host.Exchange(1, 19, {0, 0}), Answer(19, {2, 1}, 1));
        host.Send(EncodeFrame(2, 19, {0, 0}));
        EXPECT_TRUE(host.Read(1, 100ms).empty());

        // A broadcast reaches all of them and none answers.
        host.Send(EncodeFrame(255, 2, {0, 0x30, 0, 7}));
        EXPECT_TRUE(host.Read(1, 100ms).empty());
        for (uint8_t a : {1, 5, 9}) EXPECT_EQ(board.Device(a)->Register(0x30), 7) << int(a);
        board.Stop();
    }
    EXPECT_TRUE(fs::exists(dir / "flash.bin"));
    EXPECT_TRUE(fs::exists(dir / "flash.bin.9"));
    // The next start finds each board's own flash again.
    Board again(o);
    ASSERT_TRUE(again.Start()) << again.LastError();
    EXPECT_EQ(again.Device(5)->Flash(0xFB00, 2), (Bytes{0xAA, 0x55}));
    EXPECT_NE(again.Flash(0xFB00, 2), (Bytes{0xAA, 0x55}));
    again.Stop();
    fs::remove_all(dir);
}

TEST(BoardRecord, KeepsRawBytesAndFramesIncludingNoiseAndSplitFrames) {
    Board board(Fast());
    ASSERT_TRUE(board.Start());
    Host host(board.SlavePath());
    Bytes frame = EncodeFrame(0, 8, {0xBB, 0xBB, 1});  // 0xBB as data is data
    host.Send({0x01, 0x02});
    host.Send(Bytes(frame.begin(), frame.begin() + 3));
    std::this_thread::sleep_for(20ms);
    host.Send(Bytes(frame.begin() + 3, frame.end()));
    EXPECT_EQ(host.ReadFrame(), Answer(8, {0xBB, 0xBB, 1, 0xFF}));
    Bytes all{0x01, 0x02};
    all.insert(all.end(), frame.begin(), frame.end());
    EXPECT_EQ(board.ReceivedBytes(), all);
    ASSERT_EQ(board.ReceivedFrames().size(), 1u);
    EXPECT_EQ(board.ReceivedFrames()[0].data, (Bytes{0xBB, 0xBB, 1}));
    board.ClearRecord();
    EXPECT_TRUE(board.ReceivedBytes().empty());
}

TEST(BoardFaults, EachFaultHitsOnlyItsFrame) {
    Board board(Fast());
    ASSERT_TRUE(board.Start());
    Host host(board.SlavePath());
    Bytes read{0xF4, 0x00, 1};
    Bytes good = Answer(8, {0xF4, 0x00, 1, 0x01});

    vantrel_board::Faults f;
    f.dropAnswerFrame = 1;
    f.badChecksumFrame = 2;
    f.alterEchoFrame = 3;
    f.oversizeFrame = 4;
    f.noise = {0x11, 0x22};
    f.noiseFrame = 5;
    board.SetFaults(f);

    host.Send(EncodeFrame(0, 8, read));
    EXPECT_TRUE(host.Read(1, 100ms).empty()) << "dropped";
    Bytes wrong = good;
    wrong.back() = uint8_t(wrong.back() + 1);
    EXPECT_EQ(host.Exchange(0, 8, read), wrong);

    Bytes write{0xF4, 0x10, 2, 0x30, 0x31};
    Bytes altered = Answer(7, {0xF4, 0x10, 2, 0xCF, 0x31});
    EXPECT_EQ(host.Exchange(0, 7, write), altered);
    EXPECT_EQ(board.Flash(0xF410, 2), (Bytes{0x30, 0x31})) << "the memory has the right data";

    Bytes big = host.Exchange(0, 8, read);
    ASSERT_EQ(big.size(), 45u);
    EXPECT_EQ(big[3], 40);
    EXPECT_EQ(Bytes(big.begin() + 4, big.begin() + 8), (Bytes{0xF4, 0x00, 1, 0x01}));
    EXPECT_EQ(big.back(), vantrel_board::FrameChecksum(0, 8, Bytes(big.begin() + 4, big.end() - 1)));

    host.Send(EncodeFrame(0, 8, read));
    EXPECT_EQ(host.Read(2), (Bytes{0x11, 0x22}));
    EXPECT_EQ(host.ReadFrame(), good);
    EXPECT_EQ(host.Exchange(0, 8, read), good);
    EXPECT_EQ(board.ExecutedFrameCount(), 6u);

    // Any echoed byte, and any byte of a whole answer frame.
    f = {};
    f.alterEchoFrame = 7;
    f.alterEchoIndex = 1;
    f.garbleFrame = 8;
    f.garbleOffset = 3 + 9;  // the length byte, counting around the 9-byte frame
    f.garbleMask = 0x04;
    board.SetFaults(f);
    EXPECT_EQ(host.Exchange(0, 7, write), Answer(7, {0xF4, 0x10, 2, 0x30, 0xCE}));
    Bytes garbled = good;
    garbled[3] ^= 0x04;
    EXPECT_EQ(host.Read(garbled.size(), 100ms).size(), 0u);
    host.Send(EncodeFrame(0, 8, read));
    EXPECT_EQ(host.Read(garbled.size()), garbled);
}

TEST(BoardFaults, DelayedAndRawAnswers) {
    Board board(Fast());
    ASSERT_TRUE(board.Start());
    Host host(board.SlavePath());
    vantrel_board::Faults f;
    f.delayMs = 150;
    f.delayFrame = 1;
    board.SetFaults(f);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(host.Exchange(0, 12, {}), Answer(12, {0}));
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 150ms);

    board.QueueRawAnswer({0xBB, 0x55, 0x66, 0x00, 0xBB});
    board.QueueRawAnswer({});
    EXPECT_EQ(host.Exchange(0, 12, {}), (Bytes{0xBB, 0x55, 0x66, 0x00, 0xBB}));
    host.Send(EncodeFrame(0, 12, {}));
    EXPECT_TRUE(host.Read(1, 100ms).empty()) << "an empty raw answer sends nothing";
    board.SetAnswerHook([](const vantrel_board::Frame& r) -> std::optional<Bytes> {
        if (r.command == 16) return Bytes{0x42};
        return std::nullopt;
    });
    host.Send(EncodeFrame(0, 16, {}));
    EXPECT_EQ(host.Read(2, 200ms), Bytes{0x42});
    EXPECT_EQ(host.Exchange(0, 12, {}), Answer(12, {0}));
    board.SendRaw({1, 2, 3});
    EXPECT_EQ(host.Read(3), (Bytes{1, 2, 3}));
}

TEST(BoardPacing, AnswersNoFasterThanTheLine) {
    Options o;
    o.baud = 9600;  // 1.04 ms a byte
    Board board(o);
    ASSERT_TRUE(board.Start());
    Host host(board.SlavePath());
    Bytes request = EncodeFrame(0, 7, Bytes{0xF4, 0x00, 16, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
    auto t0 = std::chrono::steady_clock::now();
    host.Send(request);
    Bytes first = host.Read(1);
    auto tFirst = std::chrono::steady_clock::now() - t0;
    Bytes rest = host.Read(request.size() - 1);
    auto tAll = std::chrono::steady_clock::now() - t0;
    ASSERT_EQ(rest.size(), request.size() - 1);
    const double byteMs = 10.0 * 1000 / 9600;
    double firstMs = std::chrono::duration<double, std::milli>(tFirst).count();
    double allMs = std::chrono::duration<double, std::milli>(tAll).count();
    EXPECT_GE(firstMs, (request.size() + 1) * byteMs - 0.1) << "request line time plus one byte";
    EXPECT_GE(allMs, 2 * request.size() * byteMs - 0.1);
    EXPECT_LT(allMs, 2 * request.size() * byteMs + 60) << "and not much slower";
}

TEST(BoardFlashFile, SavesAtStopAndLoadsAtStart) {
    auto dir = std::filesystem::temp_directory_path() / ("vantrel-board-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    auto file = (dir / "flash.bin").string();
    {
        Options o = Fast();
        o.flashFile = file;
        Board board(o);
        ASSERT_TRUE(board.Start()) << board.LastError();
        Host host(board.SlavePath());
        host.Exchange(0, 7, {0xFB, 0x04, 2, 'Z', 'Q'});
        // Saved once the line is quiet, before the board stops.
        for (int i = 0; i < 100 && !std::filesystem::exists(file); ++i) std::this_thread::sleep_for(10ms);
        EXPECT_TRUE(std::filesystem::exists(file));
    }
    ASSERT_EQ(std::filesystem::file_size(file), 65536u);
    {
        Options o = Fast();
        o.flashFile = file;
        Board board(o);
        ASSERT_TRUE(board.Start());
        EXPECT_EQ(board.Flash(0xFB04, 2), (Bytes{'Z', 'Q'}));
    }
    // A file of the wrong size is refused and the flash keeps its content.
    { std::ofstream(file, std::ios::binary | std::ios::trunc) << "short"; }
    Options o = Fast();
    o.flashFile = file;
    Board board(o);
    EXPECT_FALSE(board.Start());
    EXPECT_NE(board.LastError().find("65536"), std::string::npos) << board.LastError();
    EXPECT_EQ(board.Flash(0xFB04, 2), (Bytes{'L', 'Q'}));
    EXPECT_EQ(std::filesystem::file_size(file), 5u) << "the bad file is left as it was";
    std::string error;
    EXPECT_FALSE(board.LoadFlash((dir / "absent").string(), &error));
    EXPECT_FALSE(error.empty());
    std::filesystem::remove_all(dir);
}

TEST(BoardRecord, KeptOnlyWhileOnAndBounded) {
    Options o;
    o.baud = 0;
    o.record = false;
    Board board(o);
    ASSERT_TRUE(board.Start());
    Host host(board.SlavePath());
    for (int i = 0; i < 10; ++i) ASSERT_EQ(host.Exchange(0, 12, {}).size(), 6u);
    EXPECT_TRUE(board.ReceivedBytes().empty());
    EXPECT_TRUE(board.ReceivedFrames().empty());
    EXPECT_EQ(board.CommandCount(12), 10u) << "the command codes are counted anyway";
    EXPECT_EQ(board.ExecutedFrameCount(), 10u);

    Options r = Fast();
    r.recordLimit = 2;
    Board recording(r);
    ASSERT_TRUE(recording.Start());
    Host other(recording.SlavePath());
    for (int i = 0; i < 20; ++i) ASSERT_EQ(other.Exchange(0, 8, {0xF4, static_cast<uint8_t>(i), 1}).size(), 9u);
    auto frames = recording.ReceivedFrames();
    ASSERT_EQ(frames.size(), 2u) << "only the latest frames";
    EXPECT_EQ(frames.back().data[1], 19);
    EXPECT_EQ(frames.front().data[1], 18);
    Bytes bytes = recording.ReceivedBytes();
    ASSERT_EQ(bytes.size(), 128u) << "64 bytes a frame of the limit: the latest 128 of 160";
    EXPECT_EQ(Bytes(bytes.end() - 8, bytes.end()), EncodeFrame(0, 8, {0xF4, 19, 1}));
}

TEST(BoardLine, BoundedQueueAndPromptStopAtAnyRate) {
    Options o = Fast();
    o.baud = 300;  // 33 ms a byte
    auto board = std::make_unique<Board>(o);
    ASSERT_TRUE(board->Start());
    Host host(board->SlavePath());
    // Far more requests than the line can answer: the queue stays bounded.
    Bytes request = EncodeFrame(0, 19, {0, 0});
    Bytes burst;
    for (int i = 0; i < 300; ++i) burst.insert(burst.end(), request.begin(), request.end());
    host.Send(burst);
    for (int i = 0; i < 200 && board->ExecutedFrameCount() < 300; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(board->ExecutedFrameCount(), 300u);
    EXPECT_GT(board->DroppedAnswerCount(), 200u);

    auto t0 = std::chrono::steady_clock::now();
    board->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 200ms) << "Stop waits for the slow line";

    // At one bit a second, a byte takes ten seconds.
    o.baud = 1;
    board = std::make_unique<Board>(o);
    ASSERT_TRUE(board->Start());
    board->SendRaw(Bytes(40, 0x55));
    std::this_thread::sleep_for(50ms);
    t0 = std::chrono::steady_clock::now();
    board->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 200ms);
}

TEST(BoardFlashFile, SavedThroughLinksWithTheFilesMode) {
    namespace fs = std::filesystem;
    auto dir = fs::temp_directory_path() / ("vantrel-board-links-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "store");
    const auto target = dir / "store" / "flash.bin";
    const auto link = dir / "flash-link";
    fs::create_symlink("store/flash.bin", link);  // relative and dangling at first

    auto writeOnce = [&](uint8_t value) {
        Options o = Fast();
        o.flashFile = link.string();
        Board board(o);
        ASSERT_TRUE(board.Start()) << board.LastError();
        Host host(board.SlavePath());
        host.Exchange(0, 7, {0xFB, 0x04, 1, value});
        board.Stop();
    };
    writeOnce('A');
    EXPECT_TRUE(fs::is_symlink(link)) << "the link stays a link";
    ASSERT_TRUE(fs::is_regular_file(target)) << "the dangling link's target was created";
    EXPECT_EQ(fs::file_size(target), 65536u);

    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    writeOnce('B');
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write)
        << "a private file stays private";
    std::ifstream in(target, std::ios::binary);
    in.seekg(0xFB04);
    EXPECT_EQ(in.get(), 'B');
    int files = 0;
    for ([[maybe_unused]] auto& entry : fs::directory_iterator(dir / "store")) ++files;
    EXPECT_EQ(files, 1) << "no temporary file left behind";
    fs::remove_all(dir);
}
