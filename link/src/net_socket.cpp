#include "net_socket.h"

#include <chrono>

#if defined(_WIN32)
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace vantrel::net {
namespace {

#if defined(_WIN32)
using PollFd = WSAPOLLFD;
int PollSockets(PollFd* fds, unsigned long n, int timeoutMs) { return WSAPoll(fds, n, timeoutMs); }
int LastError() { return WSAGetLastError(); }
bool WouldBlock(int e) { return e == WSAEWOULDBLOCK || e == WSAEINPROGRESS; }
bool Interrupted(int) { return false; }
void CloseRaw(Socket s) { closesocket(static_cast<SOCKET>(s)); }
bool MakeNonBlocking(Socket s) {
    u_long on = 1;
    return ioctlsocket(static_cast<SOCKET>(s), FIONBIO, &on) == 0;
}
std::string Describe(int e) {
    switch (e) {
        case WSAECONNREFUSED:
            return "connection refused";
        case WSAETIMEDOUT:
            return "timed out";
        case WSAEHOSTUNREACH:
        case WSAENETUNREACH:
            return "host unreachable";
        case WSAECONNRESET:
            return "connection reset";
        default:
            return "socket error " + std::to_string(e);
    }
}
#else
using PollFd = pollfd;
int PollSockets(PollFd* fds, unsigned long n, int timeoutMs) { return poll(fds, n, timeoutMs); }
int LastError() { return errno; }
bool WouldBlock(int e) { return e == EAGAIN || e == EWOULDBLOCK || e == EINPROGRESS; }
bool Interrupted(int e) { return e == EINTR; }
void CloseRaw(Socket s) { close(s); }
bool MakeNonBlocking(Socket s) { return fcntl(s, F_SETFL, fcntl(s, F_GETFL) | O_NONBLOCK) == 0; }
std::string Describe(int e) { return e == ETIMEDOUT ? "timed out" : std::strerror(e); }
#endif

int Remaining(std::chrono::steady_clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// One address: non-blocking connect, then wait for its outcome.
Socket ConnectOne(const addrinfo* a, std::chrono::steady_clock::time_point deadline, std::string& problem) {
    Socket s = static_cast<Socket>(socket(a->ai_family, a->ai_socktype, a->ai_protocol));
    if (s == kNoSocket) {
        problem = Describe(LastError());
        return kNoSocket;
    }
    if (!MakeNonBlocking(s)) {
        problem = Describe(LastError());
        CloseRaw(s);
        return kNoSocket;
    }
    if (connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
        const int e = LastError();
        if (!WouldBlock(e)) {
            problem = Describe(e);
            CloseRaw(s);
            return kNoSocket;
        }
        PollFd p{};
        p.fd = s;
        p.events = POLLOUT;
        int r;
        do {
            r = PollSockets(&p, 1, Remaining(deadline));
        } while (r < 0 && Interrupted(LastError()));
        int error = 0;
        socklen_t length = sizeof error;
        if (r == 0) {
            problem = "timed out";
        } else if (r < 0) {
            problem = Describe(LastError());
        } else if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 || error != 0) {
            problem = Describe(error != 0 ? error : LastError());
        }
        if (!problem.empty()) {
            CloseRaw(s);
            return kNoSocket;
        }
    }
    // One small request at a time: waiting to gather more would add the
    // acknowledgement delay to every transaction.
    int on = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    return s;
}

}  // namespace

#if defined(_WIN32)
bool Startup() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}
void Cleanup() { WSACleanup(); }
#else
bool Startup() { return true; }
void Cleanup() {}
#endif

Socket Connect(const std::string& host, const std::string& port, int timeoutMs, std::string& problem) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    const int resolved = getaddrinfo(host.c_str(), port.c_str(), &hints, &list);
    if (resolved != 0) {
        problem = "unknown host";
        return kNoSocket;
    }
    Socket s = kNoSocket;
    problem = "no address";
    for (const addrinfo* a = list; a != nullptr && s == kNoSocket; a = a->ai_next) {
        problem.clear();
        s = ConnectOne(a, deadline, problem);
        if (Remaining(deadline) == 0) break;
    }
    freeaddrinfo(list);
    return s;
}

Waker::Waker() {
#if defined(_WIN32)
    // A datagram socket that sends to itself: WSAPoll waits on sockets only.
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) return;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof a;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) != 0 ||
        connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || !MakeNonBlocking(s)) {
        closesocket(s);
        return;
    }
    read_ = write_ = s;
#else
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    read_ = fds[0];
    write_ = fds[1];
#endif
}

Waker::~Waker() {
    if (read_ != kNoSocket) CloseRaw(read_);
    if (write_ != kNoSocket && write_ != read_) CloseRaw(write_);
}

bool Waker::Valid() const { return read_ != kNoSocket; }

void Waker::Wake() {
    const char byte = 1;
#if defined(_WIN32)
    send(static_cast<SOCKET>(write_), &byte, 1, 0);
#else
    [[maybe_unused]] ssize_t put = write(write_, &byte, 1);  // a full pipe is readable all the same
#endif
}

bool Waker::Woken() const {
    PollFd p{};
    p.fd = read_;
    p.events = POLLIN;
    return PollSockets(&p, 1, 0) > 0;
}

Ready WaitReadable(Socket s, const Waker* waker, int timeoutMs) {
    PollFd p[2]{};
    p[0].fd = s;
    p[0].events = POLLIN;
    unsigned long n = 1;
    if (waker != nullptr) {
        p[1].fd = waker->read_;
        p[1].events = POLLIN;
        n = 2;
    }
    const int r = PollSockets(p, n, timeoutMs);
    if (r < 0) return Interrupted(LastError()) ? Ready::Timeout : Ready::Failed;
    if (r == 0) return Ready::Timeout;
    if (n == 2 && p[1].revents != 0) return Ready::Woken;
    return Ready::Readable;  // also an error or hang-up: the read tells
}

long Receive(Socket s, std::uint8_t* buffer, std::size_t max) {
    for (;;) {
        const auto got = recv(s, reinterpret_cast<char*>(buffer), static_cast<int>(max), 0);
        if (got > 0) return static_cast<long>(got);
        if (got == 0) return -1;  // the server closed the connection
        const int e = LastError();
        if (Interrupted(e)) continue;
        return WouldBlock(e) ? 0 : -1;
    }
}

bool SendAll(Socket s, const std::uint8_t* bytes, std::size_t count, int stallMs) {
#if defined(MSG_NOSIGNAL)
    const int flags = MSG_NOSIGNAL;  // a closed connection is an error, not a signal
#else
    const int flags = 0;
#endif
    while (count > 0) {
        const auto put = send(s, reinterpret_cast<const char*>(bytes), static_cast<int>(count), flags);
        if (put > 0) {
            bytes += put;
            count -= static_cast<std::size_t>(put);
            continue;
        }
        const int e = LastError();
        if (put < 0 && Interrupted(e)) continue;
        if (put == 0 || !WouldBlock(e)) return false;
        PollFd p{};
        p.fd = s;
        p.events = POLLOUT;
        if (PollSockets(&p, 1, stallMs) <= 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) return false;
    }
    return true;
}

#if defined(_WIN32)
void Shutdown(Socket s) { shutdown(static_cast<SOCKET>(s), SD_BOTH); }
#else
void Shutdown(Socket s) { shutdown(s, SHUT_RDWR); }
#endif
void Close(Socket s) { CloseRaw(s); }

}  // namespace vantrel::net
