// termios backend: raw 8N1, receiver on, modem status lines ignored, no flow
// control, DTR and RTS cleared, reads that return at once.
#include "serial_device.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace vantrel {
namespace {

bool SpeedFor(std::uint32_t baud, speed_t& speed) {
    switch (baud) {
        case 9600:
            speed = B9600;
            return true;
        case 19200:
            speed = B19200;
            return true;
        case 38400:
            speed = B38400;
            return true;
        case 57600:
            speed = B57600;
            return true;
        default:
            return false;
    }
}

class PosixSerialDevice final : public SerialDevice {
public:
    // wakeRead and wakeWrite: the two ends of a pipe that Interrupt writes
    // to; Receive waits on it beside the port.
    PosixSerialDevice(int fd, int wakeRead, int wakeWrite) : fd_(fd), wakeRead_(wakeRead), wakeWrite_(wakeWrite) {}

    ~PosixSerialDevice() override {
        if (!released_.load(std::memory_order_acquire)) GiveUpExclusiveUse();
        close(fd_);
        close(wakeRead_);
        close(wakeWrite_);
    }

    long Receive(std::uint8_t* buffer, std::size_t max, int timeoutMs) override {
        pollfd p[2] = {{fd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        int result = poll(p, 2, timeoutMs);
        if (result < 0 && errno != EINTR)
            p[0].revents = POLLERR;  // poll itself fails: look at the port as a troubled line
        else if (result <= 0) return 0;
        if (p[1].revents != 0) return 0;  // interrupted: the pipe stays readable, so later waits end at once too
        // A hung-up line (adapter pulled, other end gone) reports itself at
        // once on every poll, often together with POLLIN. What it still holds
        // is read; once nothing is left, or a read fails, the line is dead.
        const bool trouble = (p[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
        ssize_t got;
        do {
            got = read(fd_, buffer, max);
        } while (got < 0 && errno == EINTR);
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) got = 0;
        else if (got < 0) return -1;
        if (got == 0 && trouble) return -1;
        return static_cast<long>(got);
    }

    void Interrupt() override {
        const char byte = 1;
        // Non-blocking; a full pipe is already readable, which is all that counts.
        [[maybe_unused]] ssize_t put = write(wakeWrite_, &byte, 1);
    }

    void Write(const std::uint8_t* bytes, std::size_t count) override {
        // The descriptor is non-blocking; finish the write like a synchronous
        // one, waiting for room in the driver when it is full, but giving up
        // after a second without progress. The wait is cut in short slices
        // and the write tried again after each: a line that hangs up
        // meanwhile fails the next try at once, also where the hang-up does
        // not wake the wait.
        int waitedMs = 0;
        while (count > 0) {
            ssize_t put = write(fd_, bytes, count);
            if (put > 0) {
                bytes += put;
                count -= static_cast<std::size_t>(put);
                waitedMs = 0;
            } else if (put < 0 && errno == EINTR) {
                continue;
            } else if (put < 0 && errno == EAGAIN && waitedMs < 1000) {
                pollfd p{fd_, POLLOUT, 0};
                poll(&p, 1, 50);
                waitedMs += 50;
                if ((p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) return;
            } else {
                return;
            }
        }
    }

    void Release() override {
        if (released_.exchange(true, std::memory_order_acq_rel)) return;
        GiveUpExclusiveUse();
        // The descriptor's number stays valid but now means /dev/null, so a
        // thread that still holds it can never reach a device opened later
        // under the same number. Closing the terminal's last descriptor here
        // releases the port for everyone else.
        int null = open("/dev/null", O_RDWR | O_CLOEXEC);
        if (null >= 0) {
            dup3(null, fd_, O_CLOEXEC);
            close(null);
        }
    }

private:
    void GiveUpExclusiveUse() {
        // A terminal stays exclusive while any other descriptor to it is open.
        ioctl(fd_, TIOCNXCL);
        flock(fd_, LOCK_UN);
    }

    int fd_;
    int wakeRead_;
    int wakeWrite_;
    std::atomic<bool> released_{false};
};

}  // namespace

std::unique_ptr<SerialDevice> OpenLocalSerialDevice(const std::string& path, std::uint32_t baud) {
    speed_t speed;
    if (!SpeedFor(baud, speed)) return nullptr;

    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    auto fail = [fd]() -> std::unique_ptr<SerialDevice> {
        ioctl(fd, TIOCNXCL);
        close(fd);
        return nullptr;
    };

    // Not shared: the advisory lock refuses a second opener (also one running
    // as root, whom TIOCEXCL does not stop); TIOCEXCL refuses other programs
    // that do not take the lock.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return nullptr;
    }
    if (ioctl(fd, TIOCEXCL) != 0) return fail();

    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return fail();
    cfmakeraw(&tio);  // binary, no parity check, no character replacement
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;  // 8N1, receiver on, modem status lines ignored
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
    tio.c_cc[VMIN] = 0;  // reads return at once with what is buffered
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0 || tcsetattr(fd, TCSANOW, &tio) != 0)
        return fail();

    // DTR and RTS held inactive. Pseudo-terminals and some adapters have no
    // modem lines; that is not an error.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd, TIOCMBIC, &lines);

    // Drop what arrived while nobody had the port open, as a closed serial
    // port does: a late answer from an earlier session must not decide the
    // first transaction of this one. (A pseudo-terminal keeps such bytes.)
    tcflush(fd, TCIFLUSH);

    int wake[2];
    if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) return fail();
    return std::make_unique<PosixSerialDevice>(fd, wake[0], wake[1]);
}

}  // namespace vantrel
