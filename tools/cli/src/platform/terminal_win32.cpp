#include "platform/terminal.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <io.h>

#include "platform/wide_text.h"

namespace cli::platform {

void SetUpConsole() {
    // Only the console's code pages change; redirected output is written as
    // the bytes the tool produces, which are UTF-8 already.
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
    // Standard output carries the tool's bytes as they are: binary files with
    // "-o -", and text with "\n" line ends as on every other system.
    _setmode(_fileno(stdout), _O_BINARY);
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) args.push_back(Utf8FromWide(wide[i]));
    LocalFree(wide);
    return args;
}

namespace {

// _isatty() also says yes for the NUL device; a console answers GetConsoleMode.
bool IsConsole(DWORD which) {
    DWORD mode = 0;
    HANDLE h = GetStdHandle(which);
    return h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0;
}

}  // namespace

bool StderrIsTerminal() { return IsConsole(STD_ERROR_HANDLE); }

bool StdoutIsTerminal() { return IsConsole(STD_OUTPUT_HANDLE); }

bool StdinIsTerminal() { return IsConsole(STD_INPUT_HANDLE); }

CursorControl::CursorControl() {
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (err == nullptr || err == INVALID_HANDLE_VALUE || !GetConsoleMode(err, &mode)) return;
    previous_ = mode;
    if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) {
        available_ = true;
        return;
    }
    available_ = changed_ = SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

CursorControl::~CursorControl() {
    if (changed_) SetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), static_cast<DWORD>(previous_));
}

std::string ShellQuote(const std::string& s) {
    if (!s.empty() && s.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\\/._-+=:,") ==
                          std::string::npos)
        return s;
    return "\"" + s + "\"";
}

bool SetEnvironment(const std::string& name, const std::string& value) {
    // The C runtime's copy is what getenv() (also the link library's) reads;
    // the process environment is what a started worker inherits.
    const std::wstring n = WideFromUtf8(name), v = WideFromUtf8(value);
    const bool crt = _wputenv_s(n.c_str(), v.c_str()) == 0;
    return SetEnvironmentVariableW(n.c_str(), v.c_str()) != 0 && crt;
}

std::string HostName() {
    wchar_t name[256] = L"";
    DWORD size = static_cast<DWORD>(sizeof name / sizeof name[0]);
    if (!GetComputerNameExW(ComputerNameDnsHostname, name, &size)) return {};
    return Utf8FromWide(std::wstring(name, size));
}

}  // namespace cli::platform
