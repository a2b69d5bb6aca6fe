// The board's memories and devices: flash, NVRAM, registers, ports, I2C
// devices, adjusters, switches and the status commands, and how one request
// is carried out on them.
#include "board_internal.h"

#include <algorithm>

namespace vantrel_board {

Board::Board(Options options)
    : options_(std::move(options)),
      faults_(options_.faults),
      flash_(FactoryFlash()),
      nvram_(kNvRamSize, 0xFF),
      registers_(0x10000, 0) {
    // Identification registers: chip id and revision.
    registers_[0x0000] = 0x5632;
    registers_[0x0001] = 0x0201;
    // The board's description of itself: the size of its NVRAM in bytes.
    registers_[kNvRamSizeRegister] = static_cast<uint16_t>(kNvRamSize);
    // I2C devices with readable content: the controller's own identification
    // at 0x00/0x00, and the monitor's EDID EEPROM at 0xA0/0x00.
    i2c_[0x0000] = FactoryI2cIdentification();
    i2c_[0xA000] = FactoryEdid();
    // Adjusters: current value, minimum, maximum.
    for (auto& a : adjusters_) a = {0, 0, 255};
    adjusters_[0] = {50, 0, 100};       // brightness
    adjusters_[1] = {50, 0, 100};       // contrast
    adjusters_[2] = {16, 0, 31};        // phase
    adjusters_[3] = {1344, 800, 4095};  // clock (total pixels)
    adjusters_[4] = {296, 0, 800};      // horizontal position
    adjusters_[5] = {35, 0, 200};       // vertical position
    adjusters_[6] = {128, 0, 255};      // red gain
    adjusters_[7] = {128, 0, 255};      // green gain
    adjusters_[8] = {128, 0, 255};      // blue gain
    currentMode_ = 11;                  // 1024x768 60 Hz of the factory mode table
    for (uint8_t a : options_.moreAddresses) {
        if (a == options_.address || a == kBroadcastAddress || others_.count(a)) continue;
        Options more;
        more.address = a;
        more.baud = options_.baud;
        more.record = false;
        more.log = options_.log;
        if (!options_.flashFile.empty()) more.flashFile = options_.flashFile + "." + std::to_string(a);
        others_.emplace(a, std::make_unique<Board>(std::move(more)));
    }
}

Board* Board::Device(uint8_t address) {
    if (address == options_.address) return this;
    auto it = others_.find(address);
    return it == others_.end() ? nullptr : it->second.get();
}

std::vector<uint8_t> Board::Addresses() const {
    std::vector<uint8_t> out{options_.address};
    for (const auto& [a, board] : others_) out.push_back(a);
    std::sort(out.begin(), out.end());
    return out;
}

// Carries out one request; returns the answer's data bytes, or nullopt for a
// command that gets no answer. Called with mutex_ held.
std::optional<std::vector<uint8_t>> Board::Execute(const Frame& f, bool& isWriteEcho) {
    const auto& d = f.data;
    std::vector<uint8_t> a;
    switch (f.command) {
        case kCmdReset:
            ++resets_;
            osd_ = OsdText{};
            debugFlags_ = 0;
            return std::nullopt;
        case kCmdReadRegister: {
            uint16_t reg = Get16(d, 0);
            Append16(a, reg);
            Append16(a, registers_[reg]);
            return a;
        }
        case kCmdWriteRegister: {
            uint16_t reg = Get16(d, 0);
            registers_[reg] = Get16(d, 2);
            Append16(a, reg);
            Append16(a, registers_[reg]);
            return a;
        }
        case kCmdReadI2c:
        case kCmdWriteI2c: {
            uint8_t s1 = Get8(d, 0), s2 = Get8(d, 1), sub = Get8(d, 2), n = Get8(d, 3);
            auto& device = i2c_[static_cast<uint16_t>(s1 << 8 | s2)];
            a = {s1, s2, sub, n};
            for (unsigned i = 0; i < n && a.size() < 255; ++i) {
                uint8_t at = static_cast<uint8_t>(sub + i);
                if (f.command == kCmdWriteI2c) {
                    if (4 + i >= d.size()) break;
                    device[at] = d[4 + i];
                }
                a.push_back(device[at]);
            }
            return a;
        }
        case kCmdReadPort:
        case kCmdWritePort: {
            uint8_t port = Get8(d, 1);
            if (f.command == kCmdWritePort) ports_[port] = Get8(d, 3);
            a = {0, port};
            Append16(a, ports_[port]);
            return a;
        }
        case kCmdReadFlash:
        case kCmdReadNvRam:
        case kCmdWriteFlash:
        case kCmdWriteNvRam: {
            const bool write = f.command == kCmdWriteFlash || f.command == kCmdWriteNvRam;
            const bool flash = f.command == kCmdWriteFlash || f.command == kCmdReadFlash;
            auto& mem = flash ? flash_ : nvram_;
            uint16_t addr = Get16(d, 0);
            uint8_t n = Get8(d, 2);
            Append16(a, addr);
            a.push_back(n);
            for (unsigned i = 0; i < n && a.size() < 255; ++i) {
                std::size_t at = (addr + i) % mem.size();
                if (write) {
                    if (3 + i >= d.size()) break;
                    mem[at] = d[3 + i];
                    // A weak flash cell: the echo is right, the stored byte is not.
                    const int32_t weak = faults_.corruptStoreAddress;
                    if (flash && weak >= 0 && static_cast<std::size_t>(weak) == at)
                        mem[at] = static_cast<uint8_t>(~d[3 + i]);
                    a.push_back(d[3 + i]);
                    continue;
                }
                a.push_back(mem[at]);
            }
            if (write && flash) flashDirty_ = true;
            isWriteEcho = write;
            return a;
        }
        case kCmdReadAdjuster: {
            uint8_t index = Get8(d, 0);
            const Adjuster& adj = adjusters_[index];
            a = {index};
            Append16(a, adj.value);
            Append16(a, adj.minimum);
            Append16(a, adj.maximum);
            return a;
        }
        case kCmdSetAdjuster: {
            Adjuster& adj = adjusters_[Get8(d, 0)];
            adj.value = std::clamp(Get16(d, 1), adj.minimum, std::max(adj.minimum, adj.maximum));
            return d;
        }
        case kCmdGetAdjColor:
            return std::vector<uint8_t>{adjColor_};
        case kCmdSetAdjColor:
            adjColor_ = Get8(d, 0) & 3;
            return d;
        case kCmdReadSwitch: {
            uint8_t index = Get8(d, 0);
            return std::vector<uint8_t>{index, switches_[index]};
        }
        case kCmdSetSwitch:
            switches_[Get8(d, 0)] = Get8(d, 1) ? 1 : 0;
            return d;
        case kCmdCurrentPanel:
            return std::vector<uint8_t>{currentPanel_};
        case kCmdPanelInfo: {
            // Slot, name, manufacturer, width, height, maximum display clock in
            // 10 kHz, colour depth and the high panel flags, from the slot's image.
            uint8_t slot = Get8(d, 0) & 3;
            const uint8_t* p = flash_.data() + kPanelImageBase + kPanelImageSize * slot;
            uint32_t clock = uint32_t(p[0x1C]) << 24 | uint32_t(p[0x1D]) << 16 | uint32_t(p[0x1E]) << 8 | p[0x1F];
            a = {Get8(d, 0)};
            a.insert(a.end(), p + 0x04, p + 0x14);
            a.push_back(p[0x02]);
            a.insert(a.end(), p + 0x16, p + 0x1A);
            Append16(a, static_cast<uint16_t>(std::min<uint32_t>(clock / 10, 0xFFFF)));
            a.push_back(p[0x15]);
            a.push_back(p[0x3A]);
            return a;
        }
        case kCmdModeInfo: {
            // Frequencies in tenths, active size, mode index (0xFF: no mode) and flags.
            const uint8_t* e = flash_.data() + kModeTableAddress + 20 * (currentMode_ % 38);
            bool used = currentMode_ < 38 && (e[11] | e[12]) && (e[13] | e[14]);
            if (!used) return std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0};
            a = {e[0], e[1], e[3], e[4], e[11], e[12], e[13], e[14], currentMode_, e[19]};
            return a;
        }
        case kCmdVersion:
            return std::vector<uint8_t>{version_[0], version_[1]};
        case kCmdShowString: {
            uint8_t len = Get8(d, 3);
            osd_.visible = true;
            osd_.value3 = Get8(d, 0);
            osd_.value1 = Get8(d, 1);
            osd_.value2 = Get8(d, 2);
            osd_.text.clear();
            for (std::size_t i = 5; i < d.size() && i < 5u + len; ++i) osd_.text.push_back(static_cast<char>(d[i]));
            return d;
        }
        case kCmdHideString:
            osd_.visible = false;
            return d;
        case kCmdCallAction:
            actions_.push_back(Get8(d, 0));
            if (actions_.size() > kMaxActions) actions_.pop_front();
            return d;
        case kCmdDebugFlags:
            debugFlags_ = Get8(d, 0);
            return d;
        default:
            return std::nullopt;
    }
}

