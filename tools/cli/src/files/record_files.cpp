#include "files/record_files.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "file_policy.h"
#include "platform/terminal.h"
#include "text_out.h"
#include "tolvane/file_io.h"
#include "tolvane/files.h"
#include "tolvane/panel.h"

namespace fs = std::filesystem;

namespace cli {
namespace {

constexpr std::size_t kMaxJsonSize = 4 * 1024 * 1024;
constexpr std::size_t kModeCountOffset = 10;

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Where the first character after blanks and a UTF-8 byte-order mark is, or npos.
std::size_t FirstCharacter(std::string_view text) {
    std::size_t i = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    return i < text.size() ? i : std::string_view::npos;
}

// "line 3, column 7" of the byte at `offset` (1-based, as the parser counts).
std::string LineAndColumn(std::string_view text, std::size_t offset) {
    const std::size_t end = std::min(offset == 0 ? 0 : offset - 1, text.size());
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i < end; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++column;  // a character, not a continuation byte of one
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// The JSON parser keeping where it stopped for any error: a number too big
// for a double is no parse_error and carries no position of its own.
struct JsonReader : nlohmann::detail::json_sax_dom_parser<Json> {
    explicit JsonReader(Json& into) : json_sax_dom_parser(into, false) {}
    template <class Exception>
    bool parse_error(std::size_t at, const std::string& /*token*/, const Exception& e) {
        errorAt = at;
        reason = e.what();
        return false;
    }
    std::size_t errorAt = 0;
    std::string reason;
};

// The parser's reason without its own prefix and position.
std::string ParseReason(const std::string& what) {
    const std::size_t at = what.find("parse error");
    if (at == std::string::npos) {
        const std::size_t bracket = what.find("] ");  // "[json.exception.out_of_range.406] number overflow ..."
        return ShownPath(bracket == std::string::npos ? what : what.substr(bracket + 2));
    }
    const std::size_t colon = what.find(": ", at);
    return ShownPath(colon == std::string::npos ? what : what.substr(colon + 2));
}

// Bytes as a quoted text for messages: printable ASCII as it is, the rest as \xHH.
std::string Printable(const uint8_t* bytes, std::size_t n) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out(1, '"');
    for (std::size_t i = 0; i < n; ++i) {
        if (bytes[i] >= 0x20 && bytes[i] < 0x7F && bytes[i] != '"' && bytes[i] != '\\') {
            out += static_cast<char>(bytes[i]);
        } else {
            out += "\\x";
            out += digits[bytes[i] >> 4];
            out += digits[bytes[i] & 15];
        }
    }
    return out + '"';
}

std::size_t BinarySize(FileKindId kind) {
    switch (kind) {
        case FileKindId::Modes:
            return kModeFileSize;
        case FileKindId::Gamma:
            return kGammaFileSize;
        case FileKindId::Panel:
        default:
            return kPanelFileSize;
    }
}

// Why the editor's reader refused a binary file, from its first bytes and size.
std::string RefusalDetail(FileKindId kind, const uint8_t* head, long got, std::uint64_t size) {
    const std::size_t need = BinarySize(kind);
    const std::string what = kind == FileKindId::Modes   ? "a mode file"
                             : kind == FileKindId::Gamma ? "a gamma table file"
                                                         : "a panel file";
    if (kind == FileKindId::Gamma || size < need)
        return what + " is " + std::to_string(need) + " bytes, this one is " + std::to_string(size);
    if (got >= 8 && !HasRecordMagic(reinterpret_cast<const char*>(head)))
        return what + " begins with \"VANTRL2\\x00\", this one with " + Printable(head, 8);
    if (kind == FileKindId::Modes && got >= static_cast<long>(kModeCountOffset + 2)) {
        const unsigned count = head[kModeCountOffset] | (head[kModeCountOffset + 1] << 8);
        if (count > kMaxModes)
            return "its mode count is " + std::to_string(count) + ", at most " + std::to_string(kMaxModes);
    }
    if (kind == FileKindId::Panel && size == kModeFileSize) return "it is a mode file (2116 bytes)";
    return {};
}

bool LoadBinary(const fs::path& path, FileKindId kind, RecordFile& out, std::string& error) {
    const std::string shown = ShownPath(path);
    out = RecordFile{};
    out.kind = kind;
    bool wrongFormat = false, ok = false;
    std::string refusal;
    switch (kind) {
        case FileKindId::Panel:
            ok = ReadPanelFile(path, out.panel, wrongFormat);
            refusal = wrongFormat ? "ERROR: Wrong format of panel file !" : "ERROR: Can't load panel data !";
            break;
        case FileKindId::Modes:
            ok = ReadModeFile(path, out.modes, wrongFormat);
            refusal = wrongFormat ? "ERROR: Wrong format of mode file !" : "ERROR: Can't load mode table !";
            break;
        case FileKindId::Gamma:
            ok = ReadGammaFile(path, out.gamma);
            refusal = "ERROR: Wrong format of gamma table !";
            break;
    }
    uint8_t head[16] = {};
    std::uint64_t size = 0;
    const long got = ReadFileStart(path, head, sizeof head, &size);
    if (!ok) {
        const std::string detail = got < 0 ? std::string() : RefusalDetail(kind, head, got, size);
        error = shown + ": " + refusal + (detail.empty() ? "" : " (" + detail + ")");
        return false;
    }
    const std::size_t need = BinarySize(kind);
    if (size > need) {
        const std::uint64_t extra = size - need;
        out.warnings.push_back(shown + ": warning: the " + std::to_string(extra) + (extra == 1 ? " byte" : " bytes") +
                               " after the first " + std::to_string(need) + " (" + KindName(kind) + ") are ignored");
    }
    return true;
}

}  // namespace

const char* KindName(FileKindId kind) {
    switch (kind) {
        case FileKindId::Modes:
            return "mode table";
        case FileKindId::Gamma:
            return "gamma table";
        case FileKindId::Panel:
        default:
            return "panel";
    }
}

bool LoadJsonText(std::string_view text, std::optional<FileKindId> forced, RecordFile& out, std::string& error) {
    Json json;
    JsonReader reader(json);
    if (!Json::sax_parse(text, &reader)) {
        error = "not valid JSON: " + LineAndColumn(text, reader.errorAt) + ": " + ParseReason(reader.reason);
        return false;
    }
    RecordFile loaded;
    try {
        std::string format;
        if (json.is_object() && json.contains("format") && json["format"].is_string())
            format = json["format"].get<std::string>();
        FileKindId kind;
        if (format == kPanelFormat) kind = FileKindId::Panel;
        else if (format == kModesFormat) kind = FileKindId::Modes;
        else if (format == kGammaFormat) kind = FileKindId::Gamma;
        else
            throw JsonFormError("format", std::string("must be \"") + kPanelFormat + "\", \"" + kModesFormat +
                                              "\" or \"" + kGammaFormat + "\"");
        if (forced && *forced != kind)
            throw JsonFormError("format", std::string("is a ") + KindName(kind) + ", not a " + KindName(*forced));
        loaded.kind = kind;
        loaded.fromJson = true;
        switch (kind) {
            case FileKindId::Panel:
                loaded.panel = PanelFromJson(json);
                break;
            case FileKindId::Modes:
                loaded.modes = ModesFromJson(json);
                break;
            case FileKindId::Gamma:
                loaded.gamma = GammaFromJson(json);
                break;
        }
    } catch (const JsonFormError& e) {
        error = ShownPath(std::string_view(e.what()));
        return false;
    } catch (const Json::exception& e) {
        error = "not a JSON form the tool reads: " + ShownPath(std::string_view(e.what()));
        return false;
    }
    out = loaded;
    return true;
}

bool LoadRecordFile(const std::string& utf8Path, std::optional<FileKindId> forced, RecordFile& out,
                    std::string& error) {
    const fs::path path = PathFromUtf8(utf8Path);
    const std::string shown = ShownPath(path);
    if (!IsRegularFile(path, error)) return false;
    // The kind by content first: JSON begins with '{' (after blanks).
    uint8_t start[4096];
    std::uint64_t size = 0;
    const long got = ReadFileStart(path, start, sizeof start, &size);
    if (got < 0) {
        error = shown + ": cannot be opened";
        return false;
    }
    const std::string_view head(reinterpret_cast<const char*>(start), static_cast<std::size_t>(got));
    const std::size_t first = FirstCharacter(head);
    if (first != std::string_view::npos && head[first] == '{') {
        std::string text;
        if (!ReadSmallFile(path, kMaxJsonSize, text, error)) return false;
        if (LoadJsonText(text, forced, out, error)) return true;
        // A gamma table may begin with the byte '{'; named as one (--kind gamma
        // or the extension .GAM) it is read so when it is no JSON.
        const bool parseFailed = error.rfind("not valid JSON", 0) == 0;
        const bool namedGamma = forced ? *forced == FileKindId::Gamma : Lower(Utf8FromPath(path.extension())) == ".gam";
        if (!(parseFailed && namedGamma && size == kGammaFileSize)) {
            error = shown + ": " + error;
            if (parseFailed && size == kGammaFileSize)
                error += " (a gamma table file that begins with '{' is read as one with --kind gamma)";
            return false;
        }
    }

    const bool hasMagic = got >= 8 && HasRecordMagic(reinterpret_cast<const char*>(start));
    // Magic and exact size leave no doubt; a command that needs another kind
    // refuses the file instead of taking part of it (the editor would load the
    // first 512 bytes of a mode file as a panel).
    std::optional<FileKindId> certain;
    if (hasMagic && size == kModeFileSize) certain = FileKindId::Modes;
    else if (hasMagic && size == kPanelFileSize) certain = FileKindId::Panel;
    if (forced && certain && *forced != *certain) {
        error = shown + ": is a " + std::string(KindName(*certain)) + " file, not a " + KindName(*forced) + " file";
        return false;
    }
    std::optional<FileKindId> kind = forced;
    if (!kind) {
        const std::string ext = Lower(Utf8FromPath(path.extension()));
        if (size == kGammaFileSize && !hasMagic) kind = FileKindId::Gamma;
        else if (certain) kind = certain;
        else if (ext == ".mod") kind = FileKindId::Modes;
        else if (ext == ".pnl") kind = FileKindId::Panel;
        else if (ext == ".gam") kind = FileKindId::Gamma;
        else if (hasMagic && size > kModeFileSize) kind = FileKindId::Modes;
        else if (hasMagic && size > kPanelFileSize) kind = FileKindId::Panel;
        else {
            error = shown +
                    ": not a panel file (512 bytes), mode file (2116 bytes) or gamma table file "
                    "(256 bytes), nor a JSON form; it is " +
                    std::to_string(size) + " bytes; name its kind with --kind";
            return false;
        }
    }
    return LoadBinary(path, *kind, out, error);
}

std::string RecordFileBytes(const RecordFile& file) {
    switch (file.kind) {
        case FileKindId::Modes: {
            uint8_t bytes[kModeFileSize];
            ModeTableToFileBytes(file.modes, bytes);
            return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
        }
        case FileKindId::Gamma:
            return std::string(reinterpret_cast<const char*>(file.gamma.level), sizeof file.gamma.level);
        case FileKindId::Panel:
        default: {
            uint8_t bytes[kPanelFileSize];
            PanelRecordToFileBytes(file.panel, bytes);
            return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
        }
    }
}

std::string WriteFailureText(FileKindId kind) {
    switch (kind) {
        case FileKindId::Modes:
            return "ERROR: Can't write mode table !";
        case FileKindId::Gamma:
            return "cannot write the gamma table file";
        case FileKindId::Panel:
        default:
            return "ERROR: Can't write panel data !";
    }
}

bool SaveRecordFile(const std::string& utf8Path, const RecordFile& file, std::string& error) {
    const std::string bytes = RecordFileBytes(file);
    if (utf8Path == "-") {
        if (platform::StdoutIsTerminal()) {
            error = "a binary file is not written to a terminal; redirect standard output or name a file with -o";
            return false;
        }
        if (const int why = WriteAll(1, bytes.data(), bytes.size()); why != 0) {
            error = "cannot write to standard output: " + SystemReason(why);
            return false;
        }
        return true;
    }
    const fs::path path = PathFromUtf8(utf8Path);
    if (WriteFileAtomically(path, bytes.data(), bytes.size())) return true;
    error = WriteFailure(path, WriteFailureText(file.kind), errno);
    return false;
}

Json RecordToJson(const RecordFile& file) {
    switch (file.kind) {
        case FileKindId::Modes:
            return ModesToJson(file.modes);
        case FileKindId::Gamma:
            return GammaToJson(file.gamma);
        case FileKindId::Panel:
        default:
            return PanelToJson(file.panel);
    }
}

}  // namespace cli
