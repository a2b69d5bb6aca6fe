// The Merge page through its real widgets: choosing panel and gamma table
// files, merging them into a new panel file, and writing the merged panel to
// the emulated board on a pseudo-terminal reached through VANTREL_COM1.
#include "bitmap_button.h"
#include "file_dialogs.h"
#include "merge_page.h"
#include "messages.h"
#include "selection_box.h"
#include "transfer_sheet.h"

#include <tolvane/editor_state.h>
#include <tolvane/panel.h>
#include <vantrel.h>
#include <vantrel_board/board.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <memory>
#include <random>

namespace {

constexpr uint8_t kCmdReset = 0;

bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A panel file of `size` bytes: the magic, then noise in every other byte.
// Byte 33 (high byte of panelFlags) has every bit set but useGamma.
QByteArray PanelFileBytes(int size, uint32_t seed, const char* magic = "VANTRL2") {
    std::mt19937 rng(seed);
    QByteArray bytes(size, '\0');
    for (char& b : bytes) b = static_cast<char>(rng());
    std::memcpy(bytes.data(), magic, std::strlen(magic) + 1);
    bytes[33] = char(0xEF);
    return bytes;
}

QByteArray GammaBytes(int size, uint32_t seed) {
    std::mt19937 rng(seed);
    QByteArray bytes(size, '\0');
    for (char& b : bytes) b = static_cast<char>(rng());
    return bytes;
}

std::vector<uint8_t> Bytes(const void* data, std::size_t count) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + count);
}

PanelRecord RecordFromFileBytes(const QByteArray& bytes) {
    uint8_t raw[kPanelFileSize];
    std::memcpy(raw, bytes.constData(), sizeof raw);
    PanelRecord record{};
    FileBytesToPanelRecord(raw, record);
    return record;
}

}  // namespace

class MergePageTest : public QObject {
    Q_OBJECT

private:
    template <typename T>
    T* child(const char* name) const {
        T* widget = page_->findChild<T*>(QLatin1String(name));
        if (!widget) qFatal("missing child %s", name);
        return widget;
    }

    void click(const char* button) { child<QAbstractButton>(button)->click(); }

    // The next dialogs answer with these paths in turn (empty: cancelled).
    void choose(const QStringList& paths) {
        answers_ = paths;
        SetFileChooser([this](const FileDialogRequest& request) {
            requests_ << request;
            return answers_.isEmpty() ? QString() : answers_.takeFirst();
        });
    }

    QString filePath(const QString& name) const { return dir_->filePath(name); }

