// The JSON reader of tolvane2-cli (from-json, and every command that takes a
// JSON form) on any text. A first byte 'P', 'M' or 'G' names the kind as
// --kind does; the rest is the file. A refusal comes with a message that is
// valid UTF-8; an accepted form turns into JSON and back into the same bytes.
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "files/record_files.h"
#include "text_out.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "json reader: %s %s\n", what, detail.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::optional<cli::FileKindId> forced;
    if (!text.empty() && (text[0] == 'P' || text[0] == 'M' || text[0] == 'G')) {
        forced = text[0] == 'P'   ? cli::FileKindId::Panel
                 : text[0] == 'M' ? cli::FileKindId::Modes
                                  : cli::FileKindId::Gamma;
        text.remove_prefix(1);
    }
    cli::RecordFile file;
    std::string error;
    if (!cli::LoadJsonText(text, forced, file, error)) {
        if (error.empty()) Fail("refused without a message");
        if (!cli::IsValidUtf8(error)) Fail("a message that is no UTF-8:", error);
        return 0;
    }
    if (forced && file.kind != *forced) Fail("accepted another kind than the one named");
    const std::string dumped = cli::RecordToJson(file).dump(2);
    cli::RecordFile again;
    if (!cli::LoadJsonText(dumped, std::nullopt, again, error)) Fail("its own JSON form is refused:", error);
    if (again.kind != file.kind || cli::RecordFileBytes(again) != cli::RecordFileBytes(file))
        Fail("the JSON form does not give the same bytes back");
    return 0;
}
