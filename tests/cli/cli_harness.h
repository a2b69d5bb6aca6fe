// Running tolvane2-cli in-process for the tests, with files in a fresh folder.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli_app.h"

namespace clitest {

// `program` starts its workers as copies of the running executable. A test
// that reaches that point in-process would start copies of the test binary,
// each running every test again; such a copy stops here at once instead.
inline const bool kNotStartedAsWorker = [] {
    std::ifstream f("/proc/self/cmdline", std::ios::binary);
    std::string program, first;
    std::getline(f, program, '\0');
    std::getline(f, first, '\0');
    if (first != "_worker") return true;
    std::fputs("a test ran program in-process: the test binary was started as its worker\n", stderr);
    std::_Exit(97);
}();

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct Result {
    int code = -1;
    std::string out;
    std::string err;
};

inline Result Cli(std::vector<std::string> args) {
    std::ostringstream out, err;
    Result r;
    r.code = cli::RunCli(args, out, err, false);
    r.out = out.str();
    r.err = err.str();
    return r;
}

inline Bytes ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
inline void WriteBytes(const fs::path& p, const Bytes& b) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}
inline std::string ReadText(const fs::path& p) {
    Bytes b = ReadBytes(p);
    return std::string(b.begin(), b.end());
}

// The records of a JSON Lines file (a program report), one per line.
template <class Json>
std::vector<Json> ReadJsonLines(const fs::path& p) {
    std::vector<Json> lines;
    std::istringstream in(ReadText(p));
    for (std::string line; std::getline(in, line);) lines.push_back(Json::parse(line));
    return lines;
}
inline void WriteText(const fs::path& p, const std::string& s) { WriteBytes(p, Bytes(s.begin(), s.end())); }

// Removes a folder a test made, also when the test took a permission away
// from a folder inside it.
inline void RemoveTree(const fs::path& dir) {
    std::error_code ec;
    fs::remove_all(dir, ec);
    if (!ec || !fs::exists(dir, ec)) return;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        std::error_code ignored;
        if (it->is_directory(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(dir, ec);
}

// A fresh folder for each test, named after it ("tolvane_cli_Suite_Test_3_k2x9q1"),
// removed after the test, also after a failure. Parameterised tests have a
// '/' in their names: it becomes '_', so that the folder is one level.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        name.resize(std::min<std::size_t>(name.size(), 120));
        std::random_device random;
        for (int attempt = 0; attempt < 100 && dir_.empty(); ++attempt) {
            const fs::path dir = fs::temp_directory_path() / ("tolvane_cli_" + name + "_" + std::to_string(random()));
            std::error_code ec;
            if (fs::create_directory(dir, ec)) dir_ = dir;
        }
        // Thrown, not asserted: the SetUp of a derived fixture must not go on
        // to write into the current folder.
        if (dir_.empty()) throw std::runtime_error("cannot make a folder in " + fs::temp_directory_path().string());
    }
    void TearDown() override {
        if (!dir_.empty()) RemoveTree(dir_);
    }
    std::string P(const std::string& name) const { return (dir_ / name).string(); }
    fs::path dir_;
};

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        Set(name, value);
    }
    ~ScopedEnv() { Set(name_, old_ ? old_->c_str() : nullptr); }

private:
    static void Set(const char* name, const char* value) {
#ifdef _WIN32
        _putenv_s(name, value ? value : "");  // "" removes the variable there
#else
        if (value) ::setenv(name, value, 1);
        else ::unsetenv(name);
#endif
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace clitest
