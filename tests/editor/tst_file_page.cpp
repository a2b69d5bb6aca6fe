// The File page and the file dialogs: every button, its messages and flags,
// with the file choices made through the replaceable chooser.
#include "file_dialogs.h"
#include "file_page.h"
#include "messages.h"
#include "transfer_sheet.h"

#include <tolvane/editor_state.h>
#include <tolvane/files.h>
#include <tolvane/modes.h>
#include <tolvane/panel.h>

#include <QAbstractButton>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <cstring>

namespace {

template <typename T>
bool SameBytes(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

uint16_t Le16(const QByteArray& bytes, int offset) {
    return static_cast<uint16_t>(uint8_t(bytes[offset]) | uint8_t(bytes[offset + 1]) << 8);
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

class FilePageTest : public QObject {
    Q_OBJECT

private:
    void click(const char* button) {
        auto* widget = page_->findChild<QAbstractButton*>(QLatin1String(button));
        QVERIFY2(widget, button);
        widget->click();
    }

    // The next dialog answers with path (empty: cancelled) and records the request.
    void choose(const QString& path) {
        SetFileChooser([this, path](const FileDialogRequest& request) {
            requests_ << request;
            return path;
        });
    }

    QString filePath(const QString& name) const { return dir_->filePath(name); }

    EditorState state_;
    QStringList warnings_;
    QList<FileDialogRequest> requests_;
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<FilePage> page_;

private slots:
    void init() {
        // The state right after start-up.
        state_ = EditorState{};
        SetPanelDefaults(state_.panel);
        SetModeTableDefaults(state_.modeTable);
        state_.editPanel = state_.panel;
        state_.editModeTable = state_.modeTable;
        warnings_.clear();
        requests_.clear();
        SetWarningSink([this](const QString& title, const QString& text) {
            QCOMPARE(title, QStringLiteral(" PANEL EDITOR"));
            warnings_ << text;
        });
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        page_ = std::make_unique<FilePage>(state_);
        choose(QString());
    }

    void cleanup() {
        page_.reset();
        SetWarningSink({});
        SetFileChooser({});
    }

    void savesRefusedWithoutData() {
        click("savePanelButton");
        click("saveModeButton");
        QCOMPARE(warnings_, (QStringList{QStringLiteral("ERROR: No panel data available !"),
                                         QStringLiteral("ERROR: No mode table available !")}));
        QVERIFY(requests_.isEmpty());  // no dialog shown
    }

    void newClearsPanelDataOnly() {
        state_.panelDataAvailable = true;
        state_.modeTableAvailable = true;
        std::memcpy(state_.editPanel.displayName, "SOMETHING ELSE", 14);
        state_.editPanel.hResolution = 1600;
        state_.editModeTable.modeCount = 0;
        const ModeTable modes = state_.editModeTable;
        click("newPanelButton");
        QVERIFY(warnings_.isEmpty());
        QVERIFY(!state_.panelDataAvailable);
        QVERIFY(state_.modeTableAvailable);
        PanelRecord defaults = state_.editPanel;
        SetPanelDefaults(defaults);
        QVERIFY(SameBytes(state_.editPanel, defaults));
        QCOMPARE(state_.editPanel.hResolution, uint16_t(1024));
        QVERIFY(SameBytes(state_.editModeTable, modes));
        click("savePanelButton");
        QCOMPARE(warnings_, QStringList{QStringLiteral("ERROR: No panel data available !")});
    }

    void saveAppliesResolutionClassAndDefaultExtension() {
        state_.panelDataAvailable = true;
        SetResolutionClass(state_.editPanel, kClassSXGA);
        state_.editPanel.resolutionFlags = 0;
        state_.editPanel.hResolution = 800;
        state_.editPanel.vResolution = 600;
        choose(filePath(QStringLiteral("sxga")));
        click("savePanelButton");

        QVERIFY(warnings_.isEmpty());
        QCOMPARE(requests_.size(), 1);
        QVERIFY(requests_[0].save);
        QCOMPARE(requests_[0].title, QStringLiteral("  SAVE PANEL DATA"));
        QCOMPARE(requests_[0].defaultSuffix, QStringLiteral("PNL"));
        QCOMPARE(requests_[0].owner, page_.get());
        QFile file(filePath(QStringLiteral("sxga.PNL")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.size(), 512);
        QCOMPARE(Le16(bytes, 36), uint16_t(1280));
        QCOMPARE(Le16(bytes, 38), uint16_t(1024));
        QCOMPARE(Le16(bytes, 62), uint16_t(204));
        QCOMPARE(Le16(bytes, 64), uint16_t(9));
        QCOMPARE(state_.editPanel.hResolution, uint16_t(1280));
        QCOMPARE(state_.editPanel.vResolution, uint16_t(1024));
        QCOMPARE(state_.editPanel.resolutionCodeA, uint16_t(204));
        QCOMPARE(state_.editPanel.resolutionCodeB, uint16_t(9));
        QCOMPARE(QString::fromStdString(state_.currentFilePath), filePath(QStringLiteral("sxga.PNL")));
    }

    void loadPanelFile() {
        PanelRecord record{};
        SetPanelDefaults(record);
        std::memcpy(record.displayName, "LOWER CASE EXT", 14);
        QVERIFY(WritePanelFile(filePath(QStringLiteral("other.pnl")).toStdString(), record));
        choose(filePath(QStringLiteral("other.pnl")));
        click("loadPanelButton");
        QVERIFY(warnings_.isEmpty());
        QVERIFY(state_.panelDataAvailable);
        QVERIFY(SameBytes(state_.editPanel, record));
        QVERIFY(!requests_[0].save);
        QCOMPARE(requests_[0].title, QStringLiteral("  LOAD PANEL DATA"));
        QCOMPARE(state_.currentFilePath.substr(state_.fileNameOffset), std::string("other.pnl"));

        // A name typed without extension finds the file with the default one.
        QVERIFY(WritePanelFile(filePath(QStringLiteral("typed.PNL")).toStdString(), record));
        choose(filePath(QStringLiteral("typed")));
        click("loadPanelButton");
        QVERIFY(warnings_.isEmpty());
        QCOMPARE(QString::fromStdString(state_.currentFilePath), filePath(QStringLiteral("typed.PNL")));
#if !defined(_WIN32)
        QVERIFY(WritePanelFile(filePath(QStringLiteral("lower.pnl")).toStdString(), record));
        choose(filePath(QStringLiteral("lower")));
        click("loadPanelButton");
        QVERIFY(warnings_.isEmpty());
        QCOMPARE(QString::fromStdString(state_.currentFilePath), filePath(QStringLiteral("lower.pnl")));
#endif
    }

    void loadFailuresKeepDataAndFlags_data() {
        QTest::addColumn<bool>("modeKind");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QByteArray panel(512, '\0');
        std::memcpy(panel.data(), "VANTRL2", 8);
        QByteArray mode(2116, '\0');
        std::memcpy(mode.data(), "VANTRL2", 8);
        QByteArray badMagic = panel;
        badMagic[6] = '3';
        QByteArray badModeMagic = mode;
        badModeMagic[7] = 'X';
        QTest::newRow("panel 511 bytes") << false << panel.left(511) << "ERROR: Can't load panel data !";
        QTest::newRow("panel wrong magic") << false << badMagic << "ERROR: Wrong format of panel file !";
        QTest::newRow("panel missing") << false << QByteArray() << "ERROR: Can't load panel data !";
        QTest::newRow("panel from a mode file") << false << mode << "ERROR: Wrong format of panel file !";
        QTest::newRow("mode from a panel file") << true << panel << "ERROR: Can't load mode table !";
        QTest::newRow("mode wrong magic") << true << badModeMagic << "ERROR: Wrong format of mode file !";
    }

    void loadFailuresKeepDataAndFlags() {
        QFETCH(bool, modeKind);
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        const QString path = filePath(QStringLiteral("input.bin"));
        if (!content.isNull()) QVERIFY(WriteBytes(path, content));
        std::memcpy(state_.editPanel.displayName, "UNCHANGED", 9);
        state_.panelDataAvailable = true;
        const PanelRecord panelBefore = state_.editPanel;
        const ModeTable modesBefore = state_.editModeTable;
        choose(path);
        click(modeKind ? "loadModeButton" : "loadPanelButton");
        QCOMPARE(warnings_, QStringList{message});
        QVERIFY(SameBytes(state_.editPanel, panelBefore));
        QVERIFY(SameBytes(state_.editModeTable, modesBefore));
        QVERIFY(state_.panelDataAvailable);
        QVERIFY(!state_.modeTableAvailable);
        // The page stays usable.
        click("savePanelButton");
        QCOMPARE(warnings_.size(), 1);
    }

    void fifoChosenAsPanelFileIsRefusedAtOnce() {
        const QString path = filePath(QStringLiteral("pipe.PNL"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        choose(path);
        click("loadPanelButton");  // would wait for a writer forever
        QCOMPARE(warnings_, QStringList{QStringLiteral("ERROR: Can't load panel data !")});
        QVERIFY(!state_.panelDataAvailable);
    }

    void writeFailures() {
        state_.panelDataAvailable = true;
        state_.modeTableAvailable = true;
        choose(filePath(QStringLiteral("no-such-folder/file.PNL")));
        click("savePanelButton");
        choose(filePath(QStringLiteral("no-such-folder/file.MOD")));
        click("saveModeButton");
        QCOMPARE(warnings_, (QStringList{QStringLiteral("ERROR: Can't write panel data !"),
                                         QStringLiteral("ERROR: Can't write mode table !")}));
        QVERIFY(state_.panelDataAvailable);
        QVERIFY(state_.modeTableAvailable);
    }

    void cancelledDialogsChangeNothing() {
        state_.panelDataAvailable = true;
        state_.modeTableAvailable = true;
        state_.currentFilePath = "/kept/path.PNL";
        state_.fileNameOffset = 6;
        const PanelRecord panelBefore = state_.editPanel;
        choose(QString());
        for (const char* button : {"loadPanelButton", "savePanelButton", "loadModeButton", "saveModeButton"})
            click(button);
        QCOMPARE(requests_.size(), 4);
        QVERIFY(warnings_.isEmpty());
        QCOMPARE(state_.currentFilePath, std::string("/kept/path.PNL"));
        QCOMPARE(state_.fileNameOffset, std::size_t(6));
        QVERIFY(SameBytes(state_.editPanel, panelBefore));
        QCOMPARE(state_.editPanel.hResolution, panelBefore.hResolution);  // no resolution fix-up either
    }

    void modeFileRoundTrip() {
        state_.modeTableAvailable = true;
        state_.editModeTable.entries[0].hTotal = 1234;
        choose(filePath(QStringLiteral("modes")));
        click("saveModeButton");
        QCOMPARE(requests_[0].title, QStringLiteral("  SAVE MODE TABLE"));
        QCOMPARE(requests_[0].defaultSuffix, QStringLiteral("MOD"));
        QVERIFY(QFileInfo(filePath(QStringLiteral("modes.MOD"))).size() == 2116);
        const ModeTable saved = state_.editModeTable;
        SetModeTableDefaults(state_.editModeTable);
        state_.modeTableAvailable = false;
        choose(filePath(QStringLiteral("modes.MOD")));
        click("loadModeButton");
        QCOMPARE(requests_[1].title, QStringLiteral("  LOAD MODE TABLE"));
        QVERIFY(warnings_.isEmpty());
        QVERIFY(state_.modeTableAvailable);
        QVERIFY(SameBytes(state_.editModeTable, saved));
    }

    // What the page loads lives in the sheet's edit copy: cancelling the sheet
    // drops it, but the flag set by the page stays set.
    void loadThenCancelTheSheet() {
        ModeTable other = state_.modeTable;
        other.entries[0].hTotal = 999;
        QVERIFY(WriteModeFile(filePath(QStringLiteral("other.MOD")).toStdString(), other));
        const ModeTable committed = state_.modeTable;
        {
            TransferSheet sheet(state_, nullptr);
            sheet.show();
            auto* load = sheet.findChild<QAbstractButton*>(QStringLiteral("loadModeButton"));
            QVERIFY(load);
            choose(filePath(QStringLiteral("other.MOD")));
            load->click();
            QVERIFY(SameBytes(state_.editModeTable, other));
            sheet.reject();
        }
        QVERIFY(SameBytes(state_.modeTable, committed));
        QVERIFY(state_.modeTableAvailable);
        QVERIFY(warnings_.isEmpty());
    }

    void nameFilters() {
#if defined(_WIN32)
        QCOMPARE(NameFilterFromStoredText(QStringLiteral("Panel files (*.PNL)#*.PNL#")),
                 QStringLiteral("Panel files (*.PNL)"));
#else
        // File names are case-sensitive here: lower-case extensions are listed too.
        QCOMPARE(NameFilterFromStoredText(QStringLiteral("Panel files (*.PNL)#*.PNL#")),
                 QStringLiteral("Panel files (*.PNL *.pnl)"));
        QCOMPARE(NameFilterFromStoredText(QStringLiteral("Gamma table files (*.GAM)#*.GAM#")),
                 QStringLiteral("Gamma table files (*.GAM *.gam)"));
#endif
        QCOMPARE(NameFilterFromStoredText(QString()), QString());
        QCOMPARE(PickFileToSave(state_, nullptr, FileKind::Gamma), 0);  // gamma tables are never written
    }
};

QTEST_MAIN(FilePageTest)
#include "tst_file_page.moc"
