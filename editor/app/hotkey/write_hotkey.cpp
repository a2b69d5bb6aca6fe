#include "write_hotkey.h"

#include "write_hotkey_backend.h"

#include "messages.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeySequence>
#include <QShortcut>

namespace {

struct Registration {
    QPointer<QWidget> window;
    int virtualKey = 0;
    std::unique_ptr<WriteHotkeyBackend> backend;
    QMetaObject::Connection destroyed;
};

Registration& Current() {
    static Registration registration;
    return registration;
}

void Release() {
    Registration& r = Current();
    if (r.backend) r.backend->release();
    r.backend.reset();
    QObject::disconnect(r.destroyed);
    r.window = nullptr;
    r.virtualKey = 0;
}

std::unique_ptr<WriteHotkeyBackend> ChooseBackend() {
    if (auto backend = MakeWin32WriteHotkeyBackend()) return backend;
    if (auto backend = MakeX11WriteHotkeyBackend()) return backend;
    return MakeShortcutWriteHotkeyBackend();
}

// Application-wide shortcut: the fallback where no system-wide key exists.
class ShortcutBackend : public WriteHotkeyBackend {
public:
    QString name() const override { return QStringLiteral("shortcut"); }

    bool grab(QWidget* window, int virtualKey, std::function<void()> pressed) override {
        const int qtKey = Qt::Key_F2 + (virtualKey - 0x71);
        // On the top-level window: a page in a hidden tab keeps its key.
        shortcut_ = new QShortcut(QKeySequence(qtKey), window->window());
        shortcut_->setContext(Qt::ApplicationShortcut);
        QObject::connect(shortcut_, &QShortcut::activated, shortcut_, std::move(pressed));
        return true;
    }

    void release() override { delete shortcut_.data(); }

private:
    QPointer<QShortcut> shortcut_;
};

}  // namespace

std::unique_ptr<WriteHotkeyBackend> MakeShortcutWriteHotkeyBackend() { return std::make_unique<ShortcutBackend>(); }

int WriteHotkeyVirtualKey(uint16_t writeHotkey) {
    if (writeHotkey < 1 || writeHotkey > 8) return 0;
    return 0x71 + (writeHotkey - 1);
}

int WriteHotkeyQtKey(uint16_t writeHotkey) {
    if (writeHotkey < 1 || writeHotkey > 8) return 0;
    return Qt::Key_F2 + (writeHotkey - 1);
}

WriteHotkeyEvent::WriteHotkeyEvent(int id) : QEvent(eventType()), id_(id) {}

QEvent::Type WriteHotkeyEvent::eventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

bool RegisterWriteHotkey(QWidget* window, uint16_t writeHotkey) {
    Release();
    const int virtualKey = WriteHotkeyVirtualKey(writeHotkey);
    if (!window || virtualKey == 0) return false;

    std::unique_ptr<WriteHotkeyBackend> backend = ChooseBackend();
    QPointer<QWidget> target(window);
    // Posted, not sent: the window handles the press from its own event loop,
    // outside the platform's event filter.
    auto pressed = [target] {
        if (target) QCoreApplication::postEvent(target, new WriteHotkeyEvent(kWriteHotkeyId));
    };
    if (!backend->grab(window, virtualKey, pressed)) return false;

    Registration& r = Current();
    r.window = window;
    r.virtualKey = virtualKey;
    r.backend = std::move(backend);
    // A window that goes away without releasing the key releases it here.
    r.destroyed = QObject::connect(window, &QObject::destroyed, [] { Release(); });
    return true;
}

void UnregisterWriteHotkey(QWidget* window) {
    if (Current().backend && Current().window == window) Release();
}

bool WriteHotkeyMayAct(const QWidget* window) {
    if (!window || WarningShowing()) return false;
    const QWidget* modal = QApplication::activeModalWidget();
    return !modal || modal == window->window();
}

WriteHotkeyRegistration CurrentWriteHotkey() {
    const Registration& r = Current();
    WriteHotkeyRegistration out;
    if (r.backend) {
        out.window = r.window;
        out.virtualKey = r.virtualKey;
        out.id = kWriteHotkeyId;
        out.backend = r.backend->name();
    }
    return out;
}
