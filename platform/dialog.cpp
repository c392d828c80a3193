// The dialog manager: a modal dialog made from an extended dialog template resource, its
// window procedure (the default dialog processing around the application's dialog
// procedure), and the modal loop.
//
// DLGTEMPLATEEX, little-endian: dlgVer 1, signature 0xFFFF, helpID, exStyle, style (DWORDs),
// item count (WORD), x, y, cx, cy (shorts, dialog units), then menu, class and title as
// "sz_Or_Ord" fields (0 = none, 0xFFFF + WORD = ordinal, else a UTF-16 string ending in 0);
// with DS_SETFONT the font follows: point size, weight (WORDs), italic, charset (BYTEs), face
// name (UTF-16). Items follow, each on a 4-byte boundary: helpID, exStyle, style (DWORDs),
// x, y, cx, cy (shorts), id (DWORD), class and title (sz_Or_Ord), extra byte count (WORD)
// and that many bytes.
//
// Dialog units: a horizontal unit is a quarter of the font's average character width, a
// vertical unit an eighth of its height, rounded to the nearest pixel.
#include <cstring>
#include <strings.h>

#include "platform/window_internal.h"
#include "platform/win32_resource.h"

const char kPlatDialogClass[] = "#32770";

namespace {

// Metrics of dialog fonts at 96 dots per inch: average character width and height in pixels.
struct PlatFontMetrics {
  const char* face;
  WORD points;
  LONG averageWidth;
  LONG height;
};
const PlatFontMetrics kFontMetrics[] = {
    {"MS Sans Serif", 8, 6, 13},
    {"MS Shell Dlg", 8, 6, 13},
    {"MS Shell Dlg 2", 8, 6, 13},
    {"Tahoma", 8, 6, 13},
};
// The system font, for templates without DS_SETFONT.
constexpr LONG kSystemFontWidth = 8, kSystemFontHeight = 16;

// Control classes named by ordinal in a template.
const char* const kOrdinalClasses[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"};

struct PlatTemplateReader {
  const BYTE* data;
  DWORD size;
  DWORD at;
  bool ok;

  bool Need(DWORD count) {
    if (!ok || count > size - at) ok = false;
    return ok;
  }
  WORD Word() {
    if (!Need(2)) return 0;
    WORD v = (WORD)(data[at] | data[at + 1] << 8);
    at += 2;
    return v;
  }
  DWORD Dword() {
    DWORD lo = Word();
    return lo | (DWORD)Word() << 16;
  }
  BYTE Byte() {
    if (!Need(1)) return 0;
    return data[at++];
  }
  void Align4() { at = at + 3 < size ? (at + 3) & ~3u : size; }
  // A UTF-16 string ending in 0, as UTF-8.
  std::string String() {
    std::string out;
    for (;;) {
      DWORD c = Word();
      if (!ok || c == 0) return out;
      if (c >= 0xD800 && c < 0xDC00) {
        DWORD low = Word();
        c = low >= 0xDC00 && low < 0xE000 ? 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00) : 0xFFFD;
      } else if (c >= 0xDC00 && c < 0xE000) {
        c = 0xFFFD;
      }
      if (c < 0x80) {
        out += (char)c;
      } else if (c < 0x800) {
        out += (char)(0xC0 | c >> 6);
        out += (char)(0x80 | (c & 0x3F));
      } else if (c < 0x10000) {
        out += (char)(0xE0 | c >> 12);
        out += (char)(0x80 | ((c >> 6) & 0x3F));
        out += (char)(0x80 | (c & 0x3F));
      } else {
        out += (char)(0xF0 | c >> 18);
        out += (char)(0x80 | ((c >> 12) & 0x3F));
        out += (char)(0x80 | ((c >> 6) & 0x3F));
        out += (char)(0x80 | (c & 0x3F));
      }
    }
  }
  // sz_Or_Ord: the string, or "#ordinal" marked by `ordinal` != 0.
  std::string NameOrOrdinal(WORD* ordinal) {
    *ordinal = 0;
    WORD first = Word();
    if (first == 0) return "";
    if (first == 0xFFFF) {
      *ordinal = Word();
      return "";
    }
    at -= 2;
    return String();
  }
};

struct PlatDialogItem {
  DWORD exStyle;
  DWORD style;
  SHORT x, y, cx, cy;
  DWORD id;
  std::string className;
  std::string title;
};

struct PlatDialogTemplate {
  DWORD exStyle;
  DWORD style;
  SHORT x, y, cx, cy;
  std::string className;
  std::string title;
  bool hasFont;
  WORD points;
  std::string face;
  std::vector<PlatDialogItem> items;
};

bool PlatParseTemplate(const BYTE* data, DWORD size, PlatDialogTemplate* t) {
  PlatTemplateReader r{data, size, 0, true};
  if (r.Word() != 1 || r.Word() != 0xFFFF) return false;
  r.Dword();  // help id
  t->exStyle = r.Dword();
  t->style = r.Dword();
  WORD count = r.Word();
  t->x = (SHORT)r.Word();
  t->y = (SHORT)r.Word();
  t->cx = (SHORT)r.Word();
  t->cy = (SHORT)r.Word();
  WORD ordinal;
  r.NameOrOrdinal(&ordinal);  // menu: dialogs of ours have none
  t->className = r.NameOrOrdinal(&ordinal);
  if (ordinal) return false;  // a class atom, which no template of ours uses
  t->title = r.String();
  t->hasFont = (t->style & DS_SETFONT) != 0;
  if (t->hasFont) {
    t->points = r.Word();
    r.Word();  // weight
    r.Byte();  // italic
    r.Byte();  // charset
    t->face = r.String();
  }
  for (WORD i = 0; i < count && r.ok; ++i) {
    PlatDialogItem item;
    r.Align4();
    r.Dword();  // help id
    item.exStyle = r.Dword();
    item.style = r.Dword();
    item.x = (SHORT)r.Word();
    item.y = (SHORT)r.Word();
    item.cx = (SHORT)r.Word();
    item.cy = (SHORT)r.Word();
    item.id = r.Dword();
    item.className = r.NameOrOrdinal(&ordinal);
    if (ordinal) {
      if (ordinal < 0x80 || ordinal > 0x85) return false;
      item.className = kOrdinalClasses[ordinal - 0x80];
    }
    item.title = r.NameOrOrdinal(&ordinal);
    WORD extra = r.Word();
    if (r.Need(extra)) r.at += extra;
    t->items.push_back(item);
  }
  return r.ok;
}

LONG PlatMulDiv(LONG value, LONG numerator, LONG denominator) {
  int64_t product = (int64_t)value * numerator;
  int64_t half = denominator / 2;
  return (LONG)(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

void PlatBaseUnits(const PlatDialogTemplate& t, LONG* unitX, LONG* unitY) {
  if (!t.hasFont) {
    *unitX = kSystemFontWidth;
    *unitY = kSystemFontHeight;
    return;
  }
  for (const PlatFontMetrics& m : kFontMetrics) {
    if (strcasecmp(m.face, t.face.c_str()) == 0 && m.points == t.points) {
      *unitX = m.averageWidth;
      *unitY = m.height;
      return;
    }
  }
  // Any other face or size: scaled from the 8-point dialog font.
  *unitX = std::max<LONG>(1, PlatMulDiv(6, t.points, 8));
  *unitY = std::max<LONG>(1, PlatMulDiv(13, t.points, 8));
}

RECT PlatUnitsToPixels(SHORT x, SHORT y, SHORT cx, SHORT cy, LONG unitX, LONG unitY) {
  LONG left = PlatMulDiv(x, unitX, 4), top = PlatMulDiv(y, unitY, 8);
  return RECT{left, top, left + PlatMulDiv(cx, unitX, 4), top + PlatMulDiv(cy, unitY, 8)};
}

HWND PlatFirstTabStop(HWND dialog) {
  PlatWindow* window = PlatWindowGet(dialog);
  if (!window) return nullptr;
  for (DWORD child : window->children) {
    PlatWindow* c = PlatWindowGetNumber(child);
    if (c && (c->style & WS_TABSTOP) && (c->style & WS_VISIBLE) && !(c->style & WS_DISABLED))
      return PlatHandleFromNumber<HWND>(child);
  }
  return nullptr;
}

bool PlatIsWithin(HWND window, HWND ancestor) {
  for (HWND w = window; w; w = GetParent(w))
    if (w == ancestor) return true;
  return false;
}

// Enter and Escape inside the dialog become the commands IDOK and IDCANCEL.
bool PlatDialogKey(HWND dialog, const MSG& message) {
  if (message.message != WM_KEYDOWN || !PlatIsWithin(message.hwnd, dialog)) return false;
  if (message.wParam == VK_RETURN) SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
  else if (message.wParam == VK_ESCAPE) SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
  else return false;
  return true;
}

HWND PlatCreateDialog(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param, bool* visible) {
  HRSRC found = FindResourceA(instance, name, RT_DIALOG);
  HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
  const BYTE* data = loaded ? (const BYTE*)LockResource(loaded) : nullptr;
  PlatDialogTemplate t{};
  if (!data || !PlatParseTemplate(data, SizeofResource(instance, found), &t)) return nullptr;

  LONG unitX, unitY;
  PlatBaseUnits(t, &unitX, &unitY);
  RECT rect = PlatUnitsToPixels(t.x, t.y, t.cx, t.cy, unitX, unitY);
  LONG width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (t.style & DS_CENTER) {
    SIZE screen = PlatBackendGet().screenSize();
    rect.left = (screen.cx - width) / 2;
    rect.top = (screen.cy - height) / 2;
  } else if (owner) {
    POINT origin{rect.left, rect.top};
    ClientToScreen(owner, &origin);
    rect.left = origin.x;
    rect.top = origin.y;
  }
  DWORD style = t.style;
  DWORD exStyle = t.exStyle;
  // A dialog meant to sit inside another window has no caption of its own.
  if (style & DS_CONTROL) {
    style &= ~(WS_CAPTION | WS_SYSMENU);
    exStyle |= WS_EX_CONTROLPARENT;
  }
  *visible = (style & WS_VISIBLE) != 0;
  const char* className = t.className.empty() ? kPlatDialogClass : t.className.c_str();
  HWND dialog = CreateWindowExA(exStyle, className, t.title.c_str(), style & ~WS_VISIBLE, rect.left, rect.top,
                                width, height, nullptr, nullptr, instance, nullptr);
  PlatWindow* record = PlatWindowGet(dialog);
  if (!record) return nullptr;
  record->dialogProc = proc;

  for (const PlatDialogItem& item : t.items) {
    RECT r = PlatUnitsToPixels(item.x, item.y, item.cx, item.cy, unitX, unitY);
    HWND control = CreateWindowExA(item.exStyle, item.className.c_str(), item.title.c_str(), item.style | WS_CHILD,
                                   r.left, r.top, r.right - r.left, r.bottom - r.top, dialog,
                                   (HMENU)(UINT_PTR)item.id, instance, nullptr);
    if (!control) {
      DestroyWindow(dialog);
      return nullptr;
    }
  }
  HWND focus = PlatFirstTabStop(dialog);
  // TRUE asks for the focus on the first tab stop; FALSE means the procedure placed it.
  if (SendMessageA(dialog, WM_INITDIALOG, (WPARAM)focus, param) && focus && IsWindow(focus)) SetFocus(focus);
  return IsWindow(dialog) ? dialog : nullptr;
}

}  // namespace

LRESULT CALLBACK PlatDialogWindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  PlatWindow* window = PlatWindowGet(handle);
  DLGPROC proc = window ? window->dialogProc : nullptr;
  INT_PTR result = proc ? proc(handle, message, wParam, lParam) : 0;
  if (!IsWindow(handle)) return result;
  switch (message) {
    case WM_INITDIALOG:
      return result;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
      return result ? result : (LRESULT)GetSysColorBrush(COLOR_3DFACE);
    default:
      break;
  }
  if (result) return 0;  // the procedure handled it
  switch (message) {
    case WM_ERASEBKGND: {
      HBRUSH brush = (HBRUSH)SendMessageA(handle, WM_CTLCOLORDLG, wParam, (LPARAM)handle);
      RECT client;
      GetClientRect(handle, &client);
      FillRect((HDC)wParam, &client, brush ? brush : GetSysColorBrush(COLOR_3DFACE));
      return 1;
    }
    case WM_CLOSE:
      // A dialog closes through its procedure's EndDialog, or through its Cancel button.
      if (HWND cancel = GetDlgItem(handle, IDCANCEL)) SendMessageA(handle, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), (LPARAM)cancel);
      return 0;
    default:
      return DefWindowProcA(handle, message, wParam, lParam);
  }
}

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC dialogProc, LPARAM initParam) {
  PlatBackendGet();
  PlatRegisterStandardClasses();
  bool visible = false;
  HWND dialog = PlatCreateDialog(instance, templateName, owner, dialogProc, initParam, &visible);
  if (!dialog) return -1;
  PlatWindow* record = PlatWindowGet(dialog);
  if (visible && !record->dialogEnded) {
    if (!(record->style & WS_VISIBLE)) ShowWindow(dialog, SW_SHOWNORMAL);
    UpdateWindow(dialog);
  }
  MSG message;
  while ((record = PlatWindowGet(dialog)) && !record->dialogEnded) {
    if (!GetMessageA(&message, nullptr, 0, 0)) {
      PostQuitMessage((int)message.wParam);  // the loop above this one must see it too
      DestroyWindow(dialog);
      return -1;
    }
    if (!PlatDialogKey(dialog, message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  if (!record) return -1;  // destroyed without EndDialog
  INT_PTR result = record->dialogResult;
  DestroyWindow(dialog);
  return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  PlatWindow* record = PlatWindowGet(dialog);
  if (!record || (!record->dialogProc && record->className != kPlatDialogClass)) return FALSE;
  record->dialogEnded = true;
  record->dialogResult = result;
  ShowWindow(dialog, SW_HIDE);
  PostMessageA(dialog, WM_NULL, 0, 0);  // wakes a loop that waits, so it sees the end
  return TRUE;
}
