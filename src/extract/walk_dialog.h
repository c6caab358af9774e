// The main dialog as the archive walk sees it: exactly the operations the
// walk performs on the member list (301), the "Use S&tored Paths" check box
// (401), the status line (601), message boxes, the overwrite question and
// the message pump, and the outcome of each member. The Windows program
// implements it with the real controls; the command-line tool and the tests
// with lists in memory.
#pragma once

#include <cstdint>

#include "extract/member_outcome.h"

namespace lzh {

enum OverwritePolicyValue : std::uint8_t { Overwrite = 0, Skip = 1, Confirm = 2 };

class WalkDialog {
 public:
  virtual ~WalkDialog() = default;

  // Member list. The Windows list keeps its entries sorted without regard to
  // case; an index of -1 addresses every entry.
  virtual void ResetList() = 0;                 // LB_RESETCONTENT
  virtual void AddEntry(const char* name) = 0;  // LB_ADDSTRING
  // LB_FINDSTRINGEXACT: the first entry equal to name without regard to
  // case, searching from the entry after `after` to the end and on from the
  // top up to `after` itself (the whole list for -1). -1 when none matches.
  virtual int FindEntry(int after, const char* name) = 0;
  virtual int IsSelected(int index) = 0;  // LB_GETSEL: >0 selected, 0 not, -1 no entry
  virtual void Deselect(int index) = 0;   // LB_SETSEL with 0
  virtual int EntryCount() = 0;           // LB_GETCOUNT
  virtual int SelectedCount() = 0;        // LB_GETSELCOUNT

  // "Use S&tored Paths".
  virtual bool StoredPathsTicked() = 0;   // BM_GETCHECK returns 1
  virtual void TurnOffStoredPaths() = 0;  // untick, then disable

  virtual void SetStatus(const char* text) = 0;  // WM_SETTEXT to 601
  // A box with no owner and type 0 (OK, no icon); returns when dismissed.
  virtual void ShowMessage(const char* text, const char* caption) = 0;
  virtual void PumpOneMessage() = 0;

  // The overwrite policy in force now, and the question asked under
  // Confirm: shows existingFileName; its answer is read with
  // OverwriteAnswer() (0 skip, other values overwrite).
  virtual std::uint8_t OverwritePolicy() = 0;
  virtual void AskOverwrite(const char* existingFileName) = 0;
  virtual std::uint8_t OverwriteAnswer() = 0;

  // What became of a member, as the walk finishes it (after any box about
  // it, and after the deselection of a member that passed or was skipped).
  // The pointers in outcome live until the call returns.
  virtual void MemberFinished(const MemberOutcome& outcome) = 0;
};

}  // namespace lzh
