// Reading and writing the JSON form field by field: each field is checked
// for its type and range and named by its path ("entries[3].vStart") when it
// is wrong; bytes that have no field of their own travel as hexadecimal text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "files/json_form.h"

namespace cli::json_fields {

// Code points U+0000..U+00FF back to bytes; false for anything else.
bool Utf8ToLatin1(const std::string& text, std::string& out);
std::string Hex(const uint8_t* bytes, std::size_t n);
bool AllZero(const uint8_t* bytes, std::size_t n);
// 123 -> "12.3"
std::string Tenths(unsigned v);

// "panelFlags" + "useGamma" -> "panelFlags.useGamma"; "" + "x" -> "x".
std::string Join(const std::string& path, const std::string& name);

// The fields of one JSON object, each read at most once; NoOthers() then
// refuses every key that was not read.
class Fields {
public:
    Fields(const Json& json, std::string path);

    // A whole number 0..max; anything else is refused with the field's path
    // and the range (never cut to the field's width).
    uint64_t Uint(const std::string& name, uint64_t max);
    uint64_t UintOr(const std::string& name, uint64_t max, uint64_t fallback);
    bool Bool(const std::string& name);
    bool BoolOr(const std::string& name, bool fallback);
    // A text of Latin-1 characters (one byte each).
    std::string Text(const std::string& name);
    // Exactly n bytes as 2n hex digits; absent or null means all zero.
    void HexOr(const std::string& name, uint8_t* out, std::size_t n);
    const Json& Sub(const std::string& name) { return Get(name); }
    std::string PathOf(const std::string& name) const { return Join(path_, name); }
    bool Has(const std::string& name);

    // Every key must be a known field; "...Text" keys and the format header
    // are for reading only.
    void NoOthers() const;

    static uint64_t CheckUint(const Json& v, const std::string& path, uint64_t max);

private:
    const Json& Get(const std::string& name);

    const Json& json_;
    std::string path_;
    std::set<std::string> used_;
};

// The format header: "format" must name this kind, "version" (when given) be 1.
void ExpectFormat(const Json& json, const char* format);
void MagicFromJson(Fields& f, char (&magic)[8]);

Json GammaArray(const GammaTable& g);
void GammaFromArray(const Json& a, const std::string& path, GammaTable& g);

}  // namespace cli::json_fields
