#include "files/plot.h"

#include <cstdio>
#include <sstream>

#include "tolvane/mode_editing.h"
#include "tolvane/panel_checks.h"
#include "tolvane/picture_geometry.h"
#include "tolvane/timing.h"

namespace cli {
namespace {

using picture::Box;

// The colours of the editor's pictures.
constexpr const char* kWarning = "#ff0000";
constexpr const char* kCurve = "#0000a0";

std::string Num(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", v);
    return text;
}

class Svg {
public:
    Svg(double width, double height) : width_(width), height_(height) {}

    void rect(const Box& b, const std::string& fill, const std::string& stroke = "none", double strokeWidth = 1,
              const std::string& extra = {}) {
        body_ << "<rect x=\"" << Num(b.x) << "\" y=\"" << Num(b.y) << "\" width=\"" << Num(b.w) << "\" height=\""
              << Num(b.h) << "\" fill=\"" << fill << "\" stroke=\"" << stroke << "\" stroke-width=\""
              << Num(strokeWidth) << "\"" << extra << "/>\n";
    }
    void line(double x1, double y1, double x2, double y2, const std::string& stroke, double width,
              const std::string& extra = {}) {
        body_ << "<line x1=\"" << Num(x1) << "\" y1=\"" << Num(y1) << "\" x2=\"" << Num(x2) << "\" y2=\"" << Num(y2)
              << "\" stroke=\"" << stroke << "\" stroke-width=\"" << Num(width) << "\"" << extra << "/>\n";
    }
    void polyline(const std::vector<picture::Point>& points, const std::string& stroke, double width) {
        body_ << "<polyline fill=\"none\" stroke=\"" << stroke << "\" stroke-width=\"" << Num(width) << "\" points=\"";
        for (const picture::Point& p : points) body_ << Num(p.x) << "," << Num(p.y) << " ";
        body_ << "\"/>\n";
    }
    void circle(picture::Point p, double r, const std::string& fill) {
        body_ << "<circle cx=\"" << Num(p.x) << "\" cy=\"" << Num(p.y) << "\" r=\"" << Num(r) << "\" fill=\"" << fill
              << "\"/>\n";
    }
    // Only the program's own texts go here: digits, letters, blanks and a few signs.
    void text(double x, double y, const std::string& content, const std::string& anchor = "start",
              const std::string& fill = "#000000", int size = 11) {
        body_ << "<text x=\"" << Num(x) << "\" y=\"" << Num(y) << "\" font-family=\"sans-serif\" font-size=\"" << size
              << "\" text-anchor=\"" << anchor << "\" fill=\"" << fill << "\">" << content << "</text>\n";
    }
    void raw(const std::string& s) { body_ << s; }

