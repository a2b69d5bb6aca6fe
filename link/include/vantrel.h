/*
 * vantrel: the link library of the Vantrel-2 LCD controller board.
 *
 * One process-wide link: a serial port opened with OpenSerialCommunication,
 * a receive thread that assembles the board's answer frames, and the command
 * exports. There is no handle: every export acts on that one link.
 *
 * Common rules of the command exports
 *   address   the device address: only its low 8 bits are sent; 0..254 is one
 *             board, 255 a broadcast that every board carries out. Other
 *             integer arguments wider than their field send their low 8 or 16
 *             bits.
 *   Result    0 success, -1 failure (link closed, no answer within the
 *             time-out, an answer with a wrong checksum, or an answer too short
 *             for what the command reads), -2 when a written block does not
 *             come back identical; reads return the value itself. Nothing is
 *             retried; nothing is shown; nothing throws.
 *   Time-out  how long the command waits for each answer frame. Block
 *             transfers move 16 bytes per frame and wait that long per frame.
 *   Threads   every export runs on the caller's thread and blocks it until the
 *             answer or the time-out; exports must not be called from two
 *             threads at once (one command at a time). The receive handler runs
 *             on the receive thread, the progress callback on the caller's.
 *
 * Short answers: a command that reads data fails when the board's answer holds
 * fewer data bytes than the positions it reads. A write is acknowledged by any
 * answer with a right checksum: positions that a short answer does not reach
 * still hold the request's own bytes, so a write answered without data returns
 * the value sent and passes the echo comparison.
 *
 * After a failed transaction. A transaction that fails for want of a good
 * answer (time-out, wrong checksum, an answer too short; a probe that finds
 * nobody) leaves the line suspect: its answer may still be on the way. From
 * then on whatever arrives is discarded (not parsed, not passed to the receive
 * handler), and the next transaction first waits until no byte has arrived for
 * 250 ms, counted from the failure or the last byte discarded, but never longer
 * than the failed transaction's own time-out; then the frame parser starts
 * afresh and the request goes out. The cost: up to 250 ms once after a failure
 * (up to the failed time-out on a line that keeps sending), nothing when the
 * caller spent that long anyway, and nothing at all after a success. A reset
 * (which awaits no answer) and a probe (which checks the answer's sender) do
 * not wait. An answer later than that still completes the next transaction:
 * the library takes the first complete answer after a request whatever its
 * address and command bytes say, and never retries.
 *
 * A line that hangs up or fails (an adapter pulled, the other end gone) is no
 * longer polled, and every transaction on it fails at once until Close; Close
 * and a new Open then work as usual. Every Open starts with an empty frame
 * parser and drops what the line still held. The receive thread waits for the
 * line without a polling period, so an idle open link costs no processor time
 * and Close returns within a few milliseconds.
 *
 * The receive handler may call CloseSerialCommunication: the link is closed at
 * once and the receive thread ends when the handler returns (the next Open or
 * Close waits for it). Close waits at most 500 ms for a handler that is busy;
 * after that it gives the port back to the system and leaves the thread to end
 * on its own once the handler returns. A process that ends or unloads the
 * library with the link open has it closed the same way. Call
 * CloseSerialCommunication before the process ends all the same.
 *
 * Ordinals (vantrel.def) are given with each export; programs may bind by them.
 */
#ifndef VANTREL_H
#define VANTREL_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(VANTREL_BUILDING)
#define VANTREL_API __declspec(dllexport)
#else
#define VANTREL_API __declspec(dllimport)
#endif
#define VANTREL_CALL __stdcall
#else
#define VANTREL_API __attribute__((visibility("default")))
#define VANTREL_CALL
#endif

/* The board's flash map: 64 KiB, written 16 bytes a transaction. The panel
   slots 0..3 each have a 64-byte image and a 256-byte gamma table; the mode
   table holds 768 bytes. Everything below the mode table is the firmware's. */
