// A production job: what is written (a panel slot, a mode table or both) and
// where (serial lines, each with its device addresses or a scan), from the
// command line, a JSON job file, or both.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "files/json_form.h"
#include "output.h"
#include "tolvane/records.h"

namespace cli {

struct ProgramLine {
    std::string position;  // the fixture position ("A1"); empty when the job names none
    std::string device;
    std::vector<int> addresses;  // 0..254, written one after the other
    bool scan = false;           // every address that answers instead
};

struct ProgramJob {
    std::string panelFile;
    int slot = 0;  // 1..4 with a panel file
    std::string modesFile;
    bool verify = false;
    bool force = false;     // write files in which the checks find errors
    std::string backupDir;  // empty: no backup
    std::string report;     // empty: no report file
    std::vector<ProgramLine> lines;
    std::string continues;  // the report whose failed boards this run retries (absolute); empty: none
    // Set by the command before the run, for the report.
    std::string identity;  // JobIdentity of the files
    std::string station;   // the host name
};

// What the command line gave; unset parts are taken from the job file.
struct ProgramArgs {
    std::string panelFile, modesFile, backupDir, report, jobFile, addresses;
    std::string retryFailed;  // --retry-failed: the report whose failed boards are run again
    int slot = 0;
    bool verify = false, scan = false, addressGiven = false, force = false;
    bool addressesGiven = false;  // --addresses was given, also as ""
    int address = 0;              // the global --address: one board per line
    std::vector<std::string> devices;
};

// The job's content as the board holds it, ready to be written.
struct ProgramImages {
    bool hasPanel = false;
    int slot = 0;  // 1..4
    PanelImage panel{};
    bool withGamma = false;  // the image uses its gamma table: written too
    GammaTable gamma{};
    bool hasModes = false;
    ModeTableImage modes{};
};

// "1,5,9" or "0x05" into addresses; an empty list, 255 (the broadcast) and
// anything outside 0..254 is refused.
bool ParseAddressList(const std::string& text, std::vector<int>& out, std::string& error);

// Reads a job file into `job` (see docs/program-job.md): unknown and repeated
// keys are refused, paths are taken relative to its folder.
bool ReadJobFile(const std::string& path, ProgramJob& job, std::string& error);

// Merges the command line over the job file (when one is named) into `job`.
bool BuildJob(const ProgramArgs& args, ProgramJob& job, std::string& error);

// Loads the job's files; a file in which the checks find an error is refused
// (with a message) unless the job says force.
bool LoadImages(const ProgramJob& job, ProgramImages& images, Output& o);

// The SHA-256 of each block the job writes: panelImage, gammaTable, modeTable.
Json ImageHashes(const ProgramImages& images);

// The worker's instructions for one line, passed as its single argument.
Json WorkerSpec(const ProgramJob& job, const ProgramLine& line, const ProgramImages& images);
bool SpecToImages(const Json& spec, ProgramImages& images, std::string& error);

// The identity of the job's input files: the SHA-256 over each file's name
// in the job ("panel", "modes"), its size and its bytes, in that order. The
// files' names on disk take no part. False with a message when one cannot
// be read.
bool JobIdentity(const ProgramJob& job, std::string& id, std::string& error);

// "2026-12-08T04:05:06.123Z": UTC, milliseconds, whatever the local time zone.
std::string IsoUtc(std::chrono::system_clock::time_point t);

// Hex text of bytes and back.
std::string ToHex(const uint8_t* data, std::size_t n);
bool FromHex(const std::string& text, uint8_t* out, std::size_t n);

}  // namespace cli
