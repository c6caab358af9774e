// The driver of the static-Huffman encoder: options, the segments, their
// parses run one after the other or two at once, and the limits.
#include "encoder/lh5_encoder.h"

#include <atomic>

#include "codec/static_huffman_format.h"
#include "encoder/bit_output.h"
#include "encoder/block_encoder.h"
#include "encoder/input_window.h"
#include "encoder/lazy_parser.h"
#include "encoder/match_finder.h"
#include "encoder/memory_sink.h"
#include "encoder/optimal_parser.h"

namespace lzh {

namespace {

struct Effort {
  int chainLimit;      // earlier positions tried per match search
  int lazyChainLimit;  // the same, one byte after a held match
  int niceLength;      // a match this long ends the search
  int goodLength;      // a held match this long cuts the next search to a quarter
  int passes;          // of the optimal parse
  bool lazy;
  bool optimal;  // efforts 8 and 9: OptimalParser
  bool splitBlocks;
  int blockCodes;  // the lazy parse's codes gathered per block
};

// Effort 5, the default: most of its walk steps are in the search one
// byte after a held match, which seldom finds a longer match that pays.
// Half the depth there saves 8% of the CPU time on executables (none on
// text) for 0.02 to 0.04% more bytes; a third costs text 0.07%.
constexpr Effort kEfforts[kMaxEffort + 1] = {
    {0, 0, 0, 0, 0, false, false, false, 0},            // unused
    {4, 4, 16, 0, 0, false, false, false, 16384},       // 1
    {8, 8, 32, 0, 0, false, false, false, 16384},       // 2
    {6, 6, 32, 8, 0, true, false, false, 16384},        // 3
    {12, 12, 64, 16, 0, true, false, false, 16384},     // 4
    {96, 48, 128, 128, 0, true, false, false, 1024},    // 5
    {192, 192, 256, 128, 0, true, false, false, 1024},  // 6
    {384, 384, 256, 256, 0, true, false, false, 1024},  // 7
    {64, 64, 128, 0, 2, false, true, false, 0},         // 8
    {256, 256, 256, 0, 4, false, true, true, 0},        // 9
};

// The larger dictionaries of -lh6- and -lh7- hold more candidates: the
// lazy efforts search twice as deep there.
Effort EffortFor(const EncoderOptions& options) {
  Effort effort = kEfforts[options.effort];
  if (options.dictionaryBits > 13 && effort.lazy) {
    effort.chainLimit *= 2;
    effort.lazyChainLimit *= 2;
    effort.niceLength = effort.niceLength * 2 > kMaxMatch ? kMaxMatch : effort.niceLength * 2;
  }
  return effort;
}

LazySettings LazyFor(const Effort& e) {
  return LazySettings{e.chainLimit,     e.niceLength, e.goodLength,
                      e.lazyChainLimit, e.lazy,       e.blockCodes};
}
OptimalSettings OptimalFor(const Effort& e) {
  return OptimalSettings{e.chainLimit, e.niceLength, e.passes, e.splitBlocks};
}

constexpr std::uint32_t kMaxSegmentBytes = 1u << 30;

std::uint32_t SegmentBytes(const EncoderOptions& options) {
  return options.segmentBytes != 0 ? options.segmentBytes : kDefaultSegmentBytes;
}

// A segment on its way out: read into its window, parsed (into the
// output itself when every segment before it is out, else into memory),
// then appended to the output in turn.
struct Slot {
  Slot(int dictionaryBits, std::uint32_t segmentBytes) : window(dictionaryBits, segmentBytes) {}
  InputWindow window;
  MemorySink spill;
  std::int64_t spilledBits = 0;
  bool parsed = false;
};

// One thread's chains and parser, on cache lines of their own: the
// parser's counts change with every code, and the other lane's finder
// reads its fields as often.
template <class Parser>
struct alignas(64) Lane {
  Lane(const EncoderOptions& options, const typename Parser::Settings& settings,
       const BlockEncoder& blocks)
      : finder(options.dictionaryBits), parser(settings, finder, blocks) {}
  MatchFinder finder;
  Parser parser;
};

// Without a runner, one lane packs the segments in turn through a single
// window. With one, two lanes each take the next segment read as soon as
// they are free (no pair waits for its slower half), over four windows:
// reading, parsing and appending to the output overlap, in order. What a
// parse sees, and so the stream, is the same either way: a segment starts
// its codes afresh, and its limits count what was out four segments
// before it, which is out by then in any order of work.
class Driver {
 public:
  Driver(ByteSource& source, ByteSink& sink, const EncoderOptions& options)
      : source_(source), options_(options), blocks_(options.dictionaryBits), out_(sink) {}

