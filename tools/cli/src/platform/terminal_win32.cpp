#include "platform/terminal.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>

#include "platform/wide_text.h"

namespace cli::platform {

void SetUpConsole() {
    // Only the console's code pages change; redirected output is written as
    // the bytes the tool produces, which are UTF-8 already.
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
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

bool StderrIsTerminal() {
    // _isatty() also says yes for the NUL device; a console answers GetConsoleMode.
    DWORD mode = 0;
    HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
    return h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0;
}

bool SetEnvironment(const std::string& name, const std::string& value) {
    // The C runtime's copy is what getenv() (also the link library's) reads;
    // the process environment is what a started worker inherits.
    const std::wstring n = WideFromUtf8(name), v = WideFromUtf8(value);
    const bool crt = _wputenv_s(n.c_str(), v.c_str()) == 0;
    return SetEnvironmentVariableW(n.c_str(), v.c_str()) != 0 && crt;
}

}  // namespace cli::platform
