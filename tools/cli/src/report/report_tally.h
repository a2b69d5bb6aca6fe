// The yield of a production station: the records of program reports summed
// per fixture position (the device where a record names no position).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// The steps a board can stop at, in the order a board goes through them.
// Every summary names these; other steps ("scan", "waiting") when they occur.
inline constexpr const char* kReportSteps[] = {"open", "version", "backup", "write", "verify", "reset"};

struct PositionTally {
    std::string position;
    std::size_t boards = 0;                     // every record is one board run (a retry is a run of its own)
    std::size_t ok = 0;                         // result "ok"
    std::size_t interrupted = 0;                // result "interrupted": stopped by the operator, not failed
    std::map<std::string, std::size_t> failed;  // result "failed", by the step it stopped at
    std::vector<std::int64_t> durationsMs;      // of every record that has one
};

// The middle of the values (the mean of the two middle ones, rounded down,
// for an even count); nothing for no values.
std::optional<std::int64_t> MedianMs(std::vector<std::int64_t> values);

class ReportTally {
public:
    // Adds one line of a report; the reason when it cannot be read (not JSON,
    // not an object, no known result, neither a position nor a port), else "".
    std::string Add(std::string_view line);

    // The positions in natural order (A2 before A10).
    std::vector<const PositionTally*> Positions() const;
    const PositionTally& Total() const { return total_; }
    // The steps to show: the fixed ones, then any other that a record named.
    std::vector<std::string> Steps() const;

private:
    std::map<std::string, PositionTally> positions_;
    PositionTally total_;
};

}  // namespace cli
