// The command registry: every command of tolvane2-cli is added here in one
// form (its path, help, handler, options, and what it reads and writes), and
// the framework applies the same guarantees to all of them before the
// handler runs: inputs must be regular files of a bounded size, outputs must
// not be an input, the job file or the device and must be creatable, "-"
// means standard output, the broadcast address is refused where an answer is
// awaited, and a failure under --json still prints one JSON object.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "output.h"

namespace CLI {
class App;
}

namespace cli {

struct BoardTarget {
    int port = 1;        // COM1..COM4 of the library
    std::string device;  // --device: put into VANTREL_COM1 for this process, port 1
    int address = 0;     // device address 0..255
};

// What a command does with a file it names.
enum class FileRole {
    Input,      // read: must be a regular file of at most maxBytes
    Job,        // read like an input; names the files of a job
    Output,     // written; "-" is standard output
    Backup,     // written before the board is changed
    BackupDir,  // a folder that backups are written into (made when missing)
    Report,     // written at the end of a job
};

struct DeclaredFile {
    FileRole role = FileRole::Input;
    std::string name;  // as the help shows it: "FILE", "--backup"
    std::string* path = nullptr;
    std::uintmax_t maxBytes = 0;  // inputs: the most the command reads (0: no bound of its own)
};

// How a command uses the board.
enum class BoardUse {
    None,       // files only
    Answers,    // waits for the board's answer: the broadcast address is refused
    Broadcast,  // awaits no answer (reset, raw): address 255 reaches every board
};

struct Context {
    const BoardTarget& target;
    Output& o;
    bool interactive = false;                 // messages and input are a terminal: a destructive command may ask
    const std::vector<std::string>& devices;  // device paths the command uses besides the target's
};
using Handler = std::function<int(Context&)>;

class Command {
public:
    Command(CLI::App* app, std::string path, Handler run) : app(app), path_(std::move(path)), run_(std::move(run)) {}

    CLI::App* const app;  // the command's own options are added here

    // A file the command reads; NAME is a positional ("FILE") or an option ("--job").
    Command& Input(const std::string& name, std::string& path, const std::string& help, std::uintmax_t maxBytes,
                   bool required = true);
    Command& Job(const std::string& name, std::string& path, const std::string& help);
    // A file the command writes; "-" is standard output.
    Command& Output(const std::string& name, std::string& path, const std::string& help, bool required = false);
    Command& Backup(const std::string& name, std::string& path, const std::string& help);
    Command& BackupDir(const std::string& name, std::string& path, const std::string& help);
    Command& Report(const std::string& name, std::string& path, const std::string& help);
    // Serial devices named on the command line (program): outputs must not be one of them.
    Command& Devices(std::vector<std::string>& devices) {
        devices_ = &devices;
        return *this;
    }
    Command& Board(BoardUse use) {
        board_ = use;
        return *this;
    }
    // Changes what the board holds (the registry test checks that such a
    // command leaves the board alone when it refuses).
    Command& ChangesBoard() {
        changesBoard_ = true;
        return *this;
    }
    // A complete sample use, the words after "tolvane2-cli", with FILE, OUT
    // and so on standing for the declared files; shown in the help.
    Command& Example(std::string words);

    const std::string& Path() const { return path_; }
    const std::vector<DeclaredFile>& Files() const { return files_; }
    BoardUse Board() const { return board_; }
    bool ChangesBoardContent() const { return changesBoard_; }
    const std::string& ExampleWords() const { return example_; }
    std::vector<std::string> DevicePaths() const;

    int Run(Context& c) const { return run_(c); }

private:
    Command& Declare(FileRole role, const std::string& name, std::string& path, const std::string& help,
                     std::uintmax_t maxBytes, bool required);
    std::string path_;
    Handler run_;
    std::vector<DeclaredFile> files_;
    std::vector<std::string>* devices_ = nullptr;
    BoardUse board_ = BoardUse::None;
    bool changesBoard_ = false;
    std::string example_;
};

class Registry {
public:
    explicit Registry(CLI::App& root) : root_(root) {}

    // A group of commands ("flash"); made on first use.
    CLI::App* Group(const std::string& path, const std::string& help);
    // A command at `path` ("flash write"); its group must exist.
    Command& Add(const std::string& path, const std::string& help, Handler run);

    const std::vector<std::unique_ptr<Command>>& Commands() const { return commands_; }
    // The command the parsed words chose, or null.
    const Command* Parsed() const;
    CLI::App& Root() { return root_; }

private:
    CLI::App* Find(const std::string& path) const;
    CLI::App& root_;
    std::vector<std::unique_ptr<Command>> commands_;
};

// Every command group adds its commands here.
void RegisterFileCommands(Registry& r);
void RegisterBoardCommands(Registry& r);
void RegisterConsoleCommands(Registry& r);
void RegisterProgramCommands(Registry& r);
// After the board commands: adds to their panel and modes groups.
void RegisterTimingCommands(Registry& r);

// The framework's checks of the declared files, made before the handler runs
// and before anything is sent: 0, or 2 after an error message.
int CheckDeclaredFiles(const Command& c, const BoardTarget& target, Output& o);

// Adds every command of every group to `app` (the root of tolvane2-cli).
void RegisterAll(Registry& r);

}  // namespace cli
