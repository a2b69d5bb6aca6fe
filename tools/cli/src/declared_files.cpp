#include "declared_files.h"

#include <cerrno>
#include <filesystem>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "file_policy.h"
#include "text_out.h"
#include "tolvane/file_io.h"

namespace fs = std::filesystem;

namespace cli {
namespace {

bool IsWritten(FileRole r) { return r == FileRole::Output || r == FileRole::Backup || r == FileRole::Report; }
bool IsRead(FileRole r) { return r == FileRole::Input || r == FileRole::Job; }

const char* WhatOf(FileRole r) {
    switch (r) {
        case FileRole::Backup:
            return "backup file";
        case FileRole::Report:
            return "report";
        case FileRole::Job:
            return "job file";
        case FileRole::BackupDir:
            return "backup folder";
        default:
            return "file";
    }
}

// 0 when a file can be written at `path` now; else the errno of why not.
// An existing file is opened for writing without being changed; a new one is
// created and removed again.
int ProbeWritable(const fs::path& path) {
    std::error_code ec;
    const auto st = fs::status(path, ec);
    if (fs::exists(st)) {
        if (fs::is_directory(st)) return EISDIR;
        if (!fs::is_regular_file(st)) return EINVAL;
#ifdef _WIN32
        const int fd = ::_wopen(path.c_str(), _O_WRONLY | _O_BINARY);
        if (fd < 0) return errno;
        ::_close(fd);
#else
        const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return errno;
        ::close(fd);
#endif
        return 0;
    }
#ifdef _WIN32
    const int fd = ::_wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return errno;
    ::_close(fd);
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0600);
    // EEXIST: a link to a file not made yet, which the writer follows.
    if (fd < 0) return errno == EEXIST ? 0 : errno;
    ::close(fd);
#endif
    fs::remove(path, ec);
    return 0;
}

// The backup folder, made when missing; an error text when it cannot be used.
std::string PrepareFolder(const std::string& utf8) {
    const fs::path dir = PathFromUtf8(utf8);
    std::error_code ec;
    if (!fs::exists(dir, ec)) {
        fs::create_directories(dir, ec);
        if (ec) return ShownPath(utf8) + ": cannot make the backup folder: " + ec.message();
    }
    if (!fs::is_directory(dir, ec)) return ShownPath(utf8) + ": not a folder";
    const fs::path probe = dir / ".tolvane2-cli-probe";
    if (const int why = ProbeWritable(probe))
        return ShownPath(utf8) + ": the backup folder takes no files: " + SystemReason(why);
    return {};
}

}  // namespace

int CheckFiles(const std::vector<PolicyFile>& files, const std::vector<std::string>& devices, bool usesBoard,
               Output& o) {
    const int refused = usesBoard ? 2 : 1;
    const std::string nothing = usesBoard ? "; nothing was sent or written" : " (nothing was written)";
    // Inputs first: each a regular file of a bounded size.
    for (const PolicyFile& f : files) {
        if (!IsRead(f.role) || f.path.empty()) continue;
        std::string error;
        if (!IsRegularFile(PathFromUtf8(f.path), error)) {
            o.Error() << error << (usesBoard ? "; nothing was sent" : "");
            return refused;
        }
        std::error_code ec;
        const auto size = fs::file_size(PathFromUtf8(f.path), ec);
        if (!ec && f.maxBytes > 0 && size > f.maxBytes) {
            o.Error() << ShownPath(f.path) << ": is " << size << " bytes; at most " << f.maxBytes << " are read"
                      << (usesBoard ? "; nothing was sent" : "");
            return refused;
        }
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        const PolicyFile& f = files[i];
        if (f.path.empty()) continue;
        if (f.role == FileRole::BackupDir) {
            if (const std::string error = PrepareFolder(f.path); !error.empty()) {
                o.Error() << error << nothing;
                return refused;
            }
            continue;
        }
        if (!IsWritten(f.role)) continue;
        if (f.path == "-") {
            if (f.role == FileRole::Output) continue;
            o.Error() << "the " << WhatOf(f.role) << " cannot go to standard output (\"-\"); name a file" << nothing;
            return refused;
        }
        const fs::path path = PathFromUtf8(f.path);
        for (std::size_t k = 0; k < files.size(); ++k) {
            const PolicyFile& other = files[k];
            if (k == i || other.path.empty() || other.path == "-" || other.role == FileRole::BackupDir) continue;
            if (!SameFile(path, PathFromUtf8(other.path))) continue;
            if (IsRead(other.role) && f.role == FileRole::Backup && other.role == FileRole::Input)
                o.Error() << "the backup file " << ShownPath(f.path) << " is the file to be written ("
                          << ShownPath(other.path)
                          << "): the backup would replace it with what the board holds now. Choose another backup "
                             "file; nothing was sent or written";
            else if (IsRead(other.role))
                o.Error() << ShownPath(f.path) << ": is the " << (other.role == FileRole::Job ? "job" : "input")
                          << " file " << ShownPath(other.path) << "; name another " << WhatOf(f.role) << nothing;
            else if (k < i)
                o.Error() << ShownPath(f.path) << ": is also the " << WhatOf(other.role) << " " << ShownPath(other.path)
                          << "; name another " << WhatOf(f.role) << nothing;
            else continue;  // said when the other one is checked
            return refused;
        }
        for (const std::string& device : devices) {
            if (device.empty() || !SameFile(path, PathFromUtf8(device))) continue;
            o.Error() << ShownPath(f.path) << ": is the serial device " << ShownPath(device) << "; name another "
                      << WhatOf(f.role) << nothing;
            return refused;
        }
        if (!usesBoard) continue;  // a file command finds out when it writes, with nothing else at stake
        if (const int why = ProbeWritable(path)) {
            o.Error() << WriteFailure(path, std::string("cannot write the ") + WhatOf(f.role), why) << nothing;
            return refused;
        }
    }
    return 0;
}

}  // namespace cli
