// What the command line needs from the operating system around the console
// and the process: one interface, a POSIX and a Win32 implementation.
#pragma once

#include <string>
#include <vector>

namespace cli::platform {

// Prepares the console: on Windows its output code page becomes UTF-8, so
// that the UTF-8 text the tool writes (file names, panel names) shows as
// typed, and standard output is put in binary mode, so that a binary file
// written to it ("-o -") and JSON keep their bytes (text mode would turn
// every byte 0x0A into 0x0D 0x0A). Nothing to do elsewhere.
void SetUpConsole();

// The program's arguments after its name, as UTF-8. On Windows they are taken
// from the wide command line, since argv holds them in the ANSI code page,
// which loses every character outside it.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// True when standard error is an interactive terminal (a console on
// Windows), where a progress bar may be drawn.
bool StderrIsTerminal();

// True when standard output is an interactive terminal (a console on
// Windows), where binary bytes are not written.
bool StdoutIsTerminal();

// True when standard input is an interactive terminal, where a question may
// be asked and answered.
bool StdinIsTerminal();

// Cursor movement and line clearing by escape sequences on standard error
// (the program command's live view). A terminal has them; a Windows console
// gets them switched on while this lives, and where it cannot (a console
// before Windows 10) Available() is false and the caller writes plain lines.
class CursorControl {
public:
    CursorControl();
    ~CursorControl();
    CursorControl(const CursorControl&) = delete;
    CursorControl& operator=(const CursorControl&) = delete;
    bool Available() const { return available_; }

private:
    bool available_ = false;
    bool changed_ = false;
    unsigned long previous_ = 0;  // the console's output mode before
};

// `arg` as one argument of a command line that the user pastes into the
// system's shell: sh quoting; on Windows double quotes, which cmd and
// PowerShell both take (a Windows path holds no double quote).
std::string ShellQuote(const std::string& arg);

// Sets an environment variable of this process (name and value in UTF-8).
bool SetEnvironment(const std::string& name, const std::string& value);

// The name of this computer, in UTF-8 (a production report names the station
// that wrote each board); empty when the system gives none.
std::string HostName();

}  // namespace cli::platform
