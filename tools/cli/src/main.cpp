// tolvane2-cli: scripted service work on panel files, mode tables and gamma
// tables, on disk and on a Vantrel-2 board.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli_app.h"
#include "platform/terminal.h"
#include "text_out.h"

int main(int argc, char** argv) {
    // On Windows: a UTF-8 console, and standard output in binary mode.
    cli::platform::SetUpConsole();
    // Standard output through a buffer that keeps the first failed write: a
    // result that did not reach its file (full disk, /dev/full) is a failure.
    cli::CheckedFdBuffer outBuffer(1);
    std::ostream out(&outBuffer);
    int code = 1;
    try {
        const std::vector<std::string> args = cli::platform::Utf8Arguments(argc, argv);
        code = cli::RunCli(args, out, std::cerr, cli::platform::StderrIsTerminal());
    } catch (const std::exception& e) {
        std::cerr << "tolvane2-cli: stopped by an unexpected error: " << cli::ShownPath(std::string_view(e.what()))
                  << "\n";
        code = 1;
    } catch (...) {
        std::cerr << "tolvane2-cli: stopped by an unexpected error\n";
        code = 1;
    }
    out.flush();
    if (outBuffer.error() != 0) {
        std::cerr << "tolvane2-cli: cannot write to standard output: " << cli::SystemReason(outBuffer.error()) << "\n";
        return 1;
    }
    return code;
}
