#include "net_socket.h"

#include <chrono>
#include <ctime>

#if defined(_WIN32)
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0602  // GetAddrInfoExCancel
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
template <typename AddressInfo>
Socket ConnectOne(const AddressInfo* a, std::chrono::steady_clock::time_point deadline, std::string& problem) {
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

// The addresses of a host, given back to the system with the object.
#if defined(_WIN32)
using AddressInfo = ADDRINFOEXW;
void FreeAddresses(AddressInfo* list) { FreeAddrInfoExW(list); }
#else
using AddressInfo = addrinfo;
void FreeAddresses(AddressInfo* list) { freeaddrinfo(list); }
#endif
class Addresses {
public:
    Addresses() = default;
    explicit Addresses(AddressInfo* list) : list_(list) {}
    ~Addresses() {
        if (list_ != nullptr) FreeAddresses(list_);
    }
    Addresses(Addresses&& other) noexcept : list_(other.list_) { other.list_ = nullptr; }
    Addresses(const Addresses&) = delete;
    Addresses& operator=(const Addresses&) = delete;
    const AddressInfo* first() const { return list_; }

private:
    AddressInfo* list_ = nullptr;
};

constexpr const char* kLookupTimedOut = "timed out looking up the host name (is the name server reachable?)";

// A name server that does not answer can hold a lookup for many seconds,
// longer than the whole connect may take. Names are therefore looked up by
// the system's own threads and given up at the deadline: what cannot be
// cancelled then is left to finish by itself, with the request block it
// writes into (a few hundred bytes, once per such lookup). Neither this
// module's code nor its stack is involved any more, so the library may be
// unloaded meanwhile. Numeric addresses need no lookup.
#if defined(_WIN32)
}  // namespace
}  // namespace vantrel::net
// Not declared by every MinGW's headers; in ws2_32 since Windows 8.
extern "C" WINSOCK_API_LINKAGE INT WSAAPI GetAddrInfoExCancel(LPHANDLE lpHandle);
extern "C" WINSOCK_API_LINKAGE INT WSAAPI GetAddrInfoExOverlappedResult(LPOVERLAPPED lpOverlapped);
namespace vantrel::net {
namespace {

std::wstring Wide(const std::string& text) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

Addresses Resolve(const std::string& host, const std::string& port, std::chrono::steady_clock::time_point deadline,
                  std::string& problem) {
    const std::wstring wideHost = Wide(host), widePort = Wide(port);
    ADDRINFOEXW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICHOST;
    ADDRINFOEXW* list = nullptr;
    if (GetAddrInfoExW(wideHost.c_str(), widePort.c_str(), NS_ALL, nullptr, &hints, &list, nullptr, nullptr, nullptr,
                       nullptr) == 0)
        return Addresses(list);
    hints.ai_flags = 0;
    struct Lookup {
        OVERLAPPED overlapped{};
        ADDRINFOEXW* result = nullptr;
        HANDLE cancel = nullptr;
    };
    auto* lookup = new Lookup;
    lookup->overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    int state = lookup->overlapped.hEvent == nullptr
                    ? WSAEINVAL
                    : GetAddrInfoExW(wideHost.c_str(), widePort.c_str(), NS_ALL, nullptr, &hints, &lookup->result,
                                     nullptr, &lookup->overlapped, nullptr, &lookup->cancel);
    if (state == WSA_IO_PENDING) {
        if (WaitForSingleObject(lookup->overlapped.hEvent, static_cast<DWORD>(Remaining(deadline))) != WAIT_OBJECT_0 &&
            (GetAddrInfoExCancel(&lookup->cancel) != 0 ||
             WaitForSingleObject(lookup->overlapped.hEvent, 1000) != WAIT_OBJECT_0)) {
            problem = kLookupTimedOut;
            return {};
        }
        state = GetAddrInfoExOverlappedResult(&lookup->overlapped);
    } else if (state != 0) {
        // A system without asynchronous lookups (before Windows 8): the plain wait.
        state = GetAddrInfoExW(wideHost.c_str(), widePort.c_str(), NS_ALL, nullptr, &hints, &lookup->result, nullptr,
                               nullptr, nullptr, nullptr);
    }
    Addresses found(state == 0 ? lookup->result : nullptr);
    if (lookup->overlapped.hEvent != nullptr) CloseHandle(lookup->overlapped.hEvent);
    delete lookup;
    if (state != 0) problem = state == WSA_E_CANCELLED ? kLookupTimedOut : "unknown host";
    return found;
}
#else
Addresses Resolve(const std::string& host, const std::string& port, std::chrono::steady_clock::time_point deadline,
                  std::string& problem) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* list = nullptr;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &list) == 0) return Addresses(list);
    hints.ai_flags = 0;
#if defined(__GLIBC__)
    struct Lookup {
        std::string host, port;
        addrinfo hints;
        gaicb request{};
    };
    auto* lookup = new Lookup{host, port, hints};
    lookup->request.ar_name = lookup->host.c_str();
    lookup->request.ar_service = lookup->port.c_str();
    lookup->request.ar_request = &lookup->hints;
    gaicb* requests[] = {&lookup->request};
    if (getaddrinfo_a(GAI_NOWAIT, requests, 1, nullptr) != 0) {
        delete lookup;
        problem = "cannot look up the host name";
        return {};
    }
    int state;
    while ((state = gai_error(&lookup->request)) == EAI_INPROGRESS) {
        const int left = Remaining(deadline);
        if (left == 0) break;
        const timespec wait{left / 1000, (left % 1000) * 1000000L};
        gai_suspend(requests, 1, &wait);  // a signal ends it early: look again
    }
    if (state == EAI_INPROGRESS && gai_cancel(&lookup->request) == EAI_NOTCANCELED) {
        problem = kLookupTimedOut;
        return {};
    }
    state = gai_error(&lookup->request);
    Addresses found(state == 0 ? lookup->request.ar_result : nullptr);
    delete lookup;
    if (state != 0) problem = state == EAI_CANCELED ? kLookupTimedOut : "unknown host";
    return found;
#else
    (void)deadline;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &list) != 0) {
        problem = "unknown host";
        return {};
    }
    return Addresses(list);
#endif
}
#endif

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
    Addresses list = Resolve(host, port, deadline, problem);
    if (list.first() == nullptr) return kNoSocket;
    Socket s = kNoSocket;
    problem = "no address";
    // (MinGW names the type of ai_next by another tag: hence the cast.)
    for (auto a = list.first(); a != nullptr && s == kNoSocket; a = reinterpret_cast<const AddressInfo*>(a->ai_next)) {
        problem.clear();
        s = ConnectOne(a, deadline, problem);
        if (Remaining(deadline) == 0) break;
    }
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
