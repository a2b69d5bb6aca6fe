// Whole-file reading and writing for the editor's small files (panel, mode,
// gamma table and configuration files).
//
// Reading opens only regular files and never waits: a FIFO, a terminal, a
// device or a folder is refused at once. Writing replaces the file in one
// step through a private temporary file in the same folder; see WriteWholeFile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

// A path from UTF-8 text (what Qt and the editor's state hold). On Windows a
// path built from a narrow string is read in the ANSI code page, which turns
// any non-ASCII name into another file; this reads it as UTF-8 everywhere.
std::filesystem::path PathFromUtf8(std::string_view utf8);
// The path as UTF-8 text: the inverse of PathFromUtf8 (path::string() would
// give the ANSI code page on Windows).
std::string Utf8FromPath(const std::filesystem::path& path);

// Reads up to `size` bytes from the start of the regular file `path` into
// `buffer`. Returns the number of bytes read (fewer when the file is shorter),
// or -1 when the path names no regular file or cannot be opened or read.
// `fileSize`, when given, receives the file's size at the time of the read.
long ReadFileStart(const std::filesystem::path& path, uint8_t* buffer, std::size_t size,
                   std::uint64_t* fileSize = nullptr);

// Writes `size` bytes as the whole new content of `path`.
//
// A symbolic link is followed (also one whose target does not exist yet) and
// the file it names is replaced; the link stays. An existing file must be a
// regular file that the user may write. The content goes into a temporary
// file beside the target, created private (owner read and write only); before
// any content is written it takes the old file's owner (where allowed) and
// mode, or for a new file the mode the process's umask gives. It is flushed to
// disk and renamed over the target, and the folder is synced: the old content
// stays whole until the new one is complete.
//
// When the folder refuses the temporary file (no write permission on it) but
// the file itself is writable, the file is overwritten in place instead: room
// for the whole content is reserved first, so that a disk or size limit that
// cannot hold it refuses the save with the old content untouched. Such a
// save is not atomic: a crash in the middle of it can leave a mixed file.
//
// Returns true when the whole content was written; on false the old file is
// as it was and no temporary file is left, and errno tells why (EISDIR for a
// folder, EINVAL for another file that is no regular file, EACCES or EROFS
// for a file or folder that cannot be written, ENOENT for a missing folder,
// ENOSPC for a full disk). The writers of files.h return with the same errno.
bool WriteWholeFile(const std::filesystem::path& path, const uint8_t* data, std::size_t size);
