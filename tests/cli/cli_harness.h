// Running tolvane2-cli in-process for the tests, with files in a fresh folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli_app.h"

namespace clitest {

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
inline void WriteText(const fs::path& p, const std::string& s) { WriteBytes(p, Bytes(s.begin(), s.end())); }

class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tolvane_cli_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string P(const std::string& name) const { return (dir_ / name).string(); }
    fs::path dir_;
};

}  // namespace clitest
