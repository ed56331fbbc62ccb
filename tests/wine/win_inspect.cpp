// win_inspect.exe: looks at TavelorServer's window from another process, the way a person at
// the machine would, for the Wine tests. One command per run; the answers are "key=value"
// lines on standard output (the log text itself for `memo`); exit code 0 on success.
//
//   wait CLASS MS     a top-level window of that class appears within MS milliseconds
//   info              caption, position, frame and client size, styles, Memo1 and BitBtn1
//   memo              Memo1's whole text, as is
//   click             presses BitBtn1 (BM_CLICK) and prints its caption
//   keys              Tab from Memo1, then Space on whatever has the focus; prints the caption
//   errorbox MS       waits for the program's error box, prints it, presses OK
//   close MS          closes the window and waits until it is gone
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <vector>

namespace {

constexpr const char* kFormClass = "TfMain";

void Out(const std::string& line) {
  const std::string text = line + "\n";
  std::fwrite(text.data(), 1, text.size(), stdout);
}

int Fail(const std::string& why) {
  Out("error=" + why);
  std::fflush(stdout);
  return 1;
}

std::string TextOf(HWND window) {
  const LRESULT length = SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
  // Room to spare: the text may grow between the two messages.
  std::vector<char> buffer(static_cast<size_t>(length > 0 ? length : 0) + 4096);
  const LRESULT got =
      SendMessageA(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  return std::string(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

std::string ClassOf(HWND window) {
  char name[128] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string Rect(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," +
         std::to_string(r.right - r.left) + "," + std::to_string(r.bottom - r.top);
}

// A child's rectangle in its parent's client coordinates.
RECT ChildRect(HWND parent, HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(NULL, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

HWND Form() { return FindWindowExA(NULL, NULL, kFormClass, NULL); }

HWND ChildOfClass(HWND parent, const char* className) {
  return FindWindowExA(parent, NULL, className, NULL);
}

bool WaitFor(DWORD ms, bool (*done)(void*), void* context) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (done(context)) return true;
    if (GetTickCount() - start >= ms) return false;
    Sleep(50);
  }
}

int Wait(const char* className, DWORD ms) {
  struct Context { const char* name; } context{className};
  const bool found = WaitFor(ms, [](void* c) {
    return FindWindowExA(NULL, NULL, static_cast<Context*>(c)->name, NULL) != NULL;
  }, &context);
  if (!found) return Fail(std::string("no window of class ") + className);
  Out("found=1");
  return 0;
}

int Info(HWND form) {
  Out("caption=" + TextOf(form));
  Out("class=" + ClassOf(form));
  RECT window;
  GetWindowRect(form, &window);
  Out("position=" + std::to_string(window.left) + "," + std::to_string(window.top));
  Out("frame=" + std::to_string(window.right - window.left) + "," +
      std::to_string(window.bottom - window.top));
  Out("foreground=" + std::string(GetForegroundWindow() == form ? "1" : "0"));
  RECT client;
  GetClientRect(form, &client);
  Out("client=" + std::to_string(client.right) + "," + std::to_string(client.bottom));
  const LONG_PTR style = GetWindowLongPtrA(form, GWL_STYLE);
  Out(std::string("sizable=") + ((style & WS_THICKFRAME) ? "1" : "0"));
  Out(std::string("maximizebox=") + ((style & WS_MAXIMIZEBOX) ? "1" : "0"));
  Out(std::string("caption_bar=") + ((style & WS_CAPTION) == WS_CAPTION ? "1" : "0"));
  Out(std::string("visible=") + (IsWindowVisible(form) ? "1" : "0"));

  HWND memo = ChildOfClass(form, "Edit");
  if (memo) {
    const LONG_PTR memoStyle = GetWindowLongPtrA(memo, GWL_STYLE);
    Out("memo=" + Rect(ChildRect(form, memo)));
    Out(std::string("memo_multiline=") + ((memoStyle & ES_MULTILINE) ? "1" : "0"));
    Out(std::string("memo_vscroll=") + ((memoStyle & WS_VSCROLL) ? "1" : "0"));
    Out(std::string("memo_wordwrap=") + ((memoStyle & ES_AUTOHSCROLL) ? "0" : "1"));
    Out(std::string("memo_readonly=") + ((memoStyle & ES_READONLY) ? "1" : "0"));
  }
  HWND button = ChildOfClass(form, "Button");
  if (button) {
    Out("button=" + Rect(ChildRect(form, button)));
    Out("button_caption=" + TextOf(button));
    Out(std::string("button_tabstop=") +
        ((GetWindowLongPtrA(button, GWL_STYLE) & WS_TABSTOP) ? "1" : "0"));
  }
  return 0;
}

int Click(HWND form) {
  HWND button = ChildOfClass(form, "Button");
  if (!button) return Fail("no button");
  SendMessageA(button, BM_CLICK, 0, 0);
  Out("button_caption=" + TextOf(button));
  return 0;
}

HWND FocusOf(HWND form) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(form, NULL), &info)) return NULL;
  return info.hwndFocus;
}

const char* FocusName(HWND form, HWND memo, HWND button) {
  HWND focus = FocusOf(form);
  return focus == memo ? "memo" : focus == button ? "button" : focus ? "other" : "none";
}

// The keys go where the keyboard would send them: to the control that has the focus.
int Keys(HWND form) {
  HWND memo = ChildOfClass(form, "Edit");
  HWND button = ChildOfClass(form, "Button");
  if (!memo || !button) return Fail("no controls");
  std::string path = FocusName(form, memo, button);
  for (int tab = 0; tab < 2; ++tab) {
    HWND from = FocusOf(form);
    if (!from) break;
    PostMessageA(from, WM_KEYDOWN, VK_TAB, 0x000F0001);
    PostMessageA(from, WM_KEYUP, VK_TAB, 0xC00F0001);
    struct Context { HWND form, from; } context{form, from};
    WaitFor(2000, [](void* c) {
      auto* x = static_cast<Context*>(c);
      return FocusOf(x->form) != x->from;
    }, &context);
    path += std::string(">") + FocusName(form, memo, button);
    if (FocusOf(form) == button) break;
  }
  Out("tab_path=" + path);
  if (FocusOf(form) != button) return 0;
  const std::string before = TextOf(button);
  PostMessageA(button, WM_KEYDOWN, VK_SPACE, 0x00390001);
  PostMessageA(button, WM_KEYUP, VK_SPACE, 0xC0390001);
  // Sent messages overtake posted ones, so wait for the caption to change instead.
  struct Context { HWND button; const std::string* before; } context{button, &before};
  WaitFor(2000, [](void* c) {
    auto* x = static_cast<Context*>(c);
    return TextOf(x->button) != *x->before;
  }, &context);
  Out("button_caption=" + TextOf(button));
  return 0;
}

struct BoxSearch {
  DWORD process;
  HWND box;
};

BOOL CALLBACK FindBox(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<BoxSearch*>(lParam);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == search->process && ClassOf(window) == "#32770" && IsWindowVisible(window)) {
    search->box = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK DescribeBoxChild(HWND child, LPARAM lParam) {
  auto* ok = reinterpret_cast<HWND*>(lParam);
  const std::string type = ClassOf(child);
  const LONG_PTR style = GetWindowLongPtrA(child, GWL_STYLE);
  if (type == "Static" && (style & SS_TYPEMASK) == SS_ICON) {
    Out("icon=1");
  } else if (type == "Static") {
    const std::string text = TextOf(child);
    if (!text.empty()) Out("text=" + text);
  } else if (type == "Button" && IsWindowVisible(child)) {
    Out("button=" + TextOf(child));
    if (GetDlgCtrlID(child) == IDOK) *ok = child;
  }
  return TRUE;
}

int ErrorBox(HWND form, DWORD ms) {
  BoxSearch search{0, NULL};
  GetWindowThreadProcessId(form, &search.process);
  const bool found = WaitFor(ms, [](void* c) {
    auto* s = static_cast<BoxSearch*>(c);
    s->box = NULL;
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(s));
    return s->box != NULL;
  }, &search);
  if (!found) return Fail("no error box");
  Out("title=" + TextOf(search.box));
  HWND ok = NULL;
  EnumChildWindows(search.box, DescribeBoxChild, reinterpret_cast<LPARAM>(&ok));
  PostMessageA(search.box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
  struct Context { HWND box; } context{search.box};
  const bool gone = WaitFor(5000, [](void* c) { return !IsWindow(static_cast<Context*>(c)->box); },
                            &context);
  Out(std::string("closed=") + (gone ? "1" : "0"));
  return 0;
}

int Close(HWND form, DWORD ms) {
  PostMessageA(form, WM_CLOSE, 0, 0);
  struct Context { HWND form; } context{form};
  if (!WaitFor(ms, [](void* c) { return !IsWindow(static_cast<Context*>(c)->form); }, &context))
    return Fail("the window is still open");
  Out("closed=1");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // the log's CR LF must arrive as they are
  if (argc < 2) return Fail("no command");
  const std::string command = argv[1];
  const DWORD ms = argc > 2 ? static_cast<DWORD>(std::strtoul(argv[argc - 1], NULL, 10)) : 0;
  int result;
  if (command == "wait") {
    result = argc > 3 ? Wait(argv[2], ms) : Fail("usage: wait CLASS MS");
  } else {
    HWND form = Form();
    if (!form) {
      result = Fail("no TavelorServer window");
    } else if (command == "info") {
      result = Info(form);
    } else if (command == "memo") {
      const std::string text = TextOf(form == NULL ? NULL : ChildOfClass(form, "Edit"));
      std::fwrite(text.data(), 1, text.size(), stdout);
      result = 0;
    } else if (command == "click") {
      result = Click(form);
    } else if (command == "keys") {
      result = Keys(form);
    } else if (command == "errorbox") {
      result = ErrorBox(form, ms);
    } else if (command == "close") {
      result = Close(form, ms);
    } else {
      result = Fail("unknown command " + command);
    }
  }
  std::fflush(stdout);
  return result;
}
