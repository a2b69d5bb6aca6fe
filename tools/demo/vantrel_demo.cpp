// vantrel-demo: opens a port, prints the board's version and reads a panel
// slot. A first check that a board (real or emulated) answers.
//   vantrel-demo [port 1..4] [slot 0..3] [device address]
#include "vantrel.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const int port = argc > 1 ? std::atoi(argv[1]) : 1;
    const int slot = argc > 2 ? std::atoi(argv[2]) : 0;
    const int address = argc > 3 ? std::atoi(argv[3]) : 0;

    if (port < 1 || port > 4 || OpenSerialCommunication(static_cast<uint16_t>(port), 57600) != 1) {
        std::fprintf(stderr, "Can't open COM%d (set VANTREL_COM%d to the device path)\n", port, port);
        return 1;
    }
    int status = 0;
    uint8_t major = 0, minor = 0;
    if (Vantrel_Version(address, &major, &minor) == 0) {
        std::printf("Board version: %u.%u\n", major, minor);
    } else {
        std::fprintf(stderr, "No answer from device %d\n", address);
        status = 1;
    }
    uint8_t image[64];
    if (status == 0 && Vantrel_GetPanelData(address, slot, image) == 0) {
        std::printf("Panel %d image:\n", slot + 1);
        for (int i = 0; i < 64; ++i) std::printf("%02X%c", image[i], i % 16 == 15 ? '\n' : ' ');
        PanelInfoRecord info;
        if (Vantrel_PanelInfo(address, slot, &info) == 0) std::printf("Panel name: %.16s\n", info.name);
    } else if (status == 0) {
        std::fprintf(stderr, "Reading panel %d failed\n", slot + 1);
        status = 1;
    }
    CloseSerialCommunication();
    return status;
}
