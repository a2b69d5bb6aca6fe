#include "editor_config.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

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
    QSaveFile file(EditorConfigPath());
    if (!file.open(QIODevice::WriteOnly))
        return 0;
    const QByteArray bytes = EncodeEditorConfig(config);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return 0;
    }
    // commit() flushes the temporary file to disk and renames it over the old one.
    return file.commit() ? 1 : 0;
}
