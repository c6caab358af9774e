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
    {256, 256, 0, 3, false, true, true},     // 9
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

// One segment's work: its window, its chains and its parse, and where its
// bits go.
template <class Parser>
class Lane : public Work {
 public:
  Lane(const EncoderOptions& options, const typename Parser::Settings& settings,
       const BlockEncoder& blocks)
      : window_(options.dictionaryBits,
                options.segmentBytes != 0 ? options.segmentBytes : kSegmentBytes),
        finder_(options.dictionaryBits),
        parser_(settings, finder_, blocks) {}

  InputWindow& Window() { return window_; }
  void Aim(BitOutput& out, const ParseLimits& limits) {
    out_ = &out;
    limits_ = limits;
  }
  // Once the parse is done, Run loads the segment after before's into the
  // window: read ahead while the other lane of a pair still parses.
  void ReadAhead(const InputWindow& before, ByteSource& source) {
    before_ = &before;
    source_ = &source;
  }
  void Run() override {
    finder_.Begin(window_);
    reached_ = parser_.Encode(window_.Start(), *out_, limits_);
    if (source_ != nullptr) {
      readFailed_ = !window_.Load(before_, *source_);
      source_ = nullptr;
    }
  }
  // Where the parse stopped: the window's end unless a limit was reached.
  std::uint32_t Reached() const { return reached_; }
  bool ReadFailed() const { return readFailed_; }

 private:
  InputWindow window_;
  MatchFinder finder_;
  Parser parser_;
  BitOutput* out_ = nullptr;
  ParseLimits limits_;
  std::uint32_t reached_ = 0;
  const InputWindow* before_ = nullptr;
  ByteSource* source_ = nullptr;
  bool readFailed_ = false;
};

// Segments go in pairs. With a runner the second of a pair is packed into
// memory while the first goes out, then appended; without one, each goes
// out in turn through the same lane. What a parse sees is the same either
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
  // Loads the segment after last into window; false at the end of the
  // input or when the source failed.
  bool Load(InputWindow& window, const InputWindow*& last);
  // The limits of the parses of the pair from position on; the give-up
  // look counts what is out so far.
  ParseLimits Limits(std::uint32_t position) const {
    return ParseLimits{options_.packedLimit >= 0 ? options_.packedLimit * 8 : -1,
                       options_.giveUpAfter, out_.BitCount(), position};
  }
  // Whether the pair from position on is not worth packing.
  bool GiveUpAt(std::uint32_t position) const {
    const std::int64_t bits = out_.BitCount();
    return Limits(position).Reached(bits, 0, 0);
  }
  // Notes how far a lane's parse got; false when it stopped short of end.
  bool NoteReached(std::uint32_t reached, std::uint32_t end) {
    packed_ = reached;
    if (reached == end) return true;
    limitReached_ = true;
    return false;
  }
  EncodeResult Result();

  ByteSource& source_;
  EncoderOptions options_;
  BlockEncoder blocks_;
  BitOutput out_;
  MemorySink spill_;
  std::uint32_t packed_ = 0;  // bytes packed
  bool readFailed_ = false;
  bool limitReached_ = false;
};

bool Driver::Load(InputWindow& window, const InputWindow*& last) {
  if (!window.Load(last, source_)) {
    readFailed_ = true;
    return false;
  }
  last = &window;
  return !window.Empty();
}

template <class Parser>
void Driver::RunAlone(Lane<Parser>& lane) {
  const InputWindow* last = nullptr;
  ParseLimits limits;
  for (int segment = 0; Load(lane.Window(), last); ++segment) {
    if (segment % 2 == 0) {
      if (GiveUpAt(lane.Window().Start())) {
        limitReached_ = true;
        return;
      }
      limits = Limits(lane.Window().Start());
    }
    lane.Aim(out_, limits);
    lane.Run();
    if (!NoteReached(lane.Reached(), lane.Window().End())) return;
  }
}

// The first lane reads the next pair's first segment as soon as its own
// parse is done, so that the reading overlaps the second lane's parse.
template <class Parser>
void Driver::RunPaired(Lane<Parser>& first, Lane<Parser>& second) {
  const InputWindow* last = nullptr;
  if (!Load(first.Window(), last)) return;
  while (true) {
    if (GiveUpAt(first.Window().Start())) {
      limitReached_ = true;
      return;
    }
    const ParseLimits limits = Limits(first.Window().Start());
    first.Aim(out_, limits);
    if (!Load(second.Window(), last)) {
      if (readFailed_) return;
      first.Run();
      NoteReached(first.Reached(), first.Window().End());
      return;
    }
    BitOutput spilled(spill_);
    second.Aim(spilled, limits);
    first.ReadAhead(second.Window(), source_);
    options_.runner->RunPair(first, second);
    if (!NoteReached(first.Reached(), second.Window().Start())) return;
    const std::int64_t bits = spilled.BitCount();
    spilled.Finish();
    out_.Append(spill_.Data(), bits);
    spill_.Clear();
    if (!NoteReached(second.Reached(), second.Window().End())) return;
    if (first.ReadFailed()) {
      readFailed_ = true;
      return;
    }
    last = &first.Window();
    if (first.Window().Empty()) return;
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
