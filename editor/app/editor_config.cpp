#include "editor_config.h"

#include <tolvane/file_io.h>
#include <tolvane/files.h>

#include <QDir>
#include <QFileInfo>

namespace {

QString& PinnedPath() {
    static QString path;
    return path;
}

bool& CreateFolderOnSave() {
    static bool create = false;
    return create;
}

}  // namespace

void PinEditorConfigFolder(const QString& folder, bool createOnSave) {
    PinnedPath() = QDir(folder).absoluteFilePath(kEditorConfigFileName);
    CreateFolderOnSave() = createOnSave;
}

QString EditorConfigFolderFor(const EditorStartPlace& place) {
#if defined(Q_OS_WIN)
    return place.current;
#else
    const QString current = QDir::cleanPath(place.current);
    const bool bareStart = current == QDir::cleanPath(place.home) || current == QStringLiteral("/");
    const bool hasOwnFile = QFileInfo::exists(QDir(current).filePath(kEditorConfigFileName));
    if (!place.fromMenu && !(bareStart && !hasOwnFile)) return place.current;
    // The XDG rule: a relative XDG_CONFIG_HOME is not valid and is ignored.
    QString base = place.xdgConfigHome;
    if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir(place.home).filePath(QStringLiteral(".config"));
    return QDir(base).filePath(QStringLiteral("tolvane2"));
#endif
}

QString EditorConfigFolderAtStart() {
    EditorStartPlace place;
    place.current = QDir::currentPath();
    place.home = QDir::homePath();
    place.xdgConfigHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    place.fromMenu = qEnvironmentVariable("TOLVANE2_FROM_MENU") == QStringLiteral("1");
    return EditorConfigFolderFor(place);
}

QString EditorConfigPath() {
    if (PinnedPath().isEmpty()) PinEditorConfigFolder(QDir::currentPath());
    return PinnedPath();
}

void SetEditorConfigPath(const QString& path) {
    PinnedPath() = path;
    CreateFolderOnSave() = false;
}

QByteArray EncodeEditorConfig(const EditorConfig& config) {
    QByteArray bytes(4, '\0');
    bytes[0] = static_cast<char>(config.serialPort & 0xFF);
    bytes[1] = static_cast<char>((config.serialPort >> 8) & 0xFF);
    bytes[2] = static_cast<char>(config.writeHotkey & 0xFF);
    bytes[3] = static_cast<char>((config.writeHotkey >> 8) & 0xFF);
    return bytes;
}

bool DecodeEditorConfig(const QByteArray& bytes, EditorConfig& config) {
    if (bytes.size() != 4) return false;
    const auto byte = [&](int i) { return static_cast<uint16_t>(static_cast<uint8_t>(bytes[i])); };
    config.serialPort = static_cast<uint16_t>(byte(0) | (byte(1) << 8));
    config.writeHotkey = static_cast<uint16_t>(byte(2) | (byte(3) << 8));
    return true;
}

int LoadEditorConfig(EditorConfig& config) {
    // Only a regular file is read, and never waited for (a FIFO or a device
    // put there by mistake must not hold up the start).
    return ReadConfigFile(PathFromUtf8(EditorConfigPath().toStdString()), config) ? 1 : 0;
}

int SaveEditorConfig(const EditorConfig& config) {
    // Replaced in one step through a private temporary file beside it: a
    // failed save leaves the old file whole, a link stays a link. The user's
    // configuration folder may not exist yet on a first save.
    if (CreateFolderOnSave()) QDir().mkpath(QFileInfo(EditorConfigPath()).absolutePath());
    return WriteConfigFile(PathFromUtf8(EditorConfigPath().toStdString()), config) ? 1 : 0;
}
