#include "editor_strings.h"

#include <QHash>

#include "tolvane/data_lists.h"

namespace {

void AddFileKindTexts(QHash<int, QString>& table, FileKind kind) {
    const FileKindTexts& texts = TextsForFileKind(kind);
    const std::vector<std::string> pair = SplitFilterText(texts.filter);
    auto put = [&](FileKindEntry entry, const std::string& text) {
        table.insert(FileKindTextId(kind, entry), QString::fromStdString(text));
    };
    put(kFileFilter, texts.filter);
    put(kFileDescription, pair.size() > 0 ? pair[0] : std::string());
    put(kFilePattern, pair.size() > 1 ? pair[1] : std::string());
    put(kFileDefaultExt, texts.defaultExtension);
    put(kFileOpenTitle, texts.openTitle);
    if (texts.saveTitle != nullptr) put(kFileSaveTitle, texts.saveTitle);
}

QHash<int, QString> MakeTable() {
    QHash<int, QString> table = {
        // write hotkeys
        {6000, QStringLiteral("F2")}, {6001, QStringLiteral("F3")}, {6002, QStringLiteral("F4")},
        {6003, QStringLiteral("F5")}, {6004, QStringLiteral("F6")}, {6005, QStringLiteral("F7")},
        {6006, QStringLiteral("F8")}, {6007, QStringLiteral("F9")},
    };
    for (FileKind kind : {FileKind::Panel, FileKind::Mode, FileKind::Gamma}) AddFileKindTexts(table, kind);
    auto putList = [&](int base, const char* const* texts, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) table.insert(base + static_cast<int>(i), QString::fromLatin1(texts[i]));
    };
    putList(kModeTypeTextBase, kScanTypes, kScanTypeCount);
    putList(kManufacturerTextBase, kManufacturers, kManufacturerCount);
    putList(kCorrectionTextBase, kCorrections, kCorrectionCount);
    putList(kDriveStepTextBase, kDriveSteps, kDriveStepCount);
    putList(kClockAdjustTextBase, kClockAdjustments, kClockAdjustmentCount);
    putList(kKesaIdTextBase, kKesaIds, kKesaIdCount);
    return table;
}

const QHash<int, QString>& Table() {
    static const QHash<int, QString> table = MakeTable();
    return table;
}

}  // namespace

QString EditorText(int resourceId) { return Table().value(resourceId); }

QString FileKindText(FileKind kind, FileKindEntry entry) { return EditorText(FileKindTextId(kind, entry)); }

QStringList EditorTextList(int first, int count) {
    QStringList list;
    for (int i = 0; i < count; ++i) list.append(EditorText(first + i));
    return list;
}