std::vector<uint8_t> Board::Flash(uint32_t address, std::size_t count) const {
    std::lock_guard lock(mutex_);
    std::vector<uint8_t> out(count);
    for (std::size_t i = 0; i < count; ++i) out[i] = flash_[(address + i) % kFlashSize];
    return out;
}

void Board::SetFlash(uint32_t address, const std::vector<uint8_t>& bytes) {
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < bytes.size(); ++i) flash_[(address + i) % kFlashSize] = bytes[i];
    flashDirty_ = true;
}

std::vector<uint8_t> Board::NvRam(uint32_t address, std::size_t count) const {
    std::lock_guard lock(mutex_);
    std::vector<uint8_t> out(count);
    for (std::size_t i = 0; i < count; ++i) out[i] = nvram_[(address + i) % kNvRamSize];
    return out;
}

void Board::SetNvRam(uint32_t address, const std::vector<uint8_t>& bytes) {
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < bytes.size(); ++i) nvram_[(address + i) % kNvRamSize] = bytes[i];
}

uint16_t Board::Register(uint16_t reg) const {
    std::lock_guard lock(mutex_);
    return registers_[reg];
}

void Board::SetRegister(uint16_t reg, uint16_t value) {
    std::lock_guard lock(mutex_);
    registers_[reg] = value;
}

