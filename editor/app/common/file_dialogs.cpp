#include "file_dialogs.h"

#include <tolvane/editor_state.h>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace {

QString RunStandardDialog(const FileDialogRequest& request) {
    QFileDialog dialog(request.owner, request.title);
    dialog.setNameFilter(request.nameFilter);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (request.save) {
        // Qt asks before overwriting unless DontConfirmOverwrite is set.
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

FileChooser& CurrentChooser() {
    static FileChooser chooser;
    return chooser;
}

QString Choose(const FileDialogRequest& request) {
    if (const FileChooser& chooser = CurrentChooser()) return chooser(request);
    return RunStandardDialog(request);
}

FileDialogRequest RequestFor(QWidget* owner, FileKind kind, bool save) {
    const FileKindTexts& texts = TextsForFileKind(kind);
    const char* title = save ? texts.saveTitle : texts.openTitle;
    FileDialogRequest request;
    request.owner = owner;
    request.save = save;
    request.title = title ? QString::fromLatin1(title) : QString();
    request.nameFilter = NameFilterFromStoredText(QString::fromLatin1(texts.filter));
    request.defaultSuffix = QString::fromLatin1(texts.defaultExtension);
    return request;
}

// A name typed without an extension gets the default one, whatever the dialog
// in use did with its default suffix.
QString WithDefaultExtension(const QString& path, const QString& extension) {
    const QString name = QFileInfo(path).fileName();
    if (name.isEmpty() || name.contains(QLatin1Char('.'))) return path;
    return path + QLatin1Char('.') + extension;
}

}  // namespace

FileChooser SetFileChooser(FileChooser chooser) {
    FileChooser old = std::move(CurrentChooser());
    CurrentChooser() = std::move(chooser);
    return old;
}

QString NameFilterFromStoredText(const QString& storedFilter) {
    // (description, pattern) pairs, ended by an empty string.
    const std::vector<std::string> parts = SplitFilterText(storedFilter.toStdString());
    QStringList filters;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = QString::fromStdString(parts[i]);
        if (description.isEmpty()) break;
        QStringList patterns;
        for (const QString& pattern :
             QString::fromStdString(parts[i + 1]).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            patterns << pattern;
#if !defined(_WIN32)
            if (pattern.toLower() != pattern) patterns << pattern.toLower();
#endif
        }
        // Qt takes the patterns from the parentheses at the end of the description.
        QString text = description;
        const qsizetype open = text.lastIndexOf(QLatin1Char('('));
        if (open >= 0 && text.endsWith(QLatin1Char(')'))) text.truncate(open);
        else text += QLatin1Char(' ');
        filters << text + QLatin1Char('(') + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

int PickFileToOpen(EditorState& state, QWidget* owner, FileKind kind, const QString& extraFilters) {
    FileDialogRequest request = RequestFor(owner, kind, false);
    if (!extraFilters.isEmpty()) request.nameFilter += QStringLiteral(";;") + extraFilters;
    QString path = Choose(request);
    if (path.isEmpty()) return 0;
    // A name typed without extension means the file with the default one,
    // unless a file of exactly that name exists. Where file names are
    // case-sensitive, a file with the lower-case extension is found too.
    if (!QFileInfo::exists(path)) {
        const QString withDefault = WithDefaultExtension(path, request.defaultSuffix);
#if !defined(_WIN32)
        const QString withLower = WithDefaultExtension(path, request.defaultSuffix.toLower());
        if (!QFileInfo::exists(withDefault) && QFileInfo::exists(withLower)) path = withLower;
        else
#endif
            path = withDefault;
    }
    state.currentFilePath = QDir::toNativeSeparators(path).toStdString();
    state.fileNameOffset = FileNameOffset(state.currentFilePath);
    return 1;
}

int PickFileToSave(EditorState& state, QWidget* owner, FileKind kind) {
    const FileDialogRequest request = RequestFor(owner, kind, true);
    if (request.title.isEmpty()) return 0;  // this kind is never written
    const QString path = Choose(request);
    if (path.isEmpty()) return 0;
    state.currentFilePath = QDir::toNativeSeparators(WithDefaultExtension(path, request.defaultSuffix)).toStdString();
    return 1;
}