  template <class Parser>
  EncodeResult Run(const typename Parser::Settings& settings);

 private:
  template <class Parser>
  class Worker : public Work {
   public:
    Worker(Driver& driver, Lane<Parser>& lane) : driver_(driver), lane_(lane) {}
    void Run() override { driver_.Serve(lane_); }

   private:
    Driver& driver_;
    Lane<Parser>& lane_;
  };

  static constexpr int kSlots = 4;
  // What was out after a segment: the limits of the one kSlots later.
  struct Sent {
    std::int64_t bits = 0;
    std::int64_t bytes = 0;
  };

  // The shared state below is guarded by the runner's lock (when there is
  // one); the output belongs to whoever parses or appends the segment that
  // is next to go out.
  void Lock() {
    if (options_.runner != nullptr) options_.runner->Lock();
  }
  void Unlock() {
    if (options_.runner != nullptr) options_.runner->Unlock();
  }
  void WakeAll() {
    if (options_.runner != nullptr) options_.runner->WakeAll();
  }
  Slot& SlotOf(std::int64_t segment) { return *slots_[segment % slotCount_]; }

  // Packs segments until none is left, or something failed; called locked.
  template <class Parser>
  void Serve(Lane<Parser>& lane);
  template <class Parser>
  void Parse(Lane<Parser>& lane, std::int64_t segment);
  void LoadNext();
  void AppendParsed();
  void NoteSent(std::int64_t segment);
  // Ends the work, and the parses under way at their next look.
  void Stop() {
    stopped_ = true;
    cancelled_.store(true, std::memory_order_relaxed);
  }
  // The output's limit in bits, -1 for none.
  std::int64_t BitLimit() const {
    return options_.packedLimit >= 0 ? options_.packedLimit * 8 : -1;
  }
  // The limits of segment's parse.
  ParseLimits Limits(std::int64_t segment) const {
    const Sent before = segment >= kSlots ? sent_[segment % kSlots] : Sent{};
    return ParseLimits{BitLimit(), options_.giveUpAfter, before.bits, before.bytes, &cancelled_};
  }
  EncodeResult Result();

