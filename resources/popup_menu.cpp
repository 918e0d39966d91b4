// Menu 105. Its one popup is the notification-area icon's menu; the menu
// is loaded once at start-up and its popup handle taken when it first opens.
#include <vtresource.h>
#include <windows.h>

#include "resources/resource.h"

namespace {

// Columns: flags, command, text. The popup is the last item of the top
// level, so it carries MF_END as well; its last item closes it.
constexpr vtres::MenuItem kPopupMenuItems[] = {
    {MF_POPUP | MF_END, 0, "Vellumtide"},
    {MF_STRING, IDC_ABOUT, "A&bout Vellumtide"},
    {MF_SEPARATOR, 0, nullptr},
    {MF_STRING, IDC_STOP_SERVER, "&Stop Server"},
    {MF_STRING, IDM_CONFIGURE, "&Configure"},
    {MF_STRING, IDC_FINGER, "&Finger"},
    {MF_SEPARATOR, 0, nullptr},
    {MF_STRING | MF_END, IDC_AWAY_LOCKED, "Away &Locked"},
};

constexpr vtres::Menu kPopupMenu = {
    kPopupMenuItems,
    static_cast<int>(sizeof kPopupMenuItems / sizeof kPopupMenuItems[0]),
};

}  // namespace

VT_RESOURCE(Menu, IDR_POPUP_MENU, kPopupMenu);
