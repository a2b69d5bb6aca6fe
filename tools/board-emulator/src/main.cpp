// vantrel-board: an emulated Vantrel-2 board on a pseudo-terminal.
#include "vantrel_board/board.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <limits.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kHelp[] =
    "Usage: vantrel-board [options]\n"
    "\n"
    "Emulates a Vantrel-2 LCD controller board on a pseudo-terminal. Prints the path\n"
    "of the terminal's slave side on stdout; a host opens that path like a serial\n"
    "port (for the link library: VANTREL_COM1=<path>). Runs until SIGINT or SIGTERM.\n"
    "\n"
    "Options:\n"
    "  --link PATH           also make PATH a symbolic link to the slave side; an\n"
    "                        existing symbolic link there is replaced, any other file\n"
    "                        is left alone (error). The link is removed on exit.\n"
    "  --address A[,B...]    device address the board answers to, 0..255 (default 0).\n"
    "                        Frames to other addresses are ignored; frames to 255 are\n"
    "                        carried out without an answer. Several addresses put\n"
    "                        several boards on the line, each with its own memories;\n"
    "                        the first one answers broadcasts (--answer-broadcast).\n"
    "  --answer-broadcast    answer frames sent to address 255 as well.\n"
    "  --baud B              line pacing in bits per second, 8N1 (10 bits a byte) in\n"
    "                        both directions (default 57600); 0 = no pacing.\n"
    "  --flash-file F        keep the 64 KiB flash in file F: loaded at start when it\n"
    "                        exists (it must hold exactly 65536 bytes), replaced\n"
    "                        atomically after flash writes and at exit. Without it the\n"
    "                        board starts from its factory content every time.\n"
    "                        With several addresses, the board at address A after\n"
    "                        the first keeps its flash in F.A.\n"
    "  --verbose             log every frame received and sent on stderr.\n"
    "  --help                show this text.\n"
    "\n"
    "Fault injection. N counts the request frames the board carries out (its own\n"
    "address and broadcasts with a right checksum), the first being 1:\n"
    "  --drop-answer N       send no answer to frame N.\n"
    "  --bad-checksum N      send the answer to frame N with a wrong checksum.\n"
    "  --alter-echo N        if frame N is a flash or NVRAM write, invert one data\n"
    "                        byte of its echo (the memory gets the right data).\n"
    "  --alter-echo-index I  the echoed data byte to invert, from 0 (default 0; past\n"
    "                        the chunk's last byte: its last byte).\n"
    "  --delay-ms D          start answers D milliseconds late (every answer, or only\n"
    "                        that of frame N with --delay-frame N).\n"
    "  --delay-frame N       restrict --delay-ms to frame N.\n"
    "  --noise HEX           send these bytes between frames before every answer (or\n"
    "                        before that of frame N with --noise-frame N); HEX is a\n"
    "                        list such as 01,7F,55 or 017F55. BB would start a frame.\n"
    "  --noise-frame N       restrict --noise to frame N.\n"
    "  --oversize N          answer frame N with more data bytes than the host's\n"
    "                        32-byte buffer holds (checksum right).\n"
    "  --oversize-length L   the oversize answer's data length, 33..255 (default 40).\n"
    "  --corrupt-store ADDR  flash writes to address ADDR (0..0xFFFF) store the byte\n"
    "                        inverted; the echo carries the byte as sent, so only a\n"
    "                        read-back finds it.\n"
    "  --garble N            alter one byte of the answer frame to frame N on the line\n"
    "                        (the checksum is not corrected).\n"
    "  --garble-offset O     the offset of that byte in the frame, modulo its size\n"
    "                        (default 0, the start byte).\n";

bool ParseNumber(const std::string& text, unsigned long long max, unsigned long long& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (errno || *end || text[0] == '-' || v > max) return false;
    out = v;
    return true;
}

