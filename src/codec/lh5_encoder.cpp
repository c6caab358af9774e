// The driver of the static-Huffman encoder: options, the segments, their
// parses run one after the other or two at once, and the limits.
#include "codec/lh5_encoder.h"

#include "codec/bit_output.h"
#include "codec/block_encoder.h"
#include "codec/input_window.h"
#include "codec/lazy_parser.h"
#include "codec/match_finder.h"
#include "codec/memory_sink.h"
#include "codec/optimal_parser.h"
#include "codec/static_huffman_format.h"

namespace lzh {

namespace {

struct Effort {
  int chainLimit;  // earlier positions tried per match search
  int niceLength;  // a match this long ends the search
  int goodLength;  // a held match this long cuts the next search to a quarter
  int passes;      // of the optimal parse
  bool lazy;
  bool optimal;  // efforts 8 and 9: OptimalParser
  bool splitBlocks;
};

constexpr Effort kEfforts[kMaxEffort + 1] = {
    {0, 0, 0, 0, false, false, false},       // unused
    {4, 16, 0, 0, false, false, false},      // 1
    {8, 32, 0, 0, false, false, false},      // 2
    {6, 32, 8, 0, true, false, false},       // 3
    {12, 64, 16, 0, true, false, false},     // 4
    {32, 128, 32, 0, true, false, false},    // 5
    {64, 256, 32, 0, true, false, false},    // 6
    {256, 256, 256, 0, true, false, false},  // 7
    {64, 128, 0, 2, false, true, false},     // 8
    {256, 256, 0, 4, false, true, true},     // 9
};

// The larger dictionaries of -lh6- and -lh7- hold more candidates: the
// lazy efforts search twice as deep there.
Effort EffortFor(const EncoderOptions& options) {
  Effort effort = kEfforts[options.effort];
  if (options.dictionaryBits > 13 && effort.lazy) {
    effort.chainLimit *= 2;
    effort.niceLength = effort.niceLength * 2 > kMaxMatch ? kMaxMatch : effort.niceLength * 2;
  }
  return effort;
}

LazySettings LazyFor(const Effort& e) {
  return LazySettings{e.chainLimit, e.niceLength, e.goodLength, e.lazy};
}
OptimalSettings OptimalFor(const Effort& e) {
  return OptimalSettings{e.chainLimit, e.niceLength, e.passes, e.splitBlocks};
}

// Bytes per segment by default: each starts its codes afresh and ends in a
// block of its own, so a segment is large against a block.
constexpr std::uint32_t kSegmentBytes = 1u << 20;
constexpr std::uint32_t kMaxSegmentBytes = 1u << 30;

std::uint32_t SegmentBytes(const EncoderOptions& options) {
  return options.segmentBytes != 0 ? options.segmentBytes : kSegmentBytes;
}

// One thread's share: its chains and its parse. Run packs the window it is
// aimed at into its output. In a pair it also reads a segment of the next
// pair, so that reading overlaps the other lane's parse: the first lane
// before its parse (then it signals), the second after its own, once the
// first has signalled (the source is read in order).
template <class Parser>
class Lane : public Work {
 public:
  enum class Turn { None, BeforeParse, AfterParse };

  Lane(const EncoderOptions& options, const typename Parser::Settings& settings,
       const BlockEncoder& blocks)
      : finder_(options.dictionaryBits), parser_(settings, finder_, blocks) {}

  void Aim(const InputWindow& window, BitOutput& out, const ParseLimits& limits) {
    window_ = &window;
    out_ = &out;
    limits_ = limits;
    turn_ = Turn::None;
  }
  // Also reads the segment after the one of `after` into `into`.
  void ReadAhead(Turn turn, InputWindow& into, const InputWindow& after, ByteSource& source,
                 PairRunner& runner) {
    turn_ = turn;
    into_ = &into;
    after_ = &after;
    source_ = &source;
    runner_ = &runner;
  }
  void Run() override {
    if (turn_ == Turn::BeforeParse) {
      readFailed_ = !into_->Load(after_, *source_);
      runner_->Signal();
    }
    finder_.Begin(*window_);
    reached_ = parser_.Encode(window_->Start(), *out_, limits_);
    if (turn_ == Turn::AfterParse) {
      runner_->Wait();
      readFailed_ = !into_->Load(after_, *source_);
    }
  }
  // Where the parse stopped: the window's end unless a limit was reached.
  std::uint32_t Reached() const { return reached_; }
  bool ReadFailed() const { return turn_ != Turn::None && readFailed_; }

 private:
  MatchFinder finder_;
  Parser parser_;
  const InputWindow* window_ = nullptr;
  BitOutput* out_ = nullptr;
  ParseLimits limits_;
  std::uint32_t reached_ = 0;
  Turn turn_ = Turn::None;
  InputWindow* into_ = nullptr;
  const InputWindow* after_ = nullptr;
  ByteSource* source_ = nullptr;
  PairRunner* runner_ = nullptr;
  bool readFailed_ = false;
};

// Segments go in pairs. With a runner the second of a pair is packed into
// memory while the first goes out, then appended, and the next pair is
// read meanwhile (four windows); without one, each goes out in turn
// through the same lane and window. What a parse sees is the same either
// way, and the stream too: a segment starts its codes afresh, and the
// limits across segments are checked between pairs.
class Driver {
 public:
  Driver(ByteSource& source, ByteSink& sink, const EncoderOptions& options)
      : source_(source), options_(options), blocks_(options.dictionaryBits), out_(sink) {}

