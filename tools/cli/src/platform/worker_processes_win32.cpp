// Workers on Windows: CreateProcessW of the tool's own executable, with
// anonymous pipes for standard input and output. A thread per worker reads
// its output and puts each line, and at last the worker's exit code, into one
// queue that Next waits on.
#include "platform/worker_processes.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/wide_text.h"

namespace cli::platform {
namespace {

std::atomic<bool> g_interrupted{false};
std::atomic<bool> g_workerStop{false};

BOOL WINAPI OnParentCtrl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    g_interrupted = true;
    return TRUE;
}

BOOL WINAPI OnWorkerCtrl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    g_workerStop = true;
    return TRUE;
}

// The worker's standard input when it is the parent's pipe.
HANDLE g_stopPipe = nullptr;
std::string g_stopInput;

std::wstring OwnExecutable() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

std::wstring QuoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring q = L"\"";
    for (std::size_t i = 0;; ++i) {
        std::size_t backslashes = 0;
        while (i < arg.size() && arg[i] == L'\\') {
            ++backslashes;
            ++i;
        }
        if (i == arg.size()) {
            // Before the closing quote every backslash is doubled.
            q.append(backslashes * 2, L'\\');
            break;
        }
        if (arg[i] == L'"') {
            q.append(backslashes * 2 + 1, L'\\');
        } else {
            q.append(backslashes, L'\\');
        }
        q += arg[i];
    }
    return q + L"\"";
}

struct WorkerProcesses::Impl {
    struct Worker {
        HANDLE process = nullptr;
        HANDLE in = nullptr;  // its standard input, written here
        std::thread reader;
        bool ended = false;
    };
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<WorkerEvent> events;
    std::deque<Worker> workers;  // a deque: a new worker moves no running one's thread

    void Push(WorkerEvent ev) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            events.push_back(std::move(ev));
        }
        arrived.notify_one();
    }

    // Runs on the worker's reader thread until its output ends.
    void Read(std::size_t i, HANDLE out, HANDLE process) {
        std::string buffer;
        char buf[4096];
        DWORD got = 0;
        while (ReadFile(out, buf, sizeof buf, &got, nullptr) && got > 0) {
            buffer.append(buf, got);
            for (std::size_t nl; (nl = buffer.find('\n')) != std::string::npos;) {
                std::string line = buffer.substr(0, nl);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                Push({WorkerEvent::Kind::Line, i, std::move(line), 0, {}});
                buffer.erase(0, nl + 1);
            }
        }
        CloseHandle(out);
        if (!buffer.empty()) Push({WorkerEvent::Kind::Line, i, buffer, 0, {}});
        WaitForSingleObject(process, INFINITE);
        DWORD code = 0;
        WorkerEvent ev{WorkerEvent::Kind::Exit, i, {}, -1, {}};
        if (!GetExitCodeProcess(process, &code)) {
            ev.why = "the worker's exit code is unknown: " + SystemMessage(GetLastError());
        } else if (code >= 0xC0000000u) {
            // An exception code (an access violation, a stack overflow), not an exit.
            char text[64];
            std::snprintf(text, sizeof text, "the worker stopped with exception 0x%08lX",
                          static_cast<unsigned long>(code));
            ev.why = text;
        } else {
            ev.exitCode = static_cast<int>(code);
        }
        Push(std::move(ev));
    }
};

WorkerProcesses::WorkerProcesses() : impl_(std::make_unique<Impl>()) {}

WorkerProcesses::~WorkerProcesses() {
    RequestStop();
    for (Impl::Worker& w : impl_->workers) {
        if (w.reader.joinable()) w.reader.join();
        CloseHandle(w.process);
    }
}

