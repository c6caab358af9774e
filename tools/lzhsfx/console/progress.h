// A one-line progress display on stderr for long work: how far the current
// item and the whole input are, and the rate. Only for a terminal: when
// stderr is not one, or the display is off, nothing is ever written.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace lzhcli {

class Progress {
 public:
  // totalBytes: the size of the whole input (an archive, the files to pack).
  Progress(std::uint64_t totalBytes, bool wanted);
  ~Progress() { Clear(); }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void SetTotal(std::uint64_t totalBytes) { totalBytes_ = totalBytes; }
  void StartItem(const std::string& label, std::uint64_t itemBytes);
  // itemDone: bytes of the item so far; totalDone: of the whole input.
  void Update(std::uint64_t itemDone, std::uint64_t totalDone);
  // Removes the line, so that messages print on a clean line.
  void Clear();

 private:
  void Draw();

  bool on_;
  bool drawn_ = false;
  std::uint64_t totalBytes_, itemBytes_ = 0, itemDone_ = 0, totalDone_ = 0;
  std::string label_;
  std::chrono::steady_clock::time_point start_, lastDraw_;
};

}  // namespace lzhcli
