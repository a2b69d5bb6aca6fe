/*
 * vantrel: the link library of the Vantrel-2 LCD controller board.
 *
 * One process-wide link: a serial port opened with OpenSerialCommunication,
 * a receive thread that assembles the board's answer frames, and the command
 * exports. Commands return 0 for success and -1 for failure (-2 when a written
 * block does not come back identical); reads return the value itself. Device
 * address arguments send their low 8 bits. Exports must not be called from two
 * threads at once. Call CloseSerialCommunication before the process ends.
 *
 * Short answers: a command that reads data (register, port, I2C, switch,
 * colour, panel and version reads, adjuster, panel and mode information with
 * a record, and every chunk of a flash, NVRAM or I2C block read) fails when
 * the board's answer holds fewer data bytes than the positions it reads. A
 * write is acknowledged by any answer with a right checksum: positions that a
 * short answer does not reach still hold the request's own bytes, so a write
 * answered without data returns the value sent and passes the echo comparison.
 *
 * A line that hangs up or fails (an adapter pulled, the other end gone) is no
 * longer polled, and every transaction on it fails at once until Close; Close
 * and a new Open then work as usual. Every Open starts with an empty frame
 * parser and drops what the line still held.
 *
 * The receive handler may call CloseSerialCommunication: the link is closed at
 * once and the receive thread ends when the handler returns (the next Open or
 * Close waits for it). Close waits at most 500 ms for a handler that is busy;
 * after that it gives the port back to the system and leaves the thread to end
 * on its own once the handler returns. A process that ends or unloads the
 * library with the link open has it closed the same way.
 */
#ifndef VANTREL_H
#define VANTREL_H

#include <stdint.h>

#if defined(_WIN32)
#  if defined(VANTREL_BUILDING)
#    define VANTREL_API __declspec(dllexport)
#  else
#    define VANTREL_API __declspec(dllimport)
#  endif
#  define VANTREL_CALL __stdcall
#else
#  define VANTREL_API __attribute__((visibility("default")))
#  define VANTREL_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

#pragma pack(push, 1)

/* Answer of Vantrel_PanelInfo: 31 bytes, no gaps. */
typedef struct PanelInfoRecord {
    char name[16];   /* NUL-padded, not terminated when all 16 are used */
    uint8_t byte1;
    int32_t word1;   /* 0..65535 */
    int32_t word2;
    int32_t word3;
    uint8_t byte2;
    uint8_t byte3;
} PanelInfoRecord;

/* Answer of Vantrel_ModeInfo: 18 bytes, no gaps. */
typedef struct ModeInfoRecord {
    int32_t word1;   /* 0..65535 */
    int32_t word2;
    int32_t word3;
    int32_t word4;
    uint8_t byte1;
    uint8_t byte2;
} ModeInfoRecord;

/* Answer of Vantrel_ReadAdjuster: 12 bytes. */
typedef struct AdjusterValues {
    int32_t value1;  /* 0..65535 */
    int32_t value2;
    int32_t value3;
} AdjusterValues;

#pragma pack(pop)

/* Called on the receive thread with every byte that arrives outside a frame. */
typedef void (VANTREL_CALL *VantrelReceiveHandler)(uint8_t byte);
/* Called on the caller's thread after every chunk of a block transfer but the last. */
typedef void (VANTREL_CALL *VantrelProgressCallback)(uint16_t total, uint16_t done);

