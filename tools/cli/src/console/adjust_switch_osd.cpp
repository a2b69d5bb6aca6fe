// adjust, colour, switch and osd: the board's live adjusters, the colour they
// act on, its switches and the on-screen text.
#include <cctype>

#include "board/link_session.h"
#include "console/console_commands.h"
#include "vantrel.h"

namespace cli::console {
namespace {

constexpr std::size_t kOsdMaxText = 25;

int Open(const BoardTarget& t, Output& o, const char* /*command*/, std::optional<Link>& link) {
    link.emplace(t);
    if (!link->IsOpen()) return PortFailed(t, o);
    return 0;
}

// A switch state as typed: on or off in any case, 1 or 0; -1 for anything else.
int SwitchState(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (text == "on" || text == "1") return 1;
    if (text == "off" || text == "0") return 0;
    return -1;
}

void Done(Output& o, const std::string& what) {
    if (o.json) o.WriteJson(Json{{"done", what}, {"ok", true}});
    else o.Note() << what;
}

}  // namespace

int CmdAdjustGet(const BoardTarget& t, const std::string& indexText, Output& o) {
    uint32_t index = 0;
    if (!ReadNumber(indexText, "adjuster", 0xFF, index, o)) return 2;
    std::optional<Link> link;
    if (int rc = Open(t, o, "adjust get", link)) return rc;
    AdjusterValues v{};
    const int32_t rc = Vantrel_ReadAdjuster(t.address, static_cast<int32_t>(index), &v);
    if (rc < 0) return TransferFailed(t, o, "reading adjuster " + std::to_string(index), rc);
    if (o.json) o.WriteJson(Json{{"adjuster", index}, {"values", {v.value1, v.value2, v.value3}}});
    else o.out << "adjuster " << index << ": " << v.value1 << " " << v.value2 << " " << v.value3 << "\n";
    return 0;
}

int CmdAdjustSet(const BoardTarget& t, const std::string& indexText, const std::string& valueText, Output& o) {
    uint32_t index = 0, value = 0;
    if (!ReadNumber(indexText, "adjuster", 0xFF, index, o) ||
        !ReadNumber(valueText, "adjuster value", 0xFFFF, value, o))
        return 2;
    std::optional<Link> link;
    if (int rc = Open(t, o, "adjust set", link)) return rc;
    int32_t rc = Vantrel_SetAdjuster(t.address, static_cast<int32_t>(index), static_cast<int32_t>(value));
    if (rc < 0) return TransferFailed(t, o, "setting adjuster " + std::to_string(index), rc);
    // The board keeps a value inside the adjuster's range: read what it holds now.
    AdjusterValues v{};
    rc = Vantrel_ReadAdjuster(t.address, static_cast<int32_t>(index), &v);
    if (rc < 0) return TransferFailed(t, o, "reading adjuster " + std::to_string(index) + " back", rc);
    const bool same = static_cast<uint32_t>(v.value1) == value;
    if (!same)
        o.Error() << "adjuster " << index << ": set to " << value << ", the board holds " << v.value1 << " (values "
                  << v.value1 << " " << v.value2 << " " << v.value3 << ")";
    if (o.json) {
        Json j{{"adjuster", index}, {"wrote", value}, {"values", {v.value1, v.value2, v.value3}}, {"ok", same}};
        if (!same) j["error"] = o.Errors().front();
        o.WriteJson(j);
    } else if (same) {
        o.Note() << "adjuster " << index << " := " << value;
    }
    return same ? 0 : 1;
}

int CmdColourGet(const BoardTarget& t, Output& o) {
    std::optional<Link> link;
    if (int rc = Open(t, o, "colour get", link)) return rc;
    // The library returns 0 both for colour 0 and for no answer: 0 cannot be trusted.
    const int32_t colour = Vantrel_GetAdjColor(t.address);
    const bool uncertain = colour == 0;
    if (o.json) {
        o.WriteJson(Json{{"colour", colour}, {"uncertain", uncertain}});
    } else {
        o.out << colour << "\n";
        if (uncertain) o.Note() << "0 is also what a failed read gives; this 0 may mean that the board did not answer";
    }
    return 0;
}

int CmdColourSet(const BoardTarget& t, const std::string& colourText, Output& o) {
    uint32_t colour = 0;
    if (!ReadNumber(colourText, "colour", 3, colour, o)) return 2;
    std::optional<Link> link;
    if (int rc = Open(t, o, "colour set", link)) return rc;
    const int32_t rc = Vantrel_SetAdjColor(t.address, static_cast<int32_t>(colour));
    if (rc < 0) return TransferFailed(t, o, "setting the adjustment colour", rc);
    Done(o, "adjustment colour := " + std::to_string(colour));
    return 0;
}

int CmdSwitchGet(const BoardTarget& t, const std::string& indexText, Output& o) {
    uint32_t index = 0;
    if (!ReadNumber(indexText, "switch", 0xFF, index, o)) return 2;
    std::optional<Link> link;
    if (int rc = Open(t, o, "switch get", link)) return rc;
    const int32_t state = Vantrel_ReadSwitch(t.address, static_cast<int32_t>(index));
    if (state < 0) return TransferFailed(t, o, "reading switch " + std::to_string(index), state);
    if (o.json) o.WriteJson(Json{{"switch", index}, {"state", state}, {"on", state != 0}});
    else
        o.out << "switch " << index << ": " << (state ? "on" : "off")
              << (state > 1 ? " (" + std::to_string(state) + ")" : "") << "\n";
    return 0;
}

int CmdSwitchSet(const BoardTarget& t, const std::string& indexText, const std::string& stateText, Output& o) {
    uint32_t index = 0;
    if (!ReadNumber(indexText, "switch", 0xFF, index, o)) return 2;
    const int on = SwitchState(stateText);
    if (on < 0) {
        o.Error() << "switch state \"" << stateText << "\" is not on or off; give on, off, 1 or 0";
        return 2;
    }
    std::optional<Link> link;
    if (int rc = Open(t, o, "switch set", link)) return rc;
    const int32_t rc = Vantrel_SetSwitch(t.address, static_cast<int32_t>(index), on);
    if (rc < 0) return TransferFailed(t, o, "setting switch " + std::to_string(index), rc);
    Done(o, "switch " + std::to_string(index) + " := " + (on ? "on" : "off"));
    return 0;
}

int CmdOsdShow(const BoardTarget& t, const std::string& text, const std::string& v1Text, const std::string& v2Text,
               const std::string& v3Text, Output& o) {
    uint32_t v[3] = {0, 0, 0};
    const std::string* texts[3] = {&v1Text, &v2Text, &v3Text};
    const char* names[3] = {"--value1", "--value2", "--value3"};
    for (int i = 0; i < 3; ++i)
        if (!texts[i]->empty() && !ReadNumber(*texts[i], names[i], 0xFF, v[i], o)) return 2;
    // The board shows each byte as one character: only printable ASCII, and no
    // more than the 25 characters the command carries (nothing is cut silently).
    if (text.size() > kOsdMaxText) {
        o.Error() << "the text has " << text.size() << " characters; the board shows at most " << kOsdMaxText;
        return 2;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c > 0x7E) {
            o.Error() << "character " << i + 1 << " of the text is byte " << Hex(c, 2)
                      << "; the board shows only printable ASCII (0x20..0x7E)";
            return 2;
        }
    }
    std::optional<Link> link;
    if (int rc = Open(t, o, "osd show", link)) return rc;
    const int32_t rc = Vantrel_ShowString(t.address, static_cast<int32_t>(v[0]), static_cast<int32_t>(v[1]),
                                          static_cast<int32_t>(v[2]), text.c_str());
    if (rc < 0) return TransferFailed(t, o, "showing the text", rc);
    Done(o, "shown: \"" + text + "\"");
    return 0;
}

int CmdOsdHide(const BoardTarget& t, Output& o) {
    std::optional<Link> link;
    if (int rc = Open(t, o, "osd hide", link)) return rc;
    const int32_t rc = Vantrel_HideString(t.address);
    if (rc < 0) return TransferFailed(t, o, "hiding the text", rc);
    Done(o, "on-screen text hidden");
    return 0;
}

}  // namespace cli::console
