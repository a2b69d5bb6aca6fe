// The command exports. Each puts its request data into the exchange buffer,
// runs one transaction (or one per 16-byte chunk for block transfers) and reads
// its results from fixed positions of the buffer. Arguments wider than their
// field are cut to their low 8 or 16 bits.
#include "link_state.h"

#include <algorithm>
#include <cstring>

using namespace vantrel;

namespace {

enum Command : std::uint8_t {
    kReset = 0,
    kReadRegister = 1,
    kWriteRegister = 2,
    kReadI2c = 3,
    kWriteI2c = 4,
    kReadPort = 5,
    kWritePort = 6,
    kWriteFlash = 7,
    kReadFlash = 8,
    kReadAdjuster = 10,
    kSetAdjuster = 11,
    kGetAdjColor = 12,
    kSetAdjColor = 13,
    kReadSwitch = 14,
    kSetSwitch = 15,
    kCurrentPanel = 16,
    kPanelInfo = 17,
    kModeInfo = 18,
    kVersion = 19,
    kShowString = 20,
    kHideString = 21,
    kCallAction = 22,
    kReadNvRam = 23,
    kWriteNvRam = 24,
    kDebugFlags = 28,
};

constexpr std::uint32_t kShortTimeout = 500;
constexpr std::uint32_t kLongTimeout = 1000;
constexpr std::uint32_t kActionTimeout = 2000;
constexpr std::uint32_t kChunkSize = 16;
constexpr std::int32_t kProbeMinTimeout = 10;
constexpr std::int32_t kProbeMaxTimeout = 500;
constexpr std::uint8_t kBroadcast = 255;
constexpr std::size_t kMaxShownText = 25;

constexpr std::uint32_t kModeTableAddress = VANTREL_MODE_TABLE_BASE;
constexpr std::uint32_t kGammaBase = VANTREL_GAMMA_BASE;
constexpr std::uint32_t kPanelImageBase = VANTREL_PANEL_IMAGE_BASE;
constexpr std::uint32_t kPanelImageSize = VANTREL_PANEL_IMAGE_SIZE;
constexpr std::uint32_t kGammaSize = VANTREL_GAMMA_SIZE;
constexpr std::uint32_t kModeTableSize = VANTREL_MODE_TABLE_SIZE;

std::uint8_t Byte(std::int32_t value) { return static_cast<std::uint8_t>(value & 0xFF); }

// answerNeeded: the data bytes a reading command takes from the answer
// (the highest position it reads plus one); a shorter answer fails it. Writes
// pass 0: a board may acknowledge a write with a short answer, whose missing
// positions then hold the request's own bytes.
bool Transact(std::int32_t address, Command command, std::uint8_t length, std::uint32_t timeoutMs,
              std::uint8_t answerNeeded = 0) {
    return RunTransaction(Byte(address), command, length, timeoutMs, answerNeeded);
}

bool ValidSlot(std::int32_t slot) { return slot >= 0 && slot <= 3; }

void ReportProgress(std::uint32_t total, std::uint32_t done) {
    if (VantrelProgressCallback callback = Link().progressCallback.load(std::memory_order_acquire))
        callback(static_cast<std::uint16_t>(total & 0xFFFF), static_cast<std::uint16_t>(done & 0xFFFF));
}

// A block in 16-byte chunks, one transaction each, in ascending order. The
// memory forms (flash, NVRAM) send the chunk's address as 16 bits big-endian
// and its length; the I2C forms send select1, select2, an 8-bit subaddress
// that wraps, and the length. The progress callback follows every chunk but
// the last.
struct Block {
    Command command;
    std::uint32_t timeoutMs;
    bool i2c;
    std::uint8_t select1 = 0;
    std::uint8_t select2 = 0;
};

std::int32_t MoveBlock(const Block& block, std::int32_t address, std::uint32_t start, std::uint32_t count,
                       const std::uint8_t* out, std::uint8_t* in) {
    if (block.i2c) count &= 0xFF;
    if (count == 0) return 0;
    if (out == nullptr && in == nullptr) return -1;
    const std::uint32_t total = count;
    const std::size_t header = block.i2c ? 4 : 3;
    std::uint32_t remaining = count;
    std::uint32_t where = start;
    std::uint32_t offset = 0;
    while (remaining > 0) {
        const std::uint32_t chunk = std::min(remaining, kChunkSize);
        if (block.i2c) {
            PutByte(0, block.select1);
            PutByte(1, block.select2);
            PutByte(2, where & 0xFF);
            PutByte(3, chunk);
        } else {
            PutBigEndian16(0, where);
            PutByte(2, chunk);
        }
        std::size_t length = header;
        if (out != nullptr) {
            for (std::uint32_t i = 0; i < chunk; ++i) PutByte(header + i, out[offset + i]);
            length += chunk;
        }
        const std::size_t needed = in != nullptr ? header + chunk : 0;
        if (!Transact(address, block.command, static_cast<std::uint8_t>(length), block.timeoutMs,
                      static_cast<std::uint8_t>(needed)))
            return -1;
        if (in != nullptr) {
            for (std::uint32_t i = 0; i < chunk; ++i) in[offset + i] = GetByte(header + i);
        } else if (!block.i2c) {
            // Flash and NVRAM writes: the board echoes the data it stored.
            for (std::uint32_t i = 0; i < chunk; ++i)
                if (GetByte(header + i) != out[offset + i]) return -2;
        }
        where = block.i2c ? (where + chunk) & 0xFF : where + chunk;
        offset += chunk;
        remaining -= chunk;
        if (remaining > 0) ReportProgress(total, total - remaining);
    }
    return 0;
}

const Block kReadFlashBlock{kReadFlash, kShortTimeout, false};
const Block kWriteFlashBlock{kWriteFlash, kLongTimeout, false};
const Block kReadNvRamBlock{kReadNvRam, kShortTimeout, false};
const Block kWriteNvRamBlock{kWriteNvRam, kLongTimeout, false};

}  // namespace

