// The telnet receive decoder of RFC 2217 connections, fed any byte stream.
// The stream is decoded once whole and once in pieces whose sizes the input
// chooses (down to one byte, as a server that sends every byte in its own
// segment): data and commands must be the same. No call may put out more data
// bytes than it was given (the device decodes in place), and no
// subnegotiation may grow past its bound. Data escaped for sending decodes
// back to itself, and a COM-PORT request to one command. The negotiator
// answers every command with nothing or one well-formed reply about the same
// option.
//
// Input: byte 0 picks the piece sizes (0: one byte each; else the sizes cycle
// through 1..byte 0), the rest is the stream.
#include "telnet_codec.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using vantrel::telnet::Bytes;
using vantrel::telnet::Command;
using vantrel::telnet::Decoder;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "telnet decoder: %s\n", what);
    std::abort();
}

bool SameCommands(const std::vector<Command>& a, const std::vector<Command>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].subnegotiation != b[i].subnegotiation || a[i].verb != b[i].verb || a[i].option != b[i].option ||
            a[i].payload != b[i].payload)
            return false;
    return true;
}

void CheckNegotiator(const std::vector<Command>& commands) {
    using namespace vantrel::telnet;
    Negotiator n;
    n.Start();
    for (const Command& c : commands) {
        if (c.subnegotiation) continue;
        const Bytes reply = n.Handle(c.verb, c.option);
        if (reply.empty()) continue;
        if (reply.size() != 3 || reply[0] != kIac || reply[1] < kWill || reply[1] > kDont || reply[2] != c.option)
            Fail("a reply that is not one option command about the option asked");
    }
}

void CheckRoundTrips(const std::uint8_t* data, std::size_t size) {
    using namespace vantrel::telnet;
    Bytes escaped;
    AppendEscaped(escaped, data, size);
    Decoder d;
    Bytes back;
    std::vector<Command> commands;
    d.Feed(escaped.data(), escaped.size(), back, commands);
    if (back != Bytes(data, data + size) || !commands.empty()) Fail("escaped data does not decode to itself");

    const std::size_t valueSize = size < 16 ? size : 16;
    const Bytes value(data, data + valueSize);
    const Bytes request = ComPortRequest(kSetBaudRate, value);
    Decoder r;
    back.clear();
    r.Feed(request.data(), request.size(), back, commands);
    Bytes expected{kSetBaudRate};
    expected.insert(expected.end(), value.begin(), value.end());
    if (!back.empty() || commands.size() != 1 || !commands[0].subnegotiation || commands[0].option != kComPort ||
        commands[0].payload != expected)
        Fail("a COM-PORT request does not decode to its command");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t pattern = input[0];
    const std::uint8_t* stream = input + 1;
    const std::size_t length = size - 1;

    Decoder whole;
    Bytes wholeData;
    std::vector<Command> wholeCommands;
    whole.Feed(stream, length, wholeData, wholeCommands);
    if (wholeData.size() > length) Fail("more data than bytes received");

    Decoder pieces;
    Bytes pieceData;
    std::vector<Command> pieceCommands;
    std::size_t at = 0;
    for (unsigned step = 0; at < length; ++step) {
        std::size_t n = pattern == 0 ? 1 : 1 + step % pattern;
        if (n > length - at) n = length - at;
        const std::size_t before = pieceData.size();
        pieces.Feed(stream + at, n, pieceData, pieceCommands);
        if (pieceData.size() - before > n) Fail("more data than bytes received in one piece");
        at += n;
    }
    if (pieceData != wholeData) Fail("the data depends on how the bytes were split");
    if (!SameCommands(pieceCommands, wholeCommands)) Fail("the commands depend on how the bytes were split");
    for (const Command& c : wholeCommands)
        if (c.payload.size() > 64) Fail("a subnegotiation grew past its bound");

    CheckNegotiator(wholeCommands);
    CheckRoundTrips(stream, length);
    return 0;
}
