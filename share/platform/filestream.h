#pragma once

#include <memory>
#include <string>

#include "platform/files.h"
#include "streams.h"
#include "vlshare_export.h"

enum : unsigned {
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmCreate = 0xFF00,  // create, or truncate an existing file; open for reading and writing
};

// A stream over an open file, named by a path in the program's form (paths.h). Opening failures
// raise EFOpenError (EFCreateError for fmCreate), read and write failures EReadError and
// EWriteError; each leaves the system error in the last error as well. Opening for writing
// fails on a write-protected medium (19); on a drive with a capacity in the drive map, a
// write that would let the medium's files outgrow it writes what fits and fails with 112.
class VLSHARE_EXPORT TFileStream : public TStream {
  public:
    TFileStream(const std::string& fileName, unsigned mode);
    // Creates a new, empty file in folder as CreateUniqueFile does (files.h) and opens it
    // for reading and writing; raises EFCreateError when it cannot.
    static std::unique_ptr<TFileStream> CreateUnique(const std::string& folder,
                                                     const std::string& prefix);
    // Creates a file without a name in folder, open for reading and writing, that LinkAs
    // gives a name once it is complete: until then no one can see it, and when the process
    // ends first (a crash, a kill) nothing of it is left. Null when the folder's file system
    // has no such files; raises EFCreateError when the file cannot be made.
    static std::unique_ptr<TFileStream> CreateUnnamed(const std::string& folder);
    // Gives a file made by CreateUnnamed the name fileName; fails (false, last error set)
    // when fileName exists (ERROR_ALREADY_EXISTS) or cannot be made.
    bool LinkAs(const std::string& fileName);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t size) override;

    const std::string& GetFileName() const { return FileName; }
    // Last-write time of the open file as a DOS packed local date-time.
    int32_t GetFileDate() const;
    void SetFileDate(int32_t fileDate);
    // Hands what was written on to the medium while writing goes on, every few megabytes,
    // without waiting for it: a later sync (Flush, SyncFileSystemOf) then finds little
    // left to do. For large files whose sync would otherwise come all at the end.
    void SetWriteBehind(bool on) { WriteBehind = on; }
    // The size and last-write time the file had when it was opened (Size -1 for a file
    // this stream created), and its last-write time then as a DOS packed date-time.
    const TFileStamp& GetOpenedStamp() const { return OpenedStamp; }
    int32_t GetOpenedFileDate() const { return OpenedDate; }
    // Forces what was written out to the medium.
    void Flush();
    // Closes the file at once, so that a failure the system reports only then (a full
    // disk or quota on some file systems) raises EWriteError instead of passing unseen.
    void Close();

  private:
    TFileStream(const std::string& fileName, int handle);
    void HandOnWritten();

    // How many of count bytes written at the current position still fit on the medium.
    int64_t Fitting(int64_t count) const;

    std::string FileName;
    int Handle = -1;
    int64_t Position = 0;
    TFileStamp OpenedStamp;
    int32_t OpenedDate = -1;
    bool WriteBehind = false;
    int64_t HandedOn = 0;  // with WriteBehind: where the bytes not yet handed on begin
    int64_t MaxSize = -1;  // the largest the file may grow on its medium; -1: no limit
    char Letter = 0;       // the drive the file lies on, 0 for none
};
