// The dialogs at the screen's DPI (the --dpi runs, one per DPI): laid out in
// dialog units of their font at that DPI, so that they grow with it, with
// every control inside, the list and the status line in their places. Which
// control texts do not fit their controls is noted, not failed: that
// depends on the font the system has for the dialog font, and the
// templates' coordinates stay as they are.
#include <windows.h>

#include <string>
#include <vector>

#include "resource_ids.h"
#include "session.h"
#include "test_files.h"
#include "wine_test.h"

namespace wine_e2e {
namespace {

const wchar_t kDialogFont[] = L"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF";  // 10 points

// The dialog font at the run's DPI, made as the dialog manager makes it,
// in a memory DC: the base units, and text widths.
class DialogFont {
 public:
  DialogFont() : dc_(CreateCompatibleDC(nullptr)) {
    font_ = CreateFontW(-MulDiv(10, runDpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                        DEFAULT_CHARSET, 0, 0, PROOF_QUALITY, FF_DONTCARE, kDialogFont);
    old_ = SelectObject(dc_, font_);
    TEXTMETRICW metrics;
    GetTextMetricsW(dc_, &metrics);
    SIZE letters;
    GetTextExtentPoint32W(dc_, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52,
                          &letters);
    unitX_ = (letters.cx / 26 + 1) / 2;
    unitY_ = metrics.tmHeight;
    GetCharWidth32W(dc_, L'0', L'0', &zeroWidth_);
  }
  ~DialogFont() {
    SelectObject(dc_, old_);
    DeleteObject(font_);
    DeleteDC(dc_);
  }
  DialogFont(const DialogFont&) = delete;
  DialogFont& operator=(const DialogFont&) = delete;

  int X(int units) const { return MulDiv(units, unitX_, 4); }
  int Y(int units) const { return MulDiv(units, unitY_, 8); }
  int ZeroWidth() const { return zeroWidth_; }
  int Width(const std::wstring& text) const {
    SIZE size = {};
    GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
  }

 private:
  HDC dc_;
  HFONT font_;
  HGDIOBJ old_;
  int unitX_ = 0, unitY_ = 0, zeroWidth_ = 0;
};

RECT RectIn(HWND dialog, HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::string Show(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" +
         std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

bool Near(long a, long b) { return a - b <= 1 && b - a <= 1; }

std::vector<HWND> Controls(HWND dialog) {
  std::vector<HWND> controls;
  for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
    controls.push_back(c);
  return controls;
}

// The dialog's client area is its template size in dialog units, and every
// control lies inside it. A control's place and size are rounded to pixels
// apart, so one that ends on the dialog's edge may stick out by a pixel.
void ExpectScaledAndWhole(HWND dialog, const DialogFont& font, int width, int height,
                          const std::string& name) {
  RECT client;
  GetClientRect(dialog, &client);
  Expect(Near(client.right, font.X(width)) && Near(client.bottom, font.Y(height)),
         name + ": client area " + Show(client) + ", not " + std::to_string(font.X(width)) + "x" +
             std::to_string(font.Y(height)) + " at " + std::to_string(runDpi) + " DPI");
  for (HWND control : Controls(dialog)) {
    RECT r = RectIn(dialog, control);
    Expect(
        r.left >= 0 && r.top >= 0 && r.right <= client.right + 1 && r.bottom <= client.bottom + 1,
        name + ": control " + std::to_string(GetDlgCtrlID(control)) + " at " + Show(r) +
            " lies outside " + Show(client));
  }
}

// How wide a control's text may be before it is cut, as the system's
// controls draw it: a check box or radio button's text after the box and
// half a digit's width, a push button's inside its edges, a group box's
// caption between the frame's ends, a static text's whole width.
int RoomForText(HWND control, const DialogFont& font) {
  RECT r;
  GetClientRect(control, &r);
  wchar_t className[16] = {};
  GetClassNameW(control, className, 16);
  if (lstrcmpiW(className, L"Button") != 0) return r.right;
  int edge = MulDiv(3, runDpi, 96);
  switch (GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) {
    case BS_AUTOCHECKBOX:
    case BS_AUTORADIOBUTTON:
      return r.right - (12 * runDpi / 96 + 1) - font.ZeroWidth() / 2;
    case BS_GROUPBOX:
      return r.right - 2 * MulDiv(8, runDpi, 96);
    default:
      return r.right - 2 * edge;
  }
}

// Notes each control whose text is wider than its room.
void NoteCutTexts(HWND dialog, const DialogFont& font, const std::string& name) {
  for (HWND control : Controls(dialog)) {
    std::wstring text = TextOf(control), shown;
    wchar_t className[16] = {};
    GetClassNameW(control, className, 16);
    if (text.empty() || lstrcmpiW(className, L"Edit") == 0) continue;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == L'&' && i + 1 < text.size()) ++i;  // a mnemonic's mark
      shown += text[i];
    }
    int need = font.Width(shown), room = RoomForText(control, font);
    if (need > room)
      notes.push_back(std::to_string(runDpi) + " DPI, " + name + ": \"" + Narrow(shown) +
                      "\" needs " + std::to_string(need) + " px, has " + std::to_string(room));
  }
}

void DialogsScaleWithTheDpi() {
  std::string dir = MakeTestDirectory("dpi" + std::to_string(runDpi));
  std::string exe = dir + "\\mixed.exe";
  if (!BuildProgram(exe, lzhtest::ArchiveBytes(MixedMembers()))) return;
  std::string out = OutputWithExistingFiles(dir, {"a.txt"});
  DialogFont font;
  Session s;
  if (!s.Start(exe, dir)) return;
  ExpectScaledAndWhole(s.dialog, font, 284, 208, "main dialog");
  // The status line runs along the whole bottom edge; the list starts at
  // its place and ends above the group boxes (it keeps to whole lines).
  RECT status = RectIn(s.dialog, GetDlgItem(s.dialog, IDC_STATUS_LINE));
  Expect(status.left == 0 && Near(status.top, font.Y(195)) && Near(status.right, font.X(284)) &&
             Near(status.bottom, font.Y(208)),
         "the status line is at " + Show(status));
  RECT list = RectIn(s.dialog, s.list);
  Expect(Near(list.left, font.X(13)) && Near(list.top, font.Y(44)) &&
             Near(list.right, font.X(13 + 257)) && list.bottom <= font.Y(125),
         "the list is at " + Show(list));
  NoteCutTexts(s.dialog, font, "main dialog");

  SetControlText(s.dialog, IDC_PATH_EDIT, Widen(out));
  Click(s.dialog, IDOK);
  HWND q = nullptr;
  REQUIRE(WaitFor([&] {
            return (q = FindDialog(s.program.Id(), L"Confirm overwrite of...")) != nullptr;
          }),
          "no question about a.txt");
  ExpectScaledAndWhole(q, font, 194, 56, "question");
  NoteCutTexts(q, font, "question");
  Click(q, IDCANCEL);
  Expect(s.WaitForStatus(kSuccess), "verdict " + s.Verdict());
  s.Exit();
}

}  // namespace

const Tests& LayoutTests() {
  static const Tests kTests = {
      {"the dialogs scale with the DPI and hold every control", DialogsScaleWithTheDpi, 0, true},
  };
  return kTests;
}

}  // namespace wine_e2e
