// Accelerator table 111: the configuration window's whole keyboard
// interface. The window is a modeless dialog whose messages never pass the
// dialog manager's keyboard handling, so Tab, Shift+Tab, Enter, Esc and the
// Alt letters all come from here, through the main message loop.
#include <vtresource.h>
#include <windows.h>

#include "resources/resource.h"

namespace {

constexpr BYTE kKey = FVIRTKEY | FNOINVERT;

// Columns: flags, virtual key, command. There is deliberately no Alt+H:
// F1 and the Help button open the help.
constexpr ACCEL kAcceleratorEntries[] = {
    {kKey | FALT, 'A', IDC_APPLY},
    {kKey | FALT, 'B', IDC_ABOUT},
    {kKey | FALT, 'C', IDM_CONFIGURE},
    {kKey | FALT, 'F', IDC_FINGER},
    {kKey | FALT, 'L', IDC_AWAY_LOCKED},
    {kKey | FALT, 'O', IDC_OK},
    {kKey | FALT, 'R', IDC_BROWSE_PLAN},
    {kKey | FALT, 'S', IDC_STOP_SERVER},
    {kKey | FALT, 'W', IDC_BROWSE_AWAY},
    {kKey, VK_ESCAPE, IDC_CANCEL},
    {kKey, VK_F1, IDM_HELP},
    {kKey, VK_RETURN, IDM_ENTER_OK},
    {kKey, VK_TAB, IDM_NEXT_CONTROL},
    {kKey | FSHIFT, VK_TAB, IDM_PREVIOUS_CONTROL},
};

constexpr vtres::Accelerators kAccelerators = {
    kAcceleratorEntries,
    static_cast<int>(sizeof kAcceleratorEntries /
                     sizeof kAcceleratorEntries[0]),
};

}  // namespace

VT_RESOURCE(Accelerator, IDR_ACCELERATORS, kAccelerators);
