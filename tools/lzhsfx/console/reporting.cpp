#include "console/reporting.h"

#include "commands/commands.h"

namespace lzhcli {

void Reporter::Item(ItemResult result, const std::string& label, const std::string& reason,
                    std::uint64_t bytes) {
  ++counts_[static_cast<int>(result)];
  if (result == ItemResult::Done) bytes_ += bytes;
  std::string line = label + ": " + (reason.empty() ? std::string(doneWord_) : reason);
  bool error = result != ItemResult::Done && result != ItemResult::Skipped;
  if (error) {
    PrintError(line);
  } else if (verbosity_ == Verbosity::Verbose) {
    std::fprintf(info_, "%s\n", line.c_str());
  }
}

void Reporter::Warn(const std::string& label, const std::string& reason) {
  ++counts_[static_cast<int>(ItemResult::Skipped)];
  if (verbosity_ != Verbosity::Quiet) PrintError("warning: " + label + ": " + reason);
}

bool Reporter::AnyError() const {
  return Count(ItemResult::Unattended) + Count(ItemResult::Untested) + Count(ItemResult::Failed) !=
         0;
}

void Reporter::Summary() const {
  if (verbosity_ == Verbosity::Quiet) return;
  int total = 0;
  for (int count : counts_) total += count;
  if (membersAreDone_) total = Count(ItemResult::Done);
  std::string text = std::to_string(Count(ItemResult::Done)) + " " + doneWord_ + ", ";
  int skipped = Count(ItemResult::Skipped) + Count(ItemResult::Unattended);
  if (showSkipped_ || skipped != 0) text += std::to_string(skipped) + " skipped, ";
  if (Count(ItemResult::Untested) != 0)
    text += std::to_string(Count(ItemResult::Untested)) + " untested, ";
  text += std::to_string(Count(ItemResult::Failed)) + " failed; " + std::to_string(total) +
          (total == 1 ? " member, " : " members, ") + ByteCount(bytes_);
  std::fflush(stdout);
  std::fprintf(info_, "%s\n", text.c_str());
}

std::string ByteCount(std::uint64_t bytes) {
  return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

}  // namespace lzhcli
