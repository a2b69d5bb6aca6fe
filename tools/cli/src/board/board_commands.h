// The commands that talk to a board through the link library.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "command.h"

namespace cli {

struct WriteOptions {
    bool verify = false;
    std::string backup;  // empty: no backup
    bool noReset = false;
    int retries = 1;     // whole tries more after a try without a valid answer
    bool force = false;  // write a file that the checks find errors in
};

int CmdInfo(const BoardTarget& target, Output& o);
// slot: the panel number 1..4 as the editor shows it.
int CmdPanelRead(const BoardTarget& target, int panel, const std::string& outFile, Output& o);
int CmdPanelWrite(const BoardTarget& target, const std::string& file, int panel, const WriteOptions& w, Output& o);
// The EDID at I2C device SEL1,SEL2 (select: "0xA0,0x00") into outFile.
int CmdEdidRead(const BoardTarget& target, const std::string& select, const std::string& outFile, Output& o);
int CmdModesRead(const BoardTarget& target, const std::string& outFile, Output& o);
int CmdModesWrite(const BoardTarget& target, const std::string& file, const WriteOptions& w, Output& o);
// Device addresses 0..254 that answer on the line, each waited for at most
// probeMs; exit 1 when none answers.
int CmdScan(const BoardTarget& target, int probeMs, Output& o);
// The COM1..COM4 mapping with where each comes from (--device of `target`
// for COM1), and the serial devices present.
int CmdPorts(const BoardTarget& target, Output& o);

// Why the port of `target` cannot be opened and what to do about it.
std::string DescribePortFailure(const BoardTarget& target);
// What to do when opening the device at `path`, owned by `group` (empty when
// the group has no name), is not permitted.
std::string PermissionAdvice(const std::string& path, const std::string& group);
// The device path that port n stands for (VANTREL_COMn, the ports file or the default).
std::string DevicePathOfPort(int port);

}  // namespace cli
