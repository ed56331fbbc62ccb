// The window procedure of every window of ours: the object that made the window hands itself
// over as CreateWindowEx's last argument, and from then on gets the window's messages through
// its HandleMessage(window, message, wParam, lParam), which answers for them (DefWindowProc
// where it does nothing). Messages before WM_NCCREATE, and after the owner has let go of the
// window (its pointer set back to 0), go to DefWindowProc.
#pragma once

#include <windows.h>

namespace tavelor {

template <typename Owner>
LRESULT CALLBACK OwnedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!owner) return DefWindowProcA(window, message, wParam, lParam);
  return static_cast<LRESULT>(owner->HandleMessage(window, message, wParam, lParam));
}

}  // namespace tavelor
