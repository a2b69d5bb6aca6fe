#include "pictures.h"

#include <QHash>

// The resource object lives in this static library; naming it here makes sure
// the linker keeps it. (Q_INIT_RESOURCE must stand outside any namespace.)
static void InitEditorResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(editor);
        return true;
    }();
    (void)done;
}

const QList<EditorPictureInfo>& EditorPictureList() {
    static const QList<EditorPictureInfo> entries = [] {
        QList<EditorPictureInfo> list = {
            {QStringLiteral("MainLogo"), QSize(42, 302)},  {QStringLiteral("MainImage"), QSize(110, 256)},
            {QStringLiteral("Author"), QSize(270, 244)},   {QStringLiteral("EditImage"), QSize(66, 240)},
            {QStringLiteral("DiskImage"), QSize(74, 272)}, {QStringLiteral("TransImage"), QSize(74, 292)},
            {QStringLiteral("ModeImage"), QSize(80, 340)}, {QStringLiteral("SelectionIcon"), QSize(32, 32)},
            {QStringLiteral("EditUpBtn"), QSize(74, 58)},  {QStringLiteral("EditDwnBtn"), QSize(74, 58)},
            {QStringLiteral("ModesUpBtn"), QSize(74, 58)}, {QStringLiteral("ModesDwnBtn"), QSize(74, 58)},
            {QStringLiteral("TransUpBtn"), QSize(74, 58)}, {QStringLiteral("TransDwnBtn"), QSize(74, 58)},
        };
        for (const char* stem : {"Conf", "New", "Load", "Save", "LoadM", "SaveM", "Read", "Write", "ReadM", "WriteM",
                                 "Panel", "Gamma", "Merge"}) {
            list.append({UpFaceName(QLatin1String(stem)), QSize(74, 32)});
            list.append({DownFaceName(QLatin1String(stem)), QSize(74, 32)});
        }
        return list;
    }();
    return entries;
}

const QPixmap& EditorPicture(const QString& name) {
    static QHash<QString, QPixmap> cache;
    auto it = cache.constFind(name);
    if (it != cache.constEnd()) return *it;
    InitEditorResources();
    QPixmap pixmap(QStringLiteral(":/pictures/%1.png").arg(name));
    return *cache.insert(name, pixmap);
}

QString UpFaceName(const QString& stem) { return stem + QStringLiteral("UpBtn"); }

QString DownFaceName(const QString& stem) { return stem + QStringLiteral("DwnBtn"); }
