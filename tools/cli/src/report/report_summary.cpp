// tolvane2-cli report summary: the yield per fixture position over any number
// of program reports, as a table, JSON or CSV.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iomanip>
#include <sstream>

#include "declared_files.h"
#include "file_policy.h"
#include "natural_order.h"
#include "report/report_commands.h"
#include "report/report_tally.h"
#include "text_out.h"
#include "tolvane/file_io.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

// A report holds about a kilobyte per board; this is many thousand boards.
constexpr std::uintmax_t kMaxReportBytes = 64u << 20;
// Unreadable lines named per file; a file that is no report at all would
// otherwise fill the screen.
constexpr std::size_t kNamedPerFile = 20;

bool IsReportName(const fs::path& p) {
    std::string ext = Utf8FromPath(p.extension());
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".jsonl";
}

// The report files the arguments name: files as given, each folder by the
// *.jsonl files in it (not its subfolders), in natural order. False after an
// error message for a folder that cannot be listed or holds no report.
bool GatherReports(const std::vector<std::string>& args, std::vector<std::string>& files, Output& o) {
    for (const std::string& a : args) {
        const fs::path p = PathFromUtf8(a);
        std::error_code ec;
        if (!fs::is_directory(p, ec)) {
            files.push_back(a);
            continue;
        }
        std::vector<std::string> found;
        for (fs::directory_iterator it(p, ec), end; !ec && it != end; it.increment(ec))
            if (IsReportName(it->path())) found.push_back(Utf8FromPath(it->path()));
        if (ec) {
            o.Error() << ShownPath(a) << ": cannot be listed: " << ec.message();
            return false;
        }
        if (found.empty()) {
            o.Error() << ShownPath(a) << ": holds no report (*.jsonl)";
            return false;
        }
        std::sort(found.begin(), found.end(), [](const auto& x, const auto& y) { return NaturalLess(x, y); });
        files.insert(files.end(), found.begin(), found.end());
    }
    return true;
}

// Sums the lines of one report; returns how many could not be read.
std::size_t SumReport(const std::string& file, const std::string& content, ReportTally& tally, Output& o) {
    std::size_t unreadable = 0, number = 0, from = 0;
    while (from < content.size()) {
        const std::size_t end = std::min(content.find('\n', from), content.size());
        std::string_view line(content.data() + from, end - from);
        from = end + 1;
        ++number;
        if (std::all_of(line.begin(), line.end(), [](char c) { return std::isspace(static_cast<unsigned char>(c)); }))
            continue;
        const std::string reason = tally.Add(line);
        if (reason.empty()) continue;
        if (++unreadable <= kNamedPerFile)
            o.Error() << ShownPath(file) << ", line " << number << ": " << reason << " (not counted)";
    }
    if (unreadable > kNamedPerFile)
        o.Error() << ShownPath(file) << ": " << unreadable - kNamedPerFile << " more "
                  << (unreadable - kNamedPerFile == 1 ? "line" : "lines") << " not counted";
    return unreadable;
}

std::string Capitalized(std::string s) {
    if (!s.empty()) s[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
    return s;
}

std::string YieldText(const PositionTally& t) {
    if (t.boards == 0) return "-";
    std::ostringstream s;
    s << std::fixed << std::setprecision(1) << 100.0 * static_cast<double>(t.ok) / static_cast<double>(t.boards) << "%";
    return s.str();
}

std::vector<std::string> TextRow(const PositionTally& t, const std::string& name,
                                 const std::vector<std::string>& steps) {
    std::vector<std::string> row = {name, std::to_string(t.boards), std::to_string(t.ok), YieldText(t)};
    for (const std::string& s : steps) {
        const auto it = t.failed.find(s);
        row.push_back(std::to_string(it == t.failed.end() ? 0 : it->second));
    }
    row.push_back(std::to_string(t.interrupted));
    const auto median = MedianMs(t.durationsMs);
    row.push_back(median ? std::to_string(*median) : "-");
    return row;
}

void PrintText(const ReportTally& tally, Output& o) {
    const std::vector<std::string> steps = tally.Steps();
    std::vector<std::vector<std::string>> rows;
    rows.push_back({"Position", "Boards", "Ok", "Yield"});
    for (const std::string& s : steps) rows[0].push_back(Capitalized(s));
    rows[0].insert(rows[0].end(), {"Interrupted", "Median ms"});
    for (const PositionTally* t : tally.Positions()) rows.push_back(TextRow(*t, ShownPath(t->position), steps));
    rows.push_back(TextRow(tally.Total(), "Total", steps));
    std::vector<std::size_t> widths(rows[0].size(), 0);
    for (const auto& row : rows)
        for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            const std::string pad(widths[i] - row[i].size(), ' ');
            line += i == 0 ? row[i] + pad : "  " + pad + row[i];  // names left, numbers right
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        o.out << line << "\n";
    }
}

