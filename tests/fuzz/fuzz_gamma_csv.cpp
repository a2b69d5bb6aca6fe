// The CSV reader of `gamma from-csv` on any text. A refusal names a line of
// the text (or none) and comes with a message; an accepted table written out
// as `gamma to-csv` writes it reads back as the same table.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "files/gamma_csv.h"

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "gamma csv: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    GammaTable table{};
    std::memset(table.level, 0xA5, sizeof table.level);
    std::string error;
    int line = -1;
    if (!cli::ParseGammaCsv(text, table, error, line)) {
        if (error.empty()) Fail("refused without a message");
        std::size_t lines = 1;
        for (char c : text) lines += c == '\n';
        if (line < 0 || static_cast<std::size_t>(line) > lines) Fail("the refusal names a line the text does not have");
        for (uint8_t v : table.level)
            if (v != 0xA5) Fail("a refused text changed the table");
        return 0;
    }
    std::string csv = "input,output\n";
    for (int i = 0; i < 256; ++i) csv += std::to_string(i) + "," + std::to_string(table.level[i]) + "\n";
    GammaTable back{};
    if (!cli::ParseGammaCsv(csv, back, error, line)) Fail("its own CSV is refused");
    if (std::memcmp(back.level, table.level, sizeof table.level) != 0) Fail("its own CSV reads back differently");
    return 0;
}
