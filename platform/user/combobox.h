// The drop-down list control's class. It joins the built-in classes the
// first time a dialog that uses it is built; registering it again is
// harmless.
#pragma once

#include <windows.h>

namespace vt::user {

void RegisterComboBoxClass();
LRESULT CALLBACK ComboBoxProc(HWND combo, UINT message, WPARAM wParam,
                              LPARAM lParam);

}  // namespace vt::user