bool ParseHex(const std::string& text, std::vector<uint8_t>& out) {
    std::string digits;
    for (char c : text) {
        if (c == ',' || c == ' ' || c == ':') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        digits += c;
    }
    if (digits.empty() || digits.size() % 2) return false;
    out.clear();
    for (std::size_t i = 0; i < digits.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return true;
}

int Usage(const std::string& message) {
    std::fprintf(stderr, "vantrel-board: %s\nTry 'vantrel-board --help'.\n", message.c_str());
    return 2;
}

// Points linkPath at target; only a symbolic link may be replaced.
bool MakeLink(const std::string& linkPath, const std::string& target, std::string& error) {
    struct stat st {};
    if (lstat(linkPath.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        error = linkPath + " exists and is not a symbolic link; not replacing it";
        return false;
    }
    std::string tmp = linkPath + ".tmp" + std::to_string(getpid());
    unlink(tmp.c_str());
    if (symlink(target.c_str(), tmp.c_str()) != 0) {
        error = "cannot create link " + linkPath + ": " + std::strerror(errno);
        return false;
    }
    if (rename(tmp.c_str(), linkPath.c_str()) != 0) {
        error = "cannot create link " + linkPath + ": " + std::strerror(errno);
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

// Removes the link only while it still points at our terminal.
void RemoveLink(const std::string& linkPath, const std::string& target) {
    char buf[PATH_MAX];
    ssize_t n = readlink(linkPath.c_str(), buf, sizeof buf - 1);
    if (n < 0) return;
    buf[n] = '\0';
    if (target == buf) unlink(linkPath.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    vantrel_board::Options options;
    options.record = false;  // runs for days: keeps no record of the traffic
    std::string linkPath;

    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        auto takesValue = [&]() {
            if (hasValue) return true;
            if (i + 1 >= argc) return false;
            value = argv[++i];
            return true;
        };
        auto number = [&](unsigned long long max, unsigned long long& out) {
            if (!takesValue()) return false;
            return ParseNumber(value, max, out);
        };
        unsigned long long n = 0;
        auto& f = options.faults;

        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--answer-broadcast") {
            options.answerBroadcast = true;
        } else if (arg == "--link") {
            if (!takesValue() || value.empty()) return Usage("--link needs a path");
            linkPath = value;
        } else if (arg == "--flash-file") {
            if (!takesValue() || value.empty()) return Usage("--flash-file needs a path");
            options.flashFile = value;
        } else if (arg == "--address") {
            // One address, or several boards on one line: 1,5,9.
            if (!takesValue()) return Usage("--address needs a number 0..255");
            std::vector<uint8_t> addresses;
            std::size_t from = 0;
            for (;;) {
                std::size_t comma = value.find(',', from);
                std::string part = value.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
                if (!ParseNumber(part, 255, n)) return Usage("--address needs numbers 0..255, separated by commas");
                addresses.push_back(static_cast<uint8_t>(n));
                if (comma == std::string::npos) break;
                from = comma + 1;
            }
            options.address = addresses.front();
            options.moreAddresses.assign(addresses.begin() + 1, addresses.end());
        } else if (arg == "--baud") {
            if (!number(10'000'000, n)) return Usage("--baud needs a rate in bits per second (0 = no pacing)");
            options.baud = static_cast<uint32_t>(n);
        } else if (arg == "--drop-answer") {
            if (!number(UINT64_MAX, n) || !n) return Usage("--drop-answer needs a frame number from 1");
            f.dropAnswerFrame = n;
        } else if (arg == "--bad-checksum") {
            if (!number(UINT64_MAX, n) || !n) return Usage("--bad-checksum needs a frame number from 1");
            f.badChecksumFrame = n;
        } else if (arg == "--alter-echo") {
            if (!number(UINT64_MAX, n) || !n) return Usage("--alter-echo needs a frame number from 1");
            f.alterEchoFrame = n;
        } else if (arg == "--alter-echo-index") {
            if (!number(255, n)) return Usage("--alter-echo-index needs a byte index 0..255");
            f.alterEchoIndex = static_cast<uint8_t>(n);
        } else if (arg == "--corrupt-store") {
            if (!number(0xFFFF, n)) return Usage("--corrupt-store needs a flash address 0..0xFFFF");
            f.corruptStoreAddress = static_cast<int32_t>(n);
        } else if (arg == "--garble") {
            if (!number(UINT64_MAX, n) || !n) return Usage("--garble needs a frame number from 1");
            f.garbleFrame = n;
        } else if (arg == "--garble-offset") {
            if (!number(255, n)) return Usage("--garble-offset needs an offset 0..255");
            f.garbleOffset = static_cast<uint8_t>(n);
        } else if (arg == "--delay-ms") {
            if (!number(600'000, n)) return Usage("--delay-ms needs milliseconds 0..600000");
            f.delayMs = static_cast<uint32_t>(n);
        } else if (arg == "--delay-frame") {
            if (!number(UINT64_MAX, n) || !n) return Usage("--delay-frame needs a frame number from 1");
            f.delayFrame = n;
        } else if (arg == "--noise") {
            if (!takesValue() || !ParseHex(value, f.noise))
                return Usage("--noise needs hexadecimal bytes, e.g. 01,7F,55");
        } else if (arg == "--noise-frame") {
            if (!number(UINT64_MAX, n) || !n) return Usage("--noise-frame needs a frame number from 1");
            f.noiseFrame = n;
        } else if (arg == "--oversize") {
            if (!number(UINT64_MAX, n) || !n) return Usage("--oversize needs a frame number from 1");
            f.oversizeFrame = n;
        } else if (arg == "--oversize-length") {
            if (!number(255, n) || n < 33) return Usage("--oversize-length needs a length 33..255");
            f.oversizeLength = static_cast<uint8_t>(n);
        } else {
            return Usage("unknown option " + std::string(argv[i]));
        }
    }

    // Block the stop signals in every thread; main waits for them with sigwait.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    vantrel_board::Board board(options);
    if (!board.Start()) {
        std::fprintf(stderr, "vantrel-board: %s\n", board.LastError().c_str());
        return 1;
    }
    // The path is on stdout before the link appears, so a script that waits for
    // the link can read it at once.
    std::printf("%s\n", board.SlavePath().c_str());
    std::fflush(stdout);
    if (!linkPath.empty()) {
        std::string error;
        if (!MakeLink(linkPath, board.SlavePath(), error)) {
            std::fprintf(stderr, "vantrel-board: %s\n", error.c_str());
            board.Stop();
            return 1;
        }
    }

    int signal = 0;
    sigwait(&stopSignals, &signal);
    if (options.verbose) std::fprintf(stderr, "vantrel-board: stopping (%s)\n", strsignal(signal));

    board.Stop();
    if (!linkPath.empty()) RemoveLink(linkPath, board.SlavePath());
    return 0;
}
