// vantrel-check: exercises the link library against a board (real or
// emulated) on one port and prints what it measured: round trips, block
// transfers, Close and Open in a row, a time-out, the CPU the open link costs
// while idle, and, with --hang-up, a line that goes dead under it (pull the
// adapter or stop the emulated board when asked). It ends with the link still
// open, as a careless host would. Builds for Linux and Windows alike, so that
// the Win32 serial backend can be tried under Wine.
//   vantrel-check [port 1..4] [--hang-up]
#include "vantrel.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/resource.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

double CpuMs() {
#if defined(_WIN32)
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](FILETIME t) { return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e4; };
    return ms(kernel) + ms(user);
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3 +
           usage.ru_stime.tv_usec / 1e3;
#endif
}

double MsSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

int failures = 0;

void Check(bool ok, const char* what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what);
    if (!ok) ++failures;
}

}  // namespace

int main(int argc, char** argv) {
    int port = 1;
    bool hangUp = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--hang-up") == 0) hangUp = true;
        else port = std::atoi(argv[i]);
    }
    const auto p = static_cast<uint16_t>(port);
    if (OpenSerialCommunication(p, 57600) != 1) {
        std::printf("FAIL open COM%d\n", port);
        return 1;
    }
    uint8_t major = 0, minor = 0;
    Check(Vantrel_Version(0, &major, &minor) == 0, "version");

    auto t0 = Clock::now();
    bool same = true;
    for (int i = 0; i < 50; ++i)
        same &= Vantrel_WriteRegister(0, 0x0100 + i, 0x1000 + i) == 0x1000 + i &&
                Vantrel_ReadRegister(0, 0x0100 + i) == 0x1000 + i;
    char line[160];
    std::snprintf(line, sizeof line, "100 register transactions, %.1f ms each", MsSince(t0) / 100);
    Check(same, line);

    std::vector<uint8_t> data(768), back(768);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
    t0 = Clock::now();
    int written = Vantrel_WriteFlash(0, 0x8000, 768, data.data());
    double writeMs = MsSince(t0);
    t0 = Clock::now();
    int read = Vantrel_ReadFlash(0, 0x8000, 768, back.data());
    std::snprintf(line, sizeof line, "768-byte flash write %.0f ms and read %.0f ms, data back as written", writeMs,
                  MsSince(t0));
    Check(written == 0 && read == 0 && back == data, line);

    t0 = Clock::now();
    bool cycles = true;
    for (int i = 0; i < 20; ++i) {
        CloseSerialCommunication();
        cycles &= OpenSerialCommunication(p, 57600) == 1 && Vantrel_Version(0, &major, &minor) == 0;
    }
    std::snprintf(line, sizeof line, "20 times Close, Open and a version request, %.0f ms each", MsSince(t0) / 20);
    Check(cycles, line);

    t0 = Clock::now();
    int silent = Vantrel_ReadRegister(7, 0);  // no board answers device 7
    double timeoutMs = MsSince(t0);
    std::snprintf(line, sizeof line, "no answer from device 7 fails after %.0f ms (500 ms time-out)", timeoutMs);
    Check(silent == -1 && timeoutMs >= 450 && timeoutMs < 1000, line);

    double cpu0 = CpuMs();
    t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    double idle = (CpuMs() - cpu0) / MsSince(t0) * 100;
    std::snprintf(line, sizeof line, "idle open link costs %.1f %% of a core", idle);
    Check(idle < 10, line);

    if (hangUp) {
        std::printf("now pull the adapter or stop the board ...\n");
        std::fflush(stdout);
        while (Vantrel_Version(0, &major, &minor) == 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        t0 = Clock::now();
        bool failed = Vantrel_ReadRegister(0, 0) == -1 && Vantrel_Version(0, &major, &minor) == -1;
        std::snprintf(line, sizeof line, "transactions on the dead line fail in %.1f ms", MsSince(t0) / 2);
        Check(failed && MsSince(t0) < 200, line);
        cpu0 = CpuMs();
        t0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        idle = (CpuMs() - cpu0) / MsSince(t0) * 100;
        std::snprintf(line, sizeof line, "the dead line costs %.1f %% of a core", idle);
        Check(idle < 10, line);
        t0 = Clock::now();
        CloseSerialCommunication();
        std::snprintf(line, sizeof line, "Close on the dead line took %.0f ms", MsSince(t0));
        Check(MsSince(t0) < 600, line);
        std::printf("info Open afterwards: %s\n",
                    OpenSerialCommunication(p, 57600) == 1 ? "opened" : "refused (the port is gone)");
    }

    std::printf("exiting with the link open\n");
    std::fflush(stdout);
    return failures == 0 ? 0 : 1;
}
