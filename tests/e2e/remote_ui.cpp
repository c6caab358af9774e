#include "remote_ui.h"

namespace wine_e2e {

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

Program::~Program() {
  if (info_.hProcess == nullptr) return;
  if (Running()) {
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 5000);
  }
  if (info_.hThread != nullptr) CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

bool Program::Start(const std::string& path, const std::string& currentDirectory,
                    const std::string& arguments) {
  return Start(Widen(path), Widen(currentDirectory), Widen(arguments));
}

bool Program::Start(const std::wstring& path, const std::wstring& currentDirectory,
                    const std::wstring& arguments) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  std::wstring command = L"\"" + path + L"\"";
  if (!arguments.empty()) command += L" " + arguments;
  std::vector<wchar_t> commandLine(command.begin(), command.end());
  commandLine.push_back(0);
  return CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        currentDirectory.c_str(), &startup, &info_) != FALSE;
}

bool Program::StartByUnixPath(const std::string& unixPath) {
  wchar_t loader[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"WINELOADER", loader, MAX_PATH) == 0) return false;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  std::wstring command = L"\"" + std::wstring(loader) + L"\" \"" + Widen(unixPath) + L"\"";
  std::vector<wchar_t> commandLine(command.begin(), command.end());
  commandLine.push_back(0);
  PROCESS_INFORMATION unixProcess = {};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &unixProcess))
    return false;
  CloseHandle(unixProcess.hThread);
  CloseHandle(unixProcess.hProcess);
  // The first dialog it shows, the one captioned caption or any box, tells
  // its process, which is then ended like any other at the end of a test.
  HWND dialog = nullptr;
  if (!WaitFor([&] { return (dialog = FindOtherDialog(0, nullptr)) != nullptr; })) return false;
  GetWindowThreadProcessId(dialog, &info_.dwProcessId);
  info_.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE,
                               FALSE, info_.dwProcessId);
  return info_.hProcess != nullptr;
}

bool Program::Running() const {
  return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool Program::WaitForExit(DWORD& exitCode, DWORD timeoutMs) {
  if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
  GetExitCodeProcess(info_.hProcess, &exitCode);
  return true;
}

namespace {

struct Search {
  DWORD processId;
  const std::wstring* caption;
  HWND except;
  HWND found;
  int count = 0;
  bool countAll = false;
};

BOOL CALLBACK VisitTopLevel(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  bool anyProcess = search->processId == 0;
  if ((!anyProcess && owner != search->processId) || !IsWindowVisible(window) ||
      window == search->except) {
    return TRUE;
  }
  wchar_t className[64] = {};
  GetClassNameW(window, className, 64);
  if (std::wstring(className) != L"#32770") return TRUE;
  if (search->caption != nullptr && TextOf(window) != *search->caption) return TRUE;
  search->found = window;
  ++search->count;
  return search->countAll ? TRUE : FALSE;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM context) {
  wchar_t className[64] = {};
  GetClassNameW(child, className, 64);
  if (lstrcmpiW(className, L"Static") == 0) {
    std::wstring text = TextOf(child);
    if (!text.empty()) *reinterpret_cast<std::wstring*>(context) += text;
  }
  return TRUE;
}

}  // namespace

HWND FindDialog(DWORD processId, const std::wstring& caption) {
  Search search{processId, &caption, nullptr, nullptr};
  EnumWindows(VisitTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindOtherDialog(DWORD processId, HWND except) {
  Search search{processId, nullptr, except, nullptr};
  EnumWindows(VisitTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int CountDialogs(DWORD processId) {
  Search search{processId, nullptr, nullptr, nullptr};
  search.countAll = true;
  EnumWindows(VisitTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.count;
}

std::wstring TextOf(HWND window) {
  wchar_t buffer[1024] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL, 5000,
                      &copied);
  return std::wstring(buffer, copied < 1024 ? copied : 1023);
}

std::wstring ControlText(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }

std::wstring MessageBoxText(HWND box) {
  std::wstring text;
  EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&text));
  return text;
}

bool IsChecked(HWND dialog, int id) {
  return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool IsEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

HWND FocusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

std::vector<std::wstring> ListEntries(HWND list) {
  std::vector<std::wstring> entries;
  int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    int length = static_cast<int>(SendMessageW(list, LB_GETTEXTLEN, i, 0));
    std::vector<wchar_t> text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, 0);
    SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    entries.emplace_back(text.data());
  }
  return entries;
}

std::vector<bool> ListSelection(HWND list) {
  std::vector<bool> selected;
  int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) selected.push_back(SendMessageW(list, LB_GETSEL, i, 0) > 0);
  return selected;
}

int SelectedCount(HWND list) { return static_cast<int>(SendMessageW(list, LB_GETSELCOUNT, 0, 0)); }

void Click(HWND dialog, int id) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void PressKey(HWND window, UINT virtualKey) {
  PostMessageW(window, WM_KEYDOWN, virtualKey, 1);
  PostMessageW(window, WM_KEYUP, virtualKey, 0xC0000001);
}

void SetControlText(HWND dialog, int id, const std::wstring& text) {
  SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Close(HWND window) { PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

}  // namespace wine_e2e
