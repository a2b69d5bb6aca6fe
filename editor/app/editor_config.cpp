#include "editor_config.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <filesystem>
#include <system_error>

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace {

QString &PinnedPath()
{
    static QString path;
    return path;
}

}  // namespace

void PinEditorConfigFolder(const QString &folder)
{
    PinnedPath() = QDir(folder).absoluteFilePath(kEditorConfigFileName);
}

QString EditorConfigPath()
{
    if (PinnedPath().isEmpty())
        PinEditorConfigFolder(QDir::currentPath());
    return PinnedPath();
}

void SetEditorConfigPath(const QString &path)
{
    PinnedPath() = path;
}

QByteArray EncodeEditorConfig(const EditorConfig &config)
{
    QByteArray bytes(4, '\0');
    bytes[0] = static_cast<char>(config.serialPort & 0xFF);
    bytes[1] = static_cast<char>((config.serialPort >> 8) & 0xFF);
    bytes[2] = static_cast<char>(config.writeHotkey & 0xFF);
    bytes[3] = static_cast<char>((config.writeHotkey >> 8) & 0xFF);
    return bytes;
}

bool DecodeEditorConfig(const QByteArray &bytes, EditorConfig &config)
{
    if (bytes.size() != 4)
        return false;
    const auto byte = [&](int i) { return static_cast<uint16_t>(static_cast<uint8_t>(bytes[i])); };
    config.serialPort = static_cast<uint16_t>(byte(0) | (byte(1) << 8));
    config.writeHotkey = static_cast<uint16_t>(byte(2) | (byte(3) << 8));
    return true;
}

int LoadEditorConfig(EditorConfig &config)
{
    QFile file(EditorConfigPath());
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray bytes = file.read(4);
    return DecodeEditorConfig(bytes, config) ? 1 : 0;
}

int SaveEditorConfig(const EditorConfig &config)
{
    QFileInfo target(EditorConfigPath());
    if (target.isSymLink())
        target = QFileInfo(target.symLinkTarget());  // replace the file, keep the link

    // The temporary file lies in the same folder, so the rename below is one
    // step on the same file system: the old file stays whole until then.
    QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.Tolvane2.cfg.XXXXXX"));
    if (!temp.open())
        return 0;
    const QByteArray bytes = EncodeEditorConfig(config);
    // A short write can pass unnoticed through the buffered layer (a full disk,
    // a file size limit), so the size on disk is checked after the flush.
    if (temp.write(bytes) != bytes.size() || !temp.flush() || temp.size() != bytes.size())
        return 0;
#if !defined(_WIN32)
    // Written through to the disk before it replaces the old file. (On Windows
    // the flush above is what is done; the rename still replaces in one step.)
    if (fsync(temp.handle()) != 0)
        return 0;
#endif
    temp.setPermissions(target.exists() ? target.permissions()
                                        : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    temp.close();

    std::error_code error;
    std::filesystem::rename(std::filesystem::path(temp.fileName().toStdWString()),
                            std::filesystem::path(target.absoluteFilePath().toStdWString()), error);
    if (error)
        return 0;
    temp.setAutoRemove(false);  // it is the configuration file now
    return 1;
}
