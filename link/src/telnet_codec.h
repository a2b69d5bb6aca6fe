// The telnet layer of an RFC 2217 connection: the receive decoder that
// separates the data stream from commands whatever the split of the bytes
// over reads, the doubling of 0xFF on send, and the option negotiation of a
// client that wants BINARY both ways, SUPPRESS-GO-AHEAD and COM-PORT-OPTION.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantrel::telnet {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250, kSe = 240;
constexpr std::uint8_t kBinary = 0, kSuppressGoAhead = 3, kComPort = 44;

// COM-PORT-OPTION commands of the client; the server answers with the same
// number plus 100.
enum ComPortCommand : std::uint8_t {
    kSetBaudRate = 1,
    kSetDataSize = 2,
    kSetParity = 3,
    kSetStopSize = 4,
    kSetControl = 5,
    kPurgeData = 12,
};
constexpr std::uint8_t kServerReply = 100;

// Commands found in the received stream.
struct Command {
    bool subnegotiation = false;
    std::uint8_t verb = 0;  // WILL, WONT, DO or DONT (not a subnegotiation)
    std::uint8_t option = 0;
    Bytes payload;  // subnegotiation bytes after the option, doubling undone
};

class Decoder {
public:
    // Appends the data bytes of in to data and the complete commands to
    // commands. State carries over to the next call.
    void Feed(const std::uint8_t* in, std::size_t count, Bytes& data, std::vector<Command>& commands);

private:
    enum class State { Data, Iac, Verb, SubOption, Sub, SubIac };
    static constexpr std::size_t kMaxPayload = 64;  // longer subnegotiations are cut, not grown
    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    Command sub_;
};

// Appends bytes to out with every 0xFF doubled.
void AppendEscaped(Bytes& out, const std::uint8_t* bytes, std::size_t count);

// IAC SB COM-PORT-OPTION command value... IAC SE, with the value escaped.
Bytes ComPortRequest(std::uint8_t command, const Bytes& value);

class Negotiator {
public:
    // Our opening offers.
    Bytes Start();
    // Handles one WILL/WONT/DO/DONT of the server; returns what to answer.
    Bytes Handle(std::uint8_t verb, std::uint8_t option);
    // BINARY both ways and COM-PORT-OPTION agreed.
    bool Ready() const;
    // The server declined BINARY or COM-PORT-OPTION.
    bool Refused() const { return refused_; }

private:
    struct Side {
        bool enabled = false;
        bool pending = false;
    };
    static bool Ours(std::uint8_t option);    // options we offer to perform
    static bool Theirs(std::uint8_t option);  // options we ask the server to perform
    Side us_[256];
    Side him_[256];
    bool refused_ = false;
};

}  // namespace vantrel::telnet
