// The emulated board: pseudo-terminal, request parser, command execution and the
// paced answer line.
#include "vantrel_board/board.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace vantrel_board {

using Clock = std::chrono::steady_clock;

namespace {

// After this much quiet on the line a changed flash is saved to its file.
constexpr auto kSaveIdle = std::chrono::milliseconds(50);

std::string Errno(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

void SetCloexec(int fd) {
    int flags = fcntl(fd, F_GETFD);
    if (flags >= 0) fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
}

bool MakeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return false;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

uint16_t Get16(const std::vector<uint8_t>& d, std::size_t at) {
    uint16_t hi = at < d.size() ? d[at] : 0;
    uint16_t lo = at + 1 < d.size() ? d[at + 1] : 0;
    return static_cast<uint16_t>(hi << 8 | lo);
}

uint8_t Get8(const std::vector<uint8_t>& d, std::size_t at) {
    return at < d.size() ? d[at] : 0;
}

void Append16(std::vector<uint8_t>& d, uint16_t v) {
    d.push_back(static_cast<uint8_t>(v >> 8));
    d.push_back(static_cast<uint8_t>(v));
}

const char* CommandName(uint8_t command) {
    switch (command) {
    case kCmdReset: return "reset";
    case kCmdReadRegister: return "read register";
    case kCmdWriteRegister: return "write register";
    case kCmdReadI2c: return "read i2c";
    case kCmdWriteI2c: return "write i2c";
    case kCmdReadPort: return "read port";
    case kCmdWritePort: return "write port";
    case kCmdWriteFlash: return "write flash";
    case kCmdReadFlash: return "read flash";
    case kCmdReadAdjuster: return "read adjuster";
    case kCmdSetAdjuster: return "set adjuster";
    case kCmdGetAdjColor: return "get adjustment colour";
    case kCmdSetAdjColor: return "set adjustment colour";
    case kCmdReadSwitch: return "read switch";
    case kCmdSetSwitch: return "set switch";
    case kCmdCurrentPanel: return "current panel";
    case kCmdPanelInfo: return "panel info";
    case kCmdModeInfo: return "mode info";
    case kCmdVersion: return "version";
    case kCmdShowString: return "show string";
    case kCmdHideString: return "hide string";
    case kCmdCallAction: return "call action";
    case kCmdReadNvRam: return "read nvram";
    case kCmdWriteNvRam: return "write nvram";
    case kCmdDebugFlags: return "debug flags";
    default: return "unknown command";
    }
}

}  // namespace

uint8_t FrameChecksum(uint8_t address, uint8_t command, const std::vector<uint8_t>& data) {
    unsigned sum = address + command + static_cast<uint8_t>(data.size());
    for (uint8_t b : data) sum += b;
    return static_cast<uint8_t>(sum);
}

std::vector<uint8_t> EncodeFrame(uint8_t address, uint8_t command, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out;
    out.reserve(data.size() + 5);
    out.push_back(kFrameStart);
    out.push_back(address);
    out.push_back(command);
    out.push_back(static_cast<uint8_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    out.push_back(FrameChecksum(address, command, data));
    return out;
}

std::string HexBytes(const std::vector<uint8_t>& bytes) {
    std::string s;
    char buf[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02X", bytes[i]);
        if (i) s += ' ';
        s += buf;
    }
    return s;
}

Board::Board(Options options)
    : options_(std::move(options)),
      faults_(options_.faults),
      flash_(FactoryFlash()),
      nvram_(kNvRamSize, 0xFF),
      registers_(0x10000, 0) {
    // Identification registers: chip id and revision.
    registers_[0x0000] = 0x5632;
    registers_[0x0001] = 0x0201;
    // Adjusters: current value, minimum, maximum.
    for (auto& a : adjusters_) a = {0, 0, 255};
    adjusters_[0] = {50, 0, 100};     // brightness
    adjusters_[1] = {50, 0, 100};     // contrast
    adjusters_[2] = {16, 0, 31};      // phase
    adjusters_[3] = {1344, 800, 4095};// clock (total pixels)
    adjusters_[4] = {296, 0, 800};    // horizontal position
    adjusters_[5] = {35, 0, 200};     // vertical position
    adjusters_[6] = {128, 0, 255};    // red gain
    adjusters_[7] = {128, 0, 255};    // green gain
    adjusters_[8] = {128, 0, 255};    // blue gain
    currentMode_ = 11;                // 1024x768 60 Hz of the factory mode table
}

Board::~Board() { Stop(); }

std::chrono::nanoseconds Board::ByteTime() const {
    if (options_.baud == 0) return std::chrono::nanoseconds(0);
    // 8N1: start bit, eight data bits, stop bit.
    return std::chrono::nanoseconds(10'000'000'000LL / options_.baud);
}

void Board::Log(const std::string& line) const {
    std::lock_guard lock(logMutex_);
    if (options_.log) {
        options_.log(line);
    } else {
        std::fprintf(stderr, "vantrel-board: %s\n", line.c_str());
        std::fflush(stderr);
    }
}

bool Board::Start() {
    if (running_) return true;
    lastError_.clear();

    if (!options_.flashFile.empty() && access(options_.flashFile.c_str(), F_OK) == 0) {
        std::string error;
        if (!LoadFlash(options_.flashFile, &error)) {
            lastError_ = error;
            return false;
        }
    }

    auto fail = [this](std::string message) {
        lastError_ = std::move(message);
        for (int* fd : {&masterFd_, &slaveFd_, &wakePipe_[0], &wakePipe_[1]}) {
            if (*fd >= 0) close(*fd);
            *fd = -1;
        }
        slavePath_.clear();
        return false;
    };

    masterFd_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (masterFd_ < 0) return fail(Errno("posix_openpt"));
    SetCloexec(masterFd_);
    if (grantpt(masterFd_) != 0) return fail(Errno("grantpt"));
    if (unlockpt(masterFd_) != 0) return fail(Errno("unlockpt"));
    char name[128];
    if (ptsname_r(masterFd_, name, sizeof name) != 0) return fail(Errno("ptsname_r"));
    slavePath_ = name;
    if (!MakeRaw(masterFd_)) return fail(Errno("raw mode of the master"));
    int fl = fcntl(masterFd_, F_GETFL);
    if (fl < 0 || fcntl(masterFd_, F_SETFL, fl | O_NONBLOCK) != 0) return fail(Errno("fcntl"));

    // Our own slave descriptor keeps the terminal alive between the host's opens,
    // so the master never reads EIO when the host closes.
    slaveFd_ = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slaveFd_ < 0) return fail(Errno("open slave"));
    if (!MakeRaw(slaveFd_)) return fail(Errno("raw mode of the slave"));

    if (pipe(wakePipe_) != 0) return fail(Errno("pipe"));
    SetCloexec(wakePipe_[0]);
    SetCloexec(wakePipe_[1]);
    fcntl(wakePipe_[0], F_SETFL, O_NONBLOCK);
    fcntl(wakePipe_[1], F_SETFL, O_NONBLOCK);

    {
        std::lock_guard lock(mutex_);
        stopping_ = false;
    }
    parseState_ = ParseState::Idle;
    rxLineFree_ = Clock::now();
    lastActivity_ = rxLineFree_;
    running_ = true;
    reader_ = std::thread(&Board::ReaderLoop, this);
    writer_ = std::thread(&Board::WriterLoop, this);
    if (options_.verbose)
        Log("board at address " + std::to_string(options_.address) + " on " + slavePath_ +
            (options_.baud ? ", " + std::to_string(options_.baud) + " baud" : ", no pacing"));
    return true;
}

void Board::Stop() {
    if (!running_) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    char b = 1;
    [[maybe_unused]] ssize_t w = write(wakePipe_[1], &b, 1);
    reader_.join();
    writer_.join();
    running_ = false;

    if (!options_.flashFile.empty()) {
        // Save what changed since the last idle save; a board started without
        // its file writes the factory content so that the file exists afterwards.
        bool missing = access(options_.flashFile.c_str(), F_OK) != 0;
        {
            std::lock_guard lock(mutex_);
            if (missing) flashDirty_ = true;
        }
        SaveIfDirty();
    }
    for (int* fd : {&masterFd_, &slaveFd_, &wakePipe_[0], &wakePipe_[1]}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
}

void Board::SaveIfDirty() {
    if (options_.flashFile.empty()) return;
    {
        std::lock_guard lock(mutex_);
        if (!flashDirty_) return;
        flashDirty_ = false;
    }
    std::string error;
    if (!SaveFlash(options_.flashFile, &error)) {
        Log(error);
        std::lock_guard lock(mutex_);
        flashDirty_ = true;
    }
}

void Board::ReaderLoop() {
    uint8_t buf[4096];
    for (;;) {
        pollfd fds[2] = {{masterFd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
        int r = poll(fds, 2, 20);
        {
            std::lock_guard lock(mutex_);
            if (stopping_) return;
        }
        if (r < 0) {
            if (errno == EINTR) continue;
            Log(Errno("poll"));
            return;
        }
        if (r == 0 || !(fds[0].revents & (POLLIN | POLLERR | POLLHUP))) {
            if (Clock::now() - lastActivity_ >= kSaveIdle) SaveIfDirty();
            continue;
        }
        ssize_t n = read(masterFd_, buf, sizeof buf);
        if (n <= 0) {
            if (n < 0 && errno != EAGAIN && errno != EINTR) usleep(10000);
            continue;
        }
        auto now = Clock::now();
        lastActivity_ = now;
        auto byteTime = ByteTime();
        for (ssize_t i = 0; i < n; ++i) {
            // On a real line the byte has arrived only once its ten bits were sent.
            rxLineFree_ = std::max(rxLineFree_, now) + byteTime;
            ParseByte(buf[i], rxLineFree_);
        }
    }
}

void Board::ParseByte(uint8_t byte, Clock::time_point lineTime) {
    {
        std::lock_guard lock(mutex_);
        received_.push_back(byte);
    }
    switch (parseState_) {
    case ParseState::Idle:
        // Bytes outside a frame are line noise to the board.
        if (byte == kFrameStart) {
            current_ = Frame{};
            parseState_ = ParseState::Address;
        }
        break;
    case ParseState::Address:
        current_.address = byte;
        parseState_ = ParseState::Command;
        break;
    case ParseState::Command:
        current_.command = byte;
        parseState_ = ParseState::Length;
        break;
    case ParseState::Length:
        expected_ = byte;
        current_.data.reserve(byte);
        parseState_ = byte ? ParseState::Data : ParseState::Checksum;
        break;
    case ParseState::Data:
        current_.data.push_back(byte);
        if (current_.data.size() == expected_) parseState_ = ParseState::Checksum;
        break;
    case ParseState::Checksum:
        current_.checksum = byte;
        current_.checksumOk = byte == FrameChecksum(current_.address, current_.command, current_.data);
        parseState_ = ParseState::Idle;
        HandleFrame(current_, lineTime);
        break;
    }
}

void Board::HandleFrame(const Frame& frame, Clock::time_point lineTime) {
    {
        std::lock_guard lock(mutex_);
        frames_.push_back(frame);
        ++framesTotal_;
    }
    changed_.notify_all();

    const bool forUs = frame.address == options_.address;
    const bool broadcast = frame.address == kBroadcastAddress;
    if (options_.verbose) {
        std::string line = "rx " + HexBytes(EncodeFrame(frame.address, frame.command, frame.data));
        if (!frame.checksumOk) {
            char buf[64];
            std::snprintf(buf, sizeof buf, " (checksum %02X wrong, ignored)", frame.checksum);
            line += buf;
        } else {
            line += std::string("  ") + CommandName(frame.command);
            if (!forUs && !broadcast) line += ", other device";
            else if (broadcast) line += ", broadcast";
        }
        Log(line);
    }
    if (!frame.checksumOk || (!forUs && !broadcast)) return;

    bool isWriteEcho = false;
    uint64_t number;
    Faults faults;
    AnswerHook hook;
    std::optional<std::vector<uint8_t>> answerData;
    {
        std::lock_guard lock(mutex_);
        number = ++executed_;
        faults = faults_;
        hook = hook_;
        answerData = Execute(frame, isWriteEcho);
    }
    const bool answers = forUs || options_.answerBroadcast;
    if (!answers || frame.command == kCmdReset) return;

    std::optional<std::vector<uint8_t>> raw;
    if (hook) raw = hook(frame);
    if (!raw) {
        std::lock_guard lock(mutex_);
        if (!rawAnswers_.empty()) {
            raw = std::move(rawAnswers_.front());
            rawAnswers_.pop_front();
        }
    }

    Clock::time_point notBefore = lineTime;
    if (faults.delayMs && (faults.delayFrame == 0 || faults.delayFrame == number))
        notBefore += std::chrono::milliseconds(faults.delayMs);
    if (!faults.noise.empty() && (faults.noiseFrame == 0 || faults.noiseFrame == number))
        Enqueue({notBefore, faults.noise, false});

    if (raw) {
        if (!raw->empty()) Enqueue({notBefore, std::move(*raw), true});
        return;
    }
    if (!answerData) return;   // a command the firmware does not answer
    if (faults.dropAnswerFrame == number) {
        if (options_.verbose) Log("fault: answer to frame " + std::to_string(number) + " dropped");
        return;
    }
    std::vector<uint8_t> data = std::move(*answerData);
    if (faults.oversizeFrame == number) {
        std::size_t from = data.size();
        data.resize(faults.oversizeLength);
        for (std::size_t i = from; i < data.size(); ++i) data[i] = static_cast<uint8_t>(0xA0 + i);
    }
    if (faults.alterEchoFrame == number && isWriteEcho && data.size() > 3) data[3] ^= 0xFF;
    std::vector<uint8_t> bytes = EncodeFrame(options_.address, frame.command, data);
    if (faults.badChecksumFrame == number) bytes.back() = static_cast<uint8_t>(bytes.back() + 1);
    Enqueue({notBefore, std::move(bytes), true});
}

// Carries out one request; returns the answer's data bytes, or nullopt for a
// command that gets no answer. Called with mutex_ held.
std::optional<std::vector<uint8_t>> Board::Execute(const Frame& f, bool& isWriteEcho) {
    const auto& d = f.data;
    std::vector<uint8_t> a;
    switch (f.command) {
    case kCmdReset:
        ++resets_;
        osd_ = OsdText{};
        debugFlags_ = 0;
        return std::nullopt;
    case kCmdReadRegister: {
        uint16_t reg = Get16(d, 0);
        Append16(a, reg);
        Append16(a, registers_[reg]);
        return a;
    }
    case kCmdWriteRegister: {
        uint16_t reg = Get16(d, 0);
        registers_[reg] = Get16(d, 2);
        Append16(a, reg);
        Append16(a, registers_[reg]);
        return a;
    }
    case kCmdReadI2c:
    case kCmdWriteI2c: {
        uint8_t s1 = Get8(d, 0), s2 = Get8(d, 1), sub = Get8(d, 2), n = Get8(d, 3);
        auto& device = i2c_[static_cast<uint16_t>(s1 << 8 | s2)];
        a = {s1, s2, sub, n};
        for (unsigned i = 0; i < n && a.size() < 255; ++i) {
            uint8_t at = static_cast<uint8_t>(sub + i);
            if (f.command == kCmdWriteI2c) {
                if (4 + i >= d.size()) break;
                device[at] = d[4 + i];
            }
            a.push_back(device[at]);
        }
        return a;
    }
    case kCmdReadPort:
    case kCmdWritePort: {
        uint8_t port = Get8(d, 1);
        if (f.command == kCmdWritePort) ports_[port] = Get8(d, 3);
        a = {0, port};
        Append16(a, ports_[port]);
        return a;
    }
    case kCmdReadFlash:
    case kCmdReadNvRam:
    case kCmdWriteFlash:
    case kCmdWriteNvRam: {
        const bool write = f.command == kCmdWriteFlash || f.command == kCmdWriteNvRam;
        const bool flash = f.command == kCmdWriteFlash || f.command == kCmdReadFlash;
        auto& mem = flash ? flash_ : nvram_;
        uint16_t addr = Get16(d, 0);
        uint8_t n = Get8(d, 2);
        Append16(a, addr);
        a.push_back(n);
        for (unsigned i = 0; i < n && a.size() < 255; ++i) {
            std::size_t at = (addr + i) % mem.size();
            if (write) {
                if (3 + i >= d.size()) break;
                mem[at] = d[3 + i];
            }
            a.push_back(mem[at]);
        }
        if (write && flash) flashDirty_ = true;
        isWriteEcho = write;
        return a;
    }
    case kCmdReadAdjuster: {
        uint8_t index = Get8(d, 0);
        const Adjuster& adj = adjusters_[index];
        a = {index};
        Append16(a, adj.value);
        Append16(a, adj.minimum);
        Append16(a, adj.maximum);
        return a;
    }
    case kCmdSetAdjuster: {
        Adjuster& adj = adjusters_[Get8(d, 0)];
        adj.value = std::clamp(Get16(d, 1), adj.minimum, std::max(adj.minimum, adj.maximum));
        return d;
    }
    case kCmdGetAdjColor:
        return std::vector<uint8_t>{adjColor_};
    case kCmdSetAdjColor:
        adjColor_ = Get8(d, 0) & 3;
        return d;
    case kCmdReadSwitch: {
        uint8_t index = Get8(d, 0);
        return std::vector<uint8_t>{index, switches_[index]};
    }
    case kCmdSetSwitch:
        switches_[Get8(d, 0)] = Get8(d, 1) ? 1 : 0;
        return d;
    case kCmdCurrentPanel:
        return std::vector<uint8_t>{currentPanel_};
    case kCmdPanelInfo: {
        // Slot, name, manufacturer, width, height, maximum display clock in
        // 10 kHz, colour depth and the high panel flags, from the slot's image.
        uint8_t slot = Get8(d, 0) & 3;
        const uint8_t* p = flash_.data() + kPanelImageBase + kPanelImageSize * slot;
        uint32_t clock = uint32_t(p[0x1C]) << 24 | uint32_t(p[0x1D]) << 16 | uint32_t(p[0x1E]) << 8 | p[0x1F];
        a = {Get8(d, 0)};
        a.insert(a.end(), p + 0x04, p + 0x14);
        a.push_back(p[0x02]);
        a.insert(a.end(), p + 0x16, p + 0x1A);
        Append16(a, static_cast<uint16_t>(std::min<uint32_t>(clock / 10, 0xFFFF)));
        a.push_back(p[0x15]);
        a.push_back(p[0x3A]);
        return a;
    }
    case kCmdModeInfo: {
        // Frequencies in tenths, active size, mode index (0xFF: no mode) and flags.
        const uint8_t* e = flash_.data() + kModeTableAddress + 20 * (currentMode_ % 38);
        bool used = currentMode_ < 38 && (e[11] | e[12]) && (e[13] | e[14]);
        if (!used) return std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0};
        a = {e[0], e[1], e[3], e[4], e[11], e[12], e[13], e[14], currentMode_, e[19]};
        return a;
    }
    case kCmdVersion:
        return std::vector<uint8_t>{version_[0], version_[1]};
    case kCmdShowString: {
        uint8_t len = Get8(d, 3);
        osd_.visible = true;
        osd_.value3 = Get8(d, 0);
        osd_.value1 = Get8(d, 1);
        osd_.value2 = Get8(d, 2);
        osd_.text.clear();
        for (std::size_t i = 5; i < d.size() && i < 5u + len; ++i) osd_.text.push_back(static_cast<char>(d[i]));
        return d;
    }
    case kCmdHideString:
        osd_.visible = false;
        return d;
    case kCmdCallAction:
        actions_.push_back(Get8(d, 0));
        return d;
    case kCmdDebugFlags:
        debugFlags_ = Get8(d, 0);
        return d;
    default:
        return std::nullopt;
    }
}

void Board::Enqueue(Pending pending) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(pending));
    }
    changed_.notify_all();
}

void Board::WriterLoop() {
    Clock::time_point txLineFree = Clock::now();
    const auto byteTime = ByteTime();
    for (;;) {
        Pending item;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            item = std::move(queue_.front());
            queue_.pop_front();
            writing_ = true;
        }
        // Wait for a delayed answer first, waking for Stop.
        {
            std::unique_lock lock(mutex_);
            if (changed_.wait_until(lock, item.notBefore, [this] { return stopping_; })) return;
        }
        // The answer starts when the request has fully arrived and the line is
        // free; byte i is on the wire only at start + (i + 1) byte times.
        Clock::time_point start = std::max({item.notBefore, txLineFree, Clock::now()});
        std::size_t sent = 0;
        const std::size_t total = item.bytes.size();
        while (sent < total) {
            std::size_t due = total;
            if (byteTime.count()) {
                std::this_thread::sleep_until(start + byteTime * (sent + 1));
                auto elapsed = Clock::now() - start;
                due = std::min<std::size_t>(total, static_cast<std::size_t>(elapsed / byteTime));
                if (due <= sent) continue;
            }
            ssize_t w = write(masterFd_, item.bytes.data() + sent, due - sent);
            if (w > 0) {
                sent += static_cast<std::size_t>(w);
                continue;
            }
            if (w < 0 && errno != EAGAIN && errno != EINTR) break;
            // The terminal's input queue is full (nobody reads the slave): wait a little.
            pollfd pfd{masterFd_, POLLOUT, 0};
            poll(&pfd, 1, 20);
            std::lock_guard lock(mutex_);
            if (stopping_) return;
        }
        txLineFree = start + byteTime * total;
        if (options_.verbose)
            Log(std::string(item.isAnswer ? "tx " : "tx raw ") + HexBytes(item.bytes));
        {
            std::lock_guard lock(mutex_);
            sentBytes_ += sent;
            writing_ = false;
        }
        changed_.notify_all();
    }
}

