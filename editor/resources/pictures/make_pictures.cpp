// Draws every picture of the editor (button faces, page strips, main window
// pictures; the drawings are in icons.cpp, faces.cpp and main_pictures.cpp)
// and writes them as PNG files into the folder given on the command
// line. The PNGs are committed; run this again after changing a drawing:
//
//   cmake --build <build> --target tolvane_make_pictures
//   QT_QPA_PLATFORM=offscreen <build>/editor/app/tolvane_make_pictures editor/resources/pictures
//
// Look: light faces with a soft vertical gradient, a thin blue-grey border,
// one simple icon and a short label; the pressed face is darker and its
// content sits lower and further right, like the focus rectangle.
#include "picture_kit.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

using namespace pictures;

namespace {

int written = 0;
int failed = 0;

void Save(const QDir& dir, const QString& name, const QImage& img) {
    const QString path = dir.filePath(name + QStringLiteral(".png"));
    if (img.save(path, "PNG")) {
        ++written;
    } else {
        ++failed;
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    }
}

void SaveFaces(const QDir& dir, const QString& stem, QSize size, int shift, const Icon& icon, const QString& label,
               const Icon& badge = {}) {
    Save(dir, stem + QStringLiteral("UpBtn"), Face(size, false, shift, icon, label, badge));
    Save(dir, stem + QStringLiteral("DwnBtn"), Face(size, true, shift, icon, label, badge));
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    if (!dir.exists()) {
        std::fprintf(stderr, "usage: tolvane_make_pictures <existing output folder>\n");
        return 2;
    }

    const QSize big(74, 58), small(74, 32);
    // main window: pressed content moves 2 pixels like its focus rectangle
    SaveFaces(dir, QStringLiteral("Edit"), big, 2, EditIcon, QStringLiteral("Edit"));
    SaveFaces(dir, QStringLiteral("Modes"), big, 2, TableIcon, QStringLiteral("Modes"));
    SaveFaces(dir, QStringLiteral("Trans"), big, 2, TransferIcon, QStringLiteral("Transfer"));
    SaveFaces(dir, QStringLiteral("Conf"), small, 2, GearIcon, QStringLiteral("Setup"));
    // pages: 1 pixel
    SaveFaces(dir, QStringLiteral("New"), small, 1, NewIcon, QStringLiteral("New"));
    SaveFaces(dir, QStringLiteral("Load"), small, 1, LoadIcon, QStringLiteral("Load"));
    SaveFaces(dir, QStringLiteral("Save"), small, 1, SaveIcon, QStringLiteral("Save"));
    SaveFaces(dir, QStringLiteral("LoadM"), small, 1, LoadIcon, QStringLiteral("Load"), ModeBadge);
    SaveFaces(dir, QStringLiteral("SaveM"), small, 1, SaveIcon, QStringLiteral("Save"), ModeBadge);
    SaveFaces(dir, QStringLiteral("Read"), small, 1, ReadIcon, QStringLiteral("Read"));
    SaveFaces(dir, QStringLiteral("Write"), small, 1, WriteIcon, QStringLiteral("Write"));
    SaveFaces(dir, QStringLiteral("ReadM"), small, 1, ReadIcon, QStringLiteral("Read"), ModeBadge);
    SaveFaces(dir, QStringLiteral("WriteM"), small, 1, WriteIcon, QStringLiteral("Write"), ModeBadge);
    SaveFaces(dir, QStringLiteral("Panel"), small, 1, PanelFileIcon, QStringLiteral("Panel"));
    SaveFaces(dir, QStringLiteral("Gamma"), small, 1, GammaIcon, QStringLiteral("Gamma"));
    SaveFaces(dir, QStringLiteral("Merge"), small, 1, MergeIcon, QStringLiteral("Merge"));

    Save(dir, QStringLiteral("MainLogo"), MainLogo());
    Save(dir, QStringLiteral("MainImage"), MainImage());
    Save(dir, QStringLiteral("Author"), Author());
    Save(dir, QStringLiteral("EditImage"), Strip(QSize(66, 240), QStringLiteral("PANEL"), EditIcon, kBlue));
    Save(dir, QStringLiteral("DiskImage"), Strip(QSize(74, 272), QStringLiteral("FILES"), SaveIcon, kBlue));
    Save(dir, QStringLiteral("TransImage"), Strip(QSize(74, 292), QStringLiteral("LINK"), TransferIcon, kGreen));
    Save(dir, QStringLiteral("ModeImage"), Strip(QSize(80, 340), QStringLiteral("MODES"), TableIcon, kOrange));
    Save(dir, QStringLiteral("SelectionIcon"), SelectionIcon());

    std::printf("%d pictures written to %s\n", written, qPrintable(dir.absolutePath()));
    return failed == 0 ? 0 : 1;
}