    QString writeFile(const QString& name, const QByteArray& bytes) const {
        const QString path = filePath(name);
        if (!WriteBytes(path, bytes)) qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    // Chooses the panel file, the gamma file and the output, and merges.
    void merge(const QString& panel, const QString& gamma, const QString& output) {
        choose({panel, gamma, output});
        click("panelButton");
        click("gammaButton");
        click("mergeButton");
    }

    // The next selection box is answered from inside its own modal loop: it
    // records what the box showed, then picks slot (1..4) and OK, or Cancel
    // when slot is 0.
    void answerSelectionBox(int slot, bool reset = true) {
        QTimer::singleShot(0, this, [this, slot, reset] {
            auto* box = qobject_cast<SelectionBox*>(QApplication::activeModalWidget());
            if (!box) {
                boxNotes_ << QStringLiteral("no box");
                return;
            }
            boxNotes_ << QStringLiteral("box fromMerge=%1 hideEnabled=%2")
                             .arg(state_.selectionBoxFromMerge)
                             .arg(box->findChild<QCheckBox*>(QStringLiteral("hideCheck"))->isEnabled());
            if (slot == 0) {
                box->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
                return;
            }
            box->findChild<QRadioButton*>(QStringLiteral("panel%1Radio").arg(slot))->setChecked(true);
            box->findChild<QCheckBox*>(QStringLiteral("resetCheck"))->setChecked(reset);
            box->findChild<QLineEdit*>(QStringLiteral("addressEdit"))->setText(QStringLiteral("0"));
            box->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        });
    }

    void startBoard() {
        vantrel_board::Options options;
        options.baud = 0;
        board_ = std::make_unique<vantrel_board::Board>(options);
        QVERIFY2(board_->Start(), board_->LastError().c_str());
        qputenv("VANTREL_COM1", QByteArray::fromStdString(board_->SlavePath()));
    }

    EditorState state_;
    QStringList warnings_;
    QStringList answers_;
    QStringList boxNotes_;
    QList<FileDialogRequest> requests_;
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<MergePage> page_;
    std::unique_ptr<vantrel_board::Board> board_;

private slots:
    void init() {
        state_ = EditorState{};
        SetPanelDefaults(state_.panel);
        state_.editPanel = state_.panel;
        warnings_.clear();
        requests_.clear();
        boxNotes_.clear();
        SetWarningSink([this](const QString& title, const QString& text) {
            QCOMPARE(title, QStringLiteral(" PANEL EDITOR"));
            warnings_ << text;
        });
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        page_ = std::make_unique<MergePage>(state_);
        page_->show();
        choose({});
    }

    void cleanup() {
        page_.reset();
        SetWarningSink({});
        SetFileChooser({});
        CloseSerialCommunication();
        if (board_) board_->Stop();
        board_.reset();
    }

    void pageOpensEmptyAsThirdPageOfTheSheet() {
        QCOMPARE(child<QLabel>("headingLabel")->text(),
                 QStringLiteral("Merge panel files and gamma tables (256 byte binary format)."));
        QCOMPARE(child<QGroupBox>("panelGroup")->title(), QStringLiteral(" Panel file "));
        QCOMPARE(child<QGroupBox>("gammaGroup")->title(), QStringLiteral(" Gamma table "));
        QCOMPARE(child<QGroupBox>("commandGroup")->title(), QStringLiteral(" Command "));
        QVERIFY(child<QLabel>("panelPathLabel")->text().isEmpty());
        QVERIFY(child<QLabel>("gammaPathLabel")->text().isEmpty());
        QVERIFY(!child<QLabel>("diskImage")->pixmap().isNull());
        const std::pair<const char*, const char*> buttons[] = {
            {"panelButton", "&B"}, {"gammaButton", "&R"}, {"mergeButton", "&M"}, {"writeButton", "&W"}};
        for (const auto& [name, caption] : buttons) {
            auto* button = child<BitmapButton>(name);
            QCOMPARE(button->text(), QLatin1String(caption));
            QCOMPARE(button->focusInset(), QMargins(2, 3, 3, 4));
            QCOMPARE(button->pressedOffset(), QPoint(1, 1));
            QVERIFY(!button->upFace().isNull());
            QVERIFY(!button->downFace().isNull());
        }
        QVERIFY(page_->mergePanelPath().empty() && page_->mergeGammaPath().empty() && page_->mergeOutputPath().empty());

        TransferSheet sheet(state_, nullptr);
        QVERIFY(sheet.turnToPage(2));
        QVERIFY(sheet.findChild<MergePage*>() != nullptr);
    }

    void panelFileChecks_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("600 bytes") << PanelFileBytes(600, 1) << true;
        QTest::newRow("lower-case magic") << PanelFileBytes(512, 2, "vantrl2") << true;
        QTest::newRow("511 bytes") << PanelFileBytes(511, 3) << false;
        QTest::newRow("magic runs on without NUL") << PanelFileBytes(512, 4, "VANTRL2X") << false;
        QTest::newRow("mode file, 2116 bytes") << PanelFileBytes(2116, 6) << false;
        QTest::newRow("2117 bytes") << PanelFileBytes(2117, 7) << true;
        QTest::newRow("missing") << QByteArray() << false;
    }

    void panelFileChecks() {
        QFETCH(QByteArray, content);
        QFETCH(bool, accepted);
        const QString first = writeFile(QStringLiteral("first.PNL"), PanelFileBytes(512, 9));
        const QString path = filePath(QStringLiteral("candidate.PNL"));
        if (!content.isNull()) QVERIFY(WriteBytes(path, content));

        choose({first, path});
        click("panelButton");
        click("panelButton");
        QCOMPARE(requests_.size(), 2);
        QCOMPARE(requests_[0].title, QStringLiteral("  LOAD PANEL DATA"));
        QVERIFY(!requests_[0].save);
        const QString expected = accepted ? path : first;
        QCOMPARE(QString::fromStdString(page_->mergePanelPath()), QDir::toNativeSeparators(expected));
        QCOMPARE(child<QLabel>("panelPathLabel")->text(), ShortenPathForDisplay(QDir::toNativeSeparators(expected)));
        QCOMPARE(warnings_,
                 accepted ? QStringList() : QStringList{QStringLiteral("ERROR: Wrong format of panel file !")});

        // A cancelled dialog changes nothing and says nothing.
        choose({});
        click("panelButton");
        QCOMPARE(QString::fromStdString(page_->mergePanelPath()), QDir::toNativeSeparators(expected));
        QCOMPARE(warnings_.size(), accepted ? 0 : 1);
    }

