// tolvane2-cli: scripted service work on panel files, mode tables and gamma
// tables, on disk and on a Vantrel-2 board.
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

#include "cli_app.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return cli::RunCli(args, std::cout, std::cerr, ::isatty(2) != 0);
}
