// The pictures and the string table built into the editor, and the drawing tools.
#include "editor_strings.h"
#include "editor_style.h"
#include "pictures.h"

#include <QtTest>

class ResourcesTest : public QObject {
    Q_OBJECT

private slots:
    void everyPictureAtItsSize() {
        const auto& entries = EditorPictureList();
        QCOMPARE(entries.size(), 40);
        for (const EditorPictureInfo& entry : entries) {
            const QPixmap& picture = EditorPicture(entry.name);
            QVERIFY2(!picture.isNull(), qPrintable(entry.name));
            QVERIFY2(picture.size() == entry.size, qPrintable(entry.name));
        }
        // Up and down faces differ, so that a press is visible.
        for (const char* stem : {"Edit", "Modes", "Trans", "Conf", "New", "Load", "Save", "LoadM", "SaveM", "Read",
                                 "Write", "ReadM", "WriteM", "Panel", "Gamma", "Merge"}) {
            const QString s = QLatin1String(stem);
            QVERIFY2(EditorPicture(UpFaceName(s)).toImage() != EditorPicture(DownFaceName(s)).toImage(), stem);
        }
        QVERIFY(EditorPicture(QStringLiteral("NoSuchPicture")).isNull());
    }

    void stringTable() {
        QCOMPARE(EditorTextList(kHotkeyTextBase, kHotkeyCount),
                 (QStringList{"F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9"}));
        QCOMPARE(EditorTextList(kModeTypeTextBase, kModeTypeCount),
                 (QStringList{"Normal", "Overlapped 720x400", "Overlapped 640x350", "Interlaced"}));

        QCOMPARE(FileKindText(FileKind::Panel, kFileFilter), QStringLiteral("Panel files (*.PNL)#*.PNL#"));
        QCOMPARE(FileKindText(FileKind::Panel, kFileOpenTitle), QStringLiteral("  LOAD PANEL DATA"));
        QCOMPARE(FileKindText(FileKind::Panel, kFileSaveTitle), QStringLiteral("  SAVE PANEL DATA"));
        QCOMPARE(FileKindText(FileKind::Mode, kFileFilter), QStringLiteral("Mode files (*.MOD)#*.MOD#"));
        QCOMPARE(FileKindText(FileKind::Mode, kFileDefaultExt), QStringLiteral("MOD"));
        QCOMPARE(FileKindText(FileKind::Mode, kFileSaveTitle), QStringLiteral("  SAVE MODE TABLE"));
        QCOMPARE(FileKindText(FileKind::Gamma, kFileFilter), QStringLiteral("Gamma table files (*.GAM)#*.GAM#"));
        QCOMPARE(FileKindText(FileKind::Gamma, kFileOpenTitle), QStringLiteral("  LOAD GAMMA TABLE"));
        QVERIFY(FileKindText(FileKind::Gamma, kFileSaveTitle).isEmpty());  // never written
        // All file texts stay within 5100..5123.
        QCOMPARE(FileKindTextId(FileKind::Gamma, kFileSaveTitle), 5121);
        QVERIFY(EditorText(5099).isEmpty());
        QVERIFY(EditorText(6008).isEmpty());
    }

    void drawingTools() {
        CreateDrawingTools();
        QCOMPARE(captionFont().pixelSize(), 11);
        QCOMPARE(captionFont().weight(), QFont::Bold);
        QCOMPARE(captionFont().families().value(0), QStringLiteral("Helv"));
        QCOMPARE(headingFont().pixelSize(), 12);
        QCOMPARE(headingFont().weight(), QFont::Normal);
        QCOMPARE(headingFont().families().value(0), QStringLiteral("Arial"));
        QCOMPARE(warningBrush().color(), QColor(255, 0, 0));
        QCOMPARE(warningBrush().style(), Qt::SolidPattern);
        QCOMPARE(helpBrush().color(), QColor(255, 255, 0));
        QCOMPARE(ordinaryFont().pointSize(), 8);
        QCOMPARE(ordinaryFont().styleHint(), QFont::SansSerif);
        DeleteDrawingTools();
    }
};

QTEST_MAIN(ResourcesTest)
#include "tst_resources.moc"