    void gammaFileSizes() {
        const QString g255 = writeFile(QStringLiteral("a.GAM"), GammaBytes(255, 1));
        const QString g256 = writeFile(QStringLiteral("b.GAM"), GammaBytes(256, 2));
        const QString g257 = writeFile(QStringLiteral("c.GAM"), GammaBytes(257, 3));
        choose({g255, g256, g257, filePath(QStringLiteral("missing.GAM"))});
        for (int i = 0; i < 4; ++i) click("gammaButton");
        QCOMPARE(requests_.size(), 4);
        QCOMPARE(requests_[0].title, QStringLiteral("  LOAD GAMMA TABLE"));
        const QString wrong = QStringLiteral("ERROR: Wrong format of gamma table !");
        QCOMPARE(warnings_, (QStringList{wrong, wrong, wrong}));
        QCOMPARE(QString::fromStdString(page_->mergeGammaPath()), QDir::toNativeSeparators(g256));
        QCOMPARE(child<QLabel>("gammaPathLabel")->text(), ShortenPathForDisplay(QDir::toNativeSeparators(g256)));
    }

    void shortenedPaths() {
        const QString sep = QDir::separator();
        // 33 characters, file name of 14: the first 14, the mark, the name.
        const QString p33 = QStringLiteral("/home/engineer/pro/PANEL_1024.PNL");
        QCOMPARE(p33.size(), 33);
        QCOMPARE(ShortenPathForDisplay(p33),
                 QStringLiteral("/home/engineer") + QStringLiteral("..") + sep + QStringLiteral("PANEL_1024.PNL"));
        QCOMPARE(ShortenPathForDisplay(p33).size(), 31);
        // 28 characters: whole.
        const QString p28 = QStringLiteral("/home/engineer/pro/PANEL.PNL");
        QCOMPARE(p28.size(), 28);
        QCOMPARE(ShortenPathForDisplay(p28), p28);
        // A file name of 29 characters: whole, however long the path.
        const QString name29 = QStringLiteral("A_VERY_LONG_PANEL_NAME_12.PNL");
        QCOMPARE(name29.size(), 29);
        const QString long29 = QStringLiteral("/srv/panels/archive/2026/") + name29;
        QCOMPARE(ShortenPathForDisplay(long29), long29);
        // A file name of exactly 28 in a longer path: nothing of the folders left.
        const QString name28 = name29.mid(1);
        QCOMPARE(ShortenPathForDisplay(QStringLiteral("/srv/") + name28), QStringLiteral("..") + sep + name28);
        // Windows paths are split at their separator too.
        QCOMPARE(ShortenPathForDisplay(QStringLiteral("C:\\Vantrel\\Panels\\LG\\LM181E1.PNL")),
                 QStringLiteral("C:\\Vantrel\\Panels..") + sep + QStringLiteral("LM181E1.PNL"));
        // A character outside the basic plane is never cut in half.
        const QString wide =
            QStringLiteral("/aaaaaaaaaaaa") + QString::fromUcs4(U"\U0001F4BE") + QStringLiteral("/bbbb/PANEL_1024.PNL");
        QCOMPARE(ShortenPathForDisplay(wide),
                 QStringLiteral("/aaaaaaaaaaaa..") + sep + QStringLiteral("PANEL_1024.PNL"));
    }

    void mergeNeedsBothFiles() {
        const QString panel = writeFile(QStringLiteral("p.PNL"), PanelFileBytes(512, 1));
        click("mergeButton");
        choose({panel});
        click("panelButton");
        requests_.clear();
        choose({filePath(QStringLiteral("out.PNL"))});
        click("mergeButton");
        const QString none = QStringLiteral("ERROR: No panel file and/or gamma table specified !");
        QCOMPARE(warnings_, (QStringList{none, none}));
        QCOMPARE(requests_.size(), 0);  // no save dialog shown
        QVERIFY(!QFile::exists(filePath(QStringLiteral("out.PNL"))));
    }

