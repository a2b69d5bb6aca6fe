// Serial lines over the network: the device names, the telnet decoder, and
// the link through a serial server of the test's own that misbehaves on
// request, in front of the emulated board.
#include "link_fixture.h"
#include "port_map.h"
#include "serial_server.h"
#include "telnet_codec.h"

namespace linktest {
namespace {

using vantrel::NetworkName;
using vantrel::ParseNetworkName;
namespace telnet = vantrel::telnet;

TEST(NetworkName, ParsesHostsAndRefusesMalformedNames) {
    struct Case {
        const char* name;
        bool valid;
        bool rfc2217;
        const char* host;
        const char* port;
    };
    const Case cases[] = {
        {"rfc2217://station3:4001", true, true, "station3", "4001"},
        {"RFC2217://10.0.0.7:2000", true, true, "10.0.0.7", "2000"},
        {"tcp://rack-2.example.net:65535", true, false, "rack-2.example.net", "65535"},
        {"tcp://[::1]:7000", true, false, "::1", "7000"},
        {"rfc2217://[fe80::1:2]:1", true, true, "fe80::1:2", "1"},
        {"tcp://host:0", false, false, "", ""},
        {"tcp://host:65536", false, false, "", ""},
        {"tcp://host:01", false, false, "", ""},
        {"tcp://host:", false, false, "", ""},
        {"tcp://host", false, false, "", ""},
        {"tcp://:4000", false, false, "", ""},
        {"tcp://::1:7000", false, false, "", ""},
        {"tcp://[::1]7000", false, false, "", ""},
        {"tcp://[]:7000", false, false, "", ""},
        {"tcp://a b:7000", false, false, "", ""},
        {"tcp://host:12x", false, false, "", ""},
        {"socket://host:1", false, false, "", ""},
        {"/dev/ttyUSB0", false, false, "", ""},
    };
    for (const Case& c : cases) {
        NetworkName n;
        EXPECT_EQ(ParseNetworkName(c.name, n), c.valid) << c.name;
        if (!c.valid) continue;
        EXPECT_EQ(n.rfc2217, c.rfc2217) << c.name;
        EXPECT_EQ(n.host, c.host) << c.name;
        EXPECT_EQ(n.port, c.port) << c.name;
    }
}

// Every split of the stream over two reads decodes to the same data and commands.
TEST(TelnetDecoder, SameResultWhateverTheSplit) {
    struct Case {
        Bytes in;
        Bytes data;
        std::size_t commands;
    };
    const Case cases[] = {
        {{1, 0xFF, 0xFF, 2}, {1, 0xFF, 2}, 0},
        {{0xFF, 0xFF, 0xFF, 0xFF}, {0xFF, 0xFF}, 0},
        {{7, 0xFF, 253, 24, 8}, {7, 8}, 1},
        {{0xFF, 250, 44, 106, 0xFF, 0xFF, 0xFF, 240, 9}, {9}, 1},  // notification with a doubled 0xFF
        {{0xFF, 241, 5, 0xFF, 249, 6}, {5, 6}, 0},                 // NOP, GA
        {{0xFF, 250, 44, 101, 0xFF, 251, 3, 4}, {4}, 1},           // unterminated subnegotiation
    };
    for (const Case& c : cases) {
        for (std::size_t split = 0; split <= c.in.size(); ++split) {
            telnet::Decoder d;
            Bytes data;
            std::vector<telnet::Command> commands;
            d.Feed(c.in.data(), split, data, commands);
            d.Feed(c.in.data() + split, c.in.size() - split, data, commands);
            EXPECT_EQ(data, c.data) << "split " << split;
            EXPECT_EQ(commands.size(), c.commands) << "split " << split;
        }
    }
    telnet::Decoder d;
    Bytes data;
    std::vector<telnet::Command> commands;
    const Bytes sub{0xFF, 250, 44, 106, 0xFF, 0xFF, 0xFF, 240};
    d.Feed(sub.data(), sub.size(), data, commands);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].payload, (Bytes{106, 0xFF}));
}

TEST(TelnetNegotiator, AnswersChangesOnlyAndRefusesUnknownOptions) {
    telnet::Negotiator n;
    n.Start();
    EXPECT_TRUE(n.Handle(telnet::kDo, telnet::kBinary).empty());  // confirms our offer
    EXPECT_TRUE(n.Handle(telnet::kWill, telnet::kBinary).empty());
    EXPECT_TRUE(n.Handle(telnet::kDo, telnet::kComPort).empty());
    EXPECT_TRUE(n.Ready());
    EXPECT_TRUE(n.Handle(telnet::kDo, telnet::kBinary).empty());  // repeated: no echo war
    EXPECT_EQ(n.Handle(telnet::kDo, 24), (Bytes{255, telnet::kWont, 24}));
    EXPECT_EQ(n.Handle(telnet::kWill, 1), (Bytes{255, telnet::kDont, 1}));
    EXPECT_FALSE(n.Refused());
    EXPECT_EQ(n.Handle(telnet::kDont, telnet::kBinary), (Bytes{255, telnet::kWont, telnet::kBinary}));
    EXPECT_TRUE(n.Refused());
}