extern "C" {

VANTREL_API int32_t VANTREL_CALL Vantrel_Reset(int32_t address) { return Transact(address, kReset, 0, 0) ? 1 : 0; }

VANTREL_API int32_t VANTREL_CALL Vantrel_ReadRegister(int32_t address, int32_t reg) {
    PutBigEndian16(0, static_cast<std::uint32_t>(reg));
    PutByte(2, 0);
    PutByte(3, 0);
    return Transact(address, kReadRegister, 4, kShortTimeout, 4) ? GetBigEndian16(2) : -1;
}

VANTREL_API int32_t VANTREL_CALL Vantrel_WriteRegister(int32_t address, int32_t reg, int32_t value) {
    PutBigEndian16(0, static_cast<std::uint32_t>(reg));
    PutBigEndian16(2, static_cast<std::uint32_t>(value));
    return Transact(address, kWriteRegister, 4, kShortTimeout) ? GetBigEndian16(2) : -1;
}

VANTREL_API int32_t VANTREL_CALL Vantrel_ReadI2cByte(int32_t address, int32_t select1, int32_t select2,
                                                     int32_t subaddress) {
    // Position 4 is a placeholder: it carries what the buffer holds.
    PutByte(0, Byte(select1));
    PutByte(1, Byte(select2));
    PutByte(2, Byte(subaddress));
    PutByte(3, 1);
    return Transact(address, kReadI2c, 5, kShortTimeout, 5) ? GetByte(4) : -1;
}

VANTREL_API int32_t VANTREL_CALL Vantrel_WriteI2cByte(int32_t address, int32_t select1, int32_t select2,
                                                      int32_t subaddress, int32_t value) {
    PutByte(0, Byte(select1));
    PutByte(1, Byte(select2));
    PutByte(2, Byte(subaddress));
    PutByte(3, 1);
    PutByte(4, Byte(value));
    return Transact(address, kWriteI2c, 5, kShortTimeout) ? GetByte(4) : -1;
}

VANTREL_API int32_t VANTREL_CALL Vantrel_WriteI2c(int32_t address, int32_t select1, int32_t select2, int32_t subaddress,
                                                  int32_t count, const uint8_t* data) {
    const Block block{kWriteI2c, kLongTimeout, true, Byte(select1), Byte(select2)};
    return MoveBlock(block, address, Byte(subaddress), static_cast<std::uint32_t>(count), data, nullptr);
}

VANTREL_API int32_t VANTREL_CALL Vantrel_ReadI2c(int32_t address, int32_t select1, int32_t select2, int32_t subaddress,
                                                 int32_t count, uint8_t* buffer) {
    const Block block{kReadI2c, kShortTimeout, true, Byte(select1), Byte(select2)};
    return MoveBlock(block, address, Byte(subaddress), static_cast<std::uint32_t>(count), nullptr, buffer);
}

VANTREL_API int32_t VANTREL_CALL Vantrel_ReadPort(int32_t address, int32_t port) {
    PutByte(0, 0);
    PutByte(1, Byte(port));
    PutByte(2, 0);
    PutByte(3, 0);
    return Transact(address, kReadPort, 4, kShortTimeout, 4) ? GetBigEndian16(2) : -1;
}

VANTREL_API int32_t VANTREL_CALL Vantrel_WritePort(int32_t address, int32_t port, int32_t value) {
    PutByte(0, 0);
    PutByte(1, Byte(port));
    PutByte(2, 0);
    PutByte(3, Byte(value));
    return Transact(address, kWritePort, 4, kShortTimeout) ? GetBigEndian16(2) : -1;
}

VANTREL_API int32_t VANTREL_CALL Vantrel_ReadFlash(int32_t address, uint32_t flashAddress, uint32_t count,
                                                   uint8_t* buffer) {
    return MoveBlock(kReadFlashBlock, address, flashAddress, count, nullptr, buffer);
}

VANTREL_API int32_t VANTREL_CALL Vantrel_WriteFlash(int32_t address, uint32_t flashAddress, uint32_t count,
                                                    const uint8_t* data) {
    return MoveBlock(kWriteFlashBlock, address, flashAddress, count, data, nullptr);
}

VANTREL_API int32_t VANTREL_CALL Vantrel_EraseFlash(int32_t, int32_t) {
    // The board has no erase command; flash is written in place.
    return -1;
}

VANTREL_API int32_t VANTREL_CALL Vantrel_ReadAdjuster(int32_t address, int32_t index, AdjusterValues* values) {
    if (values == nullptr) return -1;
    PutByte(0, Byte(index));
    if (!Transact(address, kReadAdjuster, 1, kLongTimeout, 7)) return -1;
    values->value1 = GetBigEndian16(1);
    values->value2 = GetBigEndian16(3);
    values->value3 = GetBigEndian16(5);
    return 0;
}

VANTREL_API int32_t VANTREL_CALL Vantrel_SetAdjuster(int32_t address, int32_t index, int32_t value) {
    PutByte(0, Byte(index));
    PutBigEndian16(1, static_cast<std::uint32_t>(value));
    return Transact(address, kSetAdjuster, 3, kLongTimeout) ? 0 : -1;
}

VANTREL_API int32_t VANTREL_CALL Vantrel_SetAdjColor(int32_t address, int32_t colour) {
    PutByte(0, static_cast<std::uint32_t>(colour) & 3);
    return Transact(address, kSetAdjColor, 1, kShortTimeout) ? 0 : -1;
}

VANTREL_API int32_t VANTREL_CALL Vantrel_GetAdjColor(int32_t address) {
    // A failure reads as colour 0, as callers of this export expect.
    return Transact(address, kGetAdjColor, 0, kShortTimeout, 1) ? GetByte(0) : 0;
}

VANTREL_API int32_t VANTREL_CALL Vantrel_SetSwitch(int32_t address, int32_t index, int32_t on) {
    PutByte(0, Byte(index));
    PutByte(1, on != 0 ? 1 : 0);
    return Transact(address, kSetSwitch, 2, kLongTimeout) ? 0 : -1;
}

VANTREL_API int32_t VANTREL_CALL Vantrel_ReadSwitch(int32_t address, int32_t index) {
    PutByte(0, Byte(index));
    return Transact(address, kReadSwitch, 1, kShortTimeout, 2) ? GetByte(1) : -1;
}

VANTREL_API int32_t VANTREL_CALL Vantrel_PanelInfo(int32_t address, int32_t panel, PanelInfoRecord* record) {
    if (!ValidSlot(panel)) return -1;
    PutByte(0, static_cast<std::uint32_t>(panel));
    if (!Transact(address, kPanelInfo, 1, kShortTimeout, record != nullptr ? 26 : 0)) return -1;
    if (record == nullptr) return 0;
    PanelInfoRecord info{};
    for (std::size_t i = 0; i < sizeof info.name; ++i) {
        std::uint8_t c = GetByte(1 + i);
        if (c == 0) break;
        info.name[i] = static_cast<char>(c);
    }
    info.byte1 = GetByte(17);
    info.word1 = GetBigEndian16(18);
    info.word2 = GetBigEndian16(20);
    info.word3 = GetBigEndian16(22);
    info.byte2 = GetByte(24);
    info.byte3 = GetByte(25);
    std::memcpy(record, &info, sizeof info);
    return 0;
}

VANTREL_API int32_t VANTREL_CALL Vantrel_CurrentPanel(int32_t address) {
    return Transact(address, kCurrentPanel, 0, kShortTimeout, 1) ? GetByte(0) : -1;
}

VANTREL_API int32_t VANTREL_CALL Vantrel_ModeInfo(int32_t address, ModeInfoRecord* record) {
    // Ten placeholder bytes: the board ignores what they hold.
    if (!Transact(address, kModeInfo, 10, kShortTimeout, record != nullptr ? 10 : 0)) return -1;
    if (record == nullptr) return 0;
    ModeInfoRecord info{};
    info.word1 = GetBigEndian16(0);
    info.word2 = GetBigEndian16(2);
    info.word3 = GetBigEndian16(4);
    info.word4 = GetBigEndian16(6);
    info.byte1 = GetByte(8);
    info.byte2 = GetByte(9);
    std::memcpy(record, &info, sizeof info);
    return 0;
}

VANTREL_API int32_t VANTREL_CALL Vantrel_Version(int32_t address, uint8_t* first, uint8_t* second) {
    if (first == nullptr || second == nullptr) return -1;
    if (!Transact(address, kVersion, 2, kShortTimeout, 2)) return -1;
    *first = GetByte(0);
    *second = GetByte(1);
    return 0;
}

VANTREL_API int32_t VANTREL_CALL Vantrel_SetProgressCallback(VantrelProgressCallback callback) {
    Link().progressCallback.store(callback, std::memory_order_release);
    return 1;
}

VANTREL_API int32_t VANTREL_CALL Vantrel_GetPanelData(int32_t address, int32_t panel, uint8_t* buffer) {
    if (!ValidSlot(panel)) return -1;
    return Vantrel_ReadFlash(address, kPanelImageBase + kPanelImageSize * static_cast<std::uint32_t>(panel),
                             kPanelImageSize, buffer);
}

VANTREL_API int32_t VANTREL_CALL Vantrel_WritePanelData(int32_t address, int32_t panel, const uint8_t* data) {
    if (!ValidSlot(panel)) return -1;
    return Vantrel_WriteFlash(address, kPanelImageBase + kPanelImageSize * static_cast<std::uint32_t>(panel),
                              kPanelImageSize, data);
}

VANTREL_API int32_t VANTREL_CALL Vantrel_GetPanelGamma(int32_t address, int32_t panel, uint8_t* buffer) {
    if (!ValidSlot(panel)) return -1;
    return Vantrel_ReadFlash(address, kGammaBase + kGammaSize * static_cast<std::uint32_t>(panel), kGammaSize, buffer);
}

VANTREL_API int32_t VANTREL_CALL Vantrel_WritePanelGamma(int32_t address, int32_t panel, const uint8_t* data) {
    if (!ValidSlot(panel)) return -1;
    return Vantrel_WriteFlash(address, kGammaBase + kGammaSize * static_cast<std::uint32_t>(panel), kGammaSize, data);
}

VANTREL_API int32_t VANTREL_CALL Vantrel_WriteModeTable(int32_t address, const uint8_t* data) {
    return Vantrel_WriteFlash(address, kModeTableAddress, kModeTableSize, data);
}

VANTREL_API int32_t VANTREL_CALL Vantrel_GetModeTable(int32_t address, uint8_t* buffer) {
    return Vantrel_ReadFlash(address, kModeTableAddress, kModeTableSize, buffer);
}

VANTREL_API int32_t VANTREL_CALL Vantrel_ShowString(int32_t address, int32_t value1, int32_t value2, int32_t value3,
                                                    const char* text) {
    std::size_t length = 0;
    if (text != nullptr)
        while (length < kMaxShownText && text[length] != '\0') ++length;
    // Position 4 is a placeholder.
    PutByte(0, Byte(value3));
    PutByte(1, Byte(value1));
    PutByte(2, Byte(value2));
    PutByte(3, static_cast<std::uint32_t>(length));
    for (std::size_t i = 0; i < length; ++i) PutByte(5 + i, static_cast<std::uint8_t>(text[i]));
    return Transact(address, kShowString, static_cast<std::uint8_t>(length + 5), kShortTimeout) ? 0 : -1;
}

VANTREL_API int32_t VANTREL_CALL Vantrel_HideString(int32_t address) {
    return Transact(address, kHideString, 0, kShortTimeout) ? 0 : -1;
}

VANTREL_API int32_t VANTREL_CALL Vantrel_CallAction(int32_t address, int32_t action) {
    PutByte(0, Byte(action));
    return Transact(address, kCallAction, 1, kActionTimeout) ? 0 : -1;
}

VANTREL_API int32_t VANTREL_CALL Vantrel_ReadNvRam(int32_t address, uint32_t nvAddress, uint32_t count,
                                                   uint8_t* buffer) {
    return MoveBlock(kReadNvRamBlock, address, nvAddress, count, nullptr, buffer);
}

VANTREL_API int32_t VANTREL_CALL Vantrel_WriteNvRam(int32_t address, uint32_t nvAddress, uint32_t count,
                                                    const uint8_t* data) {
    return MoveBlock(kWriteNvRamBlock, address, nvAddress, count, data, nullptr);
}

VANTREL_API int32_t VANTREL_CALL Vantrel_DebugFlags(int32_t address, int32_t flags) {
    PutByte(0, Byte(flags));
    return Transact(address, kDebugFlags, 1, kShortTimeout) ? 0 : -1;
}

VANTREL_API int32_t VANTREL_CALL Vantrel_ProbeDevice(int32_t address, int32_t timeoutMs, uint8_t* first,
                                                     uint8_t* second) {
    // The broadcast address gets no single answer to wait for.
    if (Byte(address) == kBroadcast) return -1;
    const std::int32_t wait = std::clamp(timeoutMs, kProbeMinTimeout, kProbeMaxTimeout);
    std::uint8_t version[2];
    if (!RunProbe(Byte(address), static_cast<std::uint32_t>(wait), version)) return -1;
    if (first != nullptr) *first = version[0];
    if (second != nullptr) *second = version[1];
    return 0;
}

}  // extern "C"