    void mergedFileSetsUseGammaAndKeepsEveryOtherByte() {
        const QByteArray panelBytes = PanelFileBytes(600, 11);
        const QByteArray gammaBytes = GammaBytes(256, 12);
        const QString panel = writeFile(QStringLiteral("p.PNL"), panelBytes);
        const QString gamma = writeFile(QStringLiteral("g.GAM"), gammaBytes);
        const QString output = filePath(QStringLiteral("merged.PNL"));
        merge(panel, gamma, output);
        QVERIFY2(warnings_.isEmpty(), qPrintable(warnings_.join('\n')));
        QCOMPARE(requests_.last().title, QStringLiteral("  SAVE PANEL DATA"));
        QVERIFY(requests_.last().save);

        QByteArray expected = panelBytes.left(256) + gammaBytes;
        expected[33] = char(0xFF);  // useGamma (bit 4) added to the other bits
        QCOMPARE(ReadBytes(output), expected);
        QCOMPARE(QString::fromStdString(page_->mergeOutputPath()), QDir::toNativeSeparators(output));
        const PanelRecord expectedRecord = RecordFromFileBytes(expected);
        QVERIFY(std::memcmp(&page_->mergeRecord(), &expectedRecord, sizeof(PanelRecord)) == 0);
        // The merged file is an ordinary panel file.
        PanelRecord back{};
        bool wrong = false;
        QVERIFY(ReadPanelFile(output.toStdString(), back, wrong));
        QVERIFY(HasPanelFlag(back, kUseGamma));
        // Nothing of the editor's panel data was touched.
        QVERIFY(std::memcmp(&state_.editPanel, &state_.panel, sizeof(PanelRecord)) == 0);
        QVERIFY(!state_.panelDataAvailable);
    }