#define VANTREL_FLASH_SIZE 0x10000u
#define VANTREL_FLASH_CHUNK 16u
#define VANTREL_PANEL_SLOTS 4u
#define VANTREL_MODE_TABLE_BASE 0xF400u
#define VANTREL_MODE_TABLE_SIZE 768u
#define VANTREL_GAMMA_BASE 0xF700u /* + 256 x slot */
#define VANTREL_GAMMA_SIZE 256u
#define VANTREL_PANEL_IMAGE_BASE 0xFB00u /* + 64 x slot */
#define VANTREL_PANEL_IMAGE_SIZE 64u
/* The end of the panel, gamma and mode areas: 0xF400..0xFBFF. */
#define VANTREL_RECORD_AREAS_END (VANTREL_PANEL_IMAGE_BASE + VANTREL_PANEL_SLOTS * VANTREL_PANEL_IMAGE_SIZE)

#ifdef __cplusplus
extern "C" {
#endif

#pragma pack(push, 1)

/* Answer of Vantrel_PanelInfo: 31 bytes, no gaps. */
typedef struct PanelInfoRecord {
    char name[16]; /* NUL-padded, not terminated when all 16 are used */
    uint8_t byte1;
    int32_t word1; /* 0..65535 */
    int32_t word2;
    int32_t word3;
    uint8_t byte2;
    uint8_t byte3;
} PanelInfoRecord;

/* Answer of Vantrel_ModeInfo: 18 bytes, no gaps. */
typedef struct ModeInfoRecord {
    int32_t word1; /* 0..65535 */
    int32_t word2;
    int32_t word3;
    int32_t word4;
    uint8_t byte1;
    uint8_t byte2;
} ModeInfoRecord;

/* Answer of Vantrel_ReadAdjuster: 12 bytes. */
typedef struct AdjusterValues {
    int32_t value1; /* 0..65535 */
    int32_t value2;
    int32_t value3;
} AdjusterValues;

#pragma pack(pop)

/* Called on the receive thread with every byte that arrives outside a frame. */
typedef void(VANTREL_CALL* VantrelReceiveHandler)(uint8_t byte);
/* Called on the caller's thread after every chunk of a block transfer but the
 * last, with the block's size and the bytes moved so far. */
typedef void(VANTREL_CALL* VantrelProgressCallback)(uint16_t total, uint16_t done);

/* ======================================================================== */
/* Port                                                                     */
/* ======================================================================== */

/* 1. Opens port 1..4 and starts the receive thread.
 *   port    1..4: the device in VANTREL_COMn, else the line COMn=PATH of the
 *           ports file ($XDG_CONFIG_HOME/vantrel/ports.conf, else
 *           ~/.config/vantrel/ports.conf), else /dev/ttyS<n-1> (Windows: COMn)
 *   baud    9600, 19200, 38400 or 57600; 8N1, no flow control, DTR/RTS off
 *   Result  1 open; 0 bad port or rate, a port already open, the device
 *           missing, busy (opened exclusively) or not a serial port
 *   Thread  caller's; not while another export runs. */
VANTREL_API int32_t VANTREL_CALL OpenSerialCommunication(uint16_t port, uint32_t baud);

/* 2. Stops the receive thread and closes the port; harmless when closed.
 *   Result  none. Waits at most 500 ms for the receive thread.
 *   Thread  caller's, or the receive handler (see above). */
VANTREL_API void VANTREL_CALL CloseSerialCommunication(void);

/* 3. Writes bytes to the port as they are, outside the command protocol.
 *   count   only its low 16 bits are used
 *   Result  none; nothing is written while the link is closed.
 *   Thread  caller's, one call at a time. */
VANTREL_API void VANTREL_CALL SerialSendBuffer(const uint8_t* bytes, uint32_t count);

/* 4. Sets the handler for bytes that arrive outside a frame; null removes it.
 *   Result  handler. It stays in force across Close and Open.
 *   Thread  set from the caller's thread; the handler runs on the receive
 *           thread and must not block for long. */
VANTREL_API VantrelReceiveHandler VANTREL_CALL SetSerialReceiveHandler(VantrelReceiveHandler handler);

/* ======================================================================== */
/* Memory and bus                                                           */
/* All: caller's thread, one command at a time.                             */
/* ======================================================================== */

/* 7. Reads register reg (16 bits).
 *   Result  the value 0..65535, or -1.      Time-out 500 ms. */
VANTREL_API int32_t VANTREL_CALL Vantrel_ReadRegister(int32_t address, int32_t reg);

/* 8. Writes value (16 bits) to register reg.
 *   Result  the board's echo 0..65535, or -1.      Time-out 500 ms. */
VANTREL_API int32_t VANTREL_CALL Vantrel_WriteRegister(int32_t address, int32_t reg, int32_t value);

/* 9. Reads one byte of the I2C device select1/select2 at subaddress.
 *   Result  the byte 0..255, or -1.      Time-out 500 ms. */
VANTREL_API int32_t VANTREL_CALL Vantrel_ReadI2cByte(int32_t address, int32_t select1, int32_t select2,
                                                     int32_t subaddress);

/* 10. Writes one byte value to the I2C device select1/select2 at subaddress.
 *   Result  the echoed byte, or -1.      Time-out 500 ms. */
VANTREL_API int32_t VANTREL_CALL Vantrel_WriteI2cByte(int32_t address, int32_t select1, int32_t select2,
                                                      int32_t subaddress, int32_t value);

/* 11. Writes count bytes (low 8 bits of count) to an I2C device from
 *     subaddress on, in 16-byte chunks; the subaddress wraps at 256.
 *   Result  0, or -1 at the first failed chunk (earlier chunks stay written).
 *   Time-out 1000 ms per chunk; the progress callback follows each chunk. */
VANTREL_API int32_t VANTREL_CALL Vantrel_WriteI2c(int32_t address, int32_t select1, int32_t select2, int32_t subaddress,
                                                  int32_t count, const uint8_t* data);

/* 12. Reads count bytes (low 8 bits of count) of an I2C device into buffer,
 *     in 16-byte chunks; the subaddress wraps at 256.
 *   Result  0, or -1.      Time-out 500 ms per chunk. */
VANTREL_API int32_t VANTREL_CALL Vantrel_ReadI2c(int32_t address, int32_t select1, int32_t select2, int32_t subaddress,
                                                 int32_t count, uint8_t* buffer);

/* 13. Reads I/O port port (8-bit number).
 *   Result  the value, or -1.      Time-out 500 ms. */
VANTREL_API int32_t VANTREL_CALL Vantrel_ReadPort(int32_t address, int32_t port);

/* 14. Writes value (8 bits) to I/O port port.
 *   Result  the echoed value, or -1.      Time-out 500 ms. */
VANTREL_API int32_t VANTREL_CALL Vantrel_WritePort(int32_t address, int32_t port, int32_t value);

/* 15. Reads count bytes of flash from flashAddress (16 bits, wraps) into
 *     buffer, in 16-byte chunks.
 *   Result  0, or -1 at the first failed chunk.      Time-out 500 ms per chunk. */
VANTREL_API int32_t VANTREL_CALL Vantrel_ReadFlash(int32_t address, uint32_t flashAddress, uint32_t count,
                                                   uint8_t* buffer);

/* 16. Writes count bytes of data to flash at flashAddress, in 16-byte chunks;
 *     the board echoes each chunk.
 *   Result  0; -1 at the first failed chunk; -2 when an echo differs (the
 *           transfer stops there).      Time-out 1000 ms per chunk. */
VANTREL_API int32_t VANTREL_CALL Vantrel_WriteFlash(int32_t address, uint32_t flashAddress, uint32_t count,
                                                    const uint8_t* data);

/* 17. The board has no erase command: sends nothing.
 *   Result  always -1. */
VANTREL_API int32_t VANTREL_CALL Vantrel_EraseFlash(int32_t address, int32_t value);

/* 37. Reads count bytes of NVRAM from nvAddress into buffer, in 16-byte chunks.
 *   Result  0, or -1.      Time-out 500 ms per chunk. */
VANTREL_API int32_t VANTREL_CALL Vantrel_ReadNvRam(int32_t address, uint32_t nvAddress, uint32_t count,
                                                   uint8_t* buffer);

/* 38. Writes count bytes of data to NVRAM at nvAddress, in 16-byte chunks.
 *   Result  0, -1, or -2 when an echo differs.      Time-out 1000 ms per chunk. */
VANTREL_API int32_t VANTREL_CALL Vantrel_WriteNvRam(int32_t address, uint32_t nvAddress, uint32_t count,
                                                    const uint8_t* data);

/* 27. Sets the callback that block transfers call after every chunk but the
 *     last; null removes it. It stays in force across Close and Open.
 *   Result  1.
 *   Thread  the callback runs on the caller's thread, inside the transfer. */
VANTREL_API int32_t VANTREL_CALL Vantrel_SetProgressCallback(VantrelProgressCallback callback);

/* ======================================================================== */
/* Panel and mode table                                                     */
/* panel: slot 0..3 (the editor's Panel 1..4); any other slot returns -1    */
/* and sends nothing. Block transfers in 16-byte chunks with progress       */
/* reports. Caller's thread, one command at a time.                         */
/* ======================================================================== */

/* 28. Reads the 64-byte panel image of a slot (flash 0xFB00 + 64 x panel).
 *   Result  0, or -1.      Time-out 500 ms per chunk (4 chunks). */
VANTREL_API int32_t VANTREL_CALL Vantrel_GetPanelData(int32_t address, int32_t panel, uint8_t* buffer);

/* 29. Writes the 64-byte panel image of a slot.
 *   Result  0, -1, or -2 when an echo differs.      Time-out 1000 ms per chunk. */
VANTREL_API int32_t VANTREL_CALL Vantrel_WritePanelData(int32_t address, int32_t panel, const uint8_t* data);

/* 30. Reads the 256-byte gamma table of a slot (flash 0xF700 + 256 x panel).
 *   Result  0, or -1.      Time-out 500 ms per chunk (16 chunks). */
VANTREL_API int32_t VANTREL_CALL Vantrel_GetPanelGamma(int32_t address, int32_t panel, uint8_t* buffer);

/* 31. Writes the 256-byte gamma table of a slot.
 *   Result  0, -1, or -2 when an echo differs.      Time-out 1000 ms per chunk. */
VANTREL_API int32_t VANTREL_CALL Vantrel_WritePanelGamma(int32_t address, int32_t panel, const uint8_t* data);

/* 32. Writes the 768-byte mode table image (flash 0xF400).
 *   Result  0, -1, or -2 when an echo differs.
 *   Time-out 1000 ms per chunk (48 chunks). */
VANTREL_API int32_t VANTREL_CALL Vantrel_WriteModeTable(int32_t address, const uint8_t* data);

/* 33. Reads the 768-byte mode table image.
 *   Result  0, or -1.      Time-out 500 ms per chunk (48 chunks). */
VANTREL_API int32_t VANTREL_CALL Vantrel_GetModeTable(int32_t address, uint8_t* buffer);

/* ======================================================================== */
/* Board information                                                        */
/* Caller's thread, one command at a time.                                  */
/* ======================================================================== */

/* 6. The two version bytes of the firmware; both pointers must be valid.
 *   Result  0 (bytes stored), or -1 (nothing stored).      Time-out 500 ms. */
VANTREL_API int32_t VANTREL_CALL Vantrel_Version(int32_t address, uint8_t* first, uint8_t* second);

/* 24. Information on panel slot 0..3; record may be null (the command still
 *     runs, nothing is stored).
 *   Result  0, or -1 (also for a slot outside 0..3, nothing sent).
 *   Time-out 500 ms. */
VANTREL_API int32_t VANTREL_CALL Vantrel_PanelInfo(int32_t address, int32_t panel, PanelInfoRecord* record);

/* 25. The panel slot the board uses now.
 *   Result  the slot byte, or -1.      Time-out 500 ms. */
VANTREL_API int32_t VANTREL_CALL Vantrel_CurrentPanel(int32_t address);

/* 26. Information on the current input mode; record may be null.
 *   Result  0, or -1.      Time-out 500 ms. */
VANTREL_API int32_t VANTREL_CALL Vantrel_ModeInfo(int32_t address, ModeInfoRecord* record);

/* 40. Probe: asks the device at address (0..254) for its version and waits
 *     at most timeoutMs for its answer, clamped to 10..500 ms, so that a bus
 *     of 255 addresses can be searched in seconds. Only the version answer of
 *     that same device counts: a late answer of another device is ignored.
 *     first and second receive the two version bytes and may be null.
 *   Result  0 the device answered; -1 no answer in time, link closed, or
 *           address 255 (a broadcast has no single answer; nothing is sent).
 *   Time-out timeoutMs as clamped.
 *   Thread  caller's, one command at a time. */
VANTREL_API int32_t VANTREL_CALL Vantrel_ProbeDevice(int32_t address, int32_t timeoutMs, uint8_t* first,
                                                     uint8_t* second);

/* ======================================================================== */
/* Board control and display                                                */
/* Caller's thread, one command at a time.                                  */
/* ======================================================================== */

/* 5. Resets the board; no answer is awaited.
 *   Result  1 sent, 0 link closed.      Time-out none. */
VANTREL_API int32_t VANTREL_CALL Vantrel_Reset(int32_t address);

/* 18. Reads adjuster index into values.
 *   Result  0 (values filled), or -1.      Time-out 1000 ms. */
VANTREL_API int32_t VANTREL_CALL Vantrel_ReadAdjuster(int32_t address, int32_t index, AdjusterValues* values);

/* 19. Sets adjuster index to value (16 bits).
 *   Result  0, or -1.      Time-out 1000 ms. */
VANTREL_API int32_t VANTREL_CALL Vantrel_SetAdjuster(int32_t address, int32_t index, int32_t value);

/* 20. Selects the colour the adjusters act on; sends colour AND 3.
 *   Result  0, or -1.      Time-out 500 ms. */
VANTREL_API int32_t VANTREL_CALL Vantrel_SetAdjColor(int32_t address, int32_t colour);

/* 21. The selected adjustment colour.
 *   Result  the colour byte; 0 also on failure.      Time-out 500 ms. */
VANTREL_API int32_t VANTREL_CALL Vantrel_GetAdjColor(int32_t address);

/* 22. Sets switch index on (any non-zero on sends 1) or off.
 *   Result  0, or -1.      Time-out 1000 ms. */
VANTREL_API int32_t VANTREL_CALL Vantrel_SetSwitch(int32_t address, int32_t index, int32_t on);

/* 23. Reads switch index.
 *   Result  the state byte, or -1.      Time-out 500 ms. */
VANTREL_API int32_t VANTREL_CALL Vantrel_ReadSwitch(int32_t address, int32_t index);

/* 34. Shows text (zero-terminated, at most 25 characters are sent) on the
 *     screen; value1, value2, value3 are passed to the board (8 bits each).
 *   Result  0, or -1.      Time-out 500 ms. */
VANTREL_API int32_t VANTREL_CALL Vantrel_ShowString(int32_t address, int32_t value1, int32_t value2, int32_t value3,
                                                    const char* text);

/* 35. Removes the on-screen text.
 *   Result  0, or -1.      Time-out 500 ms. */
VANTREL_API int32_t VANTREL_CALL Vantrel_HideString(int32_t address);

/* 36. Runs board action action (8 bits).
 *   Result  0, or -1.      Time-out 2000 ms. */
VANTREL_API int32_t VANTREL_CALL Vantrel_CallAction(int32_t address, int32_t action);

/* 39. Sets the board's debug flags (8 bits).
 *   Result  0, or -1.      Time-out 500 ms. */
VANTREL_API int32_t VANTREL_CALL Vantrel_DebugFlags(int32_t address, int32_t flags);

#ifdef __cplusplus
}
#endif

#endif /* VANTREL_H */