  template <class Parser>
  EncodeResult Run(const typename Parser::Settings& settings) {
    Lane<Parser> first(options_, settings, blocks_);
    if (options_.runner == nullptr) {
      RunAlone(first);
    } else {
      Lane<Parser> second(options_, settings, blocks_);
      RunPaired(first, second);
    }
    return Result();
  }

 private:
  template <class Parser>
  void RunAlone(Lane<Parser>& lane);
  template <class Parser>
  void RunPaired(Lane<Parser>& first, Lane<Parser>& second);
  // Reads the segment after before's (the first when null) into window;
  // false when the source failed.
  bool Load(InputWindow& window, const InputWindow* before) {
    if (window.Load(before, source_)) return true;
    readFailed_ = true;
    return false;
  }
  // The limits of the parses of the pair from window's segment on; the
  // give-up look counts what is out so far.
  ParseLimits Limits(const InputWindow& window) const {
    return ParseLimits{options_.packedLimit >= 0 ? options_.packedLimit * 8 : -1,
                       options_.giveUpAfter, out_.BitCount(), window.Offset() + window.Start()};
  }
  // Whether the pair from window's segment on is not worth packing.
  bool GiveUpAt(const InputWindow& window) {
    const std::int64_t bits = out_.BitCount();
    limitReached_ = Limits(window).Reached(bits, 0, 0);
    return limitReached_;
  }
  // Notes how far a lane's parse of window got; false when it stopped
  // short of the window's end.
  bool NoteReached(std::uint32_t reached, const InputWindow& window) {
    packed_ = window.Offset() + reached;
    if (reached == window.End()) return true;
    limitReached_ = true;
    return false;
  }
  EncodeResult Result();

  ByteSource& source_;
  EncoderOptions options_;
  BlockEncoder blocks_;
  BitOutput out_;
  MemorySink spill_;
  std::int64_t packed_ = 0;  // bytes packed
  bool readFailed_ = false;
  bool limitReached_ = false;
};

template <class Parser>
void Driver::RunAlone(Lane<Parser>& lane) {
  InputWindow window(options_.dictionaryBits, SegmentBytes(options_));
  if (!Load(window, nullptr)) return;
  ParseLimits limits;
  for (int segment = 0; !window.Empty(); ++segment) {
    if (segment % 2 == 0) {
      if (GiveUpAt(window)) return;
      limits = Limits(window);
    }
    lane.Aim(window, out_, limits);
    lane.Run();
    if (!NoteReached(lane.Reached(), window)) return;
    if (!Load(window, &window)) return;
  }
}

template <class Parser>
void Driver::RunPaired(Lane<Parser>& first, Lane<Parser>& second) {
  const int bits = options_.dictionaryBits;
  const std::uint32_t bytes = SegmentBytes(options_);
  InputWindow windows[4] = {{bits, bytes}, {bits, bytes}, {bits, bytes}, {bits, bytes}};
  InputWindow* one = &windows[0];  // the pair's segments
  InputWindow* two = &windows[1];
  InputWindow* nextOne = &windows[2];  // the next pair's, read meanwhile
  InputWindow* nextTwo = &windows[3];
  if (!Load(*one, nullptr) || !Load(*two, one)) return;
  while (!one->Empty()) {
    if (GiveUpAt(*one)) return;
    const ParseLimits limits = Limits(*one);
    first.Aim(*one, out_, limits);
    if (two->Empty()) {
      first.Run();
      NoteReached(first.Reached(), *one);
      return;
    }
    BitOutput spilled(spill_);
    second.Aim(*two, spilled, limits);
    first.ReadAhead(Lane<Parser>::Turn::BeforeParse, *nextOne, *two, source_, *options_.runner);
    second.ReadAhead(Lane<Parser>::Turn::AfterParse, *nextTwo, *nextOne, source_, *options_.runner);
    options_.runner->RunPair(first, second);
    if (!NoteReached(first.Reached(), *one)) return;
    const std::int64_t spilledBits = spilled.BitCount();
    spilled.Finish();
    out_.Append(spill_.Data(), spilledBits);
    spill_.Clear();
    if (!NoteReached(second.Reached(), *two)) return;
    if (first.ReadFailed() || second.ReadFailed()) {
      readFailed_ = true;
      return;
    }
    InputWindow* done = one;
    one = nextOne;
    nextOne = done;
    done = two;
    two = nextTwo;
    nextTwo = done;
  }
}

EncodeResult Driver::Result() {
  out_.Finish();
  EncodeResult result;
  result.originalBytes = packed_;
  result.packedBytes = out_.BitCount() / 8;
  if (readFailed_) {
    result.status = EncodeStatus::ReadFailed;
  } else if (out_.Failed()) {
    result.status = EncodeStatus::WriteFailed;
  } else if (limitReached_ ||
             (options_.packedLimit >= 0 && out_.BitCount() > options_.packedLimit * 8)) {
    result.status = EncodeStatus::LimitReached;
  }
  return result;
}

}  // namespace

EncodeResult EncodeStaticHuffman(ByteSource& source, ByteSink& sink,
                                 const EncoderOptions& options) {
  if (options.dictionaryBits < 12 || options.dictionaryBits > kMaxDictionaryBits ||
      options.effort < kMinEffort || options.effort > kMaxEffort ||
      options.segmentBytes > kMaxSegmentBytes) {
    EncodeResult bad;
    bad.status = EncodeStatus::BadOptions;
    return bad;
  }
  const Effort effort = EffortFor(options);
  Driver driver(source, sink, options);
  if (effort.optimal) return driver.Run<OptimalParser>(OptimalFor(effort));
  return driver.Run<LazyParser>(LazyFor(effort));
}

}  // namespace lzh
