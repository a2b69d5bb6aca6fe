// The JSON form of panel files, mode files and gamma table files: named
// fields, the editor's list texts beside their indices, and every byte of the
// file kept (reserved bytes and name tails included), so that a file turned
// into JSON and back is the same file byte for byte.
#pragma once

#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "tolvane/records.h"

namespace cli {

using Json = nlohmann::ordered_json;

// A field of the JSON form that is missing, of the wrong type or out of range.
class JsonFormError : public std::runtime_error {
public:
    JsonFormError(std::string path, const std::string& message)
        : std::runtime_error(path + ": " + message), path_(std::move(path)) {}
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline constexpr const char* kPanelFormat = "tolvane2-panel";
inline constexpr const char* kModesFormat = "tolvane2-modes";
inline constexpr const char* kGammaFormat = "tolvane2-gamma";

// `complete` writes every optional field (null or 0 when it holds nothing)
// and all 38 mode slots, so that two forms have the same fields in the same order.
Json PanelToJson(const PanelRecord& record, bool complete = false);
Json ModesToJson(const ModeTable& table, bool complete = false);
Json GammaToJson(const GammaTable& table);

// Each throws JsonFormError naming the path of the first wrong field.
PanelRecord PanelFromJson(const Json& json);
ModeTable ModesFromJson(const Json& json);
GammaTable GammaFromJson(const Json& json);

// The list texts shown beside indices (null when the index has no entry).
Json ListText(const char* const* list, std::size_t count, unsigned index);
// " 1x18 Bit " .. " 2x24 Bit " for (colorDepth, dualPixel), null for others.
Json InterfaceText(const PanelRecord& record);

}  // namespace cli
