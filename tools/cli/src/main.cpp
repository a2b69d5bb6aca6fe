// tolvane2-cli: scripted service work on panel files, mode tables and gamma
// tables, on disk and on a Vantrel-2 board.
#include <iostream>
#include <string>
#include <vector>

#include "cli_app.h"
#include "platform/terminal.h"

int main(int argc, char** argv) {
    cli::platform::SetUpConsole();
    const std::vector<std::string> args = cli::platform::Utf8Arguments(argc, argv);
    return cli::RunCli(args, std::cout, std::cerr, cli::platform::StderrIsTerminal());
}