std::vector<uint8_t> Board::ReceivedBytes() const {
    std::lock_guard lock(mutex_);
    return received_;
}

std::vector<Frame> Board::ReceivedFrames() const {
    std::lock_guard lock(mutex_);
    return frames_;
}

uint64_t Board::ExecutedFrameCount() const {
    std::lock_guard lock(mutex_);
    return executed_;
}

void Board::ClearRecord() {
    std::lock_guard lock(mutex_);
    received_.clear();
    frames_.clear();
}

bool Board::WaitForFrames(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return frames_.size() >= n; });
}

bool Board::WaitUntilSent(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return queue_.empty() && !writing_; });
}

uint64_t Board::SentByteCount() const {
    std::lock_guard lock(mutex_);
    return sentBytes_;
}

void Board::SetFaults(const Faults& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
}

Faults Board::GetFaults() const {
    std::lock_guard lock(mutex_);
    return faults_;
}

void Board::SetAnswerHook(AnswerHook hook) {
    std::lock_guard lock(mutex_);
    hook_ = std::move(hook);
}

void Board::QueueRawAnswer(std::vector<uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    rawAnswers_.push_back(std::move(bytes));
}

void Board::SendRaw(std::vector<uint8_t> bytes) {
    Enqueue({Clock::now(), std::move(bytes), false});
}

