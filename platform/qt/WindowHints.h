// What a window manager is told about a dialog's frame, derived from its template's window styles,
// so that it offers the buttons and functions the template offers and no others.
#pragma once

#include <QWidget>
#include <cstdint>

#include "platform/Types.h"

// The _MOTIF_WM_HINTS property that X11 window managers read for decorations and functions.
struct MotifHints {
    uint32_t flags;
    uint32_t functions;
    uint32_t decorations;
    uint32_t inputMode;
    uint32_t status;

    bool operator==(const MotifHints&) const = default;
};

Qt::WindowFlags WindowFlagsFor(UINT nWindowStyle);
MotifHints MotifHintsFor(UINT nWindowStyle);

// Sets the hints on the window's native window, creating it if needed. Qt itself always offers a
// sizing function; this replaces its hints. Does nothing outside X11.
void ApplyMotifHints(QWidget& window, const MotifHints& hints);
