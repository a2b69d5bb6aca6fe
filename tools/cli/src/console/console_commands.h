// The console commands themselves, one function each; console_app.cpp reads
// the command line and calls them. Exit 0 done, 1 the board or a file failed,
// 2 the command line was wrong or a destructive command lacked --yes or
// --force (nothing sent).
#pragma once

#include <string>
#include <vector>

#include "board/board_commands.h"
#include "console/console_common.h"

namespace cli::console {

int CmdRegRead(const BoardTarget& t, const std::string& reg, const std::string& count, Output& o);
int CmdRegWrite(const BoardTarget& t, const std::string& reg, const std::vector<std::string>& values, Output& o);
int CmdPortRead(const BoardTarget& t, const std::string& port, Output& o);
int CmdPortWrite(const BoardTarget& t, const std::string& port, const std::string& value, Output& o);

int CmdI2cRead(const BoardTarget& t, const std::vector<std::string>& args, Output& o);
int CmdI2cWrite(const BoardTarget& t, const std::vector<std::string>& args, Output& o);
int CmdI2cDump(const BoardTarget& t, const std::vector<std::string>& args, const std::string& from,
               const std::string& to, Output& o);

int CmdAdjustGet(const BoardTarget& t, const std::string& index, Output& o);
int CmdAdjustSet(const BoardTarget& t, const std::string& index, const std::string& value, Output& o);
int CmdColourGet(const BoardTarget& t, Output& o);
int CmdColourSet(const BoardTarget& t, const std::string& colour, Output& o);
int CmdSwitchGet(const BoardTarget& t, const std::string& index, Output& o);
int CmdSwitchSet(const BoardTarget& t, const std::string& index, const std::string& state, Output& o);
int CmdOsdShow(const BoardTarget& t, const std::string& text, const std::string& v1, const std::string& v2,
               const std::string& v3, Output& o);
int CmdOsdHide(const BoardTarget& t, Output& o);

int CmdAction(const BoardTarget& t, const std::string& action, Output& o);
int CmdDebug(const BoardTarget& t, const std::string& flags, Output& o);
int CmdReset(const BoardTarget& t, Output& o);
// Sends bytes as they are and collects the bytes that arrive outside frames for listenMs.
int CmdRaw(const BoardTarget& t, const std::vector<std::string>& bytes, const std::string& listenMs, Output& o);

// Flash and NVRAM.
enum class Memory { Flash, NvRam };
struct MemoryWrite {
    bool verify = false;
    bool force = false;  // allow writes over the panel, gamma and mode areas of flash
    std::string backup;  // dump the whole memory here first; nothing is written if that fails
    Consent consent;
};
int CmdMemRead(const BoardTarget& t, Memory m, const std::string& addr, const std::string& count,
               const std::string& outFile, Output& o);
int CmdMemWrite(const BoardTarget& t, Memory m, const std::string& addr, const std::string& file, const MemoryWrite& w,
                Output& o);
int CmdMemDump(const BoardTarget& t, Memory m, const std::string& size, const std::string& outFile, Output& o);
int CmdMemRestore(const BoardTarget& t, Memory m, const std::string& file, const MemoryWrite& w, Output& o);
int CmdFlashErase(const BoardTarget& t, const std::string& value, const MemoryWrite& w, Output& o);

}  // namespace cli::console
