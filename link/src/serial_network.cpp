// A serial line on a serial server (ser2net and the like): raw TCP, or
// RFC 2217, where telnet carries the data with 0xFF doubled and the
// COM-PORT option sets the line like a local port.
#include "net_socket.h"
#include "port_map.h"
#include "serial_device.h"
#include "telnet_codec.h"

#include <atomic>
#include <chrono>
#include <mutex>

namespace vantrel {
namespace {

using telnet::Bytes;
using Clock = std::chrono::steady_clock;

constexpr int kConnectTimeoutMs = 3000;
// The telnet options must be agreed within this time, or the other end is
// not an RFC 2217 server.
constexpr int kNegotiateTimeoutMs = 2000;
// Some servers never confirm a setting or a purge: wait this long, then go on.
constexpr int kSettingsWaitMs = 500;
// A write that cannot put out one byte for this long has lost the server.
constexpr int kWriteStallMs = 1000;

class NetworkSerialDevice final : public SerialDevice {
public:
    NetworkSerialDevice(net::Socket s, bool rfc2217) : socket_(s), rfc2217_(rfc2217) {}
    ~NetworkSerialDevice() override {
        net::Close(socket_);
        net::Cleanup();
    }

    long Receive(std::uint8_t* buffer, std::size_t max, int timeoutMs) override {
        if (waker_.Woken()) return 0;
        switch (net::WaitReadable(socket_, &waker_, timeoutMs)) {
            case net::Ready::Timeout:
            case net::Ready::Woken:
                return 0;
            case net::Ready::Failed:
                return -1;
            case net::Ready::Readable:
                break;
        }
        const long got = net::Receive(socket_, buffer, max);
        if (got <= 0 || !rfc2217_) return got;
        // Decoding only removes bytes, so the data fits where the raw bytes were.
        Bytes data;
        std::vector<telnet::Command> commands;
        decoder_.Feed(buffer, static_cast<std::size_t>(got), data, commands);
        Answer(commands);
        std::copy(data.begin(), data.end(), buffer);
        return static_cast<long>(data.size());
    }

    void Write(const std::uint8_t* bytes, std::size_t count) override {
        if (!rfc2217_) {
            Send(bytes, count);
            return;
        }
        Bytes escaped;
        escaped.reserve(count + 8);
        telnet::AppendEscaped(escaped, bytes, count);
        Send(escaped.data(), escaped.size());
    }

    void Interrupt() override { waker_.Wake(); }

    void Release() override {
        // The socket's number stays ours until destruction; ended, it fails
        // every later read and write.
        if (!released_.exchange(true, std::memory_order_acq_rel)) net::Shutdown(socket_);
    }

    bool Usable() const { return waker_.Valid(); }

    // RFC 2217 only: agrees the options, sets the line, purges both buffers.
    // Empty when it worked, else what went wrong.
    std::string Configure(std::uint32_t baud);

private:
    void Send(const std::uint8_t* bytes, std::size_t count) {
        std::lock_guard lock(sendMutex_);  // a telnet answer never splits a request
        net::SendAll(socket_, bytes, count, kWriteStallMs);
    }
    void Send(const Bytes& bytes) { Send(bytes.data(), bytes.size()); }

    // Answers the server's option requests; notifications and
    // confirmations need nothing.
    void Answer(const std::vector<telnet::Command>& commands) {
        for (const telnet::Command& c : commands) {
            if (c.subnegotiation) {
                if (c.option == telnet::kComPort && !c.payload.empty()) confirmed_ |= 1u << (c.payload[0] % 32);
                continue;
            }
            const Bytes reply = negotiator_.Handle(c.verb, c.option);
            if (!reply.empty()) Send(reply);
        }
    }

    // Reads during the opening until done() or the deadline; the data that
    // arrives meanwhile is stale and dropped. False when the connection ends.
    template <typename Done>
    bool ReadUntil(Clock::time_point deadline, Done done) {
        std::uint8_t raw[256];
        while (!done()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return true;
            const net::Ready ready = net::WaitReadable(socket_, nullptr, static_cast<int>(left));
            if (ready == net::Ready::Failed) return false;
            if (ready != net::Ready::Readable) continue;
            const long got = net::Receive(socket_, raw, sizeof raw);
            if (got < 0) return false;
            Bytes data;
            std::vector<telnet::Command> commands;
            decoder_.Feed(raw, static_cast<std::size_t>(got), data, commands);
            Answer(commands);
        }
        return true;
    }

    static std::uint32_t Bit(std::uint8_t command) { return 1u << ((telnet::kServerReply + command) % 32); }

    net::Socket socket_;
    bool rfc2217_;
    net::Waker waker_;
    std::atomic<bool> released_{false};
    std::mutex sendMutex_;
    telnet::Decoder decoder_;        // receive thread (or the opener before it starts)
    telnet::Negotiator negotiator_;  // likewise
    std::uint32_t confirmed_ = 0;    // settings the server confirmed, by Bit()
};

std::string NetworkSerialDevice::Configure(std::uint32_t baud) {
    using namespace telnet;
    Send(negotiator_.Start());
    if (!ReadUntil(Clock::now() + std::chrono::milliseconds(kNegotiateTimeoutMs),
                   [this] { return negotiator_.Ready() || negotiator_.Refused(); }))
        return "the server closed the connection while agreeing the telnet options";
    if (negotiator_.Refused()) return "the server refused binary transfer or the COM-PORT option (RFC 2217)";
    if (!negotiator_.Ready()) return "the server did not agree the telnet options in time (not RFC 2217?)";

    const Bytes rate{static_cast<std::uint8_t>(baud >> 24), static_cast<std::uint8_t>(baud >> 16),
                     static_cast<std::uint8_t>(baud >> 8), static_cast<std::uint8_t>(baud)};
    Bytes requests = ComPortRequest(kSetBaudRate, rate);
    for (const Bytes& r :
         {ComPortRequest(kSetDataSize, {8}), ComPortRequest(kSetParity, {1}), ComPortRequest(kSetStopSize, {1}),
          ComPortRequest(kSetControl, {1}), ComPortRequest(kPurgeData, {3}),
          // DTR and RTS inactive; some servers never confirm these.
          ComPortRequest(kSetControl, {9}), ComPortRequest(kSetControl, {12})})
        requests.insert(requests.end(), r.begin(), r.end());
    Send(requests);
    const std::uint32_t wanted = Bit(kSetBaudRate) | Bit(kSetDataSize) | Bit(kSetParity) | Bit(kSetStopSize) |
                                 Bit(kSetControl) | Bit(kPurgeData);
    if (!ReadUntil(Clock::now() + std::chrono::milliseconds(kSettingsWaitMs),
                   [this, wanted] { return (confirmed_ & wanted) == wanted; }))
        return "the server closed the connection while setting the line";
    return {};
}

}  // namespace

std::unique_ptr<SerialDevice> OpenNetworkSerialDevice(const std::string& name, std::uint32_t baud) {
    NetworkName where;
    if (!ParseNetworkName(name, where)) return nullptr;
    if (baud != 9600 && baud != 19200 && baud != 38400 && baud != 57600) return nullptr;
    if (!net::Startup()) return nullptr;
    std::string problem;
    const net::Socket s = net::Connect(where.host, where.port, kConnectTimeoutMs, problem);
    if (s == net::kNoSocket) {
        net::Cleanup();
        return nullptr;
    }
    auto device = std::make_unique<NetworkSerialDevice>(s, where.rfc2217);
    if (!device->Usable()) return nullptr;
    if (where.rfc2217 && !device->Configure(baud).empty()) return nullptr;
    return device;
}

}  // namespace vantrel
