// The link library's frame parser against a model of the wire frame, fed any
// byte stream. Transactions start at points the input chooses: each clears the
// completion value as a request does, and the first frame completed after it
// must be reported exactly: good only with the right checksum and at most 32
// data bytes, its data in the exchange buffer; bytes outside frames come back
// as themselves.
//
// Input: a stream of commands. 0xF0..0xFF starts a transaction (the low bits
// tell how many following bytes arrive before it); every other byte arrives
// on the line. 0xF0..0xFF bytes still reach the line as data after an escape
// 0xEF.
#include "link_state.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>

namespace {

using vantrel::Link;

struct ModelParser {
    enum State { Idle, Address, Command, Length, Data, Checksum } state = Idle;
    uint8_t sum = 0;
    uint8_t length = 0;
    unsigned index = 0;
    uint8_t data[256] = {};
};

ModelParser model;
bool modelSynced = false;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "frame parser differs from the frame rule: %s\n", what);
    std::abort();
}

// One byte through the model: -1 inside a frame, else the byte. `completed`
// tells a frame's end, `good` its verdict.
int ModelFeed(uint8_t byte, bool& completed, bool& good) {
    completed = false;
    switch (model.state) {
        case ModelParser::Idle:
            if (byte != 0xBB) return byte;
            model.sum = 0;
            model.state = ModelParser::Address;
            return -1;
        case ModelParser::Address:
        case ModelParser::Command:
            model.sum = static_cast<uint8_t>(model.sum + byte);
            model.state = model.state == ModelParser::Address ? ModelParser::Command : ModelParser::Length;
            return -1;
        case ModelParser::Length:
            model.sum = static_cast<uint8_t>(model.sum + byte);
            model.length = byte;
            model.index = 0;
            model.state = byte ? ModelParser::Data : ModelParser::Checksum;
            return -1;
        case ModelParser::Data:
            model.sum = static_cast<uint8_t>(model.sum + byte);
            model.data[model.index++] = byte;
            if (model.index == model.length) model.state = ModelParser::Checksum;
            return -1;
        case ModelParser::Checksum:
            completed = true;
            good = byte == model.sum && model.length <= vantrel::kExchangeSize;
            model.state = ModelParser::Idle;
            return -1;
    }
    return -1;
}

// Brings the library's parser to rest: an idle parser takes a zero-length
// frame whose checksum byte ends it, whatever state it was left in.
void SyncParsers() {
    for (int i = 0; i < 300 && Link().parser.state != vantrel::ParserState::Idle; ++i) vantrel::FeedReceivedByte(0);
    model = ModelParser{};
    modelSynced = true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, std::size_t size) {
    if (!modelSynced || Link().parser.state != vantrel::ParserState::Idle) SyncParsers();
    model = ModelParser{};

    bool waiting = false;   // a transaction waits for its answer
    bool answered = false;  // ...and got it
    for (std::size_t i = 0; i < size; ++i) {
        uint8_t byte = input[i];
        if (byte >= 0xF0) {
            Link().completion.store(vantrel::kNoAnswer, std::memory_order_release);
            waiting = true;
            answered = false;
            continue;
        }
        if (byte == 0xEF && i + 1 < size) byte = input[++i];

        bool completed = false;
        bool good = false;
        const int expected = ModelFeed(byte, completed, good);
        const int got = vantrel::FeedReceivedByte(byte);
        if (got != expected) Fail("a byte outside or inside a frame");
        if (!completed) {
            if (waiting && !answered && Link().completion.load(std::memory_order_acquire) != vantrel::kNoAnswer)
                Fail("an answer reported before its frame ended");
            continue;
        }
        const uint8_t completion = Link().completion.load(std::memory_order_acquire);
        if (completion != (good ? vantrel::kGoodAnswer : vantrel::kBadAnswer)) Fail("the verdict on a frame");
        if (good) {
            for (unsigned k = 0; k < model.length; ++k)
                if (Link().exchange[k].load(std::memory_order_relaxed) != model.data[k])
                    Fail("the data of a good frame");
        }
        if (waiting) answered = true;
    }
    return 0;
}
