// The write hotkey. Offscreen it runs through the application-wide shortcut;
// the same program started under Xvfb (ctest: tst_write_hotkey_xvfb) grabs the
// key on the X server and presses it with xdotool. Tests for the other
// platform skip themselves.
#include "write_hotkey.h"

#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#if defined(TOLVANE_TEST_XCB)
#include <X11/keysym.h>
#include <cstdlib>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#endif

namespace {

// A window that counts the hotkey events it receives.
class HotkeyWindow : public QWidget {
public:
    int presses = 0;
    int lastId = 0;

protected:
    void customEvent(QEvent* event) override {
        if (event->type() == WriteHotkeyEvent::eventType()) {
            ++presses;
            lastId = static_cast<WriteHotkeyEvent*>(event)->id();
        }
    }
};

bool OnX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

bool PressWithXdotool(const QString& key) {
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    if (xdotool.isEmpty()) return false;
    QProcess process;
    process.start(xdotool, {QStringLiteral("key"), key});
    return process.waitForFinished(5000) && process.exitCode() == 0;
}

}  // namespace

class WriteHotkeyTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        if (QWidget* w = CurrentWriteHotkey().window) UnregisterWriteHotkey(w);
    }

    void keyCodes() {
        const int expected[] = {0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78};
        for (uint16_t value = 1; value <= 8; ++value) {
            QCOMPARE(WriteHotkeyVirtualKey(value), expected[value - 1]);
            QCOMPARE(WriteHotkeyQtKey(value), int(Qt::Key_F2) + value - 1);
        }
        QCOMPARE(WriteHotkeyVirtualKey(4), 0x74);  // F5
        for (uint16_t value : {uint16_t(0), uint16_t(9), uint16_t(0x100), uint16_t(0xFFFF)}) {
            QCOMPARE(WriteHotkeyVirtualKey(value), 0);
            QCOMPARE(WriteHotkeyQtKey(value), 0);
        }
    }

    void valueOutsideRangeRegistersNothing() {
        HotkeyWindow window;
        for (uint16_t value : {uint16_t(0), uint16_t(9), uint16_t(0xFFFF)}) {
            QVERIFY(!RegisterWriteHotkey(&window, value));
            QVERIFY(!CurrentWriteHotkey().window);
        }
        QVERIFY(!RegisterWriteHotkey(nullptr, 1));
    }

    void registrationAndRelease() {
        HotkeyWindow a, b;
        QVERIFY(RegisterWriteHotkey(&a, 4));
        WriteHotkeyRegistration r = CurrentWriteHotkey();
        QCOMPARE(r.window.data(), &a);
        QCOMPARE(r.virtualKey, 0x74);
        QCOMPARE(r.id, 0xB000);
        QCOMPARE(r.backend, OnX11() ? QStringLiteral("x11") : QStringLiteral("shortcut"));

        UnregisterWriteHotkey(&b);  // not b's key: stays
        QCOMPARE(CurrentWriteHotkey().window.data(), &a);

        QVERIFY(RegisterWriteHotkey(&b, 8));  // a new registration replaces the old one
        QCOMPARE(CurrentWriteHotkey().window.data(), &b);
        QCOMPARE(CurrentWriteHotkey().virtualKey, 0x78);
        UnregisterWriteHotkey(&b);
        QVERIFY(!CurrentWriteHotkey().window);
        QVERIFY(CurrentWriteHotkey().backend.isEmpty());
    }

    void windowGoingAwayReleasesTheKey() {
        auto* window = new HotkeyWindow;
        QVERIFY(RegisterWriteHotkey(window, 2));
        delete window;
        QVERIFY(!CurrentWriteHotkey().window);
        QVERIFY(CurrentWriteHotkey().backend.isEmpty());
    }

    void shortcutDeliversToTheRegisteredWindow() {
        if (OnX11()) QSKIP("the X11 backend is tested with xdotool");
        HotkeyWindow window, other;
        window.show();
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QVERIFY(RegisterWriteHotkey(&window, 4));

        // F5 pressed while another of the editor's windows is active still
        // goes to the registered window.
        QTest::keyClick(&other, Qt::Key_F5);
        QTRY_COMPARE(window.presses, 1);
        QCOMPARE(window.lastId, 0xB000);
        QCOMPARE(other.presses, 0);

        QTest::keyClick(&other, Qt::Key_F6);                     // another key
        QTest::keyClick(&other, Qt::Key_F5, Qt::ShiftModifier);  // with a modifier
        QTest::qWait(50);
        QCOMPARE(window.presses, 1);

        UnregisterWriteHotkey(&window);
        QTest::keyClick(&other, Qt::Key_F5);
        QTest::qWait(50);
        QCOMPARE(window.presses, 1);

        // A page in a tab that is not shown keeps the key.
        auto* page = new HotkeyWindow;
        page->setParent(&other);
        page->hide();
        QVERIFY(RegisterWriteHotkey(page, 1));
        QTest::keyClick(&other, Qt::Key_F2);
        QTRY_COMPARE(page->presses, 1);
        delete page;
        QVERIFY(!CurrentWriteHotkey().window);
        QTest::keyClick(&other, Qt::Key_F2);  // nothing left behind
    }

    void x11GrabDeliversXdotoolPresses() {
        if (!OnX11()) QSKIP("needs an X server (ctest runs this under xvfb-run)");
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) QSKIP("xdotool is not installed");
        HotkeyWindow window, other;
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        QVERIFY(RegisterWriteHotkey(&window, 4));  // F5, window not even shown

        QVERIFY(PressWithXdotool(QStringLiteral("F5")));
        QTRY_COMPARE(window.presses, 1);
        QCOMPARE(window.lastId, 0xB000);

        // With NumLock on the key still works.
        QVERIFY(PressWithXdotool(QStringLiteral("Num_Lock")));
        QVERIFY(PressWithXdotool(QStringLiteral("F5")));
        QTRY_COMPARE(window.presses, 2);
        QVERIFY(PressWithXdotool(QStringLiteral("Num_Lock")));

        // Other keys and the key with a modifier are not ours.
        QVERIFY(PressWithXdotool(QStringLiteral("F6")));
        QVERIFY(PressWithXdotool(QStringLiteral("ctrl+F5")));
        QTest::qWait(200);
        QCOMPARE(window.presses, 2);

        UnregisterWriteHotkey(&window);
        QVERIFY(PressWithXdotool(QStringLiteral("F5")));
        QTest::qWait(200);
        QCOMPARE(window.presses, 2);
    }

    void x11KeyTakenByAnotherProgramFailsQuietly() {
        if (!OnX11()) QSKIP("needs an X server (ctest runs this under xvfb-run)");
#if defined(TOLVANE_TEST_XCB)
        // Another client holds F7 on the root window.
        xcb_connection_t* other = xcb_connect(nullptr, nullptr);
        QVERIFY(other && !xcb_connection_has_error(other));
        xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(other);
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, XK_F7);
        QVERIFY(codes && codes[0] != XCB_NO_SYMBOL);
        const xcb_keycode_t f7 = codes[0];
        std::free(codes);
        xcb_key_symbols_free(symbols);
        xcb_generic_error_t* error = xcb_request_check(
            other, xcb_grab_key_checked(other, 0, root, 0, f7, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        QVERIFY(!error);

        HotkeyWindow window;
        QVERIFY(!RegisterWriteHotkey(&window, 6));  // F7: taken
        QVERIFY(!CurrentWriteHotkey().window);
        if (!QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
            QVERIFY(PressWithXdotool(QStringLiteral("F7")));
            QTest::qWait(200);
            QCOMPARE(window.presses, 0);
        }
        xcb_disconnect(other);  // gives the key back
        QVERIFY(RegisterWriteHotkey(&window, 6));
        UnregisterWriteHotkey(&window);
#else
        QSKIP("built without xcb");
#endif
    }
};

QTEST_MAIN(WriteHotkeyTest)
#include "tst_write_hotkey.moc"
