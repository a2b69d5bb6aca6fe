// The system-wide write hotkey: one function key F2..F9 without modifiers,
// registered for one window under the identifier 0xB000. A press is delivered
// to that window as a WriteHotkeyEvent (override QObject::customEvent).
//
// Backends: X11 (a passive key grab on the root window, also with NumLock and
// CapsLock on), Win32 (RegisterHotKey), and elsewhere (offscreen, Wayland) an
// application-wide shortcut that works while one of the editor's windows is
// active. A key that another program holds is not reported: it then does
// nothing in the editor.
#pragma once

#include <QEvent>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>

constexpr int kWriteHotkeyId = 0xB000;

// Virtual key of the platform for a writeHotkey value: F2 (0x71) .. F9 (0x78);
// 0 for a value outside 1..8.
int WriteHotkeyVirtualKey(uint16_t writeHotkey);
// The same key for Qt: Qt::Key_F2 .. Qt::Key_F9, or 0.
int WriteHotkeyQtKey(uint16_t writeHotkey);

class WriteHotkeyEvent : public QEvent {
public:
    explicit WriteHotkeyEvent(int id = kWriteHotkeyId);
    static QEvent::Type eventType();
    int id() const { return id_; }

private:
    int id_;
};

// Registers the key for `window` (replacing an earlier registration). Returns
// false when nothing was registered: a value outside 1..8, or the key is taken.
bool RegisterWriteHotkey(QWidget* window, uint16_t writeHotkey);
// Releases the key if `window` holds it.
void UnregisterWriteHotkey(QWidget* window);

// Whether a press delivered to `window` may act now. Not while one of the
// editor's message boxes is open (a refusal in the middle of a check), nor
// while another modal dialog (a help box, a file dialog) stands over the
// window's own top-level window: the press is then ignored.
bool WriteHotkeyMayAct(const QWidget* window);

// What is registered now (for the tests and the screenshots).
struct WriteHotkeyRegistration {
    QPointer<QWidget> window;  // null when nothing is registered
    int virtualKey = 0;
    int id = 0;
    QString backend;  // "x11", "win32" or "shortcut"
};
WriteHotkeyRegistration CurrentWriteHotkey();
