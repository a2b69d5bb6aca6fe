#include "output.h"

#include "text_out.h"

namespace cli {

std::string DumpJson(const Json& json) { return json.dump(2, ' ', false, Json::error_handler_t::replace); }

std::string DumpJsonLine(const Json& json) { return json.dump(-1, ' ', false, Json::error_handler_t::replace); }

std::string Plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string ShownText(std::string_view text) {
    if (IsValidUtf8(text)) return std::string(text);
    // ShownPath escapes control characters too; keep the line breaks and tabs
    // that messages are made of.
    std::string out;
    std::size_t from = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\n' && text[i] != '\t') continue;
        out += ShownPath(text.substr(from, i - from));
        if (i < text.size()) out += text[i];
        from = i + 1;
    }
    return out;
}

MessageLine::~MessageLine() { o_.Emit(kind_, text_.str()); }

void Output::Emit(MessageLine::Kind kind, const std::string& text) {
    const std::string shown = ShownText(text);
    if (kind == MessageLine::Kind::Error) errors_.push_back(shown);
    else if (quiet) return;
    if (kind != MessageLine::Kind::Plain) err << "tolvane2-cli: ";
    err << shown << "\n";
}

void Output::WriteJson(const Json& json) {
    jsonWritten_ = true;
    out << DumpJson(json) << "\n";
}

void Output::WriteJsonLine(const Json& json) {
    jsonWritten_ = true;
    out << DumpJsonLine(json) << "\n";
}

}  // namespace cli
