// The few socket calls the network device needs, over BSD sockets and
// Winsock alike. Sockets are non-blocking once connected, with TCP_NODELAY.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantrel::net {

#if defined(_WIN32)
using Socket = std::uintptr_t;
constexpr Socket kNoSocket = ~static_cast<Socket>(0);
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
#endif

// Winsock's start and end; nothing elsewhere. Counted by the system.
bool Startup();
void Cleanup();

// Connects to host:port within timeoutMs. On failure returns kNoSocket and
// says what happened in problem ("connection refused", "timed out", ...).
Socket Connect(const std::string& host, const std::string& port, int timeoutMs, std::string& problem);

enum class Ready { Readable, Timeout, Woken, Failed };
class Waker;
// Waits until s has bytes (or its end), waker is woken or timeoutMs pass.
Ready WaitReadable(Socket s, const Waker* waker, int timeoutMs);

// Something that another thread can make readable, so that a wait beside a
// socket ends at once; it stays readable once woken.
class Waker {
public:
    Waker();
    ~Waker();
    Waker(const Waker&) = delete;
    Waker& operator=(const Waker&) = delete;
    bool Valid() const;
    void Wake();
    bool Woken() const;

private:
    friend Ready WaitReadable(Socket s, const Waker* waker, int timeoutMs);
    Socket read_ = kNoSocket;
    Socket write_ = kNoSocket;
};

// Reads what is there: > 0 bytes, 0 none yet, -1 the connection ended or failed.
long Receive(Socket s, std::uint8_t* buffer, std::size_t max);
// Sends everything, waiting for room; false when the connection fails or no
// byte goes out for stallMs.
bool SendAll(Socket s, const std::uint8_t* bytes, std::size_t count, int stallMs);
// Ends the connection in both directions; the number stays valid until Close.
void Shutdown(Socket s);
void Close(Socket s);

}  // namespace vantrel::net
