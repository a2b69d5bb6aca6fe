// Boards behind a serial server: tolvane2-cli ports shows network devices
// beside local ones, and a device that does not open says which server and
// what happened; scan through a server.
#include "../link/ser2net_process.h"
#include "cli_harness.h"
#include "vantrel_board/board.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>

#include <nlohmann/json.hpp>

using namespace clitest;

namespace {

// A listening socket on 127.0.0.1: connections are accepted by the system,
// nothing is ever said on them. Closed, its port refuses connections.
class Listener {
public:
    Listener() {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(fd_, 4);
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length);
        port_ = ntohs(a.sin_port);
    }
    ~Listener() { Close(); }
    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }
    std::string Port() const { return std::to_string(port_); }

private:
    int fd_ = -1;
    int port_ = 0;
};

class CliNetwork : public TempDirTest {};

TEST_F(CliNetwork, PortsShowsNetworkDevicesAndBadNames) {
    ScopedEnv config("XDG_CONFIG_HOME", dir_.c_str());
    ScopedEnv com1("VANTREL_COM1", "rfc2217://station3:4001");
    ScopedEnv com2("VANTREL_COM2", nullptr);
    ScopedEnv com3("VANTREL_COM3", nullptr);
    ScopedEnv com4("VANTREL_COM4", "tcp://station3");
    fs::create_directories(dir_ / "vantrel");
    WriteText(dir_ / "vantrel" / "ports.conf", "COM2=tcp://[::1]:7000\n");

    Result r = Cli({"--json", "ports"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["ports"][0]["device"], "rfc2217://station3:4001");
    EXPECT_EQ(j["ports"][1]["device"], "tcp://[::1]:7000");
    EXPECT_EQ(j["ports"][1]["source"], "file");
    for (int i : {0, 1, 3}) EXPECT_TRUE(j["ports"][i].value("network", false)) << i;
    EXPECT_EQ(j["ports"][0]["exists"], true);
    EXPECT_EQ(j["ports"][1]["exists"], true);
    EXPECT_EQ(j["ports"][3]["exists"], false);
    EXPECT_FALSE(j["ports"][2].contains("network"));

    r = Cli({"ports"});
    EXPECT_NE(r.out.find("COM1  rfc2217://station3:4001  (from VANTREL_COM1), network\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("COM4  tcp://station3  (from VANTREL_COM4), not a valid network name\n"), std::string::npos)
        << r.out;
}

TEST_F(CliNetwork, AFailedOpenNamesTheServerAndWhatHappened) {
    Listener silent;
    Listener gone;
    gone.Close();
    struct Case {
        std::string device;
        std::string says;
    };
    const Case cases[] = {
        {"rfc2217://127.0.0.1:" + gone.Port(),
         "cannot connect to the server 127.0.0.1 port " + gone.Port() + ": Connection refused"},
        {"tcp://127.0.0.1:" + gone.Port(), "cannot connect to the server 127.0.0.1 port " + gone.Port()},
        {"rfc2217://127.0.0.1:" + silent.Port(), "accepted the connection but did not agree RFC 2217"},
        {"tcp://127.0.0.1", "not a valid network name"},
    };
    for (const Case& c : cases) {
        Result r = Cli({"--device", c.device, "info"});
        EXPECT_NE(r.code, 0) << c.device;
        EXPECT_NE(r.err.find("cannot open COM1 (" + c.device + "): "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

// A scan through ser2net finds the board as a local scan does, and an address
// that does not answer costs about as much as on the local line: the probe's
// time-out, not the network's.
TEST_F(CliNetwork, ScanThroughAServerKeepsItsProbeTimeOut) {
    if (!linktest::Ser2netInstalled()) GTEST_SKIP() << "ser2net is not installed (Debian package ser2net)";
    vantrel_board::Options options;
    options.address = 7;
    vantrel_board::Board board(options);
    ASSERT_TRUE(board.Start()) << board.LastError();
    linktest::Ser2net server(board.SlavePath(), true);
    ASSERT_TRUE(server.Ready()) << "ser2net did not start";

    constexpr int kProbeMs = 10, kMissing = 254;
    auto scan = [](const std::string& device, double& seconds) {
        const auto t0 = std::chrono::steady_clock::now();
        Result r = Cli({"--device", device, "--json", "scan", "--timeout-ms", std::to_string(kProbeMs)});
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        EXPECT_EQ(r.code, 0) << device << ": " << r.err;
        const auto j = nlohmann::json::parse(r.out, nullptr, false);
        EXPECT_EQ(j["device"], device);
        ASSERT_EQ(j["devices"].size(), 1u) << r.out;
        EXPECT_EQ(j["devices"][0]["address"], 7);
        EXPECT_EQ(j["devices"][0]["version"], nlohmann::json::array({2, 1}));
    };
    double local = 0, network = 0;
    scan(board.SlavePath(), local);
    scan(server.Name(), network);
    const double localMs = local * 1000 / kMissing, networkMs = network * 1000 / kMissing;
    std::printf("per missing address: local %.2f ms, through ser2net %.2f ms\n", localMs, networkMs);
    EXPECT_GE(networkMs, kProbeMs);
    EXPECT_LT(networkMs, localMs + 2.0);
}

}  // namespace