  ByteSource& source_;
  EncoderOptions options_;
  BlockEncoder blocks_;
  BitOutput out_;
  Slot* slots_[kSlots] = {};
  int slotCount_ = 1;
  Sent sent_[kSlots];
  std::int64_t loaded_ = 0;    // segments read
  std::int64_t claimed_ = 0;   // segments taken by a lane
  std::int64_t appended_ = 0;  // segments out
  bool loading_ = false;       // a lane reads the next segment
  bool appending_ = false;     // a lane appends parsed segments
  bool ended_ = false;         // the source has no more
  std::int64_t packed_ = 0;    // bytes packed
  bool stopped_ = false;
  std::atomic<bool> cancelled_{false};  // stopped_, for the parses under way
  bool readFailed_ = false;
  bool limitReached_ = false;
};

template <class Parser>
EncodeResult Driver::Run(const typename Parser::Settings& settings) {
  const int bits = options_.dictionaryBits;
  const std::uint32_t bytes = SegmentBytes(options_);
  Lane<Parser> first(options_, settings, blocks_);
  if (options_.runner == nullptr) {
    Slot slot(bits, bytes);
    slots_[0] = &slot;
    Serve(first);
  } else {
    Slot slots[kSlots] = {{bits, bytes}, {bits, bytes}, {bits, bytes}, {bits, bytes}};
    for (int i = 0; i < kSlots; ++i) slots_[i] = &slots[i];
    slotCount_ = kSlots;
    Lane<Parser> second(options_, settings, blocks_);
    Worker<Parser> one(*this, first), two(*this, second);
    options_.runner->RunPair(one, two);
  }
  return Result();
}

template <class Parser>
void Driver::Serve(Lane<Parser>& lane) {
  Lock();
  while (!stopped_) {
    if (claimed_ < loaded_) {
      Parse(lane, claimed_++);
    } else if (ended_) {
      break;
    } else if (!loading_ && loaded_ < appended_ + slotCount_) {
      LoadNext();
    } else {
      // The other lane reads, or every window waits for its turn to go
      // out. (Alone, a lane never gets here: it reads as it goes.)
      if (options_.runner == nullptr) break;
      options_.runner->Sleep();
    }
  }
  Unlock();
}

// Reads the segment after the last one read into the window of the one
// kSlots before it, which is out.
void Driver::LoadNext() {
  loading_ = true;
  Slot& slot = SlotOf(loaded_);
  const InputWindow* before = loaded_ == 0 ? nullptr : &SlotOf(loaded_ - 1).window;
  Unlock();
  const bool read = slot.window.Load(before, source_);
  Lock();
  loading_ = false;
  if (!read) {
    readFailed_ = true;
    Stop();
  } else if (slot.window.Empty()) {
    ended_ = true;
  } else {
    slot.parsed = false;
    ++loaded_;
  }
  WakeAll();
}

template <class Parser>
void Driver::Parse(Lane<Parser>& lane, std::int64_t segment) {
  Slot& slot = SlotOf(segment);
  const InputWindow& window = slot.window;
  const ParseLimits limits = Limits(segment);
  const bool direct = appended_ == segment;
  Unlock();
  lane.finder.Begin(window);
  std::uint32_t reached;
  if (direct) {
    reached = lane.parser.Encode(window.Start(), out_, limits);
  } else {
    BitOutput spilled(slot.spill);
    reached = lane.parser.Encode(window.Start(), spilled, limits);
    slot.spilledBits = spilled.BitCount();
    spilled.Finish();
  }
  Lock();
  // Once stopped (the parse may have been cut short for it), what it
  // packed goes nowhere.
  if (!stopped_ && reached != window.End()) {
    limitReached_ = true;
    Stop();
    packed_ = window.Offset() + reached;
  } else if (!stopped_ && direct) {
    NoteSent(segment);
    AppendParsed();
  } else if (!stopped_) {
    slot.parsed = true;
    AppendParsed();
  }
  WakeAll();
}

// Appends the parsed segments that are next in turn, unless another lane
// does so already; called locked.
void Driver::AppendParsed() {
  if (appending_) return;
  appending_ = true;
  while (!stopped_ && appended_ < loaded_ && SlotOf(appended_).parsed) {
    Slot& slot = SlotOf(appended_);
    Unlock();
    out_.Append(slot.spill.Data(), slot.spilledBits);
    slot.spill.Clear();
    Lock();
    NoteSent(appended_);
  }
  appending_ = false;
}

// Segment is out (called locked, by its owner of the output).
void Driver::NoteSent(std::int64_t segment) {
  const InputWindow& window = SlotOf(segment).window;
  Sent& sent = sent_[segment % kSlots];
  sent.bits = out_.BitCount();
  sent.bytes = window.Offset() + window.End();
  packed_ = sent.bytes;
  appended_ = segment + 1;
  // The whole stream so far: past the limit, or not shrinking. A parse
  // sees only its own segment's end, where it has nothing left to stop.
  const ParseLimits whole{BitLimit(), options_.giveUpAfter, 0, 0};
  if (whole.Reached(sent.bits, sent.bits, sent.bytes)) {
    limitReached_ = true;
    Stop();
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
  } else if (limitReached_ || (BitLimit() >= 0 && out_.BitCount() > BitLimit())) {
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
