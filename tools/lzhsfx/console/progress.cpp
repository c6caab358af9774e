#include "console/progress.h"

#include <cstdio>

#include "console/terminal.h"

namespace lzhcli {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(200);
// Work shorter than this shows no display at all.
constexpr auto kFirstDrawAfter = std::chrono::milliseconds(500);
constexpr std::size_t kLabelColumns = 30;

std::string Megabytes(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
  return text;
}

int Percent(std::uint64_t done, std::uint64_t total) {
  return total == 0 ? 100 : static_cast<int>(done * 100 / total > 100 ? 100 : done * 100 / total);
}

}  // namespace

Progress::Progress(std::uint64_t totalBytes, bool wanted)
    : on_(wanted && StderrIsTerminal()),
      totalBytes_(totalBytes),
      start_(std::chrono::steady_clock::now()),
      lastDraw_(start_) {}

void Progress::StartItem(const std::string& label, std::uint64_t itemBytes) {
  label_ =
      label.size() > kLabelColumns ? "..." + label.substr(label.size() - kLabelColumns + 3) : label;
  itemBytes_ = itemBytes;
  itemDone_ = 0;
}

void Progress::Update(std::uint64_t itemDone, std::uint64_t totalDone) {
  itemDone_ = itemDone;
  totalDone_ = totalDone;
  if (!on_) return;
  auto now = std::chrono::steady_clock::now();
  if (now - start_ < kFirstDrawAfter || now - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = now;
  Draw();
}

void Progress::Draw() {
  double seconds = std::chrono::duration<double>(lastDraw_ - start_).count();
  double rate = seconds > 0 ? static_cast<double>(totalDone_) / 1e6 / seconds : 0;
  std::fprintf(stderr, "\r%-*s %3d%% | all %3d%% %s of %s | %.1f MB/s\x1b[K",
               static_cast<int>(kLabelColumns), label_.c_str(), Percent(itemDone_, itemBytes_),
               Percent(totalDone_, totalBytes_), Megabytes(totalDone_).c_str(),
               Megabytes(totalBytes_).c_str(), rate);
  std::fflush(stderr);
  drawn_ = true;
}

void Progress::Clear() {
  if (!drawn_) return;
  std::fputs("\r\x1b[K", stderr);
  std::fflush(stderr);
  drawn_ = false;
}

}  // namespace lzhcli
