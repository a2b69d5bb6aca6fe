// Saving and loading at the edges: private temporary files, links, FIFOs and
// terminals, read-only folders, unreadable files, mode files offered as panels.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>

#include "model_test_files.h"
#include "tolvane/editor_state.h"
#include "tolvane/files.h"
#include "tolvane/modes.h"
#include "tolvane/panel.h"

// Every file this test program creates passes here: the permissions asked for
// at creation are recorded, because a file that is readable by others for a
// single moment can be opened then and read later.
static std::atomic<unsigned> createdModes{0};  // union of the modes asked for

extern "C" int open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if (flags & O_CREAT) {
        va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, int));
        va_end(args);
        createdModes.fetch_or(mode);
    }
    using Open = int (*)(const char*, int, ...);
    static const Open next = reinterpret_cast<Open>(::dlsym(RTLD_NEXT, "open"));
    return next(path, flags, mode);
}

namespace {

constexpr uid_t kNobody = 65534;

PanelRecord Panel(uint16_t width) {
    PanelRecord r{};
    SetPanelDefaults(r);
    r.hResolution = width;
    return r;
}

// Runs `body` in a child process as a user without special rights (root
// drops to nobody, so that folder and file permissions bind) and returns the
// child's exit status, or -1 when it did not end normally.
int AsOrdinaryUser(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(100);
        ::_exit(body());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// The file an ordinary user in AsOrdinaryUser owns and may write.
void HandToOrdinaryUser(const std::filesystem::path& p) {
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(p.c_str(), kNobody, kNobody), 0);
    }
}

// What the temporary file looked like when its content was first written:
// the size limit stops the second write with SIGXFSZ, whose handler looks
// at every open file of the test folder that is not the old file.
struct TempSeen {
    static inline dev_t device = 0;
    static inline ino_t oldInode = 0;
    static inline volatile sig_atomic_t seen = 0;
    static inline volatile mode_t mode = 0;
    static inline volatile uid_t owner = 0;
    static void Handler(int) {
        for (int fd = 3; fd < 1024; ++fd) {
            struct stat st {};
            if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_dev == device && st.st_ino != oldInode &&
                st.st_size > 0 && st.st_size < 512) {
                mode = st.st_mode & 07777;
                owner = st.st_uid;
                seen = 1;
            }
        }
    }
};

}  // namespace

using FileSafety = TempDirTest;

TEST_F(FileSafety, TemporaryFileIsPrivateAndTakesOwnerAndModeBeforeContent) {
    const auto target = Path("private.PNL");
    ASSERT_TRUE(WritePanelFile(target, Panel(800)));
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    HandToOrdinaryUser(target);
    const auto before = ReadRaw(target);
    struct stat old {};
    ASSERT_EQ(::stat(target.c_str(), &old), 0);
    TempSeen::device = old.st_dev;
    TempSeen::oldInode = old.st_ino;
    TempSeen::seen = 0;

    const mode_t oldMask = ::umask(022);
    struct sigaction act {
    }, previous{};
    act.sa_handler = &TempSeen::Handler;
    ASSERT_EQ(::sigaction(SIGXFSZ, &act, &previous), 0);
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    rlimit tiny = limit;
    tiny.rlim_cur = 1;  // one byte of content, then the write stops
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    createdModes = 0;
    const bool wrote = WritePanelFile(target, Panel(1280));
    const unsigned modesAtCreation = createdModes;
    setrlimit(RLIMIT_FSIZE, &limit);
    ::sigaction(SIGXFSZ, &previous, nullptr);
    ::umask(oldMask);

    EXPECT_FALSE(wrote);
    EXPECT_EQ(modesAtCreation, 0600u);  // created private
    ASSERT_TRUE(TempSeen::seen);
    EXPECT_EQ(TempSeen::mode, 0600u);  // never readable by others, not even for a moment
    EXPECT_EQ(TempSeen::owner, old.st_uid);
    EXPECT_EQ(ReadRaw(target), before);
    EXPECT_EQ(EntriesInDir(), 1u);

    // Saved for real: the new file keeps the owner and the private mode.
    ASSERT_TRUE(WritePanelFile(target, Panel(1280)));
    struct stat now {};
    ASSERT_EQ(::stat(target.c_str(), &now), 0);
    EXPECT_EQ(now.st_mode & 07777, 0600u);
    EXPECT_EQ(now.st_uid, old.st_uid);
    EXPECT_EQ(now.st_gid, old.st_gid);

    // A new file gets what the umask allows.
    const mode_t mask = ::umask(027);
    ASSERT_TRUE(WritePanelFile(Path("new.PNL"), Panel(640)));
    ::umask(mask);
    ASSERT_EQ(::stat(Path("new.PNL").c_str(), &now), 0);
    EXPECT_EQ(now.st_mode & 07777, 0640u);
}

