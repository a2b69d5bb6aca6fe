// A small serial server on 127.0.0.1 for the network link tests: it serves a
// pseudo-terminal (the emulated board's) over raw TCP or RFC 2217 and can
// misbehave on request. One connection at a time; the destructor stops it.
#ifndef TESTS_LINK_SERIAL_SERVER_H
#define TESTS_LINK_SERIAL_SERVER_H

#include "telnet_codec.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace linktest {

enum class ServerFault {
    None,
    RefuseComPort,     // answers WILL COM-PORT-OPTION with DONT
    Silent,            // agrees nothing: not a telnet server at all
    NeverAcknowledge,  // agrees the options, never confirms a setting or purge
    ByteSegments,      // every byte of an answer in a segment of its own
    SplitIac,          // each doubled 0xFF split across two segments
    CloseMidChunk,     // the first answer stops half way and the connection ends
    Stall,             // takes requests, never answers
};

class SerialServer {
public:
    SerialServer(std::string pty, bool rfc2217, ServerFault fault)
        : pty_(std::move(pty)), rfc2217_(rfc2217), fault_(fault) {
        listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        if (bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listen_, 4) != 0 ||
            getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &length) != 0)
            return;
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Run(); });
    }
    ~SerialServer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        close(listen_);
    }
    int Port() const { return port_; }
    std::string Name() const {
        return (rfc2217_ ? "rfc2217://127.0.0.1:" : "tcp://127.0.0.1:") + std::to_string(port_);
    }

private:
    using Bytes = std::vector<uint8_t>;

    void Run() {
        while (!stop_) {
            pollfd p{listen_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            int client = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            int on = 1;
            setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            int line = open(pty_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            termios tio{};
            tcgetattr(line, &tio);
            cfmakeraw(&tio);
            tcsetattr(line, TCSANOW, &tio);
            Serve(client, line);
            close(line);
            close(client);
        }
    }

    void Serve(int client, int line) {
        vantrel::telnet::Decoder decoder;
        bool answered = false;
        // Options the client does not know must not upset it.
        if (rfc2217_ && fault_ != ServerFault::Silent) Send(client, {255, 253, 24, 255, 251, 1});
        while (!stop_) {
            pollfd p[2] = {{client, POLLIN, 0}, {line, POLLIN, 0}};
            if (poll(p, 2, 20) <= 0) continue;
            uint8_t buffer[512];
            if (p[0].revents != 0) {
                ssize_t got = read(client, buffer, sizeof buffer);
                if (got <= 0) return;
                Bytes data;
                std::vector<vantrel::telnet::Command> commands;
                if (rfc2217_) decoder.Feed(buffer, static_cast<std::size_t>(got), data, commands);
                else data.assign(buffer, buffer + got);
                for (const auto& c : commands) Reply(client, c);
                if (!data.empty() && write(line, data.data(), data.size()) < 0) return;
            }
            if (p[1].revents != 0) {
                ssize_t got = read(line, buffer, sizeof buffer);
                if (got <= 0 || fault_ == ServerFault::Stall) continue;
                Bytes out;
                if (rfc2217_) vantrel::telnet::AppendEscaped(out, buffer, static_cast<std::size_t>(got));
                else out.assign(buffer, buffer + got);
                if (fault_ == ServerFault::CloseMidChunk && !answered) {
                    Send(client, Bytes(out.begin(), out.begin() + static_cast<long>(out.size() / 2)));
                    return;
                }
                answered = true;
                SendAnswer(client, out);
            }
        }
    }

    void SendAnswer(int client, const Bytes& out) {
        if (fault_ == ServerFault::ByteSegments) {
            for (uint8_t b : out) Segment(client, Bytes{b});
        } else if (fault_ == ServerFault::SplitIac) {
            std::size_t from = 0;
            for (std::size_t i = 0; i + 1 < out.size(); ++i)
                if (out[i] == 0xFF && out[i + 1] == 0xFF) {
                    Segment(client,
                            Bytes(out.begin() + static_cast<long>(from), out.begin() + static_cast<long>(i + 1)));
                    from = ++i;
                }
            Send(client, Bytes(out.begin() + static_cast<long>(from), out.end()));
        } else {
            Send(client, out);
        }
    }

    // A segment of its own: sent, then a pause so that the next is not joined to it.
    static void Segment(int client, const Bytes& bytes) {
        Send(client, bytes);
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }

    static void Send(int client, const Bytes& bytes) {
        [[maybe_unused]] ssize_t put = send(client, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }

    void Reply(int client, const vantrel::telnet::Command& c) {
        using namespace vantrel::telnet;
        if (fault_ == ServerFault::Silent) return;
        if (c.subnegotiation) {
            if (fault_ == ServerFault::NeverAcknowledge || c.option != kComPort || c.payload.empty()) return;
            Bytes value(c.payload.begin() + 1, c.payload.end());
            Send(client, ComPortRequest(static_cast<uint8_t>(c.payload[0] + kServerReply), value));
            // A line-state notification in between, as real servers send.
            Send(client, ComPortRequest(106, {0x60}));
            return;
        }
        const bool known = c.option == kBinary || c.option == kSuppressGoAhead ||
                           (c.option == kComPort && fault_ != ServerFault::RefuseComPort);
        if (c.verb == kWill) Send(client, {kIac, known ? kDo : kDont, c.option});
        if (c.verb == kDo) Send(client, {kIac, known && c.option != kComPort ? kWill : kWont, c.option});
    }

    std::string pty_;
    bool rfc2217_;
    ServerFault fault_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace linktest

#endif  // TESTS_LINK_SERIAL_SERVER_H
