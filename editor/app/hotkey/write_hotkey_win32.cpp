// Win32 backend of the write hotkey: RegisterHotKey with the identifier 0xB000
// and no modifiers for the window's handle; WM_HOTKEY comes through a native
// event filter.
#include "write_hotkey_backend.h"

#if defined(_WIN32)

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QWidget>

#include <windows.h>

namespace {

constexpr int kHotkeyId = 0xB000;

class Win32Backend : public WriteHotkeyBackend, public QAbstractNativeEventFilter {
public:
    ~Win32Backend() override { release(); }

    QString name() const override { return QStringLiteral("win32"); }

    bool grab(QWidget* window, int virtualKey, std::function<void()> pressed) override {
        release();
        hwnd_ = reinterpret_cast<HWND>(window->window()->winId());
        if (!RegisterHotKey(hwnd_, kHotkeyId, 0, static_cast<UINT>(virtualKey))) {
            hwnd_ = nullptr;  // the key is taken: nothing is reported
            return false;
        }
        pressed_ = std::move(pressed);
        QCoreApplication::instance()->installNativeEventFilter(this);
        return true;
    }

    void release() override {
        if (!hwnd_) return;
        QCoreApplication::instance()->removeNativeEventFilter(this);
        UnregisterHotKey(hwnd_, kHotkeyId);
        hwnd_ = nullptr;
        pressed_ = nullptr;
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "windows_generic_MSG") return false;
        const MSG* msg = static_cast<const MSG*>(message);
        if (msg->message != WM_HOTKEY || msg->hwnd != hwnd_) return false;
        if (pressed_) pressed_();
        return true;
    }

private:
    HWND hwnd_ = nullptr;
    std::function<void()> pressed_;
};

}  // namespace

std::unique_ptr<WriteHotkeyBackend> MakeWin32WriteHotkeyBackend() { return std::make_unique<Win32Backend>(); }

#else

std::unique_ptr<WriteHotkeyBackend> MakeWin32WriteHotkeyBackend() { return nullptr; }

#endif
