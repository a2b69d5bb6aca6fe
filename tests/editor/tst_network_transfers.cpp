// The editor's transfers to a board behind a serial server: the user's ports
// file maps COM2 to rfc2217://127.0.0.1:PORT, where Debian's ser2net serves
// the emulated board's pseudo-terminal.
#include "../link/ser2net_process.h"
#include "messages.h"
#include "status_window.h"
#include "transfers.h"

#include <tolvane/editor_state.h>
#include <tolvane/panel.h>
#include <vantrel.h>
#include <vantrel_board/board.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using vantrel_board::Board;

namespace {

std::vector<uint8_t> Bytes(const uint8_t* data, std::size_t count) { return std::vector<uint8_t>(data, data + count); }

}  // namespace

class NetworkTransferTest : public QObject {
    Q_OBJECT

private:
    // COM2=device in $XDG_CONFIG_HOME/vantrel/ports.conf; no variable for COM2.
    void mapCom2(const std::string& device) {
        QVERIFY(QDir(config_.path()).mkpath("vantrel"));
        QFile file(config_.filePath("vantrel/ports.conf"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray::fromStdString("# the station's board\nCOM2=" + device + "\n"));
        file.close();
        qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
        qunsetenv("VANTREL_COM2");
    }

    int run(const std::function<int(QWidget*)>& body) {
        QWidget page;
        page.resize(400, 300);
        page.show();
        return RunTransfer(editorConfig_, [&] { return body(&page); });
    }

    QTemporaryDir config_;
    std::unique_ptr<Board> board_;
    std::unique_ptr<linktest::Ser2net> server_;
    EditorConfig editorConfig_;
    QStringList warnings_;

private slots:
    void init() {
        if (!linktest::Ser2netInstalled()) QSKIP("ser2net is not installed (Debian package ser2net)");
        QVERIFY(config_.isValid());
        vantrel_board::Options options;
        options.baud = 0;
        board_ = std::make_unique<Board>(options);
        QVERIFY2(board_->Start(), board_->LastError().c_str());
        editorConfig_ = EditorConfig{};
        editorConfig_.serialPort = 2;
        warnings_.clear();
        SetWarningSink([this](const QString&, const QString& text) { warnings_ << text; });
    }

    void cleanup() {
        SetWarningSink({});
        CloseSerialCommunication();
        server_.reset();
        if (board_) board_->Stop();
        board_.reset();
        qunsetenv("XDG_CONFIG_HOME");
    }

    // A panel slot with its gamma table (0xFF bytes in both) read through the server.
    void readsAPanelThroughThePortsFile() {
        server_ = std::make_unique<linktest::Ser2net>(board_->SlavePath(), true);
        QVERIFY2(server_->Ready(), "ser2net did not start");
        mapCom2(server_->Name());

        PanelRecord record{};
        SetPanelDefaults(record);
        SetPanelFlag(record, kUseGamma, true);
        for (int i = 0; i < 256; ++i) record.gammaTable.level[i] = static_cast<uint8_t>(255 - i / 2);
        PanelImage image{};
        GammaTable gamma{};
        PanelRecordToImage(record, image, gamma);
        image.bytes[60] = 0xFF;
        board_->SetFlash(VANTREL_PANEL_IMAGE_BASE + 64 * 1, Bytes(image.bytes, 64));
        board_->SetFlash(VANTREL_GAMMA_BASE + 256 * 1, Bytes(gamma.level, 256));

        PanelImage readImage{};
        GammaTable readGamma{};
        const int result =
            run([&](QWidget* page) { return ReadPanelFromBoard(page, QFont(), 2, 0, readImage, readGamma); });
        QCOMPARE(result, 1);
        QVERIFY(warnings_.isEmpty());
        QCOMPARE(Bytes(readImage.bytes, 64), Bytes(image.bytes, 64));
        QCOMPARE(Bytes(readGamma.level, 256), Bytes(gamma.level, 256));
        QVERIFY(StatusWindow::current() == nullptr);
    }

    // A server that is not there: the editor's own message, nothing run.
    void aServerThatIsNotThereFailsTheOpen() {
        int port = 0;
        {
            linktest::Ser2net gone(board_->SlavePath(), true);
            QVERIFY(gone.Ready());
            const std::string name = gone.Name();
            port = std::stoi(name.substr(name.rfind(':') + 1));
        }
        mapCom2("rfc2217://127.0.0.1:" + std::to_string(port));
        bool ran = false;
        const int result = run([&](QWidget*) {
            ran = true;
            return 1;
        });
        QCOMPARE(result, 0);
        QVERIFY(!ran);
        QCOMPARE(warnings_, QStringList{kOpenSerialFailedText});
    }
};

QTEST_MAIN(NetworkTransferTest)
#include "tst_network_transfers.moc"
