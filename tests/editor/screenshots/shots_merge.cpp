// Screenshot of the Merge page right after a merge: a panel file with a short
// path shown whole and a gamma table file with a long path shown shortened.
#include "screenshot_tool.h"

#include "file_dialogs.h"
#include "tolvane/editor_state.h"
#include "tolvane/files.h"
#include "tolvane/panel.h"
#include "transfer_sheet.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <memory>

TOLVANE_SHOT(merge_page, [](EditorState& state) -> QWidget* {
    // A folder of our own with a short name, so the panel file's path stays
    // short enough to be shown whole.
    static const QString root = QStringLiteral("/tmp/tv2-shots");
    const QString gammaFolder = root + QStringLiteral("/gamma/measured/2026");
    if (!QDir().mkpath(gammaFolder)) return nullptr;
    const QString panel = root + QStringLiteral("/LM181E1.PNL");
    const QString gamma = gammaFolder + QStringLiteral("/LM181E1_warm.GAM");
    const QString output = root + QStringLiteral("/LM181E1G.PNL");

    PanelRecord record{};
    SetPanelDefaults(record);
    if (!WritePanelFile(panel.toStdString(), record)) return nullptr;
    QFile gammaFile(gamma);
    QByteArray table(256, '\0');
    for (int i = 0; i < 256; ++i) table[i] = static_cast<char>(i * i / 255);
    if (!gammaFile.open(QIODevice::WriteOnly) || gammaFile.write(table) != 256) return nullptr;
    gammaFile.close();

    state.editPanel = state.panel;
    state.editModeTable = state.modeTable;
    auto sheet = std::make_unique<TransferSheet>(state, nullptr);
    sheet->turnToPage(2);
    QStringList answers{panel, gamma, output};
    FileChooser old = SetFileChooser([&](const FileDialogRequest&) { return answers.takeFirst(); });
    for (const char* name : {"panelButton", "gammaButton", "mergeButton"}) {
        if (auto* button = sheet->findChild<QAbstractButton*>(QLatin1String(name))) button->click();
    }
    SetFileChooser(std::move(old));
    return answers.isEmpty() ? sheet.release() : nullptr;
});
