// The manual page against the command tree: every command of tolvane2-cli has
// an entry whose tag is its synopsis with every option it takes, the page
// names no command and no option that the program does not have, every tag
// renders on one line, and the header carries the program's version.
#include <gtest/gtest.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli_app.h"
#include "command.h"
#include "version.h"

#ifndef TOLVANE2_CLI_MAN_PAGE
#error "TOLVANE2_CLI_MAN_PAGE must name docs/man/tolvane2-cli.1 of the sources"
#endif

namespace {

// ---------------------------------------------------------------------------
// The page as text: the request lines of man(7) that it uses, rendered
// ---------------------------------------------------------------------------

// Escapes as they print: fonts dropped, \- as -, \e as a backslash.
std::string Unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const char c = s[++i];
        if (c == 'f') {
            i += (i + 1 < s.size() && s[i + 1] == '[') ? s.find(']', i) - i : 1;  // \fB, \f[CR]
        } else if (c == '(') {
            out += s.compare(i + 1, 2, "aq") == 0 ? "'" : "?";
            i += 2;
        } else if (c == 'e' || c == '\\') {
            out += '\\';
        } else if (c != '&') {
            out += c;  // \- \  \.
        }
    }
    return out;
}

// The arguments of a request line: blanks separate them, double quotes hold blanks.
std::vector<std::string> Arguments(const std::string& line) {
    std::vector<std::string> args;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        if (i == line.size()) break;
        std::string a;
        if (line[i] == '"') {
            for (++i; i < line.size() && line[i] != '"'; ++i) a += line[i];
            ++i;
        } else {
            for (; i < line.size() && line[i] != ' '; ++i) a += line[i];
        }
        args.push_back(a);
    }
    return args;
}

// One input line as it prints: .B and .I join their words with blanks, the
// alternating-font requests (.BI, .BR, .IR, ...) join theirs without.
std::string Rendered(const std::string& line) {
    if (line.empty() || line[0] != '.') return Unescape(line);
    const std::string request = line.substr(1, line.find(' ') - 1);
    const std::vector<std::string> args =
        line.find(' ') == std::string::npos ? std::vector<std::string>{} : Arguments(line.substr(line.find(' ')));
    std::string text;
    const bool alternating = request.size() == 2 && std::string("BIR").find(request[0]) != std::string::npos &&
                             std::string("BIR").find(request[1]) != std::string::npos;
    for (const std::string& a : args) text += (text.empty() || alternating ? "" : " ") + a;
    return Unescape(text);
}

struct Tag {
    std::string section;  // the .SH it is under
    std::string text;     // as it prints
    int line = 0;
};

struct Page {
    std::string header;  // .TH
    std::vector<Tag> tags;
    std::string text;  // every line as it prints
};

Page ReadPage(const std::string& path) {
    std::ifstream in(path);
    Page page;
    std::string line, section;
    bool tagNext = false;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.rfind(".TH ", 0) == 0) page.header = line;
        if (line.rfind(".SH ", 0) == 0) section = Rendered(".B " + line.substr(4));
        if (tagNext) page.tags.push_back({section, Rendered(line), number});
        tagNext = line == ".TP";
        if (line.rfind(".\\\"", 0) != 0) page.text += Rendered(line) + "\n";
    }
    return page;
}

// ---------------------------------------------------------------------------
// The command tree
// ---------------------------------------------------------------------------

// Each option of a command as the set of its names ("-o", "--output").
using OptionNames = std::vector<std::set<std::string>>;

std::set<std::string> NamesOf(const CLI::Option* opt) {
    std::set<std::string> names;
    for (const std::string& s : opt->get_snames()) names.insert("-" + s);
    for (const std::string& l : opt->get_lnames()) names.insert("--" + l);
    return names;
}

