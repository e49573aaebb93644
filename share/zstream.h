#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "exceptions.h"
#include "platform/filestream.h"
#include "vlshare_export.h"

// Archive files: one backed-up copy of a file each. A fixed header (where the file came
// from, its size and date-time, the profile's password key) followed by the file's
// content, deflated as a zlib stream or stored as it is.

// -1 is zlib's default level, 0 no compression, 1 to 9 zlib's levels.
using TVZCompLevel = int8_t;

enum TVZStreamMethod : uint8_t {
    sm_Stored = 0,
    sm_Deflated = 1,
    sm_BestMethod = 2,  // deflate, but store when deflating would make the archive larger
};

// A zlib failure (-2 stream, -3 data, -4 memory, -5 buffer, -6 version); -3 also stands
// for an archive that is damaged or no archive at all.
class VLSHARE_EXPORT EZStreamError : public Exception {
  public:
    static constexpr int DamagedCode = -3;  // zlib's data error

    explicit EZStreamError(int code)
        : Exception("Error in ZStream: " + std::to_string(code)), Code(code) {}
    int Code;
};

struct VLSHARE_EXPORT TVZStreamHeader {
    static constexpr int32_t MagicNumber1 = 0x2345;
    static constexpr int32_t MagicNumber2 = 0x5432;

    // Reserved of a copy without a checksum: every copy written before checksums were kept.
    static constexpr uint32_t NoChecksum = 0;
    // Reserved of a copy whose checksum came out as 0, which would read as none.
    static constexpr uint32_t ZeroChecksum = 0xFFFFFFFF;

    int32_t Magic1 = MagicNumber1;
    std::string OriginalPath;
    int32_t FileTime = 0;  // DOS packed local date-time
    int64_t OriginalSize = 0;
    // The copy's checksum (see ChecksumOf), NoChecksum for none. Readers that know nothing
    // of it pass it over, as they pass over any value there.
    int32_t Reserved = 0;
    int32_t Method = 0;  // 1 deflated, 0 stored
    int32_t Key = 0;     // the profile's password key, 0 for none
    int32_t Magic2 = MagicNumber2;

    bool IsValid() const { return Magic1 == MagicNumber1 && Magic2 == MagicNumber2; }

    // Writes the header in its stored form and order, in one piece.
    void Write(TStream& target) const;
    // Reads a stored header; raises EReadError when the stream ends inside it.
    void Read(TStream& source);
    // The size of the stored header, and where in it Reserved lies.
    int64_t StoredSize() const;
    int64_t ReservedOffset() const;

    // The checksum of a copy whose original content has the CRC-32 contentCrc: that CRC
    // carried on over the fields of this header that say where the content goes and how
    // it is read (the path, size, date-time, method and key), so that damage to them is
    // found as damage to the content is.
    uint32_t ChecksumOf(uint32_t contentCrc) const;
    // What Reserved holds for that checksum: never NoChecksum, which would switch the
    // check off; a checksum of 0 is kept as ZeroChecksum.
    static uint32_t StoredChecksum(uint32_t checksum);
    bool HasChecksum() const { return static_cast<uint32_t>(Reserved) != NoChecksum; }
    // Whether the content with CRC-32 contentCrc is what this header's checksum was made
    // of; always true for a copy without one.
    bool ChecksumFits(uint32_t contentCrc) const;
};

// A file opened for reading (the source when writing an archive, the archive when
// extracting) whose bytes are poured into a second stream, the target.
class VLSHARE_EXPORT TVZStream : public TFileStream {
  public:
    explicit TVZStream(const std::string& fileName);

    const std::string& OriginalPath() const { return Header.OriginalPath; }
    int64_t OriginalSize() const { return Header.OriginalSize; }

    // Compares the last-write time of the file fileName with the header's: -1 when the
    // file is older, 1 when it is newer, 0 when they are equal.
    int CompareFileTime(const std::string& fileName) const;

    virtual void operator>>(std::string targetName) = 0;
    virtual void operator>>(TFileStream* target) = 0;

    TVZStreamHeader Header;
    // 0 never overwrite, 1 always, 2 only when the backed-up copy is newer, 3 ask.
    uint8_t OverwriteMode = 0;
    // Asked between the 16 KiB steps of writing or restoring a copy (before a content of
    // up to 1 MiB deflated whole, between the 1 MiB pieces of a large file deflated on
    // several threads). When it answers true,
    // the work stops there with EAbort and what it made is removed. The controller decides
    // what it stands for (vlctl: an interrupt from the terminal); empty: never stop.
    std::function<bool()> StopRequested;

  protected:
    // Deflates (compress) or inflates count bytes of this stream from its position into
    // TargetStream, through two buffers of at most 16 KiB.
    void Process(bool compress, TVZCompLevel level, int64_t count);
    // Copies count bytes of this stream from its position into TargetStream as they are.
    void CopyContent(int64_t count);
    // Raises EAbort when StopRequested asks for it.
    void StopWhenRequested() const;

    TStream* TargetStream = nullptr;
    // CRC-32 of the original content that Process and CopyContent passed on so far: the
    // bytes read when writing a copy, the bytes written when restoring one.
    uint32_t ContentCrc = 0;
};

// Writes an archive of a source file.
class VLSHARE_EXPORT TVZipStream : public TVZStream {
  public:
    explicit TVZipStream(const std::string& sourceName);