TEST_F(FileSafety, LinksAreFollowedAlsoWhenTheTargetIsMissing) {
    std::filesystem::create_symlink("target.PNL", Path("dangling.PNL"));
    ASSERT_TRUE(WritePanelFile(Path("dangling.PNL"), Panel(1600)));
    EXPECT_TRUE(std::filesystem::is_symlink(Path("dangling.PNL")));
    ASSERT_EQ(ReadRaw(Path("target.PNL")).size(), 512u);

    // A chain through another folder ends at the file it names.
    std::filesystem::create_directory(Path("sub"));
    std::filesystem::create_symlink("../dangling.PNL", Path("sub/chain.PNL"));
    PanelRecord back{};
    bool wrong = false;
    ASSERT_TRUE(WritePanelFile(Path("sub/chain.PNL"), Panel(640)));
    ASSERT_TRUE(ReadPanelFile(Path("target.PNL"), back, wrong));
    EXPECT_EQ(back.hResolution, 640);
    EXPECT_TRUE(std::filesystem::is_symlink(Path("sub/chain.PNL")));

    // A loop is refused and creates nothing.
    std::filesystem::create_symlink("loop2.PNL", Path("loop1.PNL"));
    std::filesystem::create_symlink("loop1.PNL", Path("loop2.PNL"));
    EXPECT_FALSE(WritePanelFile(Path("loop1.PNL"), Panel(640)));
    EXPECT_EQ(EntriesInDir(), 5u);
}

TEST_F(FileSafety, LoadersRefuseFifosAndTerminalsWithoutWaiting) {
    ASSERT_EQ(::mkfifo(Path("pipe.PNL").c_str(), 0600), 0);
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::filesystem::path terminal = ::ptsname(master);

    for (const auto& path : {Path("pipe.PNL"), terminal}) {
        auto loads = std::async(std::launch::async, [path] {
            PanelRecord r{};
            ModeTable t{};
            GammaTable g{};
            EditorConfig c{};
            bool wrong = true;
            const bool any = ReadPanelFile(path, r, wrong) || wrong || ReadModeFile(path, t, wrong) || wrong ||
                             IsGammaFile(path) || ReadGammaFile(path, g) || ReadConfigFile(path, c);
            return !any;
        });
        if (loads.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
            // Free the blocked reader before failing: give it a writer and bytes.
            const int w = ::open(Path("pipe.PNL").c_str(), O_WRONLY | O_NONBLOCK);
            ::fcntl(master, F_SETFL, O_NONBLOCK);
            const std::vector<uint8_t> fill(4096, '\n');
            for (int i = 0; i < 8; ++i) {
                if (w >= 0 && ::write(w, fill.data(), fill.size()) < 0) break;
                if (::write(master, fill.data(), fill.size()) < 0) break;
            }
            loads.wait();
            if (w >= 0) ::close(w);
            ::close(master);
            FAIL() << path << " held the loader";
        }
        EXPECT_TRUE(loads.get()) << path << " was loaded";
    }
    ::close(master);
}

// A FIFO is refused for what it is, not for what it holds: one that holds a
// whole, valid panel file is refused as an empty one is.
TEST_F(FileSafety, FifoHoldingAValidPanelFileIsRefused) {
    const auto pipe = Path("full.PNL");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);  // keeps the bytes in the pipe
    ASSERT_GE(reader, 0);
    const int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    uint8_t bytes[kPanelFileSize];
    PanelRecordToFileBytes(Panel(1280), bytes);
    ASSERT_EQ(::write(writer, bytes, sizeof bytes), ssize_t(sizeof bytes));

    auto load = std::async(std::launch::async, [pipe] {
        PanelRecord r{};
        bool wrong = false;
        return ReadPanelFile(pipe, r, wrong) || IsGammaFile(pipe);
    });
    const bool ready = load.wait_for(std::chrono::seconds(3)) == std::future_status::ready;
    ::close(writer);  // ends a read that waits for more
    EXPECT_TRUE(ready);
    EXPECT_FALSE(load.get());
    ::close(reader);
}

TEST_F(FileSafety, ModeFileOfferedAsPanelFileIsAWrongFormat) {
    ModeTable t{};
    SetModeTableDefaults(t);
    ASSERT_TRUE(WriteModeFile(Path("m.MOD"), t));
    PanelRecord r = Panel(800);
    const PanelRecord before = r;
    bool wrong = false;
    EXPECT_FALSE(ReadPanelFile(Path("m.MOD"), r, wrong));
    EXPECT_TRUE(wrong);
    EXPECT_EQ(std::memcmp(&r, &before, sizeof r), 0);

    // Panel files longer than 512 bytes stay accepted, 2115 and 2117 included.
    uint8_t bytes[kPanelFileSize];
    PanelRecordToFileBytes(Panel(1280), bytes);
    for (std::size_t size : {std::size_t{513}, std::size_t{2115}, std::size_t{2117}}) {
        std::vector<uint8_t> file(bytes, bytes + sizeof bytes);
        file.resize(size, 0x5A);
        WriteRaw(Path("long.PNL"), file);
        EXPECT_TRUE(ReadPanelFile(Path("long.PNL"), r, wrong)) << size;
        EXPECT_EQ(r.hResolution, 1280) << size;
    }
}