bool WorkerProcesses::Start(const std::vector<std::string>& args, std::size_t& worker, std::string& error) {
    const std::wstring exe = OwnExecutable();
    if (exe.empty()) {
        error = "the worker could not be started: the tool's own path is unknown: " + SystemMessage(GetLastError());
        return false;
    }
    // The program's name is read up to the next quote, without escapes; a
    // Windows path holds no quote.
    std::wstring commandLine = L"\"" + exe + L"\"";
    for (const std::string& a : args) commandLine += L" " + QuoteArgument(WideFromUtf8(a));

    // The worker's ends are inherited; the parent's ends are not, so that a
    // worker started later holds no other worker's pipe open.
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, inRead = nullptr, inWrite = nullptr, err = nullptr;
    auto closeAll = [&] {
        for (HANDLE h : {outRead, outWrite, inRead, inWrite, err})
            if (h != nullptr) CloseHandle(h);
    };
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0) || !CreatePipe(&inRead, &inWrite, &inherit, 0) ||
        !SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0) ||
        !SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0)) {
        error = "no pipe for the worker: " + SystemMessage(GetLastError());
        closeAll();
        return false;
    }
    // Standard error is shared, as an inheritable copy.
    const HANDLE ownErr = GetStdHandle(STD_ERROR_HANDLE);
    if (ownErr != nullptr && ownErr != INVALID_HANDLE_VALUE &&
        !DuplicateHandle(GetCurrentProcess(), ownErr, GetCurrentProcess(), &err, 0, TRUE, DUPLICATE_SAME_ACCESS))
        err = nullptr;

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = inRead;
    si.hStdOutput = outWrite;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        error = "the worker could not be started: " + SystemMessage(GetLastError());
        closeAll();
        return false;
    }
    CloseHandle(pi.hThread);
    CloseHandle(outWrite);
    CloseHandle(inRead);
    if (err != nullptr) CloseHandle(err);

    worker = impl_->workers.size();
    Impl::Worker& w = impl_->workers.emplace_back();
    w.process = pi.hProcess;
    w.in = inWrite;
    w.reader = std::thread(
        [impl = impl_.get(), worker, outRead, process = pi.hProcess] { impl->Read(worker, outRead, process); });
    return true;
}

WorkerEvent WorkerProcesses::Next(int timeoutMs) {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    impl_->arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !impl_->events.empty(); });
    if (impl_->events.empty()) return {};
    WorkerEvent ev = std::move(impl_->events.front());
    impl_->events.pop_front();
    if (ev.kind == WorkerEvent::Kind::Exit) impl_->workers[ev.worker].ended = true;
    return ev;
}

bool WorkerProcesses::Running() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    for (const Impl::Worker& w : impl_->workers)
        if (!w.ended) return true;
    return false;
}

void WorkerProcesses::RequestStop() {
    const std::string line = std::string(kWorkerStopLine) + "\n";
    for (Impl::Worker& w : impl_->workers) {
        if (w.in == nullptr) continue;
        DWORD put = 0;
        WriteFile(w.in, line.data(), static_cast<DWORD>(line.size()), &put, nullptr);  // fails once it ended
        CloseHandle(w.in);
        w.in = nullptr;
    }
}

InterruptWatch::InterruptWatch() {
    g_interrupted = false;
    SetConsoleCtrlHandler(OnParentCtrl, TRUE);
}

InterruptWatch::~InterruptWatch() { SetConsoleCtrlHandler(OnParentCtrl, FALSE); }

bool InterruptWatch::Interrupted() const { return g_interrupted; }

void WatchForWorkerStop() {
    // The console's Ctrl-C reaches every process attached to it.
    SetConsoleCtrlHandler(OnWorkerCtrl, TRUE);
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    if (in != nullptr && in != INVALID_HANDLE_VALUE && GetFileType(in) == FILE_TYPE_PIPE) g_stopPipe = in;
}

bool WorkerStopRequested() {
    if (g_workerStop) return true;
    while (g_stopPipe != nullptr) {
        DWORD available = 0;
        if (!PeekNamedPipe(g_stopPipe, nullptr, 0, nullptr, &available, nullptr)) {
            g_stopPipe = nullptr;  // the parent is gone: no stop
            break;
        }
        if (available == 0) break;
        char buf[256];
        DWORD got = 0;
        if (!ReadFile(g_stopPipe, buf, available < sizeof buf ? available : sizeof buf, &got, nullptr) || got == 0) {
            g_stopPipe = nullptr;
            break;
        }
        g_stopInput.append(buf, got);
        if (TakeStopLine(g_stopInput)) g_workerStop = true;
    }
    return g_workerStop;
}

bool WriteToParent(const std::string& text) {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    std::size_t done = 0;
    while (done < text.size()) {
        DWORD put = 0;
        if (!WriteFile(out, text.data() + done, static_cast<DWORD>(text.size() - done), &put, nullptr) || put == 0)
            return false;
        done += put;
    }
    return true;
}

}  // namespace cli::platform
