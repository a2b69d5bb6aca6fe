// Start-up state, the configuration file and the configuration dialog.
#include "config_dialog.h"
#include "editor_config.h"
#include "editor_strings.h"
#include "messages.h"
#include "startup.h"
#include "ui_ConfigDialog.h"

#include <tolvane/editor_state.h>
#include <tolvane/modes.h>
#include <tolvane/panel.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <sys/resource.h>

namespace {

template <typename T>
bool SameBytes(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

struct Warning {
    QString title;
    QString text;
};

}  // namespace

class ConfigTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QList<Warning> warnings_;
    QString cfg() const { return dir_.filePath(QStringLiteral("Tolvane2.cfg")); }

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        QFile::remove(cfg());
        QDir(cfg()).removeRecursively();
        PinEditorConfigFolder(dir_.path());
        warnings_.clear();
        SetWarningSink([this](const QString& title, const QString& text) { warnings_.append({title, text}); });
    }

    void cleanup() { SetWarningSink({}); }

    void startUpStateWithoutFile() {
        EditorState state;
        state.config = {3, 7};  // whatever was there before
        PrepareEditor(state);

        PanelRecord panel{};
        SetPanelDefaults(panel);
        ModeTable modes{};
        SetModeTableDefaults(modes);
        QVERIFY(SameBytes(state.panel, panel));
        QVERIFY(SameBytes(state.modeTable, modes));
        QCOMPARE(state.config.serialPort, uint16_t(1));
        QCOMPARE(state.config.writeHotkey, uint16_t(1));
        QVERIFY(!state.panelDataAvailable);
        QVERIFY(!state.modeTableAvailable);
        QVERIFY(!state.hideSelectionBox);
        QVERIFY(state.resetAfterWrite);
        QCOMPARE(state.panelNumber, 1);
        QCOMPARE(state.deviceAddress, 0);
        QVERIFY(!QFile::exists(cfg()));  // not created until the dialog is confirmed
        QVERIFY(warnings_.isEmpty());
    }

    void startUpReadsTheFile_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("hotkey");
        QTest::newRow("COM3 F9") << QByteArray::fromHex("03000800") << 3 << 8;
        QTest::newRow("unchecked values") << QByteArray::fromHex("07000000") << 7 << 0;
        QTest::newRow("big values little-endian") << QByteArray::fromHex("3412cdab") << 0x1234 << 0xabcd;
        QTest::newRow("2 bytes fall back") << QByteArray::fromHex("0400") << 1 << 1;
        QTest::newRow("empty falls back") << QByteArray() << 1 << 1;
        QTest::newRow("3 bytes fall back") << QByteArray::fromHex("040008") << 1 << 1;
    }

    void startUpReadsTheFile() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, port);
        QFETCH(int, hotkey);
        WriteAll(cfg(), bytes);
        EditorState state;
        state.config = {2, 5};
        PrepareEditor(state);
        QCOMPARE(int(state.config.serialPort), port);
        QCOMPARE(int(state.config.writeHotkey), hotkey);
    }

    void unreadableFileFallsBack() {
        QVERIFY(QDir().mkpath(cfg()));  // a folder where the file should be
        EditorState state;
        state.config = {4, 4};
        PrepareEditor(state);
        QCOMPARE(state.config.serialPort, uint16_t(1));
        QCOMPARE(state.config.writeHotkey, uint16_t(1));
    }

    void pathStaysWhereTheProgramStarted() {
        QTemporaryDir elsewhere;
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));  // as a save dialog may do
        const int saved = SaveEditorConfig({2, 3});
        QDir::setCurrent(before);
        QCOMPARE(saved, 1);
        QCOMPARE(ReadAll(cfg()), QByteArray::fromHex("02000300"));
        QVERIFY(!QFile::exists(QDir(elsewhere.path()).filePath(QStringLiteral("Tolvane2.cfg"))));
    }

    void dialogWithoutFileSavesComOneAndF2() {
        EditorConfig config;
        PrepareEditor(*std::make_unique<EditorState>());
        ConfigDialog dialog(config);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("  CONFIGURATION"));
        QCOMPARE(dialog.ui()->introLine1->text(), QStringLiteral("Select the devive for serial link and Write"));
        QCOMPARE(dialog.ui()->introLine2->text(), QStringLiteral("hotkey for PANELS/MODES control."));
        QVERIFY(dialog.ui()->comRadio1->isChecked());
        // Bold captions on the groups and the buttons, plain text inside.
        QVERIFY(dialog.ui()->serialGroup->font().bold());
        QVERIFY(dialog.ui()->okButton->font().bold());
        QVERIFY(!dialog.ui()->comRadio1->font().bold());
        QVERIFY(!dialog.ui()->hotkeyList->font().bold());
        QCOMPARE(dialog.ui()->hotkeyList->count(), 8);
        QCOMPARE(dialog.ui()->hotkeyList->itemText(0), QStringLiteral("F2"));
        QCOMPARE(dialog.ui()->hotkeyList->itemText(7), QStringLiteral("F9"));
        QCOMPARE(dialog.ui()->hotkeyList->currentText(), QStringLiteral("F2"));

        QTest::mouseClick(dialog.ui()->okButton, Qt::LeftButton);
        QCOMPARE(dialog.result(), 1);
        QCOMPARE(ReadAll(cfg()), QByteArray::fromHex("01000100"));
        QVERIFY(warnings_.isEmpty());
    }

    void dialogComThreeAndF9() {
        EditorConfig config;
        ConfigDialog dialog(config);
        dialog.ui()->comRadio3->setChecked(true);
        dialog.ui()->hotkeyList->setCurrentIndex(7);
        QTest::mouseClick(dialog.ui()->okButton, Qt::LeftButton);
        QCOMPARE(dialog.result(), 1);
        QCOMPARE(config.serialPort, uint16_t(3));
        QCOMPARE(config.writeHotkey, uint16_t(8));
        QCOMPARE(ReadAll(cfg()), QByteArray::fromHex("03000800"));
    }

    void dialogShowsOddValues_data() {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("hotkey");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<int>("selected");
        QTest::newRow("COM4 F5") << 4 << 4 << "comRadio4" << 3;
        QTest::newRow("port 2") << 2 << 1 << "comRadio2" << 0;
        QTest::newRow("port 0") << 0 << 8 << "comRadio2" << 7;
        QTest::newRow("port 9, hotkey 0") << 9 << 0 << "comRadio2" << -1;
        QTest::newRow("hotkey 9") << 1 << 9 << "comRadio1" << -1;
    }

    void dialogShowsOddValues() {
        QFETCH(int, port);
        QFETCH(int, hotkey);
        QFETCH(QString, checked);
        QFETCH(int, selected);
        EditorConfig config{uint16_t(port), uint16_t(hotkey)};
        ConfigDialog dialog(config);
        const auto radios = dialog.findChildren<QRadioButton*>();
        for (QRadioButton* radio : radios) QCOMPARE(radio->isChecked(), radio->objectName() == checked);
        QCOMPARE(dialog.ui()->hotkeyList->currentIndex(), selected);
    }

    void okWithoutSelectionStoresZero() {
        EditorConfig config{1, 0};
        ConfigDialog dialog(config);
        QTest::mouseClick(dialog.ui()->okButton, Qt::LeftButton);
        QCOMPARE(config.writeHotkey, uint16_t(0));
        QCOMPARE(ReadAll(cfg()), QByteArray::fromHex("01000000"));
    }

    void cancelChangesNothing() {
        EditorConfig config{1, 1};
        {
            ConfigDialog dialog(config);
            dialog.ui()->comRadio4->setChecked(true);
            dialog.ui()->hotkeyList->setCurrentIndex(5);
            QTest::mouseClick(dialog.ui()->cancelButton, Qt::LeftButton);
            QCOMPARE(dialog.result(), 0);
        }
        QCOMPARE(config.serialPort, uint16_t(1));
        QCOMPARE(config.writeHotkey, uint16_t(1));
        QVERIFY(!QFile::exists(cfg()));

        // Esc counts as Cancel.
        WriteAll(cfg(), QByteArray::fromHex("02000200"));
        ConfigDialog dialog(config);
        dialog.ui()->comRadio3->setChecked(true);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QCOMPARE(config.serialPort, uint16_t(1));
        QCOMPARE(ReadAll(cfg()), QByteArray::fromHex("02000200"));
    }

    void unwritableFileWarnsAndKeepsNewValues() {
        SetEditorConfigPath(dir_.filePath(QStringLiteral("no-such-folder/Tolvane2.cfg")));
        EditorConfig config{1, 1};
        ConfigDialog dialog(config);
        dialog.ui()->comRadio4->setChecked(true);
        dialog.ui()->hotkeyList->setCurrentIndex(2);
        QTest::mouseClick(dialog.ui()->okButton, Qt::LeftButton);
        QCOMPARE(dialog.result(), 0);
        QCOMPARE(warnings_.size(), 1);
        QCOMPARE(warnings_[0].title, QStringLiteral(" PANEL EDITOR"));
        QCOMPARE(warnings_[0].text, QStringLiteral("ERROR: Can't write config data to disk !"));
        QCOMPARE(config.serialPort, uint16_t(4));
        QCOMPARE(config.writeHotkey, uint16_t(3));
    }

    void failedWriteKeepsTheOldFile() {
        // A good file, then a save whose write fails part-way (file size limit).
        WriteAll(cfg(), QByteArray::fromHex("03000500"));
        struct rlimit old {};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &old) == 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit tiny = old;
        tiny.rlim_cur = 2;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &tiny) == 0);
        const int saved = SaveEditorConfig({4, 8});
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);

        QCOMPARE(saved, 0);
        QCOMPARE(ReadAll(cfg()), QByteArray::fromHex("03000500"));
        // no temporary file is left beside it
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files), QStringList{QStringLiteral("Tolvane2.cfg")});
    }

    void configFolderDependsOnHowTheEditorStarted() {
        QTemporaryDir home;
        const QString xdg = home.filePath(QStringLiteral("xdg"));
        const QString menuFolder = QDir(xdg).filePath(QStringLiteral("tolvane2"));
        const QString project = home.filePath(QStringLiteral("project"));
        QVERIFY(QDir().mkpath(project));

        // From a shell in a folder: that folder, marker or no file there.
        QCOMPARE(EditorConfigFolderFor({project, home.path(), xdg, false}), project);
        // From the menu: the configuration folder, wherever it started.
        QCOMPARE(EditorConfigFolderFor({project, home.path(), xdg, true}), menuFolder);
        // A start in the home folder or "/" without its own file is a menu start.
        QCOMPARE(EditorConfigFolderFor({home.path(), home.path(), xdg, false}), menuFolder);
        QCOMPARE(EditorConfigFolderFor({home.path() + QStringLiteral("/"), home.path(), xdg, false}), menuFolder);
        QCOMPARE(EditorConfigFolderFor({QStringLiteral("/"), home.path(), xdg, false}), menuFolder);
        // ... but a file already kept in the home folder stays in use.
        WriteAll(home.filePath(QStringLiteral("Tolvane2.cfg")), QByteArray::fromHex("02000300"));
        QCOMPARE(EditorConfigFolderFor({home.path(), home.path(), xdg, false}), home.path());
        // Without a valid XDG_CONFIG_HOME: ~/.config/tolvane2.
        const QString dotConfig = home.filePath(QStringLiteral(".config/tolvane2"));
        QCOMPARE(EditorConfigFolderFor({project, home.path(), QString(), true}), dotConfig);
        QCOMPARE(EditorConfigFolderFor({project, home.path(), QStringLiteral("relative/xdg"), true}), dotConfig);

        // The first save makes the configuration folder, and the file reads back.
        PinEditorConfigFolder(menuFolder, true);
        QCOMPARE(SaveEditorConfig({3, 5}), 1);
        QCOMPARE(ReadAll(QDir(menuFolder).filePath(QStringLiteral("Tolvane2.cfg"))), QByteArray::fromHex("03000500"));
        EditorConfig loaded{};
        QCOMPARE(LoadEditorConfig(loaded), 1);
        QCOMPARE(loaded.serialPort, uint16_t{3});
        QCOMPARE(loaded.writeHotkey, uint16_t{5});
    }

    void saveReplacesALongerFile() {
        WriteAll(cfg(), QByteArray::fromHex("0100010099999999"));
        QCOMPARE(SaveEditorConfig({2, 6}), 1);
        QCOMPARE(ReadAll(cfg()), QByteArray::fromHex("02000600"));
    }
};

QTEST_MAIN(ConfigTest)
#include "tst_config.moc"
