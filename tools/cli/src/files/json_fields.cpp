#include "files/json_fields.h"

#include <cstring>

#include "tolvane/panel.h"

namespace cli::json_fields {
namespace {

int Digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

bool Utf8ToLatin1(const std::string& text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size() &&
                   (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
            out += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F));
            ++i;
        } else {
            return false;
        }
    }
    return true;
}

std::string Hex(const uint8_t* bytes, std::size_t n) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

bool AllZero(const uint8_t* bytes, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

std::string Tenths(unsigned v) { return std::to_string(v / 10) + "." + std::to_string(v % 10); }

std::string Join(const std::string& path, const std::string& name) { return path.empty() ? name : path + "." + name; }

Fields::Fields(const Json& json, std::string path) : json_(json), path_(std::move(path)) {
    if (!json_.is_object()) throw JsonFormError(path_.empty() ? "$" : path_, "must be an object");
}

uint64_t Fields::Uint(const std::string& name, uint64_t max) { return CheckUint(Get(name), Join(path_, name), max); }

uint64_t Fields::UintOr(const std::string& name, uint64_t max, uint64_t fallback) {
    if (!Has(name)) return fallback;
    return Uint(name, max);
}

bool Fields::Bool(const std::string& name) {
    const Json& v = Get(name);
    if (!v.is_boolean()) throw JsonFormError(Join(path_, name), "must be true or false");
    return v.get<bool>();
}

bool Fields::BoolOr(const std::string& name, bool fallback) { return Has(name) ? Bool(name) : fallback; }

std::string Fields::Text(const std::string& name) {
    const Json& v = Get(name);
    if (!v.is_string()) throw JsonFormError(Join(path_, name), "must be a string");
    std::string bytes;
    if (!Utf8ToLatin1(v.get<std::string>(), bytes))
        throw JsonFormError(Join(path_, name), "holds a character beyond U+00FF (one byte per character)");
    return bytes;
}

void Fields::HexOr(const std::string& name, uint8_t* out, std::size_t n) {
    std::memset(out, 0, n);
    if (!Has(name)) return;
    const Json& v = Get(name);
    if (v.is_null()) return;
    const std::string path = Join(path_, name);
    if (!v.is_string()) throw JsonFormError(path, "must be a string of hexadecimal digits");
    const std::string s = v.get<std::string>();
    if (s.size() != 2 * n) throw JsonFormError(path, "must hold " + std::to_string(2 * n) + " hexadecimal digits");
    for (std::size_t i = 0; i < n; ++i) {
        const int hi = Digit(s[2 * i]), lo = Digit(s[2 * i + 1]);
        if (hi < 0 || lo < 0) throw JsonFormError(path, "must be hexadecimal digits 0-9, A-F");
        out[i] = static_cast<uint8_t>(hi * 16 + lo);
    }
}

bool Fields::Has(const std::string& name) {
    if (!json_.contains(name)) return false;
    used_.insert(name);
    return true;
}

void Fields::NoOthers() const {
    for (auto it = json_.begin(); it != json_.end(); ++it) {
        const std::string& key = it.key();
        if (used_.count(key) || key == "format" || key == "version") continue;
        if (key.size() > 4 && key.compare(key.size() - 4, 4, "Text") == 0) continue;
        throw JsonFormError(Join(path_, key), "is not a field of this format");
    }
}

uint64_t Fields::CheckUint(const Json& v, const std::string& path, uint64_t max) {
    if (!v.is_number_integer() || (!v.is_number_unsigned() && v.get<int64_t>() < 0))
        throw JsonFormError(path, "must be a whole number 0.." + std::to_string(max));
    const uint64_t x = v.get<uint64_t>();
    if (x > max) throw JsonFormError(path, std::to_string(x) + " is out of range 0.." + std::to_string(max));
    return x;
}

const Json& Fields::Get(const std::string& name) {
    if (!json_.contains(name)) throw JsonFormError(Join(path_, name), "is missing");
    used_.insert(name);
    return json_.at(name);
}

void ExpectFormat(const Json& json, const char* format) {
    if (!json.is_object()) throw JsonFormError("$", "must be an object");
    if (!json.contains("format")) throw JsonFormError("format", "is missing (\"" + std::string(format) + "\")");
    if (!json["format"].is_string() || json["format"].get<std::string>() != format)
        throw JsonFormError("format", "must be \"" + std::string(format) + "\"");
    if (json.contains("version") && (!json["version"].is_number_integer() || json["version"].get<int64_t>() != 1))
        throw JsonFormError("version", "must be 1");
}

void MagicFromJson(Fields& f, char (&magic)[8]) {
    const std::string m = f.Text("magic");
    if (m.size() != 7) throw JsonFormError(f.PathOf("magic"), "must be \"VANTRL2\" (any letter case)");
    char bytes[8] = {};
    std::memcpy(bytes, m.data(), 7);
    if (!HasRecordMagic(bytes)) throw JsonFormError(f.PathOf("magic"), "must be \"VANTRL2\" (any letter case)");
    std::memcpy(magic, bytes, 8);
}

Json GammaArray(const GammaTable& g) {
    Json a = Json::array();
    for (uint8_t v : g.level) a.push_back(v);
    return a;
}

void GammaFromArray(const Json& a, const std::string& path, GammaTable& g) {
    if (!a.is_array() || a.size() != 256) throw JsonFormError(path, "must be a list of 256 numbers 0..255");
    for (std::size_t i = 0; i < 256; ++i)
        g.level[i] = static_cast<uint8_t>(Fields::CheckUint(a[i], path + "[" + std::to_string(i) + "]", 255));
}

}  // namespace cli::json_fields
