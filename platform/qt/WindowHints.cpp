#include "platform/qt/WindowHints.h"

#include <QGuiApplication>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

#include "platform/Resources.h"

namespace {

// From the Motif window manager's property layout.
constexpr uint32_t MWM_HINTS_FUNCTIONS = 1u << 0;
constexpr uint32_t MWM_HINTS_DECORATIONS = 1u << 1;
constexpr uint32_t MWM_FUNC_RESIZE = 1u << 1;
constexpr uint32_t MWM_FUNC_MOVE = 1u << 2;
constexpr uint32_t MWM_FUNC_MINIMIZE = 1u << 3;
constexpr uint32_t MWM_FUNC_MAXIMIZE = 1u << 4;
constexpr uint32_t MWM_FUNC_CLOSE = 1u << 5;
constexpr uint32_t MWM_DECOR_BORDER = 1u << 1;
constexpr uint32_t MWM_DECOR_RESIZEH = 1u << 2;
constexpr uint32_t MWM_DECOR_TITLE = 1u << 3;
constexpr uint32_t MWM_DECOR_MENU = 1u << 4;
constexpr uint32_t MWM_DECOR_MINIMIZE = 1u << 5;
constexpr uint32_t MWM_DECOR_MAXIMIZE = 1u << 6;

uint32_t If(UINT nWindowStyle, UINT nStyle, uint32_t bits) { return (nWindowStyle & nStyle) ? bits : 0; }

}  // namespace

Qt::WindowFlags WindowFlagsFor(UINT nWindowStyle)
{
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (nWindowStyle & WindowStyle::SysMenu)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (nWindowStyle & WindowStyle::MinimizeBox)
        flags |= Qt::WindowMinimizeButtonHint;
    if (nWindowStyle & WindowStyle::MaximizeBox)
        flags |= Qt::WindowMaximizeButtonHint;
    return flags;
}

MotifHints MotifHintsFor(UINT nWindowStyle)
{
    using namespace WindowStyle;
    const uint32_t functions = MWM_FUNC_MOVE | If(nWindowStyle, SysMenu, MWM_FUNC_CLOSE) |
                               If(nWindowStyle, MinimizeBox, MWM_FUNC_MINIMIZE) |
                               If(nWindowStyle, MaximizeBox, MWM_FUNC_MAXIMIZE) |
                               If(nWindowStyle, ThickFrame, MWM_FUNC_RESIZE);
    const uint32_t decorations = MWM_DECOR_BORDER | MWM_DECOR_TITLE | If(nWindowStyle, SysMenu, MWM_DECOR_MENU) |
                                 If(nWindowStyle, MinimizeBox, MWM_DECOR_MINIMIZE) |
                                 If(nWindowStyle, MaximizeBox, MWM_DECOR_MAXIMIZE) |
                                 If(nWindowStyle, ThickFrame, MWM_DECOR_RESIZEH);
    return MotifHints{MWM_HINTS_FUNCTIONS | MWM_HINTS_DECORATIONS, functions, decorations, 0, 0};
}

void ApplyMotifHints(QWidget& window, const MotifHints& hints)
{
    auto* pX11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!pX11 || !pX11->connection())
        return;
    xcb_connection_t* pConnection = pX11->connection();
    const char* pszName = "_MOTIF_WM_HINTS";
    xcb_intern_atom_reply_t* pAtom = xcb_intern_atom_reply(
        pConnection, xcb_intern_atom(pConnection, 0, static_cast<uint16_t>(std::strlen(pszName)), pszName), nullptr);
    if (!pAtom)
        return;
    const auto nWindow = static_cast<xcb_window_t>(window.winId());
    xcb_change_property(pConnection, XCB_PROP_MODE_REPLACE, nWindow, pAtom->atom, pAtom->atom, 32,
                        sizeof hints / sizeof(uint32_t), &hints);
    xcb_flush(pConnection);
    std::free(pAtom);
}