std::vector<uint8_t> Board::Flash(uint32_t address, std::size_t count) const {
    std::lock_guard lock(mutex_);
    std::vector<uint8_t> out(count);
    for (std::size_t i = 0; i < count; ++i) out[i] = flash_[(address + i) % kFlashSize];
    return out;
}

void Board::SetFlash(uint32_t address, const std::vector<uint8_t>& bytes) {
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < bytes.size(); ++i) flash_[(address + i) % kFlashSize] = bytes[i];
    flashDirty_ = true;
}

std::vector<uint8_t> Board::NvRam(uint32_t address, std::size_t count) const {
    std::lock_guard lock(mutex_);
    std::vector<uint8_t> out(count);
    for (std::size_t i = 0; i < count; ++i) out[i] = nvram_[(address + i) % kNvRamSize];
    return out;
}

void Board::SetNvRam(uint32_t address, const std::vector<uint8_t>& bytes) {
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < bytes.size(); ++i) nvram_[(address + i) % kNvRamSize] = bytes[i];
}

uint16_t Board::Register(uint16_t reg) const {
    std::lock_guard lock(mutex_);
    return registers_[reg];
}

void Board::SetRegister(uint16_t reg, uint16_t value) {
    std::lock_guard lock(mutex_);
    registers_[reg] = value;
}

