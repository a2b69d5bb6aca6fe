// The worker processes of the program command: copies of the tool itself,
// each with its standard output in a pipe that the parent reads line by line
// and its standard input in a pipe on which the parent asks it to stop. One
// interface, a POSIX and a Win32 implementation.
//
// Stopping is one protocol on every system: the parent writes the line
// "stop" to a worker's standard input, and the worker ends after the
// transaction on the wire. A worker also stops on a Ctrl-C of its own (the
// terminal or console sends it to every process of the job) and, on POSIX, on
// SIGTERM. A standard input that just ends (the parent is gone) is no stop:
// the boards already begun are finished.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace cli::platform {

inline constexpr const char* kWorkerStopLine = "stop";

// Moves the complete lines at the front of `buffer` (a worker's standard
// input as read so far) out; true when one of them is the stop line.
inline bool TakeStopLine(std::string& buffer) {
    bool stop = false;
    for (std::size_t nl; (nl = buffer.find('\n')) != std::string::npos;) {
        std::string line = buffer.substr(0, nl);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        stop = stop || line == kWorkerStopLine;
        buffer.erase(0, nl + 1);
    }
    return stop;
}

struct WorkerEvent {
    enum class Kind { None, Line, Exit };
    Kind kind = Kind::None;  // None: the time passed, or no worker is left
    std::size_t worker = 0;  // the number Start gave
    std::string line;        // Line: one line of its output, without the line end
    int exitCode = 0;        // Exit: the exit code (-1 when it did not exit by itself)
    std::string why;         // Exit: how it ended, when it did not exit by itself
};

class WorkerProcesses {
public:
    WorkerProcesses();
    ~WorkerProcesses();  // asks the workers still running to stop and waits for them
    WorkerProcesses(const WorkerProcesses&) = delete;
    WorkerProcesses& operator=(const WorkerProcesses&) = delete;

    // Starts the tool itself with `args` (UTF-8, after the program's name).
    // False with a message in `error`.
    bool Start(const std::vector<std::string>& args, std::size_t& worker, std::string& error);
    // The next line of any worker, or the end of one (after all of its
    // lines), waiting at most `timeoutMs`.
    WorkerEvent Next(int timeoutMs);
    // True while a started worker's end has not been returned by Next.
    bool Running() const;
    // Asks every running worker to stop after the transaction on the wire.
    void RequestStop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The parent's Ctrl-C (and SIGTERM on POSIX) while one of these lives: it
// is only noted, so that the job can stop its workers and write its report.
class InterruptWatch {
public:
    InterruptWatch();
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;
    bool Interrupted() const;
};

#ifdef _WIN32
// `arg` quoted for a command line so that the C runtime's parser (and
// CommandLineToArgvW) gives it back as it is: blanks, quotes, backslashes.
std::wstring QuoteArgument(const std::wstring& arg);
#endif

// The worker's side: starts watching for a stop (see above); call once.
void WatchForWorkerStop();
bool WorkerStopRequested();
// Writes `text` to standard output whole; false when the parent is gone.
bool WriteToParent(const std::string& text);

}  // namespace cli::platform