    // The output may be one of the inputs; a failed merge never leaves a
    // truncated or empty file behind, and "&W" refuses again until the next
    // successful merge.
    void outputReplacesAnInputAndFailuresKeepFiles() {
        const QByteArray panelBytes = PanelFileBytes(512, 21);
        const QByteArray gammaBytes = GammaBytes(256, 22);
        const QString panel = writeFile(QStringLiteral("same.PNL"), panelBytes);
        const QString gamma = writeFile(QStringLiteral("g.GAM"), gammaBytes);
        merge(panel, gamma, panel);
        QVERIFY(warnings_.isEmpty());
        QByteArray expected = panelBytes.left(256) + gammaBytes;
        expected[33] = char(0xFF);
        QCOMPARE(ReadBytes(panel), expected);
        const QString cantWrite = QStringLiteral("ERROR: Can't write panel data !");

        // The disk refuses more than 300 bytes: the file stays whole.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 300;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        choose({panel});
        click("mergeButton");
        setrlimit(RLIMIT_FSIZE, &old);
        QCOMPARE(warnings_, QStringList{cantWrite});
        QCOMPARE(ReadBytes(panel), expected);
        QVERIFY(page_->mergeOutputPath().empty());
        click("writeButton");
        QCOMPARE(warnings_.last(), QStringLiteral("ERROR: No merging execute !"));
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden).size(), 2);  // no temporary left

        // The gamma file as output: replaced by the merged record as well.
        warnings_.clear();
        choose({gamma});
        click("mergeButton");
        QVERIFY(warnings_.isEmpty());
        QCOMPARE(ReadBytes(gamma), expected);

        // The output in a folder that does not exist, or a folder itself; then
        // a gamma file that is no longer 256 bytes: the existing output stays.
        QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("folder.PNL")));
        choose({filePath(QStringLiteral("no/such/folder/out.PNL")), filePath(QStringLiteral("folder.PNL")), panel});
        for (int i = 0; i < 3; ++i) click("mergeButton");
        QCOMPARE(warnings_, (QStringList{cantWrite, cantWrite, cantWrite}));
        QCOMPARE(ReadBytes(panel), expected);
        QVERIFY(page_->mergeOutputPath().empty());
    }

    void writeBeforeAnyMerge() {
        startBoard();
        // If a box showed up it would be recorded and cancelled.
        answerSelectionBox(0);
        click("writeButton");
        QCoreApplication::processEvents();
        QCOMPARE(warnings_, QStringList{QStringLiteral("ERROR: No merging execute !")});
        QCOMPARE(boxNotes_, QStringList{QStringLiteral("no box")});
        QVERIFY(board_->ReceivedBytes().empty());
    }

    // The engineer's round: merge, write to panel 3; load another panel file
    // (refused, then accepted) and write to panel 4: still the merged record.
    void writesTheMergedPanelToTheBoard() {
        startBoard();
        QByteArray panelBytes(512, '\0');
        {
            PanelRecord record{};
            SetPanelDefaults(record);
            std::memcpy(record.displayName, "MERGED PANEL", 12);
            SetPanelFlag(record, kUseGamma, false);
            uint8_t raw[kPanelFileSize];
            PanelRecordToFileBytes(record, raw);
            panelBytes = QByteArray(reinterpret_cast<const char*>(raw), sizeof raw);
        }
        QByteArray gammaBytes(256, '\0');
        for (int i = 0; i < 256; ++i) gammaBytes[i] = char(255 - i);
        const QString panel = writeFile(QStringLiteral("p.PNL"), panelBytes);
        const QString gamma = writeFile(QStringLiteral("g.GAM"), gammaBytes);
        merge(panel, gamma, filePath(QStringLiteral("merged.PNL")));
        QVERIFY(warnings_.isEmpty());
        const PanelRecord merged = RecordFromFileBytes(ReadBytes(filePath(QStringLiteral("merged.PNL"))));
        PanelImage image{};
        GammaTable table{};
        PanelRecordToImage(merged, image, table);

        // Cancel in the box: nothing is sent.
        answerSelectionBox(0);
        click("writeButton");
        QVERIFY(board_->ReceivedBytes().empty());

        answerSelectionBox(3);
        click("writeButton");
        QVERIFY2(warnings_.isEmpty(), qPrintable(warnings_.join('\n')));
        QCOMPARE(boxNotes_, (QStringList(2, QStringLiteral("box fromMerge=1 hideEnabled=0"))));
        QVERIFY(!state_.selectionBoxFromMerge);
        QCOMPARE(state_.panelNumber, 3);
        QCOMPARE(board_->Flash(0xFB00 + 64 * 2, 64), Bytes(image.bytes, 64));
        QCOMPARE(board_->Flash(0xF700 + 256 * 2, 256), Bytes(gammaBytes.constData(), 256));
        QVERIFY(board_->WaitForFrames(4 + 16 + 1, std::chrono::milliseconds(2000)));
        const vantrel_board::Frame reset = board_->ReceivedFrames().back();
        QCOMPARE(reset.command, kCmdReset);
        QCOMPARE(reset.address, uint8_t(0));
        QCOMPARE(Vantrel_Reset(0), 0);  // the link was closed again

        // A refused load, then an accepted one, after the merge: "&W" still
        // sends the merged record.
        const QString modeFile = writeFile(QStringLiteral("modes.MOD"), PanelFileBytes(2116, 41));
        const QString other = writeFile(QStringLiteral("other.PNL"), PanelFileBytes(512, 42));
        choose({modeFile, other});
        click("panelButton");
        QCOMPARE(warnings_, QStringList{QStringLiteral("ERROR: Wrong format of panel file !")});
        click("panelButton");
        QCOMPARE(QString::fromStdString(page_->mergePanelPath()), QDir::toNativeSeparators(other));
        warnings_.clear();
        board_->ClearRecord();
        answerSelectionBox(4, false);
        click("writeButton");
        QVERIFY(warnings_.isEmpty());
        QCOMPARE(board_->Flash(0xFB00 + 64 * 3, 64), Bytes(image.bytes, 64));
        QCOMPARE(board_->Flash(0xF700 + 256 * 3, 256), Bytes(gammaBytes.constData(), 256));
        QVERIFY(!state_.resetAfterWrite);
        for (const vantrel_board::Frame& frame : board_->ReceivedFrames()) QVERIFY(frame.command != kCmdReset);
    }
};

QTEST_MAIN(MergePageTest)
#include "tst_merge_page.moc"
