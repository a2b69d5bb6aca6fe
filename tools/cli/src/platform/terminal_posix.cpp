#include "platform/terminal.h"

#include <cstdlib>

#include <unistd.h>

namespace cli::platform {

void SetUpConsole() {}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

bool StderrIsTerminal() { return ::isatty(2) != 0; }

bool StdoutIsTerminal() { return ::isatty(1) != 0; }

bool StdinIsTerminal() { return ::isatty(0) != 0; }

CursorControl::CursorControl() : available_(true) {}
CursorControl::~CursorControl() = default;

std::string ShellQuote(const std::string& s) {
    if (!s.empty() && s.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+=:,") ==
                          std::string::npos)
        return s;
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

bool SetEnvironment(const std::string& name, const std::string& value) {
    return ::setenv(name.c_str(), value.c_str(), 1) == 0;
}

std::string HostName() {
    char name[256] = "";
    // A name that fills the buffer may come without its terminating zero.
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    name[sizeof name - 1] = '\0';
    return name;
}

}  // namespace cli::platform
