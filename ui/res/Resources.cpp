#include "ui/res/Resources.h"

#include "core/DeviceModel.h"
#include "link/Record.h"
#include "ui/res/Images.h"
#include "ui/res/Resource.h"

namespace {

using namespace ControlStyle;
using CC = ControlClass;

constexpr ControlTemplate kAboutControls[] = {
    {IDC_STATIC, "IDC_STATIC", CC::Static, "", 11, 17, 20, 20, Icon, IDR_MAINFRAME},
    {IDC_STATIC, "IDC_STATIC", CC::Static, "Mimicbox Version 4.2.3", 40, 10, 119, 8, NoPrefix | Group},
    {IDOK, "IDOK", CC::Button, "OK", 178, 7, 50, 14, DefPushButton | Group | TabStop},
};

constexpr DialogTemplate kAboutBox = {
    IDD_ABOUTBOX, "Info über Mimicbox", "MS Sans Serif", 8, 235, 55, WindowStyle::SysMenu, kAboutControls, {},
};

// In template order, which is also the tab order.
constexpr ControlTemplate kMainControls[] = {
    {IDOK, "IDOK", CC::Button, "Beenden", 175, 35, 50, 14, DefPushButton | TabStop},
    {IDC_PICTURE, "IDC_PICTURE", CC::Static, "", 74, 125, 80, 58, Bitmap, IDB_DEVICE},
    {IDC_DOWN, "IDC_DOWN", CC::Button, "-", 30, 130, 36, 18, PushButton | TabStop},
    {IDC_UP_FAST, "IDC_UP_FAST", CC::Button, "+ +", 170, 160, 36, 18, PushButton | TabStop},
    {IDC_UP, "IDC_UP", CC::Button, "+", 170, 130, 36, 18, PushButton | TabStop},
    {IDC_DOWN_FAST, "IDC_DOWN_FAST", CC::Button, "- -", 30, 160, 36, 18, PushButton | TabStop},
    {IDC_TEMP, "IDC_TEMP", CC::Edit, "", 75, 192, 40, 12, Border | AutoHScroll | TabStop},
    {IDC_TEMP_UNIT, "IDC_TEMP_UNIT", CC::Static, "°C", 123, 194, 15, 10, Group},
    {IDC_TEMP_LABEL, "IDC_TEMP_LABEL", CC::Static, "Temperatur", 30, 194, 39, 10, Group},
    {IDC_SERVER, "IDC_SERVER", CC::Edit, "", 13, 90, 82, 12, Border | AutoHScroll | TabStop},
    {IDC_STATIC, "IDC_STATIC", CC::Static, "Name oder IP-Nummer", 12, 78, 85, 10, Group},
    {IDC_PORT, "IDC_PORT", CC::Edit, "", 115, 90, 39, 12, Border | AutoHScroll | TabStop},
    {IDC_STATIC, "IDC_STATIC", CC::Static, "Port", 116, 78, 20, 10, Group},
    {IDC_CONNECT, "IDC_CONNECT", CC::Button, "Verbinden", 173, 89, 50, 14, PushButton | TabStop},
    {IDC_SEND, "IDC_SEND", CC::Button, "Senden", 150, 192, 45, 14, PushButton | TabStop},
    {IDC_STATIC, "IDC_STATIC", CC::Button, "Server", 5, 65, 230, 50, GroupBox},
    {IDC_TYPE, "IDC_TYPE", CC::ComboBox, "", 50, 10, 65, 45, DropDown | VScroll | TabStop},
    {IDC_STATIC, "IDC_STATIC", CC::Static, "Gerätetyp", 7, 11, 33, 10, Group},
    {IDC_SERIAL, "IDC_SERIAL", CC::ComboBox, "", 62, 35, 53, 105, DropDown | VScroll | TabStop},
    {IDC_STATIC, "IDC_STATIC", CC::Static, "Seriennummer", 5, 36, 50, 10, Group},
    {IDC_LED_OFF, "IDC_LED_OFF", CC::Button, "", 90, 125, 45, 40, OwnerDraw | TabStop, 0, "Aus"},
    {IDC_LED_ON, "IDC_LED_ON", CC::Button, "", 90, 170, 45, 40, OwnerDraw | TabStop, 0, "Ein"},
};

constexpr std::pair<int, const char*> kMainComboEntries[] = {
    {IDC_TYPE, mimicbox::MODEL_NAME_THERMO},
    {IDC_TYPE, mimicbox::MODEL_NAME_RELAY},
};

constexpr DialogTemplate kMainDialog = {
    IDD_MAIN, "Mimicbox", "MS Sans Serif", 8, 242, 221, WindowStyle::SysMenu | WindowStyle::MinimizeBox,
    kMainControls, kMainComboEntries,
};

constexpr const DialogTemplate* kDialogs[] = {&kAboutBox, &kMainDialog};

constexpr SystemMenuTexts kSystemMenu = {"&Verschieben", "Mi&nimieren", "&Schließen"};

constexpr StringResource kStrings[] = {
    {IDS_ABOUTBOX, "Inf&o über Mimicbox..."},
    {IDS_HEADER, mimicbox::RECORD_HEADER_FORMAT},
    {IDS_INT_FIELD, mimicbox::RECORD_INT_FIELD_FORMAT},
    {IDS_TEMP_BODY, mimicbox::RECORD_TEMP_BODY_FORMAT},
    {IDS_SWITCH_BODY, mimicbox::RECORD_SWITCH_BODY_FORMAT},
};

}  // namespace

const ResourceSet& MimicboxResources()
{
    static const IconResource* const icons[] = {&MainIcon()};
    static const ImageResource* const bitmaps[] = {&DeviceBitmap()};
    static const ResourceSet resources{kDialogs, &kSystemMenu, kStrings, icons, bitmaps};
    return resources;
}
