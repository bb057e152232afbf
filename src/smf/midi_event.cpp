#include "smf/midi_event.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "smf/vlq.h"

namespace sw {

namespace {

std::atomic<uint32_t> gEventCounter{0};

// Each thread takes IDs from a range of its own, so threads loading files at the same time do
// not share the counter's cache line for every event. IDs a thread hands out keep rising.
constexpr uint32_t kIDRange = 1024;
thread_local uint32_t tNextID = 0, tLastID = 0;

uint32_t takeEventID() {
  if (tNextID == tLastID) {
    tNextID = gEventCounter.fetch_add(kIDRange, std::memory_order_relaxed) + 1;
    tLastID = tNextID + kIDRange;
  }
  return tNextID++;
}

#ifndef SCOREWELL_NO_EVENT_POOL
// A pool of fixed-size blocks: a file of a million events costs a few hundred allocations
// instead of a million, and no allocator header per event. Blocks are kept for reuse by the
// process; each thread has its own free list, so allocation takes no lock.
constexpr size_t kBlockSize = sizeof(MidiEvent);
constexpr size_t kSlabBlocks = 4096;

struct FreeBlock {
  FreeBlock* next;
};

struct SlabRegistry {
  std::mutex mutex;
  std::vector<void*> slabs;  // keeps every slab reachable for the life of the process
};

SlabRegistry& registry() {
  static SlabRegistry* instance = new SlabRegistry;
  return *instance;
}

thread_local FreeBlock* tFreeList = nullptr;

void refill() {
  void* slab = std::malloc(kBlockSize * kSlabBlocks);
  if (!slab) throw std::bad_alloc();
  {
    SlabRegistry& r = registry();
    std::lock_guard lock(r.mutex);
    r.slabs.push_back(slab);
  }
  auto* bytes = static_cast<unsigned char*>(slab);
  for (size_t i = kSlabBlocks; i-- > 0;) {
    auto* block = reinterpret_cast<FreeBlock*>(bytes + i * kBlockSize);
    block->next = tFreeList;
    tFreeList = block;
  }
}
#endif

}  // namespace

AssertionFailure::AssertionFailure(const std::string& condition, const std::string& function,
                                   const std::string& file)
    : std::logic_error("Invalid parameter not satisfying: " + condition), function_(function), file_(file) {}

#define SW_REQUIRE(condition, function)                                              \
  do {                                                                              \
    if (!(condition)) throw AssertionFailure(#condition, function, "smf/midi_event"); \
  } while (0)

namespace {
thread_local long tAllocationsLeft = -1;  // no limit
}  // namespace

EventAllocationLimit::EventAllocationLimit(long allocations) { tAllocationsLeft = allocations; }

EventAllocationLimit::~EventAllocationLimit() { tAllocationsLeft = -1; }

void* MidiEvent::operator new(size_t size) {
  if (tAllocationsLeft >= 0) [[unlikely]] {
    if (tAllocationsLeft == 0) throw std::bad_alloc();
    --tAllocationsLeft;
  }
#ifdef SCOREWELL_NO_EVENT_POOL
  return ::operator new(size);
#else
  if (!tFreeList) refill();
  FreeBlock* block = tFreeList;
  tFreeList = block->next;
  return block;
#endif
}

void MidiEvent::operator delete(void* pointer) noexcept {
#ifdef SCOREWELL_NO_EVENT_POOL
  ::operator delete(pointer);
#else
  if (!pointer) return;
  auto* block = static_cast<FreeBlock*>(pointer);
  block->next = tFreeList;
  tFreeList = block;
#endif
}

MidiEvent::MidiEvent() : eventID_(takeEventID()) { std::memset(inline_, 0, sizeof inline_); }

MidiEvent::MidiEvent(const uint8_t* bytes, uint32_t length, uint8_t track, uint32_t ticks, uint32_t duration,
                     uint8_t offVelocity)
    : ticks_(ticks), duration_(duration), eventID_(takeEventID()), track_(track), offVelocity_(offVelocity) {
  std::memset(inline_, 0, sizeof inline_);
  assign(bytes, length);
}

MidiEvent::MidiEvent(const MidiEvent& other)
    : ticks_(other.ticks_),
      duration_(other.duration_),
      eventID_(takeEventID()),
      track_(other.track_),
      offVelocity_(other.offVelocity_) {
  std::memset(inline_, 0, sizeof inline_);
  assign(other.data(), other.length_);
}

MidiEvent& MidiEvent::operator=(const MidiEvent& other) {
  if (this == &other) return *this;
  ticks_ = other.ticks_;
  duration_ = other.duration_;
  track_ = other.track_;
  offVelocity_ = other.offVelocity_;
  setData(other.data(), other.length_);
  return *this;
}

MidiEvent::~MidiEvent() { release(); }

void MidiEvent::release() {
  if (!isInline()) std::free(heap_);
  length_ = 0;
  std::memset(inline_, 0, sizeof inline_);
}

void MidiEvent::assign(const uint8_t* bytes, uint32_t length) {
  if (length <= 3) {
    // Channel messages, most of the events: copied byte by byte rather than by a call.
    if (length > 0) inline_[0] = bytes[0];
    if (length > 1) inline_[1] = bytes[1];
    if (length > 2) inline_[2] = bytes[2];
  } else if (length <= kInlineCapacity) {
    std::memcpy(inline_, bytes, length);
  } else {
    heap_ = static_cast<uint8_t*>(std::malloc(length));
    if (!heap_) throw std::bad_alloc();
    std::memcpy(heap_, bytes, length);
  }
  length_ = length;
}

void MidiEvent::setData(const uint8_t* bytes, uint32_t length) {
  if (length <= kInlineCapacity) {
    // Copy first: the new bytes may live in our own buffer.
    uint8_t copy[kInlineCapacity] = {};
    if (length) std::memcpy(copy, bytes, length);
    release();
    std::memcpy(inline_, copy, kInlineCapacity);
    length_ = length;
    return;
  }
  if (!isInline()) {
    if (bytes >= heap_ && bytes < heap_ + length_) {
      auto* fresh = static_cast<uint8_t*>(std::malloc(length));
      if (!fresh) throw std::bad_alloc();
      std::memcpy(fresh, bytes, length);
      std::free(heap_);
      heap_ = fresh;
    } else {
      auto* grown = static_cast<uint8_t*>(std::realloc(heap_, length));
      if (!grown) throw std::bad_alloc();
      heap_ = grown;
      std::memcpy(heap_, bytes, length);
    }
    length_ = length;
    return;
  }
  auto* fresh = static_cast<uint8_t*>(std::malloc(length));
  if (!fresh) throw std::bad_alloc();
  std::memcpy(fresh, bytes, length);
  heap_ = fresh;
  length_ = length;
}

void MidiEvent::setChannel(uint8_t channel) {
  if (length_ == 0 || data()[0] >= 0xF0) return;
  data()[0] = uint8_t(status() + (channel & 0x0F));
}

uint32_t MidiEvent::metaDataSize() const {
  SW_REQUIRE(status()==META_EVENT, "UInt32 MidiEvent::metaDataSize()");
  if (length_ <= 2) return 0;
  VLQRead vlq = readVLQ(data() + 2, length_ - 2);
  if (!vlq.ok()) return 0;
  // Never more than the bytes actually held.
  uint32_t room = length_ - 2 - vlq.size;
  return vlq.value < room ? vlq.value : room;
}

const uint8_t* MidiEvent::metaData() const {
  SW_REQUIRE(status()==META_EVENT, "UInt8 *MidiEvent::metaData()");
  if (length_ <= 2) return data() + length_;
  VLQRead vlq = readVLQ(data() + 2, length_ - 2);
  return data() + 2 + (vlq.ok() ? vlq.size : 0);
}

void MidiEvent::setMetaData(const uint8_t* payload, uint32_t length) {
  SW_REQUIRE(status()==META_EVENT, "void MidiEvent::setMetaData(UInt8 *, UInt32)");
  if (length > kMaxVLQ) length = kMaxVLQ;
  uint8_t head[6];
  head[0] = data()[0];
  head[1] = length_ > 1 ? data()[1] : 0;
  uint32_t vlqBytes = writeVLQ(length, head + 2);
  uint32_t total = 2 + vlqBytes + length;
  auto* fresh = static_cast<uint8_t*>(std::malloc(total));
  if (!fresh) throw std::bad_alloc();
  std::memcpy(fresh, head, 2 + vlqBytes);
  if (length) std::memcpy(fresh + 2 + vlqBytes, payload, length);
  release();
  if (total <= kInlineCapacity) {
    std::memcpy(inline_, fresh, total);
    length_ = total;
    std::free(fresh);
    return;
  }
  heap_ = fresh;
  length_ = total;
}

uint32_t MidiEvent::sysexDataSize() const {
  SW_REQUIRE(status()==SYSEX, "UInt32 MidiEvent::sysexDataSize()");
  if (length_ <= 1) return 0;
  VLQRead vlq = readVLQ(data() + 1, length_ - 1);
  if (!vlq.ok() || vlq.value == 0) return 0;
  uint32_t room = length_ - 1 - vlq.size;
  uint32_t count = vlq.value < room ? vlq.value : room;
  return count ? count - 1 : 0;
}

const uint8_t* MidiEvent::sysexData() const {
  SW_REQUIRE(status()==SYSEX, "UInt8 *MidiEvent::sysexData()");
  if (length_ <= 1) return data() + length_;
  VLQRead vlq = readVLQ(data() + 1, length_ - 1);
  return data() + 1 + (vlq.ok() ? vlq.size : 0);
}

bool MidiEvent::isSameTypeOfEvent(const MidiEvent& other) const {
  uint8_t s = status();
  if (s != other.status()) return false;
  if (s == 0xB0 || s == META_EVENT) return second() == other.second();
  return true;
}

uint32_t MidiEvent::nextEventID() {
  // The calling thread starts a fresh range: every ID handed out so far, on any thread, lies
  // below it, and the events this thread makes next get it and the IDs after it.
  tNextID = gEventCounter.fetch_add(kIDRange, std::memory_order_relaxed) + 1;
  tLastID = tNextID + kIDRange;
  return tNextID;
}

}  // namespace sw
