#include "platform/worker_processes.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <deque>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace cli::platform {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;
extern "C" void OnInterrupt(int) { g_interrupted = 1; }
struct sigaction g_oldInt {
}, g_oldTerm{};

std::atomic<bool> g_workerStop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
extern "C" void OnWorkerStop(int) { g_workerStop = true; }

// Standard input of a worker: read without waiting, for the stop line.
int g_stopFd = -1;
std::string g_stopInput;

}  // namespace

struct WorkerProcesses::Impl {
    struct Worker {
        pid_t pid = -1;
        int out = -1;  // its standard output, read here
        int in = -1;   // its standard input, written here
        std::string buffer;
        bool ended = false;
    };
    std::vector<Worker> workers;
    std::deque<WorkerEvent> events;

    void Reap(std::size_t i) {
        Worker& w = workers[i];
        ::close(w.out);
        w.out = -1;
        if (w.in >= 0) ::close(w.in);
        w.in = -1;
        if (!w.buffer.empty()) events.push_back({WorkerEvent::Kind::Line, i, w.buffer, 0, {}});
        w.buffer.clear();
        int status = 0;
        while (::waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {
        }
        WorkerEvent ev{WorkerEvent::Kind::Exit, i, {}, -1, {}};
        if (WIFEXITED(status)) ev.exitCode = WEXITSTATUS(status);
        else if (WIFSIGNALED(status)) ev.why = "the worker was killed by signal " + std::to_string(WTERMSIG(status));
        else ev.why = "the worker ended in an unknown way";
        events.push_back(std::move(ev));
    }

    void ReadFrom(std::size_t i) {
        Worker& w = workers[i];
        char buf[4096];
        const ssize_t n = ::read(w.out, buf, sizeof buf);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
        if (n <= 0) {
            Reap(i);
            return;
        }
        w.buffer.append(buf, static_cast<std::size_t>(n));
        for (std::size_t nl; (nl = w.buffer.find('\n')) != std::string::npos;) {
            events.push_back({WorkerEvent::Kind::Line, i, w.buffer.substr(0, nl), 0, {}});
            w.buffer.erase(0, nl + 1);
        }
    }
};

WorkerProcesses::WorkerProcesses() : impl_(std::make_unique<Impl>()) {}

WorkerProcesses::~WorkerProcesses() {
    RequestStop();
    for (std::size_t i = 0; i < impl_->workers.size(); ++i)
        if (impl_->workers[i].out >= 0) impl_->Reap(i);
}

bool WorkerProcesses::Start(const std::vector<std::string>& args, std::size_t& worker, std::string& error) {
    int out[2], in[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        error = std::string("no pipe for the worker: ") + std::strerror(errno);
        return false;
    }
    if (::pipe2(in, O_CLOEXEC) != 0) {
        error = std::string("no pipe for the worker: ") + std::strerror(errno);
        ::close(out[0]);
        ::close(out[1]);
        return false;
    }
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&fa, in[0], STDIN_FILENO);
    std::vector<std::string> all = {"tolvane2-cli"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    // The worker starts with the stop signals blocked, so that a Ctrl-C
    // before its handler is in place waits for it instead of killing it.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    posix_spawnattr_setsigmask(&attr, &stop);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, "/proc/self/exe", &fa, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&fa);
    ::close(out[1]);
    ::close(in[0]);
    if (rc != 0) {
        ::close(out[0]);
        ::close(in[1]);
        error = std::string("the worker could not be started: ") + std::strerror(rc);
        return false;
    }
    impl_->workers.push_back({pid, out[0], in[1], {}, false});
    worker = impl_->workers.size() - 1;
    return true;
}

WorkerEvent WorkerProcesses::Next(int timeoutMs) {
    if (impl_->events.empty()) {
        std::vector<pollfd> fds;
        std::vector<std::size_t> which;
        for (std::size_t i = 0; i < impl_->workers.size(); ++i)
            if (impl_->workers[i].out >= 0) {
                fds.push_back({impl_->workers[i].out, POLLIN, 0});
                which.push_back(i);
            }
        if (!fds.empty() && ::poll(fds.data(), fds.size(), timeoutMs) > 0)
            for (std::size_t k = 0; k < fds.size(); ++k)
                if (fds[k].revents) impl_->ReadFrom(which[k]);
    }
    if (impl_->events.empty()) return {};
    WorkerEvent ev = std::move(impl_->events.front());
    impl_->events.pop_front();
    if (ev.kind == WorkerEvent::Kind::Exit) impl_->workers[ev.worker].ended = true;
    return ev;
}

bool WorkerProcesses::Running() const {
    for (const Impl::Worker& w : impl_->workers)
        if (!w.ended) return true;
    return false;
}

void WorkerProcesses::RequestStop() {
    // A worker that has just ended closed its end: no SIGPIPE for that.
    struct sigaction ignore {
    }, old{};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &old);
    const std::string line = std::string(kWorkerStopLine) + "\n";
    for (Impl::Worker& w : impl_->workers) {
        if (w.in < 0) continue;
        while (::write(w.in, line.data(), line.size()) < 0 && errno == EINTR) {
        }
        ::close(w.in);
        w.in = -1;
    }
    sigaction(SIGPIPE, &old, nullptr);
}

InterruptWatch::InterruptWatch() {
    g_interrupted = 0;
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &g_oldInt);
    sigaction(SIGTERM, &sa, &g_oldTerm);
}

InterruptWatch::~InterruptWatch() {
    sigaction(SIGINT, &g_oldInt, nullptr);
    sigaction(SIGTERM, &g_oldTerm, nullptr);
}

bool InterruptWatch::Interrupted() const { return g_interrupted != 0; }

void WatchForWorkerStop() {
    struct sigaction sa {};
    sa.sa_handler = OnWorkerStop;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    // The parent starts workers with these blocked; one that came meanwhile is handled now.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    // Only a pipe (the parent's) is read: a terminal's non-blocking mode
    // would reach the shell that shares it.
    struct stat st {};
    if (::fstat(STDIN_FILENO, &st) != 0 || !S_ISFIFO(st.st_mode)) return;
    const int flags = ::fcntl(STDIN_FILENO, F_GETFL);
    if (flags >= 0 && ::fcntl(STDIN_FILENO, F_SETFL, flags | O_NONBLOCK) == 0) g_stopFd = STDIN_FILENO;
}

bool WorkerStopRequested() {
    if (g_workerStop) return true;
    while (g_stopFd >= 0) {
        char buf[256];
        const ssize_t n = ::read(g_stopFd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || (n < 0 && errno != EAGAIN)) g_stopFd = -1;  // the parent is gone: no stop
        if (n <= 0) break;
        g_stopInput.append(buf, static_cast<std::size_t>(n));
        if (TakeStopLine(g_stopInput)) g_workerStop = true;
    }
    return g_workerStop;
}

bool WriteToParent(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace cli::platform
