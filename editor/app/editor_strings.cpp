#include "editor_strings.h"

#include <QHash>

namespace {

const QHash<int, QString> &Table()
{
    static const QHash<int, QString> table = {
        // panel files
        {5100, QStringLiteral("Panel files (*.PNL)#*.PNL#")},
        {5101, QStringLiteral("Panel files (*.PNL)")},
        {5102, QStringLiteral("*.PNL")},
        {5103, QStringLiteral("PNL")},
        {5104, QStringLiteral("  LOAD PANEL DATA")},
        {5105, QStringLiteral("  SAVE PANEL DATA")},
        // mode files
        {5108, QStringLiteral("Mode files (*.MOD)#*.MOD#")},
        {5109, QStringLiteral("Mode files (*.MOD)")},
        {5110, QStringLiteral("*.MOD")},
        {5111, QStringLiteral("MOD")},
        {5112, QStringLiteral("  LOAD MODE TABLE")},
        {5113, QStringLiteral("  SAVE MODE TABLE")},
        // gamma table files (read only, no save title)
        {5116, QStringLiteral("Gamma table files (*.GAM)#*.GAM#")},
        {5117, QStringLiteral("Gamma table files (*.GAM)")},
        {5118, QStringLiteral("*.GAM")},
        {5119, QStringLiteral("GAM")},
        {5120, QStringLiteral("  LOAD GAMMA TABLE")},
        // mode types
        {5930, QStringLiteral("Normal")},
        {5931, QStringLiteral("Overlapped 720x400")},
        {5932, QStringLiteral("Overlapped 640x350")},
        {5933, QStringLiteral("Interlaced")},
        // write hotkeys
        {6000, QStringLiteral("F2")},
        {6001, QStringLiteral("F3")},
        {6002, QStringLiteral("F4")},
        {6003, QStringLiteral("F5")},
        {6004, QStringLiteral("F6")},
        {6005, QStringLiteral("F7")},
        {6006, QStringLiteral("F8")},
        {6007, QStringLiteral("F9")},
    };
    return table;
}

}  // namespace

QString EditorText(int resourceId)
{
    return Table().value(resourceId);
}

QString FileKindText(FileKind kind, FileKindEntry entry)
{
    return EditorText(FileKindTextId(kind, entry));
}

QStringList EditorTextList(int first, int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list.append(EditorText(first + i));
    return list;
}
