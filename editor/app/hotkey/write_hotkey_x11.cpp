// X11 backend of the write hotkey: a passive grab of the function key on the
// root window, so the key reaches the editor whichever window has the focus.
// The grab is made four times, without and with NumLock and CapsLock, because
// X11 matches the modifier state exactly. Presses arrive through Qt's xcb
// connection and are picked out by a native event filter.
#include "write_hotkey_backend.h"

#if defined(TOLVANE_HAVE_XCB)

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <X11/keysym.h>
#include <cstdlib>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace {

class X11Backend : public WriteHotkeyBackend, public QAbstractNativeEventFilter {
public:
    X11Backend(xcb_connection_t* connection, xcb_window_t root) : connection_(connection), root_(root) {}

    ~X11Backend() override { release(); }

    QString name() const override { return QStringLiteral("x11"); }

    bool grab(QWidget*, int virtualKey, std::function<void()> pressed) override {
        release();
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection_);
        if (!symbols) return false;
        // F2..F9 follow each other in the keysyms as in the virtual keys.
        const xcb_keysym_t keysym = XK_F2 + static_cast<xcb_keysym_t>(virtualKey - 0x71);
        keycode_ = FirstKeycode(symbols, keysym);
        const uint16_t numLock = NumLockMask(symbols);
        xcb_key_symbols_free(symbols);
        if (keycode_ == 0) return false;

        const uint16_t variants[] = {0, XCB_MOD_MASK_LOCK, numLock, static_cast<uint16_t>(numLock | XCB_MOD_MASK_LOCK)};
        for (uint16_t mods : variants) {
            bool already = false;
            for (uint16_t done : grabbed_) already = already || done == mods;
            if (already) continue;
            // owner_events = 0: the press is reported on the root window even
            // when one of the editor's own windows has the focus.
            const xcb_void_cookie_t cookie =
                xcb_grab_key_checked(connection_, 0, root_, mods, keycode_, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
            if (xcb_generic_error_t* error = xcb_request_check(connection_, cookie)) {
                // Another program holds the key (BadAccess): give up quietly.
                std::free(error);
                release();
                return false;
            }
            grabbed_.push_back(mods);
        }
        ignoredMods_ = static_cast<uint16_t>(numLock | XCB_MOD_MASK_LOCK);
        pressed_ = std::move(pressed);
        QCoreApplication::instance()->installNativeEventFilter(this);
        filtering_ = true;
        return true;
    }

    void release() override {
        if (filtering_ && QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
        filtering_ = false;
        for (uint16_t mods : grabbed_) xcb_ungrab_key(connection_, keycode_, root_, mods);
        if (!grabbed_.empty()) xcb_flush(connection_);
        grabbed_.clear();
        pressed_ = nullptr;
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t" || grabbed_.empty()) return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        const uint8_t type = event->response_type & 0x7F;
        if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return false;
        const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
        if (key->detail != keycode_ || key->event != root_) return false;
        if ((key->state & ~ignoredMods_ &
             (XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_2 | XCB_MOD_MASK_3 |
              XCB_MOD_MASK_4 | XCB_MOD_MASK_5)) != 0)
            return false;
        if (type == XCB_KEY_PRESS && pressed_) pressed_();
        return true;  // the release of our key is ours too
    }

private:
    static xcb_keycode_t FirstKeycode(xcb_key_symbols_t* symbols, xcb_keysym_t keysym) {
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysym);
        if (!codes) return 0;
        const xcb_keycode_t code = codes[0] == XCB_NO_SYMBOL ? 0 : codes[0];
        std::free(codes);
        return code;
    }

    // The modifier bit that NumLock sets; Mod2 on nearly every server.
    uint16_t NumLockMask(xcb_key_symbols_t* symbols) const {
        uint16_t mask = 0;
        xcb_keycode_t* numLockCodes = xcb_key_symbols_get_keycode(symbols, XK_Num_Lock);
        xcb_get_modifier_mapping_reply_t* reply =
            xcb_get_modifier_mapping_reply(connection_, xcb_get_modifier_mapping(connection_), nullptr);
        if (numLockCodes && reply) {
            const xcb_keycode_t* map = xcb_get_modifier_mapping_keycodes(reply);
            const int perModifier = reply->keycodes_per_modifier;
            for (int modifier = 0; modifier < 8 && mask == 0; ++modifier) {
                for (int i = 0; i < perModifier && mask == 0; ++i) {
                    const xcb_keycode_t code = map[modifier * perModifier + i];
                    for (const xcb_keycode_t* n = numLockCodes; code != 0 && *n != XCB_NO_SYMBOL; ++n)
                        if (*n == code) mask = static_cast<uint16_t>(1u << modifier);
                }
            }
        }
        std::free(reply);
        std::free(numLockCodes);
        return mask != 0 ? mask : static_cast<uint16_t>(XCB_MOD_MASK_2);
    }

    xcb_connection_t* connection_;
    xcb_window_t root_;
    xcb_keycode_t keycode_ = 0;
    uint16_t ignoredMods_ = 0;
    std::vector<uint16_t> grabbed_;
    std::function<void()> pressed_;
    bool filtering_ = false;
};

}  // namespace

std::unique_ptr<WriteHotkeyBackend> MakeX11WriteHotkeyBackend() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app || QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return nullptr;
    xcb_connection_t* connection = x11->connection();
    const xcb_setup_t* setup = xcb_get_setup(connection);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    if (screens.rem == 0) return nullptr;
    return std::make_unique<X11Backend>(connection, screens.data->root);
}

#else

std::unique_ptr<WriteHotkeyBackend> MakeX11WriteHotkeyBackend() { return nullptr; }

#endif
