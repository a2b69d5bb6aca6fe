// Debian's ser2net started by a test: a generated configuration in a fresh
// directory under /tmp, one connection on a free port of 127.0.0.1 in front
// of a pseudo-terminal. The destructor stops it and removes the directory.
#ifndef TESTS_LINK_SER2NET_PROCESS_H
#define TESTS_LINK_SER2NET_PROCESS_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace linktest {

inline bool Ser2netInstalled() { return std::system("command -v ser2net >/dev/null 2>&1") == 0; }

class Ser2net {
public:
    // The options that keep answers quick: no waiting for more characters
    // before forwarding, and no Nagle on the server's side.
    Ser2net(const std::string& device, bool rfc2217) : rfc2217_(rfc2217) {
        char dir[] = "/tmp/vantrel-ser2net-XXXXXX";
        if (mkdtemp(dir) == nullptr) return;
        dir_ = dir;
        port_ = FreePort();
        const std::string config = dir_ + "/ser2net.yaml";
        std::ofstream(config) << "%YAML 1.1\n---\nconnection: &board\n  accepter: "
                              << (rfc2217 ? "telnet(rfc2217),tcp(nodelay)," : "tcp(nodelay),") << "127.0.0.1," << port_
                              << "\n  connector: serialdev," << device << ",57600n81,local\n"
                              << "  options:\n    chardelay: false\n    kickolduser: true\n";
        std::fflush(nullptr);  // the child would write out what the parent has buffered
        pid_ = fork();
        if (pid_ == 0) {
            std::freopen("/dev/null", "w", stdout);
            std::freopen("/dev/null", "w", stderr);
            execlp("ser2net", "ser2net", "-n", "-u", "-c", config.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        ready_ = pid_ > 0 && WaitForListener();
    }
    ~Ser2net() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    bool Ready() const { return ready_; }
    std::string Name() const {
        return (rfc2217_ ? "rfc2217://127.0.0.1:" : "tcp://127.0.0.1:") + std::to_string(port_);
    }

private:
    static int FreePort() {
        int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &length);
        close(s);
        return ntohs(a.sin_port);
    }

    // Probes the port until ser2net listens (a probe connection is dropped at
    // once, and kickolduser lets the link's own one in regardless).
    bool WaitForListener() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            int s = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            a.sin_port = htons(static_cast<uint16_t>(port_));
            const bool up = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
            close(s);
            if (up) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let it finish with the probe
                return true;
            }
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = 0;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    bool rfc2217_;
    std::string dir_;
    int port_ = 0;
    pid_t pid_ = 0;
    bool ready_ = false;
};

}  // namespace linktest

#endif  // TESTS_LINK_SER2NET_PROCESS_H
