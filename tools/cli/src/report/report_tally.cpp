#include "report/report_tally.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "natural_order.h"
#include "output.h"

namespace cli {
namespace {

// The step a failed record names; "unknown" when it names none.
std::string StepOf(const Json& record) {
    const auto it = record.find("step");
    if (it == record.end() || !it->is_string() || it->get<std::string>().empty()) return "unknown";
    return it->get<std::string>();
}

// A text field that is there and not empty.
const Json* TextField(const Json& record, const char* key) {
    const auto it = record.find(key);
    return it != record.end() && it->is_string() && !it->get<std::string>().empty() ? &*it : nullptr;
}

void Count(PositionTally& t, const std::string& result, const Json& record) {
    ++t.boards;
    if (result == "ok") ++t.ok;
    else if (result == "interrupted") ++t.interrupted;
    else ++t.failed[StepOf(record)];
    const auto d = record.find("durationMs");
    if (d == record.end() || !d->is_number()) return;
    const double ms = d->get<double>();
    if (ms >= 0 && ms < 1e15) t.durationsMs.push_back(static_cast<std::int64_t>(std::llround(ms)));
}

}  // namespace

std::optional<std::int64_t> MedianMs(std::vector<std::int64_t> values) {
    if (values.empty()) return std::nullopt;
    const std::size_t mid = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid), values.end());
    const std::int64_t upper = values[mid];
    if (values.size() % 2 == 1) return upper;
    const std::int64_t lower = *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid));
    return lower + (upper - lower) / 2;
}

std::string ReportTally::Add(std::string_view line) {
    const Json record = Json::parse(line.begin(), line.end(), nullptr, false);
    if (record.is_discarded()) return "not JSON";
    if (!record.is_object()) return "not a JSON object";
    const Json* result = TextField(record, "result");
    if (result == nullptr) return "no \"result\"";
    const std::string r = result->get<std::string>();
    if (r != "ok" && r != "failed" && r != "interrupted")
        return "\"result\" is \"" + r + "\", not ok, failed or interrupted";
    // Records of older versions name no position: their device stands for it.
    const Json* position = TextField(record, "position");
    if (position == nullptr) position = TextField(record, "port");
    if (position == nullptr) return "names neither a position nor a port";
    const std::string name = position->get<std::string>();
    PositionTally& t = positions_[name];
    t.position = name;
    Count(t, r, record);
    Count(total_, r, record);
    return {};
}

std::vector<const PositionTally*> ReportTally::Positions() const {
    std::vector<const PositionTally*> out;
    for (const auto& [name, t] : positions_) out.push_back(&t);
    std::sort(out.begin(), out.end(),
              [](const PositionTally* a, const PositionTally* b) { return NaturalLess(a->position, b->position); });
    return out;
}

std::vector<std::string> ReportTally::Steps() const {
    std::vector<std::string> steps(std::begin(kReportSteps), std::end(kReportSteps));
    std::vector<std::string> others;
    for (const auto& [step, n] : total_.failed)
        if (std::find(steps.begin(), steps.end(), step) == steps.end()) others.push_back(step);
    std::sort(others.begin(), others.end(), [](const auto& a, const auto& b) { return NaturalLess(a, b); });
    steps.insert(steps.end(), others.begin(), others.end());
    return steps;
}

}  // namespace cli