uint8_t Board::Port(uint8_t port) const {
    std::lock_guard lock(mutex_);
    return ports_[port];
}

void Board::SetPort(uint8_t port, uint8_t value) {
    std::lock_guard lock(mutex_);
    ports_[port] = value;
}

uint8_t Board::I2cByte(uint8_t select1, uint8_t select2, uint8_t subaddress) const {
    std::lock_guard lock(mutex_);
    auto it = i2c_.find(static_cast<uint16_t>(select1 << 8 | select2));
    return it == i2c_.end() ? 0 : it->second[subaddress];
}

void Board::SetI2cByte(uint8_t select1, uint8_t select2, uint8_t subaddress, uint8_t value) {
    std::lock_guard lock(mutex_);
    i2c_[static_cast<uint16_t>(select1 << 8 | select2)][subaddress] = value;
}

Adjuster Board::GetAdjuster(uint8_t index) const {
    std::lock_guard lock(mutex_);
    return adjusters_[index];
}

void Board::SetAdjusterState(uint8_t index, Adjuster adjuster) {
    std::lock_guard lock(mutex_);
    adjusters_[index] = adjuster;
}

uint8_t Board::Switch(uint8_t index) const {
    std::lock_guard lock(mutex_);
    return switches_[index];
}

uint8_t Board::AdjColor() const {
    std::lock_guard lock(mutex_);
    return adjColor_;
}

