// The platform part of the write hotkey: grabs one key and calls back on a press.
#pragma once

#include <QString>
#include <functional>
#include <memory>

class QWidget;

class WriteHotkeyBackend {
public:
    virtual ~WriteHotkeyBackend() = default;
    virtual QString name() const = 0;
    // Grabs the function key `virtualKey` (0x71..0x78) for `window`; false when
    // the key could not be had. `pressed` runs on the GUI thread for each press.
    virtual bool grab(QWidget* window, int virtualKey, std::function<void()> pressed) = 0;
    virtual void release() = 0;
};

// Each returns null where it does not apply (other platform, not compiled in).
std::unique_ptr<WriteHotkeyBackend> MakeX11WriteHotkeyBackend();
std::unique_ptr<WriteHotkeyBackend> MakeWin32WriteHotkeyBackend();
std::unique_ptr<WriteHotkeyBackend> MakeShortcutWriteHotkeyBackend();