// The name an option is shown by: its long one.
std::string Shown(const std::set<std::string>& names) {
    return *std::max_element(names.begin(), names.end(),
                             [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
}

OptionNames OptionsOf(const CLI::App* app) {
    OptionNames out;
    for (const CLI::Option* opt : app->get_options()) {
        if (opt == app->get_help_ptr() || !opt->nonpositional()) continue;
        out.push_back(NamesOf(opt));
    }
    return out;
}

void Walk(const CLI::App* app, const std::string& path, std::map<std::string, OptionNames>& commands) {
    const auto subs = app->get_subcommands([](const CLI::App*) { return true; });
    if (subs.empty() && !path.empty()) commands[path] = OptionsOf(app);
    for (const CLI::App* sub : subs)
        if (!sub->get_group().empty())  // a command of the program's own (a worker), not for users
            Walk(sub, path.empty() ? sub->get_name() : path + " " + sub->get_name(), commands);
}

class ManPage : public ::testing::Test {
protected:
    ManPage() : app_("", "tolvane2-cli"), registry_(app_) {
        cli::AddGlobalOptions(app_, globals_);
        cli::RegisterAll(registry_);
        Walk(&app_, "", commands_);
        for (const auto& [path, options] : commands_)
            for (const auto& names : options) known_.insert(names.begin(), names.end());
        for (const CLI::Option* opt : app_.get_options()) {
            const auto names = NamesOf(opt);
            globalOptions_.insert(names.begin(), names.end());
        }
        known_.insert(globalOptions_.begin(), globalOptions_.end());
        page_ = ReadPage(TOLVANE2_CLI_MAN_PAGE);
    }

    // The command a synopsis begins with: the longest run of words that is a
    // command, or the first word when none is.
    std::string CommandOf(const std::vector<std::string>& words) const {
        std::string path, best;
        for (const std::string& w : words) {
            path += path.empty() ? w : " " + w;
            if (commands_.count(path)) best = path;
        }
        return best.empty() && !words.empty() ? words[0] : best;
    }

    CLI::App app_;
    cli::GlobalOptions globals_;
    cli::Registry registry_;
    std::map<std::string, OptionNames> commands_;  // every command a user can give
    std::set<std::string> known_, globalOptions_;
    Page page_;
};

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

// "[--from", "SUB]", "on|off", "--listen" -> the option names in a text
// (with `shortToo` false only the long ones: prose may quote other programs).
std::set<std::string> OptionWords(const std::string& text, bool shortToo = true) {
    std::set<std::string> found;
    std::string cleaned = text;
    for (char& c : cleaned)
        if (c == '[' || c == ']' || c == '|' || c == ',' || c == '(' || c == ')' || c == '=') c = ' ';
    for (std::string w : Words(cleaned)) {
        while (!w.empty() && (w.back() == '.' || w.back() == ':' || w.back() == ';')) w.pop_back();
        const bool isLong =
            w.size() > 2 && w.compare(0, 2, "--") == 0 && std::isalpha(static_cast<unsigned char>(w[2]));
        const bool isShort = shortToo && w.size() == 2 && w[0] == '-' && std::isalpha(static_cast<unsigned char>(w[1]));
        if (isLong || isShort) found.insert(w);
    }
    return found;
}

bool IsCommandSection(const std::string& section) {
    return section.find("COMMANDS") != std::string::npos || section == "PRODUCTION";
}

// ---------------------------------------------------------------------------

TEST_F(ManPage, EveryCommandHasOneSynopsisWithExactlyItsOptions) {
    ASSERT_FALSE(page_.tags.empty()) << "cannot read " << TOLVANE2_CLI_MAN_PAGE;
    std::map<std::string, int> documented;
    for (const Tag& tag : page_.tags) {
        if (!IsCommandSection(tag.section) || tag.text.empty() || tag.text[0] == '-') continue;
        const std::string where = "line " + std::to_string(tag.line) + ": \"" + tag.text + "\"";
        const std::string command = CommandOf(Words(tag.text));
        auto it = commands_.find(command);
        if (it == commands_.end()) {
            ADD_FAILURE() << where << " names the command '" << command << "', which tolvane2-cli does not have";
            continue;
        }
        EXPECT_EQ(++documented[command], 1) << where << ": a second entry for '" << command << "'";
        // A tag is one input line; brackets that open on it close on it.
        EXPECT_EQ(std::count(tag.text.begin(), tag.text.end(), '['), std::count(tag.text.begin(), tag.text.end(), ']'))
            << where << " opens a bracket that it does not close (the tag of .TP is one line)";
        const std::set<std::string> shown = OptionWords(tag.text);
        std::set<std::string> own;
        for (const auto& names : it->second) {
            own.insert(names.begin(), names.end());
            if (std::none_of(names.begin(), names.end(), [&](const auto& n) { return shown.count(n); }))
                ADD_FAILURE() << where << " lacks the option " << Shown(names) << " of '" << command << "'";
        }
        for (const std::string& o : shown)
            if (!own.count(o)) ADD_FAILURE() << where << " names " << o << ", which '" << command << "' does not take";
    }
    for (const auto& [path, options] : commands_)
        if (!documented.count(path)) ADD_FAILURE() << "the manual page has no entry for '" << path << "'";
}

TEST_F(ManPage, NamesNoOptionThatTheProgramLacksAndEveryGlobalOne) {
    for (const std::string& o : OptionWords(page_.text, false))
        if (!known_.count(o))
            ADD_FAILURE() << "the manual page names " << o << ", which no command of tolvane2-cli takes";
    std::set<std::string> global;
    for (const Tag& tag : page_.tags)
        if (tag.section == "GLOBAL OPTIONS")
            for (const std::string& o : OptionWords(tag.text)) global.insert(o);
    for (const std::string& o : global)
        if (!globalOptions_.count(o)) ADD_FAILURE() << "GLOBAL OPTIONS names " << o << ", which is no global option";
    for (const CLI::Option* opt : app_.get_options()) {
        const auto names = NamesOf(opt);
        if (std::none_of(names.begin(), names.end(), [&](const auto& n) { return global.count(n); }))
            ADD_FAILURE() << "GLOBAL OPTIONS lacks " << Shown(names);
    }
}

TEST_F(ManPage, HeaderCarriesTheProgramVersion) {
    const std::vector<std::string> th = Arguments(page_.header.substr(page_.header.find(' ')));
    ASSERT_GE(th.size(), 4u) << page_.header;
    EXPECT_EQ(th[0], "TOLVANE2-CLI");
    EXPECT_EQ(th[3], std::string("Tolvane2 ") + cli::kToolVersion) << page_.header;
}

}  // namespace
