// Small pieces the editor tests share: finding a named control, and Timing I
// values that pass every check.
#pragma once

#include <tolvane/records.h>

#include <QLatin1String>
#include <QWidget>
#include <QtGlobal>

// The child `name` of `parent`; a test without it cannot go on.
template <typename T>
T* Child(QWidget* parent, const char* name) {
    T* child = parent->findChild<T*>(QLatin1String(name));
    if (!child) qFatal("missing child %s", name);
    return child;
}

// A VGA timing that every Timing I and Timing II check accepts.
inline void SetGoodTiming(PanelRecord& r) {
    r.vFreqMin = 50;
    r.vFreqTyp = 60;
    r.vFreqMax = 75;
    r.maxDisplayClock = 65000;
    r.hPulseWidth = 96;
    r.hBackPorch = 48;
    r.hMinTotal = 800;
    r.vPulseWidth = 2;
    r.vBackPorch = 33;
    r.vMinTotal = 525;
}
