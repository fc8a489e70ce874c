#include "platform/KeySynth.h"

#include <QGuiApplication>

#ifdef LQ_HAVE_XTEST
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#endif

namespace lq {

XTestKeySynth::XTestKeySynth() {
#ifdef LQ_HAVE_XTEST
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ||
        QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    Display* d = XOpenDisplay(nullptr);
    if (!d) return;
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(d, &event, &error, &major, &minor)) {
        XCloseDisplay(d);
        return;
    }
    display_ = d;
#endif
}

XTestKeySynth::~XTestKeySynth() {
#ifdef LQ_HAVE_XTEST
    if (display_) XCloseDisplay(static_cast<Display*>(display_));
#endif
}

bool XTestKeySynth::Send(SynthKey key, bool down) {
#ifdef LQ_HAVE_XTEST
    if (!display_) return false;
    Display* d = static_cast<Display*>(display_);
    const KeyCode code = XKeysymToKeycode(d, key == SynthKey::ControlLeft ? XK_Control_L : XK_c);
    if (code == 0) return false;
    return XTestFakeKeyEvent(d, code, down ? True : False, CurrentTime) != 0;
#else
    (void)key;
    (void)down;
    return false;
#endif
}

void XTestKeySynth::Flush() {
#ifdef LQ_HAVE_XTEST
    if (display_) XFlush(static_cast<Display*>(display_));
#endif
}

}  // namespace lq