uint8_t Board::Port(uint8_t port) const {
    std::lock_guard lock(mutex_);
    return ports_[port];
}

void Board::SetPort(uint8_t port, uint8_t value) {
    std::lock_guard lock(mutex_);
    ports_[port] = value;
}

uint8_t Board::I2cByte(uint8_t select1, uint8_t select2, uint8_t subaddress) const {
    std::lock_guard lock(mutex_);
    auto it = i2c_.find(static_cast<uint16_t>(select1 << 8 | select2));
    return it == i2c_.end() ? 0 : it->second[subaddress];
}

void Board::SetI2cByte(uint8_t select1, uint8_t select2, uint8_t subaddress, uint8_t value) {
    std::lock_guard lock(mutex_);
    i2c_[static_cast<uint16_t>(select1 << 8 | select2)][subaddress] = value;
}

Adjuster Board::GetAdjuster(uint8_t index) const {
    std::lock_guard lock(mutex_);
    return adjusters_[index];
}

void Board::SetAdjusterState(uint8_t index, Adjuster adjuster) {
    std::lock_guard lock(mutex_);
    adjusters_[index] = adjuster;
}

uint8_t Board::Switch(uint8_t index) const {
    std::lock_guard lock(mutex_);
    return switches_[index];
}

uint8_t Board::AdjColor() const {
    std::lock_guard lock(mutex_);
    return adjColor_;
}

uint8_t Board::CurrentPanel() const {
    std::lock_guard lock(mutex_);
    return currentPanel_;
}

void Board::SetCurrentPanel(uint8_t slot) {
    std::lock_guard lock(mutex_);
    currentPanel_ = slot;
}

uint8_t Board::CurrentMode() const {
    std::lock_guard lock(mutex_);
    return currentMode_;
}

void Board::SetCurrentMode(uint8_t modeIndex) {
    std::lock_guard lock(mutex_);
    currentMode_ = modeIndex;
}

std::array<uint8_t, 2> Board::Version() const {
    std::lock_guard lock(mutex_);
    return version_;
}

void Board::SetVersion(uint8_t first, uint8_t second) {
    std::lock_guard lock(mutex_);
    version_ = {first, second};
}

OsdText Board::Osd() const {
    std::lock_guard lock(mutex_);
    return osd_;
}

std::vector<uint8_t> Board::Actions() const {
    std::lock_guard lock(mutex_);
    return std::vector<uint8_t>(actions_.begin(), actions_.end());
}

uint8_t Board::DebugFlags() const {
    std::lock_guard lock(mutex_);
    return debugFlags_;
}

uint64_t Board::ResetCount() const {
    std::lock_guard lock(mutex_);
    return resets_;
}

}  // namespace vantrel_board
