// The drop-down list control's window procedure, for the table of built-in
// classes.
#pragma once

#include <windows.h>

namespace vt::user {

// Whether the list is dropped, the full height and the item chosen when it
// dropped.
inline constexpr int kComboBoxExtraBytes = 3 * sizeof(LONG_PTR);

LRESULT CALLBACK ComboBoxProc(HWND combo, UINT message, WPARAM wParam,
                              LPARAM lParam);

}  // namespace vt::user
