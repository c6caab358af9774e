// The overwrite question ("FileExist"): its text, its answers, and "Don't
// &ask again" turning an answer into the policy.
#include <windows.h>

#include <string>
#include <vector>

#include "resource_ids.h"
#include "session.h"
#include "test_files.h"
#include "wine_test.h"

namespace wine_e2e {
namespace {

const std::wstring kQuestionCaption = L"Confirm overwrite of...";

std::wstring QuestionFor(const std::wstring& fileName) {
  return fileName + L"...already exists, overwrite?";
}

enum class Answer { Yes, No, Enter, Escape, CloseBox };

// Waits for the question about fileName, answers it and waits for it to
// close. Returns false, with a failure recorded, when any of that fails.
bool AnswerQuestion(Session& s, const std::wstring& fileName, Answer answer,
                    bool dontAskAgain = false) {
  HWND q = nullptr;
  bool shown =
      WaitFor([&] { return (q = FindDialog(s.program.Id(), kQuestionCaption)) != nullptr; });
  if (!Expect(shown, "no question about " + Narrow(fileName))) return false;
  std::wstring text = ControlText(q, IDC_QUESTION);
  if (!Expect(text == QuestionFor(fileName), "question " + Quote(text))) return false;
  if (dontAskAgain) {
    Click(q, IDC_DONT_ASK_AGAIN);
    if (!Expect(WaitFor([&] { return IsChecked(q, IDC_DONT_ASK_AGAIN); }),
                "Don't ask again did not tick"))
      return false;
  }
  HWND focus = FocusOf(q);
  HWND keyTarget = focus != nullptr && (focus == q || IsChild(q, focus)) ? focus : q;
  switch (answer) {
    case Answer::Yes:
      Click(q, IDOK);
      break;
    case Answer::No:
      Click(q, IDCANCEL);
      break;
    case Answer::Enter:
      PressKey(keyTarget, VK_RETURN);
      break;
    case Answer::Escape:
      PressKey(keyTarget, VK_ESCAPE);
      break;
    case Answer::CloseBox:
      Close(q);
      break;
  }
  return Expect(WaitFor([&] { return !IsWindow(q); }), "the question did not close");
}

void QuestionNamesTheFileAndTakesEnterEscapeAndCloseBox() {
  std::string dir = MakeTestDirectory("question");
  std::string exe = dir + "\\question.exe";
  if (!BuildProgram(
          exe, lzhtest::ArchiveBytes(
                   {Stored("docs\\one.txt", "new one"), Stored("two.txt", "new two"),
                    Stored("fresh.txt", "not there before"), Stored("three.txt", "new three")})))
    return;
  std::string out = OutputWithExistingFiles(dir, {"docs\\one.txt", "two.txt", "three.txt"});
  Session s;
  if (!s.Start(exe, dir)) return;
  const std::vector<std::wstring> listed = ListEntries(s.list);
  SetControlText(s.dialog, IDC_PATH_EDIT, Widen(out));
  Click(s.dialog, IDOK);

  HWND q = nullptr;
  REQUIRE(WaitFor([&] { return (q = FindDialog(s.program.Id(), kQuestionCaption)) != nullptr; }),
          "no question for an existing file under Confirm");
  // Only the file-name part, with the dots right after it.
  std::wstring text = ControlText(q, IDC_QUESTION);
  Expect(text == QuestionFor(L"one.txt"), "question " + Quote(text));
  Expect(!IsChecked(q, IDC_DONT_ASK_AGAIN), "Don't ask again starts ticked");
  Expect(FocusOf(q) != GetDlgItem(q, IDCANCEL), "the focus starts on No");
  RECT r;
  GetWindowRect(q, &r);
  int x = (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2;
  Expect(std::abs(r.left - x) <= 1 && std::abs(r.top - y) <= 1,
         "the question is at " + std::to_string(r.left) + "," + std::to_string(r.top) +
             ", not centred at " + std::to_string(x) + "," + std::to_string(y));

  // The main dialog stays enabled, but neither Extract nor the check box
  // acts: not as a click, not as a command, not as Enter in the path edit.
  Expect(IsWindowEnabled(s.dialog) != FALSE, "the main dialog is disabled under the question");
  Expect(!IsEnabled(s.dialog, IDOK) && !IsEnabled(s.dialog, IDC_STORED_PATHS),
         "Extract or Use Stored Paths enabled while the question shows");
  Click(s.dialog, IDOK);
  Click(s.dialog, IDC_STORED_PATHS);
  PostMessageW(s.dialog, WM_COMMAND, IDOK, 0);
  PostMessageW(s.dialog, WM_COMMAND, IDC_STORED_PATHS, 0);
  PressKey(GetDlgItem(s.dialog, IDC_PATH_EDIT), VK_RETURN);
  // Ticking and unticking Don't ask again answers nothing.
  Click(q, IDC_DONT_ASK_AGAIN);
  REQUIRE(WaitFor([&] { return IsChecked(q, IDC_DONT_ASK_AGAIN); }),
          "Don't ask again did not tick");
  Click(q, IDC_DONT_ASK_AGAIN);
  REQUIRE(WaitFor([&] { return !IsChecked(q, IDC_DONT_ASK_AGAIN); }),
          "Don't ask again did not untick");
  Sleep(700);
  Expect(IsWindow(q) && IsWindowVisible(q), "the question closed without an answer");
  Expect(CountDialogs(s.program.Id()) == 2, "a second walk or box started under the question");
  Expect(ListEntries(s.list) == listed && AllSelected(s.list),
         "the list changed under the question");
  Expect(PolicyTicks(s.dialog) == "Cos", "policy buttons " + PolicyTicks(s.dialog));

  // Enter answers Yes; the next existing file is asked about again.
  REQUIRE(AnswerQuestion(s, L"one.txt", Answer::Enter), "Enter");
  REQUIRE(AnswerQuestion(s, L"two.txt", Answer::Escape), "Escape");
  REQUIRE(AnswerQuestion(s, L"three.txt", Answer::CloseBox), "close box");
  REQUIRE(s.WaitForStatus(kSuccess), "verdict: " + Quote(ControlText(s.dialog, IDC_STATUS_LINE)));
  ExpectFile(out + "\\docs\\one.txt", "new one");
  Expect(ReadFileBytes(out + "\\two.txt") == lzhtest::ToBytes("old"), "Escape replaced two.txt");
  Expect(ReadFileBytes(out + "\\three.txt") == lzhtest::ToBytes("old"),
         "the close box replaced three.txt");
  ExpectFile(out + "\\fresh.txt", "not there before");
  // Refused files count as skipped, not as failed.
  Expect(SelectedCount(s.list) == 0, "an entry stayed selected");
  Expect(PolicyTicks(s.dialog) == "Cos", "policy buttons " + PolicyTicks(s.dialog));
  Expect(IsEnabled(s.dialog, IDOK) && IsEnabled(s.dialog, IDC_STORED_PATHS),
         "Extract or Use Stored Paths stayed disabled");
  // The click on the disabled check box did not outlast the walk.
  Expect(IsChecked(s.dialog, IDC_STORED_PATHS) && ListEntries(s.list) == listed,
         "Use Stored Paths no longer matches the list");
  s.Exit();
}

void DontAskAgainTurnsTheAnswerIntoThePolicy() {
  for (bool yes : {true, false}) {
    std::string label = yes ? "Yes: " : "No: ";
    std::size_t before = failures.size();
    [&] {
      std::string dir = MakeTestDirectory(yes ? "always" : "never");
      std::string exe = dir + "\\abc.exe";
      if (!BuildProgram(exe,
                        lzhtest::ArchiveBytes({Stored("a.txt", "new a"), Stored("b.txt", "new b"),
                                               Stored("c.txt", "new c")})))
        return;
      std::string out = OutputWithExistingFiles(dir, {"a.txt", "b.txt", "c.txt"});
      Session s;
      if (!s.Start(exe, dir)) return;
      SetControlText(s.dialog, IDC_PATH_EDIT, Widen(out));
      Click(s.dialog, IDOK);
      REQUIRE(AnswerQuestion(s, L"a.txt", yes ? Answer::Yes : Answer::No, true), "answer");
      // No further question: the walk runs to its verdict on its own.
      REQUIRE(s.WaitForStatus(kSuccess),
              "verdict: " + Quote(ControlText(s.dialog, IDC_STATUS_LINE)));
      for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        std::string path = out + "\\" + name;
        if (yes) {
          ExpectFile(path, std::string("new ") + name[0]);
        } else {
          Expect(ReadFileBytes(path) == lzhtest::ToBytes("old"), "No replaced " + path);
        }
      }
      Expect(SelectedCount(s.list) == 0, "an entry stayed selected");
      std::string ticks = PolicyTicks(s.dialog);
      Expect(ticks == (yes ? "cOs" : "coS"), "policy buttons " + ticks);

      // The policy holds for later walks too.
      REQUIRE(WriteFileBytes(out + "\\a.txt", lzhtest::ToBytes("old")), "cannot rewrite a.txt");
      SetControlText(s.dialog, IDC_STATUS_LINE, L"");
      Click(s.dialog, IDC_SELECT_ALL);
      REQUIRE(WaitFor([&] { return AllSelected(s.list); }), "Select All did not select");
      Click(s.dialog, IDOK);
      REQUIRE(s.WaitForStatus(kSuccess),
              "second verdict: " + Quote(ControlText(s.dialog, IDC_STATUS_LINE)));
      Expect(ReadFileBytes(out + "\\a.txt") == lzhtest::ToBytes(yes ? "new a" : "old"),
             "the second walk did not follow the policy");
      Expect(FindDialog(s.program.Id(), kQuestionCaption) == nullptr, "a question showed");
      s.Exit();
    }();
    for (std::size_t i = before; i < failures.size(); ++i) failures[i] = label + failures[i];
  }
}

// "&Overwrite (don't ask)" clicked in the main dialog while the question
// shows: the answer then given does not count, the one recorded before it
// (none yet: skip) does, and the later files follow the new policy.
void OverwriteChosenUnderTheQuestionKeepsTheEarlierAnswer() {
  for (bool earlierYes : {true, false}) {
    std::string label = earlierYes ? "after a Yes: " : "before any answer: ";
    std::size_t before = failures.size();
    [&] {
      std::string dir = MakeTestDirectory(earlierYes ? "keepyes" : "keepnone");
      std::string exe = dir + "\\abc.exe";
      if (!BuildProgram(exe,
                        lzhtest::ArchiveBytes({Stored("a.txt", "new a"), Stored("b.txt", "new b"),
                                               Stored("c.txt", "new c")})))
        return;
      std::string out = OutputWithExistingFiles(dir, {"a.txt", "b.txt", "c.txt"});
      Session s;
      if (!s.Start(exe, dir)) return;
      SetControlText(s.dialog, IDC_PATH_EDIT, Widen(out));
      Click(s.dialog, IDOK);
      if (earlierYes) REQUIRE(AnswerQuestion(s, L"a.txt", Answer::Yes), "first answer");
      const wchar_t* asked = earlierYes ? L"b.txt" : L"a.txt";
      REQUIRE(WaitFor([&] {
                HWND q = FindDialog(s.program.Id(), kQuestionCaption);
                return q != nullptr && ControlText(q, IDC_QUESTION) == QuestionFor(asked);
              }),
              "no question about " + Narrow(asked));
      Click(s.dialog, IDC_POLICY_OVERWRITE);
      REQUIRE(WaitFor([&] { return PolicyTicks(s.dialog) == "cOs"; }),
              "policy buttons " + PolicyTicks(s.dialog));
      // The opposite of what is then done.
      REQUIRE(AnswerQuestion(s, asked, earlierYes ? Answer::No : Answer::Yes), "answer");
      REQUIRE(s.WaitForStatus(kSuccess),
              "verdict: " + Quote(ControlText(s.dialog, IDC_STATUS_LINE)));
      if (earlierYes) {
        ExpectFile(out + "\\a.txt", "new a");
        ExpectFile(out + "\\b.txt", "new b");
      } else {
        Expect(ReadFileBytes(out + "\\a.txt") == lzhtest::ToBytes("old"),
               "a Yes given under Overwrite replaced a.txt");
        ExpectFile(out + "\\b.txt", "new b");
      }
      ExpectFile(out + "\\c.txt", "new c");
      Expect(SelectedCount(s.list) == 0, "an entry stayed selected");
      Expect(PolicyTicks(s.dialog) == "cOs", "policy buttons " + PolicyTicks(s.dialog));
      s.Exit();
    }();
    for (std::size_t i = before; i < failures.size(); ++i) failures[i] = label + failures[i];
  }
}

// A policy button clicked in the main dialog while the question shows,
// then "Don't &ask again": only the button of the answer stays ticked.
void DontAskAgainLeavesOnePolicyTicked() {
  std::string dir = MakeTestDirectory("onetick");
  std::string exe = dir + "\\ab.exe";
  if (!BuildProgram(exe,
                    lzhtest::ArchiveBytes({Stored("a.txt", "new a"), Stored("b.txt", "new b")})))
    return;
  std::string out = OutputWithExistingFiles(dir, {"a.txt", "b.txt"});
  Session s;
  if (!s.Start(exe, dir)) return;
  SetControlText(s.dialog, IDC_PATH_EDIT, Widen(out));
  Click(s.dialog, IDOK);
  REQUIRE(WaitFor([&] { return FindDialog(s.program.Id(), kQuestionCaption) != nullptr; }),
          "no question");
  Click(s.dialog, IDC_POLICY_SKIP);
  REQUIRE(WaitFor([&] { return PolicyTicks(s.dialog) == "coS"; }),
          "policy buttons " + PolicyTicks(s.dialog));
  REQUIRE(AnswerQuestion(s, L"a.txt", Answer::Yes, true), "answer");
  REQUIRE(s.WaitForStatus(kSuccess), "verdict: " + Quote(ControlText(s.dialog, IDC_STATUS_LINE)));
  Expect(PolicyTicks(s.dialog) == "cOs", "policy buttons " + PolicyTicks(s.dialog));
  ExpectFile(out + "\\a.txt", "new a");
  ExpectFile(out + "\\b.txt", "new b");
  s.Exit();
}

}  // namespace

const Tests& OverwriteQuestionTests() {
  static const Tests kTests = {
      {"the overwrite question names the file and takes Enter, Escape and the close box",
       QuestionNamesTheFileAndTakesEnterEscapeAndCloseBox},
      {"Don't ask again turns the answer into the policy", DontAskAgainTurnsTheAnswerIntoThePolicy},
      {"Overwrite chosen under the question keeps the earlier answer",
       OverwriteChosenUnderTheQuestionKeepsTheEarlierAnswer},
      {"Don't ask again leaves one policy button ticked", DontAskAgainLeavesOnePolicyTicked},
  };
  return kTests;
}

}  // namespace wine_e2e
