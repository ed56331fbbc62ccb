#include "app/win32/main_form.h"

#include <winsock2.h>
#include <windows.h>

#include <vector>

#include "cli/win32/window_procedure.h"
#include "app/memo_log.h"

namespace tavelor {

namespace {

constexpr int kMemoId = 101;
constexpr int kButtonId = 102;
constexpr UINT kFlushLogMessage = WM_APP + 2;
// Fixed single border: a caption, the system menu and minimize, but no sizing frame.
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

HWND W(void* window) { return static_cast<HWND>(window); }


}  // namespace

Win32MainForm::~Win32MainForm() {
  if (window_ && IsWindow(W(window_))) DestroyWindow(W(window_));
  if (font_) DeleteObject(static_cast<HFONT>(font_));
}

bool Win32MainForm::Create() {
  HINSTANCE instance = static_cast<HINSTANCE>(instance_);
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = OwnedWindowProc<Win32MainForm>;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIcon(NULL, IDI_APPLICATION);
  windowClass.hCursor = LoadCursor(NULL, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = kWindowClass;
  if (!RegisterClassExA(&windowClass)) return false;

  // The size is that of the client area; the frame comes on top of it.
  RECT frame = {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRect(&frame, kFormStyle, FALSE);
  HWND window = CreateWindowExA(0, kWindowClass, "", kFormStyle, 0, 0, frame.right - frame.left,
                                frame.bottom - frame.top, NULL, NULL, instance, this);
  if (!window) return false;
  window_ = window;
  CreateControls();
  return true;
}

void Win32MainForm::Show(int showCommand) {
  ShowWindow(W(window_), showCommand);
  UpdateWindow(W(window_));
}

void Win32MainForm::CreateControls() {
  HINSTANCE instance = static_cast<HINSTANCE>(instance_);
  // 13 pixels of character height; fixed pixels, not scaled for the screen's resolution.
  font_ = CreateFontA(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                      DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
  SendMessageA(W(window_), WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);

  // Memo1 fills the client area; no ES_AUTOHSCROLL, so long lines wrap.
  HWND memo = CreateWindowExA(
      WS_EX_CLIENTEDGE, "EDIT", "",
      WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL |
          ES_WANTRETURN,
      0, 0, kClientWidth, kClientHeight, W(window_),
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kMemoId)), instance, NULL);
  SendMessageA(memo, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  // Above the log's own bound, so the bound is what limits the text, never the edit box.
  SendMessageA(memo, EM_SETLIMITTEXT, kMemoLimit + 0x10000, 0);
  memo_ = memo;

  // BitBtn1 lies beyond the client width: reachable by Tab from the log, pressed with Space.
  HWND button = CreateWindowExA(0, "BUTTON", "Debug Off",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 376, 8, 75, 25,
                                W(window_), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonId)),
                                instance, NULL);
  SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  button_ = button;
  focused_ = memo_;
}

int Win32MainForm::Run() {
  MSG message;
  while (GetMessageA(&message, NULL, 0, 0) > 0) {
    // The log would take Tab as a character; here it moves the focus, as in a dialog.
    if (message.message == WM_KEYDOWN && message.wParam == VK_TAB && memo_ &&
        (message.hwnd == W(memo_) || message.hwnd == W(button_))) {
      MoveFocus();
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

void Win32MainForm::MoveFocus() {
  // Two tab stops: Tab and Shift+Tab both go to the other one.
  HWND next = GetFocus() == W(button_) ? W(memo_) : W(button_);
  SetFocus(next);
  focused_ = next;
}

intptr_t Win32MainForm::HandleMessage(void* handle, unsigned message, uintptr_t wParam,
                                      intptr_t lParam) {
  HWND window = W(handle);
  switch (message) {
    case kFlushLogMessage:
      FlushLog();
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kButtonId && HIWORD(wParam) == BN_CLICKED) {
        if (main_) BitBtn1Click();
        return 0;
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus == W(memo_) || focus == W(button_)) focused_ = focus;
      } else if (focused_) {
        SetFocus(W(focused_));
      }
      return 0;
    case WM_SETFOCUS:
      if (focused_) SetFocus(W(focused_));
      return 0;
    case WM_CLOSE:
      if (main_) FormClose();
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      memo_ = nullptr;
      button_ = nullptr;
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      window_ = nullptr;
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void Win32MainForm::AppendLog(const std::string& line) {
  // The lines of one event go into the edit box together, once the event is done: every
  // insertion updates the box's scroll bar, and a debug reply writes a dozen lines or more.
  pendingLog_ += MemoAppendText(line);
  if (!flushPosted_ && window_)
    flushPosted_ = PostMessageA(W(window_), kFlushLogMessage, 0, 0) != FALSE;
}

void Win32MainForm::FlushLog() {
  flushPosted_ = false;
  HWND memo = W(memo_);
  if (!memo || pendingLog_.empty()) return;
  if (pendingLog_.size() > kMemoKeep) {
    // More than the box keeps, from one event: only its newest lines can stay.
    const size_t cut = MemoCutLength(pendingLog_, 0, kMemoKeep, kMemoKeep);
    pendingLog_ = MemoAppendText(pendingLog_.substr(cut));
  }
  int length = GetWindowTextLengthA(memo);
  if (static_cast<size_t>(length) + pendingLog_.size() > kMemoLimit) {
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    const int got = GetWindowTextA(memo, buffer.data(), length + 1);
    const std::string text(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0);
    const size_t cut = MemoCutLength(text, pendingLog_.size());
    SendMessageA(memo, EM_SETSEL, 0, static_cast<LPARAM>(cut));
    SendMessageA(memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(""));
    length = GetWindowTextLengthA(memo);
  }
  // At the end, as new last lines; the caret follows, so the newest line is in view.
  SendMessageA(memo, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
  SendMessageA(memo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(pendingLog_.c_str()));
  pendingLog_.clear();
}

void Win32MainForm::SetCaption(const std::string& caption) {
  SetWindowTextA(W(window_), caption.c_str());
}

void Win32MainForm::SetDebugCaption(const std::string& caption) {
  SetWindowTextA(W(button_), caption.c_str());
}

void Win32MainForm::MoveToTopLeft() {
  SetWindowPos(W(window_), NULL, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32MainForm::ShowError(const std::string& text) {
  MessageBoxA(W(window_), text.c_str(), kApplicationTitle, MB_ICONERROR | MB_OK);
}

}  // namespace tavelor
