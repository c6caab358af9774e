#include "startup/silent_walk.h"

namespace lzh {

// A member skipped because its file exists, or passed over (a link), was
// not extracted either: a script must not take it for done.
void SilentWalkDialog::MemberFinished(const MemberOutcome& outcome) {
  ++finished_;
  if (outcome.kind != OutcomeKind::Extracted) ++notExtracted_;
}

int SilentWalkDialog::ExitCode() const {
  if (finished_ == 0) return kBadArchiveOrSwitch;
  return notExtracted_ == 0 ? kAllExtracted : kSomeNotExtracted;
}

}  // namespace lzh
