// Arguments quoted for a worker's command line come back as they were when
// Windows splits the line again: blanks, quotes, backslashes before a quote
// and at the end, empty arguments, text outside any code page.
#include <gtest/gtest.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/worker_processes.h"

namespace {

std::vector<std::wstring> Split(const std::wstring& commandLine) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(commandLine.c_str(), &count);
    std::vector<std::wstring> out;
    if (argv == nullptr) return out;
    for (int i = 0; i < count; ++i) out.emplace_back(argv[i]);
    LocalFree(argv);
    return out;
}

TEST(WorkerCommandLine, EveryArgumentComesBackAsItWas) {
    const std::vector<std::wstring> cases = {
        L"_worker",
        L"{\"device\":\"COM1\",\"addresses\":[0,5]}",
        L"C:\\Program Files\\tolvane2\\",
        L"C:\\dir\\",
        L"a\\\\\"b",
        L"\\\"",
        L"\\\\",
        L"",
        L" ",
        L"tab\there",
        L"line\nend",
        L"\"",
        L"\"\"",
        L"\\\\server\\share\\P\u00e4nel-\u9762\u677f.PNL",
        L"ends in a quote\"",
    };
    std::wstring line = L"\"C:\\tools\\tolvane2-cli.exe\"";
    for (const std::wstring& a : cases) line += L" " + cli::platform::QuoteArgument(a);
    const std::vector<std::wstring> back = Split(line);
    ASSERT_EQ(back.size(), cases.size() + 1);
    EXPECT_EQ(back[0], L"C:\\tools\\tolvane2-cli.exe");
    for (std::size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(back[i + 1], cases[i]) << "case " << i;
}

TEST(WorkerCommandLine, PlainArgumentsAreNotQuoted) {
    EXPECT_EQ(cli::platform::QuoteArgument(L"_worker"), L"_worker");
    EXPECT_EQ(cli::platform::QuoteArgument(L"C:\\dir\\"), L"C:\\dir\\");
    EXPECT_EQ(cli::platform::QuoteArgument(L""), L"\"\"");
}

}  // namespace
