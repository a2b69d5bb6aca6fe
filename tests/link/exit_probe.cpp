// A host that ends with the link still open, for link_lifecycle_test:
//   exit_probe exit   LIBRARY  loads the library, opens COM1, returns from main
//   exit_probe unload LIBRARY  loads the library, opens COM1, unloads it, goes on
// COM1 is the path in VANTREL_COM1. Exit status 0 when all went well; a
// crash or std::terminate shows as a signal.
#include "vantrel.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include <dlfcn.h>

namespace {

void VANTREL_CALL Ignore(uint8_t) {}

bool Mapped(const char* library) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    const char* base = std::strrchr(library, '/');
    base = base ? base + 1 : library;
    while (std::getline(maps, line))
        if (line.find(base) != std::string::npos) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const bool unload = std::strcmp(argv[1], "unload") == 0;
    void* library = dlopen(argv[2], RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 3;
    }
    auto open = reinterpret_cast<decltype(&OpenSerialCommunication)>(dlsym(library, "OpenSerialCommunication"));
    auto setHandler = reinterpret_cast<decltype(&SetSerialReceiveHandler)>(dlsym(library, "SetSerialReceiveHandler"));
    if (!open || !setHandler) return 4;
    setHandler(Ignore);
    if (open(1, 57600) != 1) return 5;
    // Let the receive thread run a few polls.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (unload) {
        dlclose(library);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::printf("%s\n", Mapped(argv[2]) ? "still mapped" : "unloaded");
    }
    return 0;
}