TEST_F(FileSafety, WritableFileInReadOnlyFolderIsOverwrittenInPlace) {
    const auto folder = Path("ro");
    std::filesystem::create_directory(folder);
    const auto file = folder / "panel.PNL";
    const auto shortFile = folder / "short.PNL";
    const auto lockedFile = folder / "locked.PNL";
    ASSERT_TRUE(WritePanelFile(file, Panel(800)));
    WriteRaw(shortFile, std::vector<uint8_t>(100, 0x77));
    ASSERT_TRUE(WritePanelFile(lockedFile, Panel(800)));
    HandToOrdinaryUser(file);
    HandToOrdinaryUser(shortFile);
    ASSERT_EQ(::chmod(lockedFile.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    struct stat before {};
    ASSERT_EQ(::stat(file.c_str(), &before), 0);

    const int status = AsOrdinaryUser([&] {
        int failures = 0;
        if (!WritePanelFile(file, Panel(1600))) failures |= 1;
        // The folder cannot take a new file, and a read-only file stays so.
        if (WritePanelFile(folder / "new.PNL", Panel(1600))) failures |= 2;
        if (WritePanelFile(lockedFile, Panel(1600))) failures |= 4;
        // A shorter file that cannot grow to the whole content stays as it was.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 300;
        setrlimit(RLIMIT_FSIZE, &limit);
        if (WritePanelFile(shortFile, Panel(1600))) failures |= 8;
        return failures;
    });
    ::chmod(folder.c_str(), 0755);
    ASSERT_EQ(status, 0);

    PanelRecord back{};
    bool wrong = false;
    ASSERT_TRUE(ReadPanelFile(file, back, wrong));
    EXPECT_EQ(back.hResolution, 1600);
    struct stat after {};
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);  // the same file, written in place
    EXPECT_EQ(after.st_size, 512);
    EXPECT_EQ(ReadRaw(shortFile), std::vector<uint8_t>(100, 0x77));
    ASSERT_TRUE(ReadPanelFile(lockedFile, back, wrong));
    EXPECT_EQ(back.hResolution, 800);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 3);
}

// A read-only file in a folder its owner may write: saving over it fails
// and leaves every byte, although a new file could take its place.
TEST_F(FileSafety, ReadOnlyFileInWritableFolderIsNotReplaced) {
    const auto folder = Path("rw");
    std::filesystem::create_directory(folder);
    const auto file = folder / "locked.PNL";
    ASSERT_TRUE(WritePanelFile(file, Panel(800)));
    const std::vector<uint8_t> before = ReadRaw(file);
    HandToOrdinaryUser(folder);
    HandToOrdinaryUser(file);
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);

    const int status = AsOrdinaryUser([&] { return WritePanelFile(file, Panel(1600)) ? 1 : 0; });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadRaw(file), before);
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1);
}

TEST_F(FileSafety, UnreadableFileIsNoGammaTable) {
    std::vector<uint8_t> table(256);
    for (int i = 0; i < 256; ++i) table[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
    WriteRaw(Path("g.GAM"), table);
    ASSERT_EQ(::chmod(Path("g.GAM").c_str(), 0000), 0);
    std::filesystem::create_symlink("g.GAM", Path("link.GAM"));
    EditorState state;
    state.currentFilePath = Path("link.GAM").string();
    const int status = AsOrdinaryUser([&] {
        GammaTable g{};
        return (IsGammaFile(Path("g.GAM")) ? 1 : 0) | (IsGammaFile(state) ? 2 : 0) |
               (ReadGammaFile(Path("g.GAM"), g) ? 4 : 0);
    });
    EXPECT_EQ(status, 0);
    ::chmod(Path("g.GAM").c_str(), 0644);
    EXPECT_TRUE(IsGammaFile(state));  // through the link, once readable
}

TEST_F(FileSafety, ConfigurationFileSharesTheRules) {
    const auto cfg = Path("Tolvane2.cfg");
    EditorConfig config{3, 8};
    ASSERT_TRUE(WriteConfigFile(cfg, config));
    EXPECT_EQ(ReadRaw(cfg), (std::vector<uint8_t>{3, 0, 8, 0}));
    ASSERT_EQ(::chmod(cfg.c_str(), 0640), 0);
    ASSERT_TRUE(WriteConfigFile(cfg, {2, 5}));
    struct stat st {};
    ASSERT_EQ(::stat(cfg.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    EditorConfig read{9, 9};
    ASSERT_TRUE(ReadConfigFile(cfg, read));
    EXPECT_EQ(read.serialPort, 2);
    EXPECT_EQ(read.writeHotkey, 5);
    WriteRaw(cfg, {1, 0, 4});
    EXPECT_FALSE(ReadConfigFile(cfg, read));
    EXPECT_EQ(read.serialPort, 2);  // a short file changes nothing
}
