// The program's resources as data: dialog templates, the string table, icons and bitmaps.
// The program registers its own set once at start-up; the window system builds windows from it.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "platform/Types.h"

enum class ControlClass { Button, Static, Edit, ComboBox };

// Control styles that the backends act on.
namespace ControlStyle {
constexpr UINT PushButton = 0x0001;
constexpr UINT DefPushButton = 0x0002;
constexpr UINT GroupBox = 0x0004;
constexpr UINT OwnerDraw = 0x0008;
constexpr UINT TabStop = 0x0010;
constexpr UINT Group = 0x0020;
constexpr UINT Border = 0x0040;
constexpr UINT AutoHScroll = 0x0080;
constexpr UINT Icon = 0x0100;
constexpr UINT Bitmap = 0x0200;
constexpr UINT NoPrefix = 0x0400;
constexpr UINT DropDown = 0x0800;
constexpr UINT VScroll = 0x1000;
}  // namespace ControlStyle

// Window styles of a dialog template that the backends act on.
namespace WindowStyle {
constexpr UINT SysMenu = 0x0001;
constexpr UINT MinimizeBox = 0x0002;
constexpr UINT MaximizeBox = 0x0004;
constexpr UINT ThickFrame = 0x0008;  // a sizing border
}  // namespace WindowStyle

// One control of a template; position and size in dialog units.
struct ControlTemplate {
    int nID;
    const char* pszIDName;  // the id's name, e.g. "IDC_CONNECT"; the object name of the real control
    ControlClass eClass;
    const char* pszCaption;  // text, or empty
    int x, y, cx, cy;
    UINT nStyle;
    UINT nImageID = 0;                      // icon or bitmap of a picture control
    const char* pszAccessibleName = nullptr;  // for screen readers when the caption says nothing
};

struct DialogTemplate {
    UINT nID;
    const char* pszCaption;
    const char* pszFontName;
    int nFontPoints;
    int cx, cy;
    UINT nWindowStyle;  // WindowStyle bits
    std::span<const ControlTemplate> controls;
    std::span<const std::pair<int, const char*>> initialComboEntries;  // control id, entry text
};

struct StringResource {
    UINT nID;
    const char* pszText;
};

// A picture drawn as text: palette entries "X#rrggbb" give each pixel character its colour.
struct ImageResource {
    UINT nID;
    int cx, cy;
    std::span<const char* const> palette;  // each "X#rrggbb"
    std::span<const char* const> rows;
};

struct IconResource {
    UINT nID;
    const ImageResource* pLarge;  // 32 x 32
    const ImageResource* pSmall;  // 16 x 16
};

// The entries of a window's system menu that the window system provides, in the program's language.
struct SystemMenuTexts {
    const char* pszMove;
    const char* pszMinimize;
    const char* pszClose;
};

struct ResourceSet {
    std::span<const DialogTemplate* const> dialogs;
    const SystemMenuTexts* pSystemMenu;
    std::span<const StringResource> strings;
    std::span<const IconResource* const> icons;
    std::span<const ImageResource* const> bitmaps;
};

// Registers the program's resources; `resources` must outlive every later lookup.
void AfxSetResources(const ResourceSet* resources);

// Lookups in the registered set; null (or false) when the id is not there.
const DialogTemplate* AfxFindDialog(UINT nID);
bool AfxLoadString(UINT nID, std::string& text);
HICON AfxLoadIcon(UINT nID);
const ImageResource* AfxFindBitmap(UINT nID);
// The system menu's own entries; null when the program registered none.
const SystemMenuTexts* AfxSystemMenuTexts();
