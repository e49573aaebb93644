#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/event.h"
#include "platform/thread.h"
#include "sourcepath.h"

class TVLMon;

// The change monitor thread: it opens the monitor driver, tells it which drives and
// folders to watch, and every 250 ms (or at once when signalled) copies the paths the driver
// wrote into the shared ring into the change queue. It does no filtering. When it is told to
// stop, it stops the driver and moves every change still in the ring or held back by the
// driver into the queue before it ends, so that no change made before the stop is lost.
class TSourceThread : public TThread {
  public:
    // What the driver has to say for the log (limits reached, lost events).
    using TNoticeSink = std::function<void(const std::string&)>;

    TSourceThread(TSourcePathList& queue, TNoticeSink notices);
    ~TSourceThread() override;

    // Opens the driver, makes the ring and the event, sends the drive map (26 letters 'a' or
    // 'x' and a zero, as TProfile::GetSourceDrives makes it) and the source folders (comma
    // text), and starts the thread. False when the system offers no change monitor.
    bool Start(const std::string& driveMap, const std::string& sourceFolders);

  protected:
    void Execute() override;

  private:
    // Adds the slots the driver wrote since the last read to the queue.
    void ReadRing();
    bool RingEmpty() const;
    void PassNotices();

    TSourcePathList& Queue;
    TNoticeSink Notices;
    std::unique_ptr<TVLMon> Device;
    std::unique_ptr<int32_t[]> Section;  // the ring's memory, aligned for its indices
    char* View = nullptr;
    TEvent Event;
};
