#include "command.h"

#include <CLI/CLI.hpp>

#include "board/board_commands.h"
#include "board/link_session.h"
#include "declared_files.h"
#include "report/report_commands.h"

namespace cli {

namespace {

constexpr const char* kFooter =
    "Global options (--json, --quiet, --port, --device, --address) may come before or after the command; see "
    "tolvane2-cli --help.";

// Every command and group: global options after its name, the shared footer.
CLI::App* Fall(CLI::App* sub) {
    sub->fallthrough();
    sub->footer(kFooter);
    return sub;
}

}  // namespace

Command& Command::Declare(FileRole role, const std::string& name, std::string& path, const std::string& help,
                          std::uintmax_t maxBytes, bool required) {
    auto* opt = app->add_option(name, path, help);
    if (required) opt->required();
    // The name the messages and the registry test use: the long option, else the positional's name.
    std::string shown = name;
    if (const auto comma = name.find(','); comma != std::string::npos) shown = name.substr(comma + 1);
    files_.push_back({role, shown, &path, maxBytes});
    return *this;
}

Command& Command::Input(const std::string& name, std::string& path, const std::string& help, std::uintmax_t maxBytes,
                        bool required) {
    return Declare(FileRole::Input, name, path, help, maxBytes, required);
}
Command& Command::Job(const std::string& name, std::string& path, const std::string& help) {
    return Declare(FileRole::Job, name, path, help, 1u << 20, false);
}
Command& Command::Output(const std::string& name, std::string& path, const std::string& help, bool required) {
    return Declare(FileRole::Output, name, path, help, 0, required);
}
Command& Command::Backup(const std::string& name, std::string& path, const std::string& help) {
    return Declare(FileRole::Backup, name, path, help, 0, false);
}
Command& Command::BackupDir(const std::string& name, std::string& path, const std::string& help) {
    return Declare(FileRole::BackupDir, name, path, help, 0, false);
}
Command& Command::Report(const std::string& name, std::string& path, const std::string& help) {
    return Declare(FileRole::Report, name, path, help, 0, false);
}

Command& Command::Example(std::string words) {
    example_ = std::move(words);
    app->footer("Example: tolvane2-cli " + example_ + "\n" + kFooter);
    return *this;
}

std::vector<std::string> Command::DevicePaths() const {
    return devices_ == nullptr ? std::vector<std::string>() : *devices_;
}

CLI::App* Registry::Find(const std::string& path) const {
    CLI::App* at = &root_;
    std::size_t from = 0;
    while (from < path.size()) {
        const auto blank = path.find(' ', from);
        const std::string word = path.substr(from, blank == std::string::npos ? std::string::npos : blank - from);
        CLI::App* next = nullptr;
        for (CLI::App* sub : at->get_subcommands([](CLI::App*) { return true; }))
            if (sub->get_name() == word) next = sub;
        if (next == nullptr) return nullptr;
        at = next;
        from = blank == std::string::npos ? path.size() : blank + 1;
    }
    return at;
}

CLI::App* Registry::Group(const std::string& path, const std::string& help) {
    if (CLI::App* g = Find(path)) return g;
    const auto blank = path.rfind(' ');
    CLI::App* parent = blank == std::string::npos ? &root_ : Find(path.substr(0, blank));
    auto* g = Fall(parent->add_subcommand(blank == std::string::npos ? path : path.substr(blank + 1), help));
    g->require_subcommand(1);
    return g;
}

Command& Registry::Add(const std::string& path, const std::string& help, Handler run) {
    const auto blank = path.rfind(' ');
    CLI::App* parent = blank == std::string::npos ? &root_ : Find(path.substr(0, blank));
    auto* app = Fall(parent->add_subcommand(blank == std::string::npos ? path : path.substr(blank + 1), help));
    commands_.push_back(std::make_unique<Command>(app, path, std::move(run)));
    return *commands_.back();
}

const Command* Registry::Parsed() const {
    for (const auto& c : commands_)
        if (c->app->parsed()) return c.get();
    return nullptr;
}

int CheckDeclaredFiles(const Command& c, const BoardTarget& target, Output& o) {
    std::vector<PolicyFile> files;
    for (const DeclaredFile& f : c.Files()) files.push_back({f.role, *f.path, f.maxBytes});
    std::vector<std::string> devices = c.DevicePaths();
    if (c.Board() != BoardUse::None) {
        const BoardTarget e = Effective(target);
        devices.push_back(target.device.empty() ? DevicePathOfPort(e.port) : target.device);
    }
    return CheckFiles(files, devices, c.Board() != BoardUse::None, o);
}

void RegisterAll(Registry& r) {
    RegisterFileCommands(r);
    RegisterBoardCommands(r);
    RegisterTimingCommands(r);
    RegisterConsoleCommands(r);
    RegisterProgramCommands(r);
    RegisterReportCommands(r);
}

}  // namespace cli
