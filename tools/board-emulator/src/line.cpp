// The line: the pseudo-terminal, the reader thread that takes requests off it,
// and the writer thread that paces answers at the board's baud rate. Both
// threads wait on the stop request, so Stop is prompt at any rate.
#include "board_internal.h"

#include <algorithm>
#include <cstdio>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace vantrel_board {

namespace {

// After this much quiet on the line a changed flash is saved to its file.
constexpr auto kSaveIdle = std::chrono::milliseconds(50);

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

}  // namespace

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
    if (!LoadOthers()) return false;

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
    {
        // What was still on its way belongs to this terminal only.
        std::lock_guard lock(mutex_);
        queue_.clear();
        writing_ = false;
        holdUntil_ = {};
    }
    changed_.notify_all();

    if (!options_.flashFile.empty()) {
        // Save what changed since the last idle save; a board started without
        // its file writes the factory content so that the file exists afterwards.
        bool missing = access(options_.flashFile.c_str(), F_OK) != 0;
        {
            std::lock_guard lock(mutex_);
            if (missing) flashDirty_ = true;
        }
        SaveIfDirty();
        SaveOthers(true);
    }
    for (int* fd : {&masterFd_, &slaveFd_, &wakePipe_[0], &wakePipe_[1]}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
}

bool Board::HangUp() {
    if (!running_ || slaveFd_ < 0) return false;
    if (ioctl(slaveFd_, TIOCVHANGUP) != 0) {
        lastError_ = Errno("hang-up");
        return false;
    }
    // Our own descriptor is hung up as well: take a fresh one under the same
    // number, so that the terminal stays alive for the host's next open.
    int fd = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        MakeRaw(fd);
        dup3(fd, slaveFd_, O_CLOEXEC);
        close(fd);
    }
    return true;
}

void Board::HoldReading(std::chrono::milliseconds duration) {
    {
        std::lock_guard lock(mutex_);
        holdUntil_ = Clock::now() + duration;
    }
    if (wakePipe_[1] >= 0) {
        char b = 1;
        [[maybe_unused]] ssize_t w = write(wakePipe_[1], &b, 1);
    }
}

void Board::ReaderLoop() {
    uint8_t buf[4096];
    for (;;) {
        Clock::time_point holdUntil;
        {
            std::lock_guard lock(mutex_);
            if (stopping_) return;
            holdUntil = holdUntil_;
        }
        // While reading is held, wait for the wake-up pipe alone.
        const auto now = Clock::now();
        const bool holding = now < holdUntil;
        int timeout = 20;
        if (holding)
            timeout = static_cast<int>(std::clamp<long long>(
                std::chrono::duration_cast<std::chrono::milliseconds>(holdUntil - now).count() + 1, 1, 20));
        pollfd fds[2] = {{wakePipe_[0], POLLIN, 0}, {masterFd_, POLLIN, 0}};
        int r = poll(fds, holding ? 1 : 2, timeout);
        if (r < 0) {
            if (errno == EINTR) continue;
            Log(Errno("poll"));
            return;
        }
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (read(wakePipe_[0], drain, sizeof drain) > 0) {
            }
            continue;
        }
        if (holding) continue;
        if (r == 0 || !(fds[1].revents & (POLLIN | POLLERR | POLLHUP))) {
            if (Clock::now() - lastActivity_ >= kSaveIdle) {
                SaveIfDirty();
                SaveOthers(false);
            }
            continue;
        }
        ssize_t n = read(masterFd_, buf, sizeof buf);
        if (n <= 0) {
            if (n < 0 && errno != EAGAIN && errno != EINTR) usleep(10000);
            continue;
        }
        auto arrived = Clock::now();
        lastActivity_ = arrived;
        RecordBytes(buf, static_cast<std::size_t>(n));
        auto byteTime = ByteTime();
        for (ssize_t i = 0; i < n; ++i) {
            // On a real line the byte has arrived only once its ten bits were sent.
            rxLineFree_ = std::max(rxLineFree_, arrived) + byteTime;
            ParseByte(buf[i], rxLineFree_);
        }
    }
}

bool Board::Enqueue(Pending pending) {
    {
        std::lock_guard lock(mutex_);
        // A host that sends requests faster than the line carries the answers
        // overruns the board's transmit buffer: the newest answer is lost.
        if (queue_.size() >= kMaxQueuedAnswers) {
            ++droppedAnswers_;
            return false;
        }
        queue_.push_back(std::move(pending));
    }
    changed_.notify_all();
    return true;
}

void Board::WriterLoop() {
    // The writer sleeps until each byte is due; the default timer slack
    // (50 us) would make every answer that much later than its wire time.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
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
        // free; byte i is on the wire only at start + (i + 1) byte times. A
        // writer that woke late catches up instead of moving the answer: the
        // board's timing is the line's, not this thread's scheduling.
        Clock::time_point start = std::max(item.notBefore, txLineFree);
        std::size_t sent = 0;
        const std::size_t total = item.bytes.size();
        while (sent < total) {
            std::size_t due = total;
            if (byteTime.count()) {
                std::unique_lock lock(mutex_);
                if (changed_.wait_until(lock, start + byteTime * (sent + 1), [this] { return stopping_; })) return;
                lock.unlock();
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
        if (options_.verbose) Log(std::string(item.isAnswer ? "tx " : "tx raw ") + HexBytes(item.bytes));
        {
            std::lock_guard lock(mutex_);
            sentBytes_ += sent;
            writing_ = false;
        }
        changed_.notify_all();
    }
}

bool Board::WaitUntilSent(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return queue_.empty() && !writing_; });
}

uint64_t Board::SentByteCount() const {
    std::lock_guard lock(mutex_);
    return sentBytes_;
}

uint64_t Board::DroppedAnswerCount() const {
    std::lock_guard lock(mutex_);
    return droppedAnswers_;
}

}  // namespace vantrel_board