Json TallyJson(const PositionTally& t, const std::vector<std::string>& steps) {
    Json j;
    j["boards"] = t.boards;
    j["ok"] = t.ok;
    Json failed = Json::object();
    for (const std::string& s : steps) {
        const auto it = t.failed.find(s);
        failed[s] = it == t.failed.end() ? 0 : it->second;
    }
    j["failed"] = failed;
    j["interrupted"] = t.interrupted;
    const auto median = MedianMs(t.durationsMs);
    j["medianMs"] = median ? Json(*median) : Json();
    return j;
}

// A field as RFC 4180 has it: quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

void PrintCsv(const ReportTally& tally, Output& o) {
    const std::vector<std::string> steps = tally.Steps();
    std::string header = "position,boards,ok";
    for (const std::string& s : steps) header += "," + CsvField("failed_" + s);
    o.out << header << ",interrupted,median_ms\r\n";
    for (const PositionTally* t : tally.Positions()) {
        const std::vector<std::string> row = TextRow(*t, t->position, steps);
        std::string line = CsvField(row[0]);
        for (std::size_t i = 1; i < row.size(); ++i) {
            if (i == 3) continue;  // the yield is the spreadsheet's to work out
            line += "," + (row[i] == "-" ? std::string() : row[i]);
        }
        o.out << line << "\r\n";
    }
}

}  // namespace

int CmdReportSummary(const std::vector<std::string>& reports, SummaryFormat format, Output& o) {
    std::vector<std::string> gathered;
    if (!GatherReports(reports, gathered, o)) return 1;
    std::vector<PolicyFile> policy;
    for (const std::string& f : gathered) policy.push_back({FileRole::Input, f, kMaxReportBytes});
    if (const int refused = CheckFiles(policy, {}, false, o); refused != 0) return refused;

    ReportTally tally;
    std::vector<std::string> read;
    std::size_t unreadable = 0;
    for (const std::string& f : gathered) {
        // A file named twice (or named and in a named folder) counts once.
        const auto same = std::find_if(
            read.begin(), read.end(), [&](const std::string& r) { return SameFile(PathFromUtf8(r), PathFromUtf8(f)); });
        if (same != read.end()) {
            o.Note() << ShownPath(f) << ": the same file as " << ShownPath(*same) << " (counted once)";
            continue;
        }
        std::string content, error;
        if (!ReadSmallFile(PathFromUtf8(f), kMaxReportBytes, content, error)) {
            o.Error() << error;
            return 1;
        }
        read.push_back(f);
        unreadable += SumReport(f, content, tally, o);
    }

    if (format == SummaryFormat::Json) {
        const std::vector<std::string> steps = tally.Steps();
        Json positions = Json::array();
        for (const PositionTally* t : tally.Positions()) {
            Json p;
            p["position"] = t->position;
            p.update(TallyJson(*t, steps));
            positions.push_back(p);
        }
        Json j;
        j["positions"] = positions;
        j["total"] = TallyJson(tally.Total(), steps);
        j["reports"] = read.size();
        j["unreadable"] = unreadable;
        o.WriteJson(j);
    } else if (format == SummaryFormat::Csv) {
        PrintCsv(tally, o);
    } else {
        PrintText(tally, o);
    }
    return unreadable == 0 ? 0 : 1;
}

}  // namespace cli