class NetworkLinkTest : public LinkTest {
protected:
    void Serve(bool rfc2217, ServerFault fault) {
        server_ = std::make_unique<SerialServer>(board_->SlavePath(), rfc2217, fault);
        ASSERT_NE(server_->Port(), 0);
        setenv("VANTREL_COM1", server_->Name().c_str(), 1);
    }
    void TearDown() override {
        CloseSerialCommunication();
        server_.reset();
        LinkTest::TearDown();
    }

    // Flash pages that are all 0xFF, and a pattern with 0xFF between other bytes.
    void FlashRoundTrip() {
        Bytes erased(64, 0xFF);
        Bytes mixed = Pattern(64, 3);
        for (std::size_t i = 0; i < mixed.size(); i += 3) mixed[i] = 0xFF;
        for (const Bytes& data : {erased, mixed}) {
            ASSERT_EQ(Vantrel_WriteFlash(0, 0x8000, static_cast<uint32_t>(data.size()), data.data()), 0);
            EXPECT_EQ(board_->Flash(0x8000, data.size()), data);
            Bytes back(data.size(), 0);
            ASSERT_EQ(Vantrel_ReadFlash(0, 0x8000, static_cast<uint32_t>(back.size()), back.data()), 0);
            EXPECT_EQ(back, data);
        }
    }

    std::unique_ptr<SerialServer> server_;
};

TEST_F(NetworkLinkTest, ServersThatWorkCarryEveryByte) {
    struct Case {
        bool rfc2217;
        ServerFault fault;
    };
    for (Case c : {Case{true, ServerFault::None}, Case{false, ServerFault::None},
                   Case{true, ServerFault::NeverAcknowledge}, Case{true, ServerFault::ByteSegments},
                   Case{true, ServerFault::SplitIac}, Case{false, ServerFault::SplitIac}}) {
        SCOPED_TRACE(std::string(c.rfc2217 ? "rfc2217 " : "tcp ") + std::to_string(static_cast<int>(c.fault)));
        Serve(c.rfc2217, c.fault);
        const auto t0 = Clock::now();
        ASSERT_EQ(OpenSerialCommunication(1, 57600), 1);
        EXPECT_LT(MsSince(t0), 1000.0);  // a server that never confirms costs a bounded wait
        board_->SetRegister(0x0100, 0xFFFF);
        EXPECT_EQ(Vantrel_ReadRegister(0, 0x0100), 0xFFFF);
        FlashRoundTrip();
        CloseSerialCommunication();
        server_.reset();
    }
}

TEST_F(NetworkLinkTest, ServersThatFailNeverGiveAFalseSuccessOrAHang) {
    struct Case {
        ServerFault fault;
        bool opens;
        double openMs;  // a refusal is known at once, silence only after the negotiation time-out
    };
    for (Case c : {Case{ServerFault::RefuseComPort, false, 300}, Case{ServerFault::Silent, false, 2500},
                   Case{ServerFault::CloseMidChunk, true, 300}, Case{ServerFault::Stall, true, 300}}) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        Serve(true, c.fault);
        auto t0 = Clock::now();
        ASSERT_EQ(OpenSerialCommunication(1, 57600), c.opens ? 1 : 0);
        EXPECT_LT(MsSince(t0), c.openMs);
        if (c.opens) {
            Bytes back(32, 0);
            EXPECT_EQ(Vantrel_ReadFlash(0, 0x8000, 32, back.data()), -1);
            t0 = Clock::now();
            EXPECT_EQ(Vantrel_ReadRegister(0, 0x0100), -1);
            if (c.fault == ServerFault::CloseMidChunk) {
                EXPECT_LT(MsSince(t0), 100.0);  // a dead line fails at once
            }
            t0 = Clock::now();
            CloseSerialCommunication();
            EXPECT_LT(MsSince(t0), 200.0);
        }
        server_.reset();
    }
}

TEST_F(NetworkLinkTest, NoServerFailsTheOpenAtOnce) {
    Serve(true, ServerFault::None);
    const std::string name = server_->Name();
    server_.reset();  // the port is free again: connections are refused
    for (std::string device : {name, "tcp" + name.substr(7), std::string("rfc2217://127.0.0.1:99999")}) {
        setenv("VANTREL_COM1", device.c_str(), 1);
        const auto t0 = Clock::now();
        EXPECT_EQ(OpenSerialCommunication(1, 57600), 0) << device;
        EXPECT_LT(MsSince(t0), 500.0) << device;
    }
}

}  // namespace
}  // namespace linktest
