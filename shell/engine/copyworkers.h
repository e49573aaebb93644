#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/thread.h"

// One file or folder of a backup run, in the order the walk over the sources met it. The
// run handles the items strictly in that order (log entries, progress); only the copying
// of files happens beside it, on the copy workers.
struct TCopyItem {
    enum TKind {
        ikCopy,              // a file to copy into a work file
        ikPassedOver,        // a file the profile does not cover: counted, nothing else
        ikUnusableName,      // a file or folder whose name drive paths cannot hold
        ikUnreadableFolder,  // a folder that could not be listed (whole or in part)
    };
    TKind Kind = ikCopy;
    std::string SourceName;
    int Counter = 0;  // the file's number in the walk; 0 for a folder
    int FolderError = 0;

    // What the copy came to, once Finished: Error 0 and the copy in WorkFile (in the backup
    // root, written but not yet forced out to the medium), or the reason it failed.
    bool Finished = false;
    int Error = 0;
    std::string WorkFile;
    int64_t SourceSize = 0;
    TFileStamp CopiedStamp;  // the source's size and time as it was copied
    bool Stopped = false;    // the run was stopped while this file was copied
    bool Vanished = false;   // the file went away before it could be opened

    // Deletes the work file of a copy that will not be put in place; false when there is
    // none.
    bool DropWorkFile();
};

// How a worker copies a file: where the work files go and how the copy is written.
struct TCopySettings {
    std::string Root;        // the backup root, in drive form
    std::string WorkPrefix;  // the work files' name prefix
    int8_t CompLevel = -1;   // as TVZipStream takes it
    int32_t Key = 0;         // the profile's password key
};

// Copies the file of item into a new work file in settings.Root: the source is read once
// more when it changed while it was read, and given up on (ERR_FILECHANGED) when it
// changes again. Fills in item's results; a failure leaves no work file behind.
void CopyIntoWorkFile(TCopyItem& item, const TCopySettings& settings,
                      const std::function<bool()>& stopRequested);

// Threads that copy the files of a run beside the thread that walks the sources, each one
// file at a time. Items come out in the order they went in, each once it is finished. The
// workers never touch the log, the controller or a version's name.
class TCopyWorkers {
  public:
    // threads: how many workers (at least 1); stopRequested is asked while a file is
    // copied, from the workers.
    TCopyWorkers(TCopySettings settings, int threads, std::function<bool()> stopRequested);
    // Stops the workers and removes the work files of the items never taken out.
    ~TCopyWorkers();
    TCopyWorkers(const TCopyWorkers&) = delete;
    TCopyWorkers& operator=(const TCopyWorkers&) = delete;

    // Adds an item at the end. Waits while the workers have enough files before them, so
    // that what a run holds stays small however many files it has.
    void Add(std::unique_ptr<TCopyItem> item);
    // The first item once it is finished; null when there is none or it is not finished
    // and wait is false.
    std::unique_ptr<TCopyItem> TakeFirst(bool wait);
    bool Empty() const;
    // Whether so many items wait to be taken out that the next should be waited for.
    bool Full() const;

    // How many workers a run uses: one per core and a few more.
    static int DefaultThreads();

  private:
    class TWorker;
    void Work();
    bool ShouldStop() const;
    // Waits (the run) until ready holds; the workers wake the run only then.
    template <typename TCondition>
    void WaitForRun(std::unique_lock<std::mutex>& guard, TCondition ready);

    const TCopySettings Settings;
    const std::function<bool()> StopRequested;
    const size_t MostWaiting;

    mutable std::mutex Lock;
    std::condition_variable WorkAdded;             // workers wait for it
    std::condition_variable ItemFinished;          // the run waits for it
    std::deque<std::unique_ptr<TCopyItem>> Items;  // in the order of the walk
    std::deque<TCopyItem*> ToCopy;                 // the copies no worker has begun
    size_t Unfinished = 0;
    size_t IdleWorkers = 0;              // workers waiting for work
    std::function<bool()> RunCondition;  // what the waiting run waits for, else empty
    bool Stopping = false;
    std::atomic<bool> Abandoned{false};  // a copy under way stops at once
    std::vector<std::unique_ptr<TWorker>> Workers;
};