    std::string str() const {
        std::ostringstream out;
        out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << Num(width_) << "\" height=\"" << Num(height_)
            << "\" viewBox=\"0 0 " << Num(width_) << " " << Num(height_) << "\">\n"
            << "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n"
            << body_.str() << "</svg>\n";
        return out.str();
    }

private:
    double width_;
    double height_;
    std::ostringstream body_;
};

void GammaCurve(Svg& svg, const GammaTable& table, double x, double y, double size, bool inUse) {
    const Box plot{x + 30, y + 20, size - 40, size - 40};
    svg.text(x, y + 12, inUse ? "Gamma table" : "Gamma table (not in use)");
    svg.rect(plot, "none", "#a0a0a0");
    svg.line(plot.x, plot.y + plot.h, plot.x + plot.w, plot.y, "#d0d0d0", 1, " stroke-dasharray=\"4 3\"");
    svg.text(plot.x, plot.y + plot.h + 14, "0", "middle");
    svg.text(plot.x + plot.w, plot.y + plot.h + 14, "255", "middle");
    svg.text(plot.x - 4, plot.y + 8, "255", "end");
    svg.text(plot.x + plot.w / 2, plot.y + plot.h + 14, "input", "middle", "#606060");
    std::vector<picture::Point> points;
    for (int i = 0; i < 256; ++i) points.push_back(picture::GammaPoint(plot, i, table.level[i]));
    svg.polyline(points, inUse ? kCurve : "#808080", 1.5);
    for (int i : picture::FallingSteps(table)) {
        const picture::Point a = points[static_cast<size_t>(i - 1)];
        const picture::Point b = points[static_cast<size_t>(i)];
        svg.line(a.x, a.y, b.x, b.y, kWarning, 2.5, " class=\"falling-step\"");
    }
}

const char* SpanColour(picture::SpanKind kind) {
    switch (kind) {
        case picture::SpanKind::Pulse:
            return "#28288c";
        case picture::SpanKind::BackPorch:
            return "#7896d2";
        case picture::SpanKind::Display:
            return "#6ebe6e";
        case picture::SpanKind::Rest:
            return "#c8c8c8";
        case picture::SpanKind::Overrun:
            break;
    }
    return kWarning;
}

const char* SpanName(picture::SpanKind kind) {
    switch (kind) {
        case picture::SpanKind::Pulse:
            return "Pulse";
        case picture::SpanKind::BackPorch:
            return "Back-porch";
        case picture::SpanKind::Display:
            return "Display";
        case picture::SpanKind::Rest:
            return "Rest";
        case picture::SpanKind::Overrun:
            break;
    }
    return "Over total";
}

void TimingBar(Svg& svg, const std::string& title, const std::string& unit, uint16_t display, uint16_t pulse,
               uint16_t porch, uint16_t total, double x, double y, double width) {
    const picture::TimingLayout layout = picture::LayOutTiming(display, pulse, porch, total);
    svg.text(x, y + 12, title + ", total " + std::to_string(total) + " " + unit);
    const Box bar{x, y + 22, width, 22};
    if (layout.extent == 0) return;
    for (const picture::Span& span : layout.spans) {
        Box b = picture::SpanBox(layout, span, bar);
        if (span.kind == picture::SpanKind::Overrun) {
            b.y -= 4;
            b.h += 8;
            svg.rect(b, kWarning, "none", 1, " class=\"overrun\" fill-opacity=\"0.8\"");
        } else {
            svg.rect(b, SpanColour(span.kind));
        }
    }
    svg.rect(bar, "none", "#000000");
    const double totalX = bar.x + bar.w * total / layout.extent;
    svg.line(totalX, bar.y - 8, totalX, bar.y + bar.h + 4, layout.totalShort ? kWarning : "#000000", 2);
    double lx = x;
    for (const picture::Span& span : layout.spans) {
        const std::string label = std::string(SpanName(span.kind)) + " " + std::to_string(span.end - span.begin);
        svg.rect({lx, bar.y + bar.h + 10, 8, 8}, SpanColour(span.kind));
        svg.text(lx + 12, bar.y + bar.h + 18, label, "start",
                 span.kind == picture::SpanKind::Overrun ? kWarning : "#000000", 10);
        lx += 20 + 6.0 * static_cast<double>(label.size());
    }
}

std::string TenthsText(int tenths) {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", tenths / 10.0);
    return text;
}

// The entries that `check` reports as modes the board cannot tell apart,
// decided by the same function, so that the map and the check agree.
std::vector<bool> OverlappingModes(const ModeTable& table) {
    const unsigned count = UsedModeCount(table);
    std::vector<bool> marked(count, false);
    for (unsigned i = 0; i < count; ++i)
        for (unsigned j = i + 1; j < count; ++j)
            if (ModesOverlap(table.entries[i], table.entries[j])) marked[i] = marked[j] = true;
    return marked;
}

void ModeMap(Svg& svg, const ModeTable& table, double x, double y, double width, double height) {
    const Box plot{x + 40, y + 24, width - 50, height - 50};
    svg.text(x, y + 12, "Modes: V-Frequ. [Hz] over H-Frequ. [kHz]");
    svg.rect(plot, "none", "#a0a0a0");
    const picture::FreqWindow range = picture::MapRange(table);
    svg.text(plot.x, plot.y + plot.h + 14, TenthsText(range.hMin), "middle");
    svg.text(plot.x + plot.w, plot.y + plot.h + 14, TenthsText(range.hMax), "middle");
    svg.text(plot.x - 4, plot.y + plot.h, TenthsText(range.vMin), "end");
    svg.text(plot.x - 4, plot.y + 10, TenthsText(range.vMax), "end");
    const std::vector<bool> marked = OverlappingModes(table);
    for (size_t slot = 0; slot < marked.size(); ++slot) {
        const Box b = picture::ModeBox(table, static_cast<int>(slot), range, plot);
        svg.rect(b, marked[slot] ? kWarning : "#466ec8", marked[slot] ? kWarning : "#283c8c", 1,
                 marked[slot] ? " class=\"overlap\" fill-opacity=\"0.3\"" : " class=\"mode\" fill-opacity=\"0.25\"");
        svg.text(b.x + b.w / 2, b.y + b.h / 2 + 4, std::to_string(slot), "middle", "#000000", 10);
    }
    svg.text(plot.x, plot.y + plot.h + 30, "red: overlapping modes on a shared input, as check reports them", "start",
             kWarning, 10);
}

}  // namespace

std::string PlotSvg(const RecordFile& file) {
    switch (file.kind) {
        case FileKindId::Gamma: {
            Svg svg(300, 300);
            GammaCurve(svg, file.gamma, 0, 0, 300, true);
            return svg.str();
        }
        case FileKindId::Modes: {
            Svg svg(420, 420);
            ModeMap(svg, file.modes, 0, 0, 420, 420);
            return svg.str();
        }
        case FileKindId::Panel:
            break;
    }
    const PanelRecord& r = file.panel;
    const Resolution display = DisplayPeriods(r);
    Svg svg(640, 300);
    GammaCurve(svg, r.gammaTable, 0, 0, 300, HasPanelFlag(r, kUseGamma));
    TimingBar(svg, "One line", "CLKs", display.width, r.hPulseWidth, r.hBackPorch, r.hMinTotal, 320, 20, 300);
    TimingBar(svg, "One frame", "Lines", display.height, r.vPulseWidth, r.vBackPorch, r.vMinTotal, 320, 150, 300);
    return svg.str();
}

}  // namespace cli
