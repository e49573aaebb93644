#include "sourcethread.h"

#include <atomic>
#include <cstring>

#include "vlmon.h"

namespace {

constexpr uint32_t kPollMs = 250;

int32_t LoadIndex(char* view, size_t offset, std::memory_order order) {
    return std::atomic_ref<int32_t>(*reinterpret_cast<int32_t*>(view + offset)).load(order);
}

}  // namespace

TSourceThread::TSourceThread(TSourcePathList& queue, TNoticeSink notices)
    : TThread(true), Queue(queue), Notices(std::move(notices)) {}

TSourceThread::~TSourceThread() {
    // The body uses the members below: it must have ended before they go.
    Terminate();
    Event.Set();
    WaitFor();
    Device.reset();  // stops the driver and releases its watches
}

bool TSourceThread::Start(const std::string& driveMap, const std::string& sourceFolders) {
    Device = TVLMon::Open();
    if (!Device)
        return false;
    Section = std::make_unique<int32_t[]>(kRingBytes / sizeof(int32_t));  // zero-filled
    View = reinterpret_cast<char*>(Section.get());
    // The ring is known to the driver before anything can be reported.
    TRingRequest request{&Event, View};
    Device->DeviceIoControl(VLMON_SET_RING, &request, sizeof request);
    if (!Device->DeviceIoControl(VLMON_SET_DRIVES, driveMap.c_str(), driveMap.size() + 1) ||
        !Device->DeviceIoControl(VLMON_SET_FOLDERS, sourceFolders.c_str(),
                                 sourceFolders.size() + 1)) {
        Device.reset();
        return false;
    }
    Resume();
    return true;
}

void TSourceThread::Execute() {
    TRingRequest request{&Event, View};
    while (!Terminated()) {
        Device->DeviceIoControl(VLMON_SET_RING, &request, sizeof request);
        Event.WaitFor(kPollMs);
        ReadRing();
        PassNotices();
    }
    // Every change made before the stop reaches the queue: what the kernel still held, what
    // the driver held back for want of free slots, and what is in the ring.
    Device->DeviceIoControl(VLMON_STOP, nullptr, 0);
    do {
        ReadRing();
    } while (!Device->Delivered() || !RingEmpty());
    PassNotices();
}

bool TSourceThread::RingEmpty() const {
    return LoadIndex(View, kLastWrittenOffset, std::memory_order_acquire) ==
           LoadIndex(View, kLastReadOffset, std::memory_order_relaxed);
}

void TSourceThread::ReadRing() {
    int32_t lastRead = LoadIndex(View, kLastReadOffset, std::memory_order_relaxed);
    int32_t lastWritten = LoadIndex(View, kLastWrittenOffset, std::memory_order_acquire);
    if (lastRead == lastWritten || lastWritten < 0 || lastWritten >= kRingSlots)
        return;
    for (int32_t slot = lastRead; slot != lastWritten;) {
        slot = (slot + 1) % kRingSlots;  // after slot 200 comes slot 0
        const char* text = View + kSlotsOffset + kSlotBytes * static_cast<size_t>(slot);
        std::string path = text[0] == kLongPathMark ? Device->TakeLongPath(text)
                                                    : std::string(text, strnlen(text, kSlotBytes));
        if (!path.empty())
            Queue.Add(path);
    }
    std::atomic_ref<int32_t>(*reinterpret_cast<int32_t*>(View + kLastReadOffset))
        .store(lastWritten, std::memory_order_release);
}

void TSourceThread::PassNotices() {
    for (const std::string& notice : Device->TakeNotices()) {
        if (Notices)
            Notices(notice);
    }
}
