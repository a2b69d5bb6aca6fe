// vantrel_board::Board: an emulated Vantrel-2 controller board on a pseudo-terminal.
//
// Start() creates a pseudo-terminal pair. A host opens the slave side (SlavePath())
// like a serial port; the board reads request frames from the master side on its
// own thread and answers them the way the firmware does. The latest bytes and frames
// the host sent are recorded for tests (Options::record; the program turns it off);
// the command codes are always counted. The board's memories can be inspected and changed at run time,
// and faults can be injected on chosen answers. Its memory stays bounded whatever
// the traffic: the record keeps only its latest entries and the answer queue is
// bounded like a real board's transmit buffer.
#ifndef VANTREL_BOARD_BOARD_H
#define VANTREL_BOARD_BOARD_H

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vantrel_board {

constexpr std::size_t kFlashSize = 0x10000;
constexpr std::size_t kNvRamSize = 0x2000;
// The register that gives the NVRAM size in bytes.
constexpr uint16_t kNvRamSizeRegister = 0x0002;
constexpr uint8_t kFrameStart = 0xBB;
constexpr uint8_t kBroadcastAddress = 255;

// Flash map of the panel and mode data.
constexpr uint32_t kModeTableAddress = 0xF400;
constexpr uint32_t kModeTableSize = 768;
constexpr uint32_t kGammaBase = 0xF700;
constexpr uint32_t kGammaSize = 256;
constexpr uint32_t kPanelImageBase = 0xFB00;
constexpr uint32_t kPanelImageSize = 64;
constexpr int kPanelSlots = 4;

// Command codes of the link protocol.
enum Command : uint8_t {
    kCmdReset = 0,
    kCmdReadRegister = 1,
    kCmdWriteRegister = 2,
    kCmdReadI2c = 3,
    kCmdWriteI2c = 4,
    kCmdReadPort = 5,
    kCmdWritePort = 6,
    kCmdWriteFlash = 7,
    kCmdReadFlash = 8,
    kCmdReadAdjuster = 10,
    kCmdSetAdjuster = 11,
    kCmdGetAdjColor = 12,
    kCmdSetAdjColor = 13,
    kCmdReadSwitch = 14,
    kCmdSetSwitch = 15,
    kCmdCurrentPanel = 16,
    kCmdPanelInfo = 17,
    kCmdModeInfo = 18,
    kCmdVersion = 19,
    kCmdShowString = 20,
    kCmdHideString = 21,
    kCmdCallAction = 22,
    kCmdReadNvRam = 23,
    kCmdWriteNvRam = 24,
    kCmdDebugFlags = 28,
};

// One frame as the board parsed it from the line.
struct Frame {
    uint8_t address = 0;
    uint8_t command = 0;
    std::vector<uint8_t> data;  // the data bytes (the length byte is data.size())
    uint8_t checksum = 0;       // as received
    bool checksumOk = false;
};

// Checksum of a frame: address + command + length + data, modulo 256.
uint8_t FrameChecksum(uint8_t address, uint8_t command, const std::vector<uint8_t>& data);
// The complete bytes of a frame: BB, address, command, length, data, checksum.
std::vector<uint8_t> EncodeFrame(uint8_t address, uint8_t command, const std::vector<uint8_t>& data);
// "BB 00 01 ..." for logs and test messages.
std::string HexBytes(const std::vector<uint8_t>& bytes);

// Faults on chosen answers. Frame numbers count the request frames the board
// executes (its own address and broadcasts, checksum right), starting at 1;
// 0 switches a fault off.
struct Faults {
    uint64_t dropAnswerFrame = 0;   // that frame gets no answer
    uint64_t badChecksumFrame = 0;  // its answer carries checksum + 1
    uint64_t alterEchoFrame = 0;    // a flash/NVRAM write echo with one data byte inverted:
    uint8_t alterEchoIndex = 0;     //   this one of the chunk's data bytes (past the last: the last)
    uint64_t delayFrame = 0;        // 0 with delayMs > 0: every answer is delayed
    uint32_t delayMs = 0;           // extra wait before the answer starts
    std::vector<uint8_t> noise;     // bytes sent between frames, before an answer
    uint64_t noiseFrame = 0;        // 0 with noise set: before every answer
    uint64_t oversizeFrame = 0;     // answer with oversizeLength data bytes instead
    uint8_t oversizeLength = 40;
    uint64_t garbleFrame = 0;   // one byte of the whole answer frame altered on the line:
    uint8_t garbleOffset = 0;   //   the byte at this offset, modulo the frame's size,
    uint8_t garbleMask = 0x5A;  //   exclusive-or this mask (0 counts as 0x5A)
    // Flash writes to this address store the byte inverted while the echo
    // carries the byte as sent (a weak cell only a read-back finds); -1: off.
    int32_t corruptStoreAddress = -1;
};

struct Options {
    uint8_t address = 0;  // the device address the board answers to
    // Further boards on the same line, one for each of these addresses, each
    // with its own memories (255 and repeats are ignored). With a flash file
    // F, the board at address A keeps its flash in "F.A".
    std::vector<uint8_t> moreAddresses;
    uint32_t baud = 57600;                        // line pacing, 10 bits per byte; 0 = no pacing
    bool answerBroadcast = false;                 // answer frames sent to address 255 too
    std::string flashFile;                        // load at Start when present, save after writes
    bool record = true;                           // keep the bytes and frames received, for tests
    std::size_t recordLimit = 16384;              //   at most this many frames and 64 times as many bytes
    bool verbose = false;                         // log every frame
    std::function<void(const std::string&)> log;  // log sink, one line a call; null = stderr
    Faults faults;
};

// Information on one adjuster: the current value and its range.
struct Adjuster {
    uint16_t value = 0;
    uint16_t minimum = 0;
    uint16_t maximum = 0;
};

// What the on-screen display shows.
struct OsdText {
    bool visible = false;
    uint8_t value1 = 0;  // column
    uint8_t value2 = 0;  // row
    uint8_t value3 = 0;  // attribute
    std::string text;
};

// Decides the raw bytes sent in place of the answer to a request frame. Return
// nullopt to keep the board's own answer, an empty vector to send nothing.
// Called on the board's reader thread for every executed frame that would be
// answered (not the reset); the command itself is carried out either way.
using AnswerHook = std::function<std::optional<std::vector<uint8_t>>(const Frame& request)>;

// What the board answers beyond plain memory access:
//   read adjuster   index, value, minimum, maximum (16-bit each)
//   panel info      slot, the slot image's 16-byte name, manufacturer, width,
//                   height, maximum display clock in 10 kHz, colour depth, the
//                   high byte of the panel flags
//   mode info       horizontal frequency (0.1 kHz), vertical frequency (0.1 Hz),
//                   active width, active height of the current mode's entry in
//                   the flash mode table, its index (0xFF: no mode), its flags
//   version         the two version bytes (2, 1 unless set)
//   register 0x0002 the NVRAM size in bytes; registers 0 and 1 chip id and revision
// Commands that only set something echo their request data; the reset and
// unknown command codes get no answer.
class Board {
public:
    explicit Board(Options options = {});
    ~Board();
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    // Creates the pseudo-terminal, loads the flash file and starts the threads.
    // Returns false with a message in LastError() when anything fails; the board
    // then stays stopped and its memories keep their content.
    bool Start();
    // Stops the threads, saves the flash file when it changed, closes the terminal.
    void Stop();
    bool Running() const { return running_; }
    const std::string& LastError() const { return lastError_; }
    const std::string& SlavePath() const { return slavePath_; }
    const Options& GetOptions() const { return options_; }
    // The board that answers to address: this one, one of moreAddresses, or
    // null. The memory functions below act on the board they are called on.
    Board* Device(uint8_t address);
    // Every device address on the line, ascending.
    std::vector<uint8_t> Addresses() const;

    // Record of what the host sent (empty when Options::record is off; only the
    // latest entries when it outgrew Options::recordLimit).
    std::vector<uint8_t> ReceivedBytes() const;
    std::vector<Frame> ReceivedFrames() const;
    uint64_t ExecutedFrameCount() const;
    void ClearRecord();
    // Frames with a right checksum received for this board (or broadcast), by
    // command code, since Start; kept whether or not the record is on.
    std::array<uint64_t, 256> CommandCounts() const;
    uint64_t CommandCount(uint8_t command) const { return CommandCounts()[command]; }
    // Answers thrown away because the host sent requests faster than the line
    // could carry the answers and the transmit queue was full.
    uint64_t DroppedAnswerCount() const;
    // Waits until the record holds at least n frames.
    bool WaitForFrames(std::size_t n, std::chrono::milliseconds timeout) const;
    // Waits until every queued answer and raw byte has been written to the line.
    bool WaitUntilSent(std::chrono::milliseconds timeout) const;
    // Bytes the board has written to the line since Start.
    uint64_t SentByteCount() const;

    // Fault injection and answer control, safe while running.
    void SetFaults(const Faults& faults);
    Faults GetFaults() const;
    void SetAnswerHook(AnswerHook hook);
    // The next executed frames are answered with these raw bytes, one entry each.
    void QueueRawAnswer(std::vector<uint8_t> bytes);
    // Sends bytes now (after what is queued), paced like any answer.
    void SendRaw(std::vector<uint8_t> bytes);
    // Hangs the line up as a pulled adapter does (TIOCVHANGUP): every descriptor
    // the host holds on the terminal is dead; a new open works. Needs the right
    // to hang up terminals (CAP_SYS_ADMIN); false with LastError() otherwise.
    bool HangUp();
    // Takes no bytes off the line for this long, like a board busy with other
    // work: once the terminal's buffer is full, the host's writes wait.
    void HoldReading(std::chrono::milliseconds duration);

    // Memories and state, safe while running.
    std::vector<uint8_t> Flash(uint32_t address, std::size_t count) const;
    void SetFlash(uint32_t address, const std::vector<uint8_t>& bytes);
    std::vector<uint8_t> NvRam(uint32_t address, std::size_t count) const;
    void SetNvRam(uint32_t address, const std::vector<uint8_t>& bytes);
    uint16_t Register(uint16_t reg) const;
    void SetRegister(uint16_t reg, uint16_t value);
    uint8_t Port(uint8_t port) const;
    void SetPort(uint8_t port, uint8_t value);
    uint8_t I2cByte(uint8_t select1, uint8_t select2, uint8_t subaddress) const;
    void SetI2cByte(uint8_t select1, uint8_t select2, uint8_t subaddress, uint8_t value);
    Adjuster GetAdjuster(uint8_t index) const;
    void SetAdjusterState(uint8_t index, Adjuster adjuster);
    uint8_t Switch(uint8_t index) const;
    uint8_t AdjColor() const;
    uint8_t CurrentPanel() const;
    void SetCurrentPanel(uint8_t slot);
    uint8_t CurrentMode() const;
    void SetCurrentMode(uint8_t modeIndex);
    std::array<uint8_t, 2> Version() const;
    void SetVersion(uint8_t first, uint8_t second);
    OsdText Osd() const;
    std::vector<uint8_t> Actions() const;  // the latest 256 action codes in the order they were called
    uint8_t DebugFlags() const;
    uint64_t ResetCount() const;

    // Writes the flash to a file atomically: a symbolic link is followed to its
    // target (also a dangling one), the temporary file is made in the target's
    // folder with the old file's mode and owner before any content is written,
    // flushed to disk, renamed over the target, and the folder is synced.
    bool SaveFlash(const std::string& path, std::string* error = nullptr) const;
    // Replaces the flash with the file's 65536 bytes; on any failure the flash
    // keeps its content and error says why.
    bool LoadFlash(const std::string& path, std::string* error = nullptr);

private:
    struct Pending {
        std::chrono::steady_clock::time_point notBefore;
        std::vector<uint8_t> bytes;
        bool isAnswer = false;
    };

    // line.cpp: the terminal and the paced line.
    void ReaderLoop();
    void WriterLoop();
    bool Enqueue(Pending pending);
    void Log(const std::string& line) const;
    std::chrono::nanoseconds ByteTime() const;
    // frames.cpp: the request parser and the record.
    void ParseByte(uint8_t byte, std::chrono::steady_clock::time_point lineTime);
    void RecordBytes(const uint8_t* bytes, std::size_t count);
    // faults.cpp: what goes back for one request.
    void HandleFrame(const Frame& frame, std::chrono::steady_clock::time_point lineTime);
    // devices.cpp: carrying out one request.
    std::optional<std::vector<uint8_t>> Execute(const Frame& frame, bool& isWriteEcho);
    // flash_file.cpp
    void SaveIfDirty();
    // The further boards' flash files: loaded at Start, saved when quiet and at Stop.
    bool LoadOthers();
    void SaveOthers(bool atStop);

    Options options_;
    // The further boards: never started, the line is this board's. Their
    // memories are guarded by their own mutex_, taken after this one's.
    std::map<uint8_t, std::unique_ptr<Board>> others_;
    std::string lastError_;
    std::string slavePath_;
    int masterFd_ = -1;
    int slaveFd_ = -1;
    int wakePipe_[2] = {-1, -1};
    bool running_ = false;
    std::thread reader_;
    std::thread writer_;

    // Reader-thread parser state.
    enum class ParseState { Idle, Address, Command, Length, Data, Checksum };
    ParseState parseState_ = ParseState::Idle;
    Frame current_;
    std::size_t expected_ = 0;
    std::chrono::steady_clock::time_point rxLineFree_{};
    std::chrono::steady_clock::time_point lastActivity_{};

    // Everything below is guarded by mutex_.
    mutable std::mutex logMutex_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stopping_ = false;
    std::chrono::steady_clock::time_point holdUntil_{};
    std::deque<uint8_t> received_;
    std::deque<Frame> frames_;
    std::array<uint64_t, 256> commandCounts_{};
    uint64_t executed_ = 0;
    Faults faults_;
    AnswerHook hook_;
    std::deque<std::vector<uint8_t>> rawAnswers_;
    std::deque<Pending> queue_;
    bool writing_ = false;
    uint64_t sentBytes_ = 0;
    uint64_t droppedAnswers_ = 0;

    std::vector<uint8_t> flash_;
    std::vector<uint8_t> nvram_;
    std::vector<uint16_t> registers_;
    std::array<uint8_t, 256> ports_{};
    std::map<uint16_t, std::array<uint8_t, 256>> i2c_;
    std::array<Adjuster, 256> adjusters_{};
    std::array<uint8_t, 256> switches_{};
    uint8_t adjColor_ = 0;
    uint8_t currentPanel_ = 0;
    uint8_t currentMode_ = 0;
    std::array<uint8_t, 2> version_{{2, 1}};
    OsdText osd_;
    std::deque<uint8_t> actions_;
    uint8_t debugFlags_ = 0;
    uint64_t resets_ = 0;
    bool flashDirty_ = false;
};

// The factory content: 64 KiB of erased flash with four panel slots (PanelImage
// and gamma table each) and a mode table of common VGA to SXGA modes.
std::vector<uint8_t> FactoryFlash();
// The factory content of the two I2C devices that answer with data: the
// controller's identification (select 0x00/0x00) and a 128-byte EDID block of
// the attached monitor (select 0xA0/0x00); the rest of each reads 0.
std::array<uint8_t, 256> FactoryI2cIdentification();
std::array<uint8_t, 256> FactoryEdid();

}  // namespace vantrel_board

#endif  // VANTREL_BOARD_BOARD_H