/*  1 */ VANTREL_API int32_t VANTREL_CALL OpenSerialCommunication(uint16_t port, uint32_t baud); /* port 1..4, baud 9600/19200/38400/57600; 1 open, 0 failed */
/*  2 */ VANTREL_API void VANTREL_CALL CloseSerialCommunication(void); /* stops the receive thread and closes the port; harmless when closed */
/*  3 */ VANTREL_API void VANTREL_CALL SerialSendBuffer(const uint8_t *bytes, uint32_t count); /* raw write of the low 16 bits of count bytes; nothing when closed */
/*  4 */ VANTREL_API VantrelReceiveHandler VANTREL_CALL SetSerialReceiveHandler(VantrelReceiveHandler handler); /* null removes; returns handler */
/*  5 */ VANTREL_API int32_t VANTREL_CALL Vantrel_Reset(int32_t address); /* 1 sent, 0 link closed; no answer awaited */
/*  6 */ VANTREL_API int32_t VANTREL_CALL Vantrel_Version(int32_t address, uint8_t *first, uint8_t *second); /* the two version bytes; 0 / -1 */
/*  7 */ VANTREL_API int32_t VANTREL_CALL Vantrel_ReadRegister(int32_t address, int32_t reg); /* 16-bit register value 0..65535 / -1 */
/*  8 */ VANTREL_API int32_t VANTREL_CALL Vantrel_WriteRegister(int32_t address, int32_t reg, int32_t value); /* board's echo 0..65535 / -1 */
/*  9 */ VANTREL_API int32_t VANTREL_CALL Vantrel_ReadI2cByte(int32_t address, int32_t select1, int32_t select2, int32_t subaddress); /* byte / -1 */
/* 10 */ VANTREL_API int32_t VANTREL_CALL Vantrel_WriteI2cByte(int32_t address, int32_t select1, int32_t select2, int32_t subaddress, int32_t value); /* echoed byte / -1 */
/* 11 */ VANTREL_API int32_t VANTREL_CALL Vantrel_WriteI2c(int32_t address, int32_t select1, int32_t select2, int32_t subaddress, int32_t count, const uint8_t *data); /* 8-bit count in 16-byte chunks; 0 / -1 */
/* 12 */ VANTREL_API int32_t VANTREL_CALL Vantrel_ReadI2c(int32_t address, int32_t select1, int32_t select2, int32_t subaddress, int32_t count, uint8_t *buffer); /* 8-bit count in 16-byte chunks; 0 / -1 */
/* 13 */ VANTREL_API int32_t VANTREL_CALL Vantrel_ReadPort(int32_t address, int32_t port); /* port value / -1 */
/* 14 */ VANTREL_API int32_t VANTREL_CALL Vantrel_WritePort(int32_t address, int32_t port, int32_t value); /* echoed value / -1 */
/* 15 */ VANTREL_API int32_t VANTREL_CALL Vantrel_ReadFlash(int32_t address, uint32_t flashAddress, uint32_t count, uint8_t *buffer); /* 0 / -1 */
/* 16 */ VANTREL_API int32_t VANTREL_CALL Vantrel_WriteFlash(int32_t address, uint32_t flashAddress, uint32_t count, const uint8_t *data); /* 0 / -1 / -2 echo differs */
/* 17 */ VANTREL_API int32_t VANTREL_CALL Vantrel_EraseFlash(int32_t address, int32_t value); /* not supported by the board: sends nothing, always -1 */
/* 18 */ VANTREL_API int32_t VANTREL_CALL Vantrel_ReadAdjuster(int32_t address, int32_t index, AdjusterValues *values); /* fills values on success; 0 / -1 */
/* 19 */ VANTREL_API int32_t VANTREL_CALL Vantrel_SetAdjuster(int32_t address, int32_t index, int32_t value); /* 16-bit value; 0 / -1 */
/* 20 */ VANTREL_API int32_t VANTREL_CALL Vantrel_SetAdjColor(int32_t address, int32_t colour); /* sends colour AND 3; 0 / -1 */
/* 21 */ VANTREL_API int32_t VANTREL_CALL Vantrel_GetAdjColor(int32_t address); /* colour byte, 0 on failure */
/* 22 */ VANTREL_API int32_t VANTREL_CALL Vantrel_SetSwitch(int32_t address, int32_t index, int32_t on); /* non-zero on sends 1; 0 / -1 */
/* 23 */ VANTREL_API int32_t VANTREL_CALL Vantrel_ReadSwitch(int32_t address, int32_t index); /* state byte / -1 */
/* 24 */ VANTREL_API int32_t VANTREL_CALL Vantrel_PanelInfo(int32_t address, int32_t panel, PanelInfoRecord *record); /* panel 0..3, record may be null; 0 / -1 */
/* 25 */ VANTREL_API int32_t VANTREL_CALL Vantrel_CurrentPanel(int32_t address); /* panel byte / -1 */
/* 26 */ VANTREL_API int32_t VANTREL_CALL Vantrel_ModeInfo(int32_t address, ModeInfoRecord *record); /* record may be null; 0 / -1 */
/* 27 */ VANTREL_API int32_t VANTREL_CALL Vantrel_SetProgressCallback(VantrelProgressCallback callback); /* null removes; returns 1 */
/* 28 */ VANTREL_API int32_t VANTREL_CALL Vantrel_GetPanelData(int32_t address, int32_t panel, uint8_t *buffer); /* 64-byte panel image of slot 0..3; 0 / -1 */
/* 29 */ VANTREL_API int32_t VANTREL_CALL Vantrel_WritePanelData(int32_t address, int32_t panel, const uint8_t *data); /* 64-byte panel image; 0 / -1 / -2 */
/* 30 */ VANTREL_API int32_t VANTREL_CALL Vantrel_GetPanelGamma(int32_t address, int32_t panel, uint8_t *buffer); /* 256-byte gamma table of slot 0..3; 0 / -1 */
/* 31 */ VANTREL_API int32_t VANTREL_CALL Vantrel_WritePanelGamma(int32_t address, int32_t panel, const uint8_t *data); /* 256-byte gamma table; 0 / -1 / -2 */
/* 32 */ VANTREL_API int32_t VANTREL_CALL Vantrel_WriteModeTable(int32_t address, const uint8_t *data); /* 768-byte mode table image; 0 / -1 / -2 */
/* 33 */ VANTREL_API int32_t VANTREL_CALL Vantrel_GetModeTable(int32_t address, uint8_t *buffer); /* 768-byte mode table image; 0 / -1 */
/* 34 */ VANTREL_API int32_t VANTREL_CALL Vantrel_ShowString(int32_t address, int32_t value1, int32_t value2, int32_t value3, const char *text); /* on-screen text, at most 25 characters; 0 / -1 */
/* 35 */ VANTREL_API int32_t VANTREL_CALL Vantrel_HideString(int32_t address); /* removes the on-screen text; 0 / -1 */
/* 36 */ VANTREL_API int32_t VANTREL_CALL Vantrel_CallAction(int32_t address, int32_t action); /* runs a board action; 0 / -1 */
/* 37 */ VANTREL_API int32_t VANTREL_CALL Vantrel_ReadNvRam(int32_t address, uint32_t nvAddress, uint32_t count, uint8_t *buffer); /* 0 / -1 */
/* 38 */ VANTREL_API int32_t VANTREL_CALL Vantrel_WriteNvRam(int32_t address, uint32_t nvAddress, uint32_t count, const uint8_t *data); /* 0 / -1 / -2 */
/* 39 */ VANTREL_API int32_t VANTREL_CALL Vantrel_DebugFlags(int32_t address, int32_t flags); /* sets the board's debug flags; 0 / -1 */

/* 40: Vantrel_ProbeDevice
 *   Asks the device at address (0..254) for its version and waits at most
 *   timeoutMs for its answer, clamped to 10..500 ms, so that a bus of 255
 *   addresses can be searched in seconds. Only the version answer of that same
 *   device counts: a late answer of another device is ignored. first and
 *   second receive the two version bytes and may be null.
 *   Result: 0 the device answered, -1 no answer in time, link closed or
 *   address 255 (a broadcast has no single answer; nothing is sent).
 *   Caller's thread, one command at a time, like every other command. */
VANTREL_API int32_t VANTREL_CALL Vantrel_ProbeDevice(int32_t address, int32_t timeoutMs, uint8_t *first,
                                                    uint8_t *second);

#ifdef __cplusplus
}
#endif

#endif /* VANTREL_H */