uint8_t Board::CurrentPanel() const {
    std::lock_guard lock(mutex_);
    return currentPanel_;
}

void Board::SetCurrentPanel(uint8_t slot) {
    std::lock_guard lock(mutex_);
    currentPanel_ = slot;
}

uint8_t Board::CurrentMode() const {
    std::lock_guard lock(mutex_);
    return currentMode_;
}

void Board::SetCurrentMode(uint8_t modeIndex) {
    std::lock_guard lock(mutex_);
    currentMode_ = modeIndex;
}

std::array<uint8_t, 2> Board::Version() const {
    std::lock_guard lock(mutex_);
    return version_;
}

void Board::SetVersion(uint8_t first, uint8_t second) {
    std::lock_guard lock(mutex_);
    version_ = {first, second};
}

OsdText Board::Osd() const {
    std::lock_guard lock(mutex_);
    return osd_;
}

std::vector<uint8_t> Board::Actions() const {
    std::lock_guard lock(mutex_);
    return actions_;
}

uint8_t Board::DebugFlags() const {
    std::lock_guard lock(mutex_);
    return debugFlags_;
}

uint64_t Board::ResetCount() const {
    std::lock_guard lock(mutex_);
    return resets_;
}

bool Board::SaveFlash(const std::string& path, std::string* error) const {
    std::vector<uint8_t> copy;
    {
        std::lock_guard lock(mutex_);
        copy = flash_;
    }
    std::string tmp = path + ".XXXXXX";
    std::vector<char> name(tmp.begin(), tmp.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    auto failed = [&](const char* what) {
        if (error) *error = "cannot save flash file " + path + ": " + what + ": " + std::strerror(errno);
        return false;
    };
    if (fd < 0) return failed("create");
    std::size_t done = 0;
    while (done < copy.size()) {
        ssize_t w = write(fd, copy.data() + done, copy.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            int saved = errno;
            close(fd);
            unlink(name.data());
            errno = saved;
            return failed("write");
        }
        done += static_cast<std::size_t>(w);
    }
    fchmod(fd, 0644);
    if (fsync(fd) != 0 || close(fd) != 0) {
        int saved = errno;
        unlink(name.data());
        errno = saved;
        return failed("flush");
    }
    if (rename(name.data(), path.c_str()) != 0) {
        int saved = errno;
        unlink(name.data());
        errno = saved;
        return failed("rename");
    }
    return true;
}

bool Board::LoadFlash(const std::string& path, std::string* error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        if (error) *error = "cannot open flash file " + path + ": " + std::strerror(errno);
        return false;
    }
    std::vector<uint8_t> data(kFlashSize + 1);
    std::size_t got = std::fread(data.data(), 1, data.size(), file);
    bool readError = std::ferror(file);
    std::fclose(file);
    if (readError) {
        if (error) *error = "cannot read flash file " + path;
        return false;
    }
    if (got != kFlashSize) {
        if (error)
            *error = "flash file " + path + " holds " + (got > kFlashSize ? "more than 65536" : std::to_string(got)) +
                     " bytes; a flash image is exactly 65536 bytes";
        return false;
    }
    data.resize(kFlashSize);
    std::lock_guard lock(mutex_);
    flash_.swap(data);
    return true;
}

}  // namespace vantrel_board