    TVZCompLevel CompLevel() const { return FCompLevel; }
    void SetCompLevel(TVZCompLevel level);
    TVZStreamMethod MethodToUse() const { return FMethodToUse; }
    void SetMethodToUse(TVZStreamMethod method);
    // Size of the target after the last archive was written.
    int64_t LastTargetSize() const { return FLastTargetSize; }

    // Content of at least this size is deflated on several threads when more than one is
    // allowed; smaller content on the calling thread alone.
    static constexpr int64_t ParallelDeflateThreshold = int64_t{4} << 20;
    // Content of up to this size is read whole and deflated in one call, which is faster
    // than a stream; larger content is streamed through 16 KiB buffers.
    static constexpr int64_t WholeDeflateLimit = int64_t{1} << 20;
    // How many threads deflate such content: one per core unless set; 1 keeps all the work
    // on the calling thread. 0 counts as 1.
    unsigned DeflateThreads() const { return FDeflateThreads; }
    void SetDeflateThreads(unsigned threads);

    // Writes the archive at target's position, its checksum in the header's Reserved. The
    // header is valid only once the whole archive is written.
    void operator>>(TFileStream* target) override;
    // The same into any stream (a small archive may be made in memory and written at once).
    void WriteArchive(TStream& target);
    // Writes the archive as the file targetName, replacing a file of that name (SaveAs).
    void operator>>(std::string targetName) override;

    enum TExistingFile { efReplace, efKeep };
    // Writes the archive into a work file beside targetName, forces it out to the medium
    // and only then gives it that name: a reader never finds half an archive under it.
    // With efKeep, a file (or link) already named so stays as it is and EFCreateError
    // with ERROR_ALREADY_EXISTS is raised. When anything fails or StopRequested stops it,
    // the work file is removed and the error passes on. Work files that processes which
    // ended left in that folder are removed first.
    void SaveAs(const std::string& targetName, TExistingFile existing);

  private:
    void WriteStored(TStream& target, int64_t start, int64_t size);
    // Deflates size bytes of the source from its position into TargetStream.
    void Deflate(int64_t size);
    // The same for content of at most WholeDeflateLimit bytes, read and deflated whole.
    void DeflateWhole(int64_t size);
    // Until the content is written whole, the header carries no first magic number, so
    // that no reader takes an archive cut short (by a crash, say) for a valid one, and no
    // checksum. Both are put in once the content is complete.
    void WriteUnfinishedHeader(TStream& target);
    void FinishHeader(TStream& target, int64_t start);

    TVZCompLevel FCompLevel = 0;
    TVZStreamMethod FMethodToUse = sm_Stored;
    int64_t FLastTargetSize = 0;
    unsigned FDeflateThreads;
};

// Reads an archive and restores the file it holds.
class VLSHARE_EXPORT TVUnzipStream : public TVZStream {
  public:
    // Reads the header at once; a file that is too short or no archive clears Valid, and
    // so does a stored path with a NUL in it (a damaged one: no file can be named so).
    explicit TVUnzipStream(const std::string& archiveName);

    // The prefix of the work files that Extract writes beside their targets.
    static constexpr const char* WorkFilePrefix = ".VLR";

    // Writes the file's content at target's position and stamps target with the header's
    // date-time. Raises EZStreamError(-3) when the archive is not valid or its content is
    // damaged or incomplete, or does not fit the checksum in the header.
    void operator>>(TFileStream* target) override;
    // Reads the content through into target, checked as operator>> checks it, without
    // stamping anything (to verify a copy, target may throw the bytes away).
    void ReadContent(TStream& target);
    // Extract with no answer wanted.
    void operator>>(std::string targetName) override;

    // Restores the file as targetName, obeying OverwriteMode; when it asks the user, the
    // answer is stored in *answer (answer may be null). False when the file was left
    // alone (overwrite declined, or its folder cannot be made). The file is written beside
    // the target first and takes its place only once the whole archive was read without
    // error, so a failure leaves an existing file as it was.
    // Nothing is written through a symbolic link: a link named targetName counts as an
    // existing file and is itself replaced, and a target whose folders lead out of its
    // drive through a link is refused (EFCreateError), as are a target that names a
    // folder step (".."), and a folder, pipe, device or socket in the target's place.
    bool Extract(std::string targetName, int* answer);

    bool Valid = false;
    // Whether Extract first removes the work files that ended processes left in the
    // target's folder. A run that restores many files into one folder does that once
    // itself (RemoveStaleWorkFiles with WorkFilePrefix) instead of listing the folder for
    // every file.
    bool RemoveStaleWorkFilesFirst = true;
    // Set by a caller that has made sure that the target's folder does not lead out of its
    // drive through a symbolic link (for many files of one folder, once), so that Extract
    // need not look again.
    bool TargetFolderChecked = false;

  private:
    void ReadHeader();
    bool IsOriginalSize(int64_t size) const;
    bool MayOverwrite(const std::string& targetName, int* answer);
    void ExtractThroughTemporaryFile(const std::string& fileName, bool replacing);
    // False when the folder's file system cannot make a file without a name.
    bool ExtractThroughUnnamedFile(const std::string& folder, const std::string& fileName);

    int64_t ContentStart = 0;
};
