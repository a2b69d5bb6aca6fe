// timing cvt/gtf/dmt and edid decode: the standard timings and what an EDID
// holds, as text or JSON.
#include "files/timing_commands.h"

#include <cmath>
#include <cstdlib>
#include <iomanip>
#include <sstream>

#include "console/console_common.h"
#include "file_policy.h"
#include "text_out.h"
#include "tolvane/edid.h"
#include "tolvane/timing_standards.h"

namespace cli {
namespace {

// A whole decimal number of at most `max`.
bool WholeNumber(const std::string& text, const char* what, unsigned max, unsigned& value, Output& o) {
    const auto v = console::ParseNumber(text, max);
    if (!v || text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) {
        o.Error() << what << " \"" << text << "\" is not a whole number 0.." << max;
        return false;
    }
    value = *v;
    return true;
}

// A rate in Hz: decimal digits with at most one point, nothing else.
bool Rate(const std::string& text, double& hz, Output& o) {
    const bool shape = !text.empty() && text.find_first_not_of("0123456789.") == std::string::npos &&
                       text.find('.') == text.rfind('.') && text != ".";
    if (shape) hz = std::strtod(text.c_str(), nullptr);
    if (!shape || !std::isfinite(hz)) {
        o.Error() << "rate \"" << text << "\" is not a number of Hz";
        return false;
    }
    return true;
}

bool FormulaSize(const TimingRequest& r, unsigned& w, unsigned& h, double& hz, Output& o) {
    if (r.words.size() != 3) {
        o.Error() << r.source << " takes W H HZ (width, height and rate), " << r.words.size() << " given";
        return false;
    }
    if (!WholeNumber(r.words[0], "width", 100000, w, o) || !WholeNumber(r.words[1], "height", 100000, h, o) ||
        !Rate(r.words[2], hz, o))
        return false;
    const std::string refused = FormulaRequestError(w, h, hz, r.interlaced);
    if (refused.empty()) return true;
    o.Error() << refused;
    return false;
}

const DmtMode* DmtFromWord(const std::string& word, Output& o) {
    const auto x = word.find('x'), at = word.find('@');
    if (x == std::string::npos || at == std::string::npos || at < x) {
        const auto id = console::ParseNumber(word, 0xFF);
        const DmtMode* m = id ? DmtById(*id) : nullptr;
        if (!m) o.Error() << "\"" << word << "\" is no DMT ID (see timing dmt --list) nor WxH@HZ";
        return m;
    }
    unsigned w = 0, h = 0;
    double hz = 0;
    if (!WholeNumber(word.substr(0, x), "width", 100000, w, o) ||
        !WholeNumber(word.substr(x + 1, at - x - 1), "height", 100000, h, o) || !Rate(word.substr(at + 1), hz, o))
        return nullptr;
    const DmtMode* m = DmtByMode(w, h, hz);
    if (!m) o.Error() << "the DMT table has no " << word << " (see timing dmt --list)";
    return m;
}

std::string Size(unsigned w, unsigned h, const std::string& hz) {
    return std::to_string(w) + "x" + std::to_string(h) + "@" + hz;
}

void ShowTiming(const DetailedTiming& t, const std::string& name, Output& o) {
    o.out << name << ": " << DescribeTiming(t) << "\n"
          << "  horizontal: active " << t.hActive << ", front porch " << t.hFrontPorch << ", sync " << t.hSync
          << ", back porch " << t.hBackPorch << ", total " << t.hTotal() << "\n"
          << "  vertical:   active " << t.vActive << ", front porch " << t.vFrontPorch << ", sync " << t.vSync
          << ", back porch " << t.vBackPorch << ", total " << t.vTotal() << "\n";
}

}  // namespace

std::optional<DetailedTiming> TimingFromRequest(const TimingRequest& r, std::string& name, Output& o) {
    if (r.source == "dmt") {
        if (r.words.size() != 1 || r.rb != 0 || r.interlaced) {
            o.Error() << "dmt takes one ID or WxH@HZ (the DMT entry fixes blanking and scan type)";
            return std::nullopt;
        }
        const DmtMode* m = DmtFromWord(r.words[0], o);
        if (!m) return std::nullopt;
        name = DmtName(*m);
        return m->timing;
    }
    if (r.source != "cvt" && r.source != "gtf") {
        o.Error() << "\"" << r.source << "\" is no timing source (cvt, gtf or dmt)";
        return std::nullopt;
    }
    if (r.source == "gtf" && r.rb != 0) {
        o.Error() << "--rb is for cvt; gtf has one blanking";
        return std::nullopt;
    }
    unsigned w = 0, h = 0;
    double hz = 0;
    if (!FormulaSize(r, w, h, hz, o)) return std::nullopt;
    const auto t =
        r.source == "cvt" ? Cvt(w, h, hz, static_cast<CvtBlanking>(r.rb), r.interlaced) : Gtf(w, h, hz, r.interlaced);
    if (!t) {
        o.Error() << "the " << (r.source == "cvt" ? "CVT" : "GTF") << " formula gives no timing for "
                  << Size(w, h, r.words[2]) << (r.source == "gtf" ? " (its sync would be wider than its porches)" : "");
        return std::nullopt;
    }
    static const char* const kCvt[] = {"CVT", "CVT-RB", "CVT-RB2"};
    name =
        std::string(r.source == "cvt" ? kCvt[r.rb] : "GTF") + " " + Size(w, h, r.words[2]) + (r.interlaced ? "i" : "");
    return t;
}

Json TimingJson(const DetailedTiming& t) {
    return Json{{"pixelClockKHz", t.pixelClockKHz},
                {"hActive", t.hActive},
                {"hFrontPorch", t.hFrontPorch},
                {"hSync", t.hSync},
                {"hBackPorch", t.hBackPorch},
                {"hTotal", t.hTotal()},
                {"vActive", t.vActive},
                {"vFrontPorch", t.vFrontPorch},
                {"vSync", t.vSync},
                {"vBackPorch", t.vBackPorch},
                {"vTotal", t.vTotal()},
                {"hSyncPositive", t.hSyncPositive},
                {"vSyncPositive", t.vSyncPositive},
                {"interlaced", t.interlaced},
                {"hFreqHz", static_cast<double>(HFreqMilliHz(t)) / 1000.0},
                {"vFreqHz", static_cast<double>(VFreqMilliHz(t)) / 1000.0}};
}

int CmdTiming(const TimingRequest& r, Output& o) {
    std::string name;
    const auto t = TimingFromRequest(r, name, o);
    if (!t) return 1;
    if (o.json) o.WriteJson(TimingJson(*t));
    else ShowTiming(*t, name, o);
    return 0;
}

int CmdDmtList(Output& o) {
    Json modes = Json::array();
    for (const DmtMode& m : DmtList()) {
        if (o.json) {
            Json j = TimingJson(m.timing);
            j["id"] = m.id;
            j["name"] = DmtName(m);
            modes.push_back(j);
        } else {
            o.out << std::left << std::setw(28) << DmtName(m) << DescribeTiming(m.timing) << "\n";
        }
    }
    if (o.json) o.WriteJson(Json{{"modes", modes}});
    return 0;
}

namespace {

// The EDID bytes of a binary file, or of a text of hex digits as
// edid-decode and xrandr print them.
bool ReadEdid(const std::string& path, std::vector<uint8_t>& bytes, Output& o) {
    if (!console::ReadInput(path, kEdidBlockSize * 256 * 4, bytes, o)) return false;
    if (HasEdidHeader(bytes)) return true;
    if (auto fromText =
            EdidBytesFromHexText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        fromText && HasEdidHeader(*fromText)) {
        bytes = std::move(*fromText);
        return true;
    }
    return true;  // the decoder names what is wrong
}

Json EdidJson(const EdidInfo& info) {
    Json timings = Json::array(), extensions = Json::array(), problems = Json::array();
    for (const auto& t : info.detailedTimings) timings.push_back(TimingJson(t.timing));
    for (const auto& e : info.extensions)
        extensions.push_back(Json{{"block", e.block}, {"tag", e.tag}, {"checksumOk", e.checksumOk}});
    for (const auto& p : info.problems)
        problems.push_back(Json{{"severity", p.severity == EdidSeverity::Error ? "error" : "warning"},
                                {"where", p.where},
                                {"message", p.message}});
    Json range = nullptr;
    if (const auto& r = info.rangeLimits)
        range = Json{{"vMinHz", r->vMinHz},
                     {"vMaxHz", r->vMaxHz},
                     {"hMinKHz", r->hMinKHz},
                     {"hMaxKHz", r->hMaxKHz},
                     {"maxPixelClockKHz", r->maxPixelClockKHz}};
    return Json{{"vendor", info.vendor},    {"product", info.product},
                {"serial", info.serial},    {"name", info.name},
                {"year", info.year},        {"sizeMm", Json{{"width", info.widthMm}, {"height", info.heightMm}}},
                {"rangeLimits", range},     {"checksumOk", info.checksumOk},
                {"extensions", extensions}, {"detailedTimings", timings},
                {"problems", problems}};
}

void ShowEdid(const EdidInfo& info, Output& o) {
    o.out << "vendor " << info.vendor << ", product " << console::Hex(info.product, 4) << ", serial " << info.serial
          << "\n"
          << "EDID " << int{info.version} << "." << int{info.revision} << ", made "
          << (info.week == 0xFF ? "model year " : "") << info.year << ", "
          << (info.digital ? "digital input" : "analog input");
    if (info.bitsPerColor) o.out << ", " << int{info.bitsPerColor} << " bits per colour";
    o.out << "\n";
    if (info.widthMm) o.out << "size " << info.widthMm << " x " << info.heightMm << " mm\n";
    if (!info.name.empty()) o.out << "name \"" << info.name << "\"\n";
    if (!info.serialText.empty()) o.out << "serial text \"" << info.serialText << "\"\n";
    if (const auto& r = info.rangeLimits)
        o.out << "range limits " << r->vMinHz << "-" << r->vMaxHz << " Hz, " << r->hMinKHz << "-" << r->hMaxKHz
              << " kHz, pixel clock up to " << (r->maxPixelClockKHz ? std::to_string(r->maxPixelClockKHz / 1000) : "?")
              << " MHz\n";
    for (std::size_t i = 0; i < info.detailedTimings.size(); ++i) {
        const EdidTiming& t = info.detailedTimings[i];
        std::ostringstream name;
        name << "timing " << i + 1 << (t.preferred ? " (preferred)" : "") << ", block " << t.block << " byte "
             << console::Hex(t.offset, 2);
        ShowTiming(t.timing, name.str(), o);
    }
    o.out << "extensions " << info.extensions.size() << " of " << info.extensionsAnnounced << " announced, checksum "
          << (info.checksumOk ? "ok" : "WRONG") << "\n";
}

}  // namespace

std::optional<EdidInfo> LoadEdid(const std::string& path, Output& o) {
    std::vector<uint8_t> bytes;
    if (!ReadEdid(path, bytes, o)) return std::nullopt;
    EdidInfo info = DecodeEdid(bytes);
    for (const auto& p : info.problems) {
        if (p.severity == EdidSeverity::Error) o.Error() << ShownPath(path) << ": " << FormatEdidProblem(p);
        else o.Note() << ShownPath(path) << ": " << FormatEdidProblem(p);
    }
    if (!info.decoded) return std::nullopt;
    return info;
}

int CmdEdidDecode(const std::string& file, Output& o) {
    const auto info = LoadEdid(file, o);
    if (!info) return 1;
    if (o.json) o.WriteJson(EdidJson(*info));
    else ShowEdid(*info, o);
    return HasEdidError(*info) ? 1 : 0;
}

}  // namespace cli
