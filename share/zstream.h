#pragma once

#include <cstdint>
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
    explicit EZStreamError(int code)
        : Exception("Error in ZStream: " + std::to_string(code)), Code(code) {}
    int Code;
};

struct VLSHARE_EXPORT TVZStreamHeader {
    static constexpr int32_t MagicNumber1 = 0x2345;
    static constexpr int32_t MagicNumber2 = 0x5432;

    int32_t Magic1 = MagicNumber1;
    std::string OriginalPath;
    int32_t FileTime = 0;  // DOS packed local date-time
    int64_t OriginalSize = 0;
    int32_t Reserved = 0;
    int32_t Method = 0;  // 1 deflated, 0 stored
    int32_t Key = 0;     // the profile's password key, 0 for none
    int32_t Magic2 = MagicNumber2;

    bool IsValid() const { return Magic1 == MagicNumber1 && Magic2 == MagicNumber2; }

    // Writes the header in its stored form and order, in one piece.
    void Write(TStream& target) const;
    // Reads a stored header; raises EReadError when the stream ends inside it.
    void Read(TStream& source);
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

  protected:
    // Deflates (compress) or inflates count bytes of this stream from its position into
    // TargetStream, through two buffers of at most 16 KiB.
    void Process(bool compress, TVZCompLevel level, int64_t count);

    TStream* TargetStream = nullptr;
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

    // Writes the archive at target's position.
    void operator>>(TFileStream* target) override;
    // Creates (or truncates) the file targetName and writes the archive into it. When
    // that fails, the file is removed again and the error passes on.
    void operator>>(std::string targetName) override;

  private:
    void WriteStored(TFileStream& target, int64_t start, int64_t size);

    TVZCompLevel FCompLevel = 0;
    TVZStreamMethod FMethodToUse = sm_Stored;
    int64_t FLastTargetSize = 0;
};

// Reads an archive and restores the file it holds.
class VLSHARE_EXPORT TVUnzipStream : public TVZStream {
  public:
    // Reads the header at once; a file that is too short or no archive clears Valid.
    explicit TVUnzipStream(const std::string& archiveName);

    // Writes the file's content at target's position and stamps target with the header's
    // date-time. Raises EZStreamError(-3) when the archive is not valid or its content is
    // damaged or incomplete.
    void operator>>(TFileStream* target) override;
    // Extract with no answer wanted.
    void operator>>(std::string targetName) override;

    // Restores the file as targetName, obeying OverwriteMode; when it asks the user, the
    // answer is stored in *answer (answer may be null). False when the file was left
    // alone (overwrite declined, or its folder cannot be made). The file is written beside
    // the target first and takes its place only once the whole archive was read without
    // error, so a failure leaves an existing file as it was.
    bool Extract(std::string targetName, int* answer);

    bool Valid = false;

  private:
    bool IsOriginalSize(int64_t size) const;
    bool MayOverwrite(const std::string& targetName, int* answer);
    void ExtractThroughTemporaryFile(const std::string& fileName, bool replacing);

    int64_t ContentStart = 0;
};
