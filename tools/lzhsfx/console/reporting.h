// How much a command tells about its items (members it extracts or tests,
// files it packs), and the summary line at its end. Errors always reach
// stderr: under -q nothing else is printed; normally the summary; under -v
// also one line per item.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace lzhcli {

enum class Verbosity : std::uint8_t { Quiet, Normal, Verbose };

// What became of one item, as the summary counts it.
enum class ItemResult : std::uint8_t {
  Done,        // extracted, tested, packed
  Skipped,     // by the user's choice (--skip, an answer)
  Unattended,  // skipped because nobody was there to answer: an error
  Untested,    // not checked (a method this build cannot decode): an error
  Failed,
};

class Reporter {
 public:
  // doneWord names ItemResult::Done in lines and the summary ("extracted",
  // "OK"); info is where lines other than errors go (stderr when stdout
  // carries data).
  Reporter(Verbosity verbosity, const char* doneWord, std::FILE* info = stdout)
      : verbosity_(verbosity), doneWord_(doneWord), info_(info) {}

  // Leaves "skipped" out of the summary of a command that never skips.
  void NeverSkips() { showSkipped_ = false; }
  // Counts only what was done as members: those an archive being written holds.
  void MembersAreDone() { membersAreDone_ = true; }

  // One item: "label: reason" (reason defaults to doneWord); errors as
  // "lzhsfx: label: reason" on stderr.
  void Item(ItemResult result, const std::string& label, const std::string& reason = "",
            std::uint64_t bytes = 0);
  // An item skipped that the user should hear of (not under -q): "warning: label: reason"
  // on stderr. Not an error.
  void Warn(const std::string& label, const std::string& reason);
  // "3 extracted, 1 skipped, 0 failed; 4 members, 12345 bytes", unless -q.
  void Summary() const;

  int Count(ItemResult result) const { return counts_[static_cast<int>(result)]; }
  // Unattended skips, untested and failed items: the exit status is 1.
  bool AnyError() const;
  Verbosity Level() const { return verbosity_; }
  std::FILE* Info() const { return info_; }

 private:
  Verbosity verbosity_;
  const char* doneWord_;
  std::FILE* info_;
  bool showSkipped_ = true;
  bool membersAreDone_ = false;
  int counts_[5] = {};
  std::uint64_t bytes_ = 0;
};

// "1 byte", "2 bytes".
std::string ByteCount(std::uint64_t bytes);

}  // namespace lzhcli
