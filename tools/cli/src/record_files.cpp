#include "record_files.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

#include "tolvane/file_io.h"
#include "tolvane/files.h"
#include "tolvane/panel.h"

namespace fs = std::filesystem;

namespace cli {
namespace {

constexpr std::uintmax_t kMaxJsonSize = 4 * 1024 * 1024;

// A path as UTF-8 for messages: path::string() would use the Windows ANSI code page.
std::string Utf8(const fs::path& p) {
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Returns false with an empty `error` when the file is no JSON but may be a
// binary file that happens to begin with '{' (a gamma table can).
bool LoadJsonForm(const fs::path& path, std::optional<FileKindId> forced, RecordFile& out, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Json json;
    try {
        json = Json::parse(text);
    } catch (const Json::parse_error& e) {
        const std::size_t n = text.size();
        if (n != kGammaFileSize && n != kPanelFileSize && n != kModeFileSize)
            error = Utf8(path) + ": not valid JSON: " + e.what();
        return false;
    }
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
        out.kind = kind;
        out.fromJson = true;
        switch (kind) {
            case FileKindId::Panel: out.panel = PanelFromJson(json); break;
            case FileKindId::Modes: out.modes = ModesFromJson(json); break;
            case FileKindId::Gamma: out.gamma = GammaFromJson(json); break;
        }
    } catch (const JsonFormError& e) {
        error = Utf8(path) + ": " + e.what();
        return false;
    }
    return true;
}

}  // namespace

const char* KindName(FileKindId kind) {
    switch (kind) {
        case FileKindId::Modes: return "mode table";
        case FileKindId::Gamma: return "gamma table";
        case FileKindId::Panel:
        default: return "panel";
    }
}

bool LoadRecordFile(const std::string& utf8Path, std::optional<FileKindId> forced, RecordFile& out,
                    std::string& error) {
    const fs::path path = PathFromUtf8(utf8Path);
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        error = Utf8(path) + ": no such file";
        return false;
    }
    if (!fs::is_regular_file(path, ec)) {
        error = Utf8(path) + ": not a regular file";
        return false;
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) {
        error = Utf8(path) + ": cannot read its size: " + ec.message();
        return false;
    }
    char first = 0;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            error = Utf8(path) + ": cannot be opened";
            return false;
        }
        char c;
        while (in.get(c))
            if (!std::isspace(static_cast<unsigned char>(c))) {
                first = c;
                break;
            }
    }
    if (first == '{' && size <= kMaxJsonSize) {
        if (LoadJsonForm(path, forced, out, error)) return true;
        if (!error.empty()) return false;
    }

    char magic[8] = {};
    {
        std::ifstream in(path, std::ios::binary);
        in.read(magic, 8);
        if (in.gcount() != 8) std::memset(magic, 0, sizeof magic);
    }
    const bool hasMagic = HasRecordMagic(magic);
    // Magic and exact size leave no doubt; a command that needs another kind
    // refuses the file instead of taking part of it (the editor would load the
    // first 512 bytes of a mode file as a panel).
    std::optional<FileKindId> certain;
    if (hasMagic && size == kModeFileSize) certain = FileKindId::Modes;
    else if (hasMagic && size == kPanelFileSize) certain = FileKindId::Panel;
    if (forced && certain && *forced != *certain) {
        error = Utf8(path) + ": is a " + std::string(KindName(*certain)) + " file, not a " + KindName(*forced) +
                " file";
        return false;
    }
    std::optional<FileKindId> kind = forced;
    if (!kind) {
        const std::string ext = Lower(Utf8(path.extension()));
        if (size == kGammaFileSize && !hasMagic) kind = FileKindId::Gamma;
        else if (certain) kind = certain;
        else if (ext == ".mod") kind = FileKindId::Modes;
        else if (ext == ".pnl") kind = FileKindId::Panel;
        else if (ext == ".gam") kind = FileKindId::Gamma;
        else if (hasMagic && size > kModeFileSize) kind = FileKindId::Modes;
        else if (hasMagic && size > kPanelFileSize) kind = FileKindId::Panel;
        else {
            error = Utf8(path) + ": not a panel file (512 bytes), mode file (2116 bytes) or gamma table file "
                                    "(256 bytes); name its kind with --kind";
            return false;
        }
    }
    out = RecordFile{};
    out.kind = *kind;
    bool wrongFormat = false;
    switch (*kind) {
        case FileKindId::Panel:
            if (!ReadPanelFile(path, out.panel, wrongFormat)) {
                error = Utf8(path) + ": " +
                        (wrongFormat ? "ERROR: Wrong format of panel file !" : "ERROR: Can't load panel data !");
                return false;
            }
            break;
        case FileKindId::Modes:
            if (!ReadModeFile(path, out.modes, wrongFormat)) {
                error = Utf8(path) + ": " +
                        (wrongFormat ? "ERROR: Wrong format of mode file !" : "ERROR: Can't load mode table !");
                return false;
            }
            break;
        case FileKindId::Gamma:
            if (!ReadGammaFile(path, out.gamma)) {
                error = Utf8(path) + ": ERROR: Wrong format of gamma table !";
                return false;
            }
            break;
    }
    return true;
}

bool SaveRecordFile(const std::string& utf8Path, const RecordFile& file, std::string& error) {
    const fs::path path = PathFromUtf8(utf8Path);
    bool ok = false;
    switch (file.kind) {
        case FileKindId::Panel: ok = WritePanelFile(path, file.panel); break;
        case FileKindId::Modes: ok = WriteModeFile(path, file.modes); break;
        case FileKindId::Gamma: ok = WriteGammaFile(path, file.gamma); break;
    }
    if (!ok) {
        switch (file.kind) {
            case FileKindId::Panel: error = Utf8(path) + ": ERROR: Can't write panel data !"; break;
            case FileKindId::Modes: error = Utf8(path) + ": ERROR: Can't write mode table !"; break;
            case FileKindId::Gamma: error = Utf8(path) + ": cannot write the gamma table file"; break;
        }
    }
    return ok;
}

Json RecordToJson(const RecordFile& file) {
    switch (file.kind) {
        case FileKindId::Modes: return ModesToJson(file.modes);
        case FileKindId::Gamma: return GammaToJson(file.gamma);
        case FileKindId::Panel:
        default: return PanelToJson(file.panel);
    }
}

}  // namespace cli
