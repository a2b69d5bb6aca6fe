#include "telnet_codec.h"

namespace vantrel::telnet {

void Decoder::Feed(const std::uint8_t* in, std::size_t count, Bytes& data, std::vector<Command>& commands) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t b = in[i];
        switch (state_) {
            case State::Data:
                if (b == kIac) state_ = State::Iac;
                else data.push_back(b);
                break;
            case State::Iac:
                if (b == kIac) {
                    data.push_back(b);
                    state_ = State::Data;
                } else if (b >= kWill && b <= kDont) {
                    verb_ = b;
                    state_ = State::Verb;
                } else if (b == kSb) {
                    state_ = State::SubOption;
                } else {
                    state_ = State::Data;  // NOP, GA, SE out of place, ...: nothing for us
                }
                break;
            case State::Verb:
                commands.push_back(Command{false, verb_, b, {}});
                state_ = State::Data;
                break;
            case State::SubOption:
                sub_ = Command{true, 0, b, {}};
                state_ = State::Sub;
                break;
            case State::Sub:
                if (b == kIac) state_ = State::SubIac;
                else if (sub_.payload.size() < kMaxPayload) sub_.payload.push_back(b);
                break;
            case State::SubIac:
                if (b == kIac) {
                    if (sub_.payload.size() < kMaxPayload) sub_.payload.push_back(b);
                    state_ = State::Sub;
                } else if (b == kSe) {
                    commands.push_back(std::move(sub_));
                    sub_ = Command{};
                    state_ = State::Data;
                } else {
                    // An unterminated subnegotiation: drop it and read this
                    // byte as the command that follows IAC.
                    sub_ = Command{};
                    state_ = State::Iac;
                    --i;
                }
                break;
        }
    }
}

void AppendEscaped(Bytes& out, const std::uint8_t* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        out.push_back(bytes[i]);
        if (bytes[i] == kIac) out.push_back(kIac);
    }
}

Bytes ComPortRequest(std::uint8_t command, const Bytes& value) {
    Bytes out{kIac, kSb, kComPort, command};
    AppendEscaped(out, value.data(), value.size());
    out.push_back(kIac);
    out.push_back(kSe);
    return out;
}

bool Negotiator::Ours(std::uint8_t option) {
    return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}
bool Negotiator::Theirs(std::uint8_t option) { return option == kBinary || option == kSuppressGoAhead; }

Bytes Negotiator::Start() {
    Bytes out;
    out.reserve(15);
    auto offer = [&out](std::uint8_t verb, std::uint8_t option) {
        out.push_back(kIac);
        out.push_back(verb);
        out.push_back(option);
    };
    for (std::uint8_t option : {kBinary, kSuppressGoAhead, kComPort}) {
        us_[option].pending = true;
        offer(kWill, option);
    }
    for (std::uint8_t option : {kBinary, kSuppressGoAhead}) {
        him_[option].pending = true;
        offer(kDo, option);
    }
    return out;
}

Bytes Negotiator::Handle(std::uint8_t verb, std::uint8_t option) {
    // Answer only what changes an option's state, so that two sides never
    // confirm each other's confirmations for ever.
    const bool mine = verb == kDo || verb == kDont;
    Side& side = mine ? us_[option] : him_[option];
    const bool wanted = mine ? Ours(option) : Theirs(option);
    const bool enable = verb == kDo || verb == kWill;
    Bytes reply;
    if (enable) {
        if (!wanted) return {kIac, mine ? kWont : kDont, option};
        if (!side.enabled && !side.pending) reply = {kIac, mine ? kWill : kDo, option};
        side.enabled = true;
    } else {
        if (side.enabled && !side.pending) reply = {kIac, mine ? kWont : kDont, option};
        if ((side.enabled || side.pending) && option != kSuppressGoAhead) refused_ = true;
        side.enabled = false;
    }
    side.pending = false;
    return reply;
}

bool Negotiator::Ready() const { return us_[kComPort].enabled && us_[kBinary].enabled && him_[kBinary].enabled; }

}  // namespace vantrel::telnet
