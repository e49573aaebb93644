#include "zstream.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <new>
#include <vector>

#include "interaction.h"
#include "paralleldeflate.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/syserror.h"
#include "varchive.h"
#include "vfileutil.h"
#include "wholedeflate.h"

namespace {

static_assert(EZStreamError::DamagedCode == Z_DATA_ERROR);

constexpr int64_t BufferSize = 16384;
// What the reader of an archive takes in at once to find the header in.
constexpr int64_t HeaderProbeSize = 1024;
// Work files: a copy being restored beside its target, an archive being written beside
// its name. Hidden, and named by their process so that a later run can tell those of a
// process that was killed.
constexpr const char* RestoreWorkPrefix = TVUnzipStream::WorkFilePrefix;
constexpr const char* ArchiveWorkPrefix = ".VLA";
// The stored header's last four fields, Reserved first: Reserved, Method, Key, Magic2.
constexpr int64_t ReservedToHeaderEnd = 16;

std::unique_ptr<uint8_t[]> AllocateBuffer(int64_t size) {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
    if (!buffer)
        throw EZStreamError(Z_MEM_ERROR);
    return buffer;
}

// A zlib stream's state, kept by each thread for its next stream of the same kind: setting
// one up costs a quarter of a megabyte of fresh memory, more than deflating a small file.
class TZlibState {
  public:
    TZlibState(bool compress, TVZCompLevel level) : Compress(compress), Level(level) {
        int result = compress ? deflateInit(&State, level) : inflateInit(&State);
        if (result != Z_OK)
            throw EZStreamError(result);
    }
    ~TZlibState() {
        if (Compress)
            deflateEnd(&State);
        else
            inflateEnd(&State);
    }
    TZlibState(const TZlibState&) = delete;
    TZlibState& operator=(const TZlibState&) = delete;

    bool Fits(bool compress, TVZCompLevel level) const {
        return compress == Compress && (!compress || level == Level);
    }
    // Makes the state that of a new stream.
    void Reset() {
        // What an earlier stream left unread (one stopped halfway) is not this one's.
        State.next_in = nullptr;
        State.avail_in = 0;
        int result = Compress ? deflateReset(&State) : inflateReset(&State);
        if (result != Z_OK)
            throw EZStreamError(result);
    }

    z_stream State{};
    const bool Compress;
    const TVZCompLevel Level;
};

// The states a thread keeps: one for deflating, one for inflating.
thread_local std::unique_ptr<TZlibState> KeptDeflate;
thread_local std::unique_ptr<TZlibState> KeptInflate;

// One zlib stream, from a kept state when there is one that fits.
class TZlibSession {
  public:
    TZlibSession(bool compress, TVZCompLevel level) : Compress(compress) {
        std::unique_ptr<TZlibState>& kept = compress ? KeptDeflate : KeptInflate;
        if (kept && kept->Fits(compress, level)) {
            Owned = std::move(kept);
            Owned->Reset();
        } else {
            Owned = std::make_unique<TZlibState>(compress, level);
        }
    }
    ~TZlibSession() {
        // However the stream ended, its state serves the next one after a reset.
        (Compress ? KeptDeflate : KeptInflate) = std::move(Owned);
    }
    TZlibSession(const TZlibSession&) = delete;
    TZlibSession& operator=(const TZlibSession&) = delete;

    z_stream& State() { return Owned->State; }
    int Step(bool lastInput) {
        if (Compress)
            return deflate(&Owned->State, lastInput ? Z_FINISH : Z_NO_FLUSH);
        return inflate(&Owned->State, Z_NO_FLUSH);
    }

  private:
    bool Compress;
    std::unique_ptr<TZlibState> Owned;
};

// The most bytes an archive's content may inflate to. Older writers stored the size in 32
// bits, widened with its sign, so a size read as negative may stand for one above 2 GiB.
int64_t LargestOriginalSize(int64_t originalSize) {
    return std::max(originalSize, static_cast<int64_t>(static_cast<uint32_t>(originalSize)));
}

[[noreturn]] void RaiseCannotCreate(const std::string& fileName) {
    int error = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_GEN_FAILURE;
    throw EFCreateError(error,
                        "Cannot create file \"" + fileName + "\". " + SysErrorMessage(error));
}

[[noreturn]] void RefuseTarget(const std::string& fileName, int error, const std::string& why) {
    SetLastError(error);
    throw EFCreateError(error, "Cannot create file \"" + fileName + "\". " + why);
}

uint32_t Crc32(uint32_t crc, const uint8_t* bytes, int64_t count) {
    // zlib takes the count in steps it can hold.
    while (count > 0) {
        uInt step = static_cast<uInt>(std::min<int64_t>(count, 1 << 30));
        crc = static_cast<uint32_t>(crc32(crc, bytes, step));
        bytes += step;
        count -= step;
    }
    return crc;
}

// Where a restored file may go, decided before anything is made: never into a folder
// reached through a link out of the target's drive, never over a folder or a special
// file, never under a name that is a folder step.
void CheckRestoreTarget(const std::string& targetName, TEntryKind existing, bool folderChecked) {
    const std::string name = ExtractFileName(targetName);
    if (name.empty() || name == "." || name == "..") {
        RefuseTarget(targetName, ERROR_INVALID_NAME,
                     "The path ends in a folder, not in a file name.");
    }
    if (existing == ekFolder)
        RefuseTarget(targetName, ERROR_ACCESS_DENIED, "A folder of that name is in its place.");
    if (existing == ekOther) {
        RefuseTarget(targetName, ERROR_ACCESS_DENIED,
                     "A pipe, device or socket of that name is in its place.");
    }
    if (!folderChecked && LeavesItsDrive(targetName)) {
        RefuseTarget(targetName, ERROR_ACCESS_DENIED,
                     std::string("Its folder leads out of drive ") + AsciiUpper(targetName[0]) +
                         ": through a symbolic link.");
    }
}

}  // namespace

// ---- Header ----

void TVZStreamHeader::Write(TStream& target) const {
    TMemoryStream bytes;
    bytes.WriteValue(Magic1);
    bytes << OriginalPath;
    bytes.WriteValue(OriginalSize);
    bytes.WriteValue(FileTime);
    bytes.WriteValue(Reserved);
    bytes.WriteValue(Method);
    bytes.WriteValue(Key);
    bytes.WriteValue(Magic2);
    target.WriteBuffer(bytes.Data.data(), static_cast<int64_t>(bytes.Data.size()));
}

int64_t TVZStreamHeader::StoredSize() const {
    TMemoryStream bytes;
    Write(bytes);
    return static_cast<int64_t>(bytes.Data.size());
}

int64_t TVZStreamHeader::ReservedOffset() const {
    return StoredSize() - ReservedToHeaderEnd;
}

uint32_t TVZStreamHeader::ChecksumOf(uint32_t contentCrc) const {
    TMemoryStream fields;
    fields << OriginalPath;
    fields.WriteValue(OriginalSize);
    fields.WriteValue(FileTime);
    fields.WriteValue(Method);
    fields.WriteValue(Key);
    return Crc32(contentCrc, fields.Data.data(), static_cast<int64_t>(fields.Data.size()));
}

uint32_t TVZStreamHeader::StoredChecksum(uint32_t checksum) {
    return checksum == NoChecksum ? ZeroChecksum : checksum;
}

bool TVZStreamHeader::ChecksumFits(uint32_t contentCrc) const {
    if (!HasChecksum())
        return true;
    return StoredChecksum(ChecksumOf(contentCrc)) == static_cast<uint32_t>(Reserved);
}

void TVZStreamHeader::Read(TStream& source) {
    Magic1 = source.ReadValue<int32_t>();
    source >> OriginalPath;
    OriginalSize = source.ReadValue<int64_t>();
    FileTime = source.ReadValue<int32_t>();
    Reserved = source.ReadValue<int32_t>();
    Method = source.ReadValue<int32_t>();
    Key = source.ReadValue<int32_t>();
    Magic2 = source.ReadValue<int32_t>();
}

// ---- TVZStream ----

TVZStream::TVZStream(const std::string& fileName) : TFileStream(fileName, fmOpenRead) {}

int TVZStream::CompareFileTime(const std::string& fileName) const {
    int32_t onDisk = FileAge(fileName);
    return onDisk < Header.FileTime ? -1 : onDisk > Header.FileTime ? 1 : 0;
}

void TVZStream::StopWhenRequested() const {
    if (StopRequested && StopRequested())
        throw EAbort();
}

void TVZStream::CopyContent(int64_t count) {
    if (count <= 0)
        return;
    auto buffer = AllocateBuffer(std::min(count, BufferSize));
    for (int64_t done = 0; done < count;) {
        StopWhenRequested();
        int64_t step = std::min(count - done, BufferSize);
        ReadBuffer(buffer.get(), step);
        ContentCrc = Crc32(ContentCrc, buffer.get(), step);
        TargetStream->WriteBuffer(buffer.get(), step);
        done += step;
    }
}

void TVZStream::Process(bool compress, TVZCompLevel level, int64_t count) {
    if (count <= 0)
        return;
    TZlibSession zlib(compress, level);
    z_stream& state = zlib.State();
    const int64_t inSize = std::min(count, BufferSize);
    const int64_t outSize = compress ? std::min(count, BufferSize) : BufferSize;
    auto inBuffer = AllocateBuffer(inSize);
    auto outBuffer = AllocateBuffer(outSize);

    int64_t handedIn = 0;  // bytes of this stream given to zlib so far
    int64_t flushed = 0;   // bytes written to the target so far
    // A damaged archive may inflate to far more than its header claims: stop it early.
    const int64_t limit = compress ? INT64_MAX : LargestOriginalSize(Header.OriginalSize);
    state.next_out = outBuffer.get();
    state.avail_out = static_cast<uInt>(outSize);
    // The original content passes through the input when compressing, the output when not.
    auto writeOut = [&](int64_t length) {
        if (!compress)
            ContentCrc = Crc32(ContentCrc, outBuffer.get(), length);
        TargetStream->WriteBuffer(outBuffer.get(), length);
    };
    while (true) {
        StopWhenRequested();
        if (state.avail_in == 0 && handedIn < count) {
            int64_t step = std::min(inSize, count - handedIn);
            ReadBuffer(inBuffer.get(), step);
            if (compress)
                ContentCrc = Crc32(ContentCrc, inBuffer.get(), step);
            state.next_in = inBuffer.get();
            state.avail_in = static_cast<uInt>(step);
            handedIn += step;
        }
        bool lastInput = handedIn == count;
        int result = zlib.Step(lastInput);
        if (flushed + (outSize - static_cast<int64_t>(state.avail_out)) > limit)
            throw EZStreamError(Z_DATA_ERROR);
        if (state.avail_out == 0) {
            writeOut(outSize);
            flushed += outSize;
            state.next_out = outBuffer.get();
            state.avail_out = static_cast<uInt>(outSize);
        }
        if (result == Z_STREAM_END)
            break;
        // With room for output, zlib stalls only for want of input: all of it was given,
        // so the compressed data ends early.
        if (result == Z_BUF_ERROR && lastInput && state.avail_in == 0)
            throw EZStreamError(compress ? Z_BUF_ERROR : Z_DATA_ERROR);
        // A stream that asks for a preset dictionary was never written by this program.
        if (result == Z_NEED_DICT)
            throw EZStreamError(Z_DATA_ERROR);
        if (result != Z_OK && result != Z_BUF_ERROR)
            throw EZStreamError(result);
    }
    writeOut(outSize - state.avail_out);
    // Bytes after the end of the compressed data mean the archive is damaged.
    if (!compress && (state.avail_in != 0 || handedIn != count))
        throw EZStreamError(Z_DATA_ERROR);
}

// ---- TVZipStream ----

TVZipStream::TVZipStream(const std::string& sourceName)
    : TVZStream(sourceName), FDeflateThreads(TParallelDeflate::DefaultThreads()) {
    SetCompLevel(-1);
    Header.OriginalPath = sourceName;
    Header.FileTime = GetOpenedFileDate();
    Header.OriginalSize = GetOpenedStamp().Size;
}

void TVZipStream::SetCompLevel(TVZCompLevel level) {
    FCompLevel = level;
    if (level == 0 || FMethodToUse == sm_Stored)
        FMethodToUse = level != 0 ? sm_BestMethod : sm_Stored;
}

void TVZipStream::SetMethodToUse(TVZStreamMethod method) {
    FMethodToUse = method;
    if (method == sm_Stored || FCompLevel == 0)
        FCompLevel = method != sm_Stored ? -1 : 0;
}

void TVZipStream::SetDeflateThreads(unsigned threads) {
    FDeflateThreads = std::max(threads, 1u);
}

void TVZipStream::Deflate(int64_t size) {
    if (size > 0 && size <= WholeDeflateLimit) {
        DeflateWhole(size);
        return;
    }
    // Below the threshold starting threads and cutting the content into pieces would cost
    // about as much time as the threads save, and some ratio besides.
    if (FDeflateThreads < 2 || size < ParallelDeflateThreshold) {
        Process(true, FCompLevel, size);
        return;
    }
    TParallelDeflate deflater(FCompLevel, FDeflateThreads);
    deflater.StopRequested = StopRequested;
    ContentCrc = deflater.Compress(*this, *TargetStream, size);
}

void TVZipStream::DeflateWhole(int64_t size) {
    StopWhenRequested();
    const auto length = static_cast<size_t>(size);
    uint8_t* content = wholedeflate::Input(length);
    ReadBuffer(content, size);
    ContentCrc = Crc32(ContentCrc, content, size);
    wholedeflate::TOutput deflated = wholedeflate::Compress(FCompLevel, content, length);
    if (deflated.Size == 0)
        throw EZStreamError(Z_BUF_ERROR);
    TargetStream->WriteBuffer(deflated.Data, static_cast<int64_t>(deflated.Size));
}

void TVZipStream::operator>>(TFileStream* target) {
    WriteArchive(*target);
}

void TVZipStream::WriteArchive(TStream& targetStream) {
    TStream* target = &targetStream;
    TargetStream = target;
    const int64_t start = target->GetPosition();
    // The header records the size the content will have: the source as it is now, even
    // when it changed since it was opened.
    SetPosition(0);
    const int64_t size = GetSize();
    Header.OriginalSize = size;
    if (FCompLevel == 0) {
        WriteStored(*target, start, size);
    } else {
        Header.Method = 1;
        WriteUnfinishedHeader(*target);
        ContentCrc = 0;
        const int64_t storedEnd = target->GetPosition() + size;
        Deflate(size);
        if (FMethodToUse == sm_BestMethod && target->GetSize() > storedEnd) {
            SetMethodToUse(sm_Stored);
            WriteStored(*target, start, size);
        }
    }
    FinishHeader(*target, start);
    FLastTargetSize = target->GetSize();
}

void TVZipStream::WriteUnfinishedHeader(TStream& target) {
    TVZStreamHeader unfinished = Header;
    unfinished.Magic1 = 0;
    unfinished.Reserved = static_cast<int32_t>(TVZStreamHeader::NoChecksum);
    unfinished.Write(target);
}

void TVZipStream::WriteStored(TStream& target, int64_t start, int64_t size) {
    SetPosition(0);
    target.SetSize(start);
    target.SetPosition(start);
    Header.Method = 0;
    WriteUnfinishedHeader(target);
    ContentCrc = 0;
    CopyContent(size);
}

void TVZipStream::FinishHeader(TStream& target, int64_t start) {
    const int64_t end = target.GetPosition();
    const uint32_t checksum = TVZStreamHeader::StoredChecksum(Header.ChecksumOf(ContentCrc));
    Header.Reserved = static_cast<int32_t>(checksum);
    target.SetPosition(start + Header.ReservedOffset());
    target.WriteValue(Header.Reserved);
    target.SetPosition(start);
    target.WriteValue(Header.Magic1);
    target.SetPosition(end);
}

void TVZipStream::operator>>(std::string targetName) {
    SaveAs(targetName, efReplace);
}

void TVZipStream::SaveAs(const std::string& targetName, TExistingFile existing) {
    const std::string folder = ExtractFilePath(targetName);
    RemoveStaleWorkFiles(folder, ArchiveWorkPrefix);
    std::string workName;
    if (!CreateUniqueFile(folder, ArchiveWorkPrefix, workName))
        RaiseCannotCreate(targetName);
    try {
        TFileStream work(workName, fmOpenReadWrite);
        *this >> &work;
        if (!CopyFileMode(targetName, workName))
            RaiseCannotCreate(targetName);
        work.Flush();
        work.Close();
        bool placed = existing == efReplace ? ReplaceFile(workName, targetName)
                                            : RenameFile(workName, targetName);
        if (!placed)
            RaiseCannotCreate(targetName);
    } catch (...) {
        DeleteFile(workName);
        throw;
    }
}

// ---- TVUnzipStream ----

TVUnzipStream::TVUnzipStream(const std::string& archiveName) : TVZStream(archiveName) {
    try {
        ReadHeader();
        Valid = Header.IsValid() && Header.OriginalPath.find('\0') == std::string::npos;
    } catch (const EStreamError&) {
        Valid = false;
    }
}

void TVUnzipStream::ReadHeader() {
    // One read takes in the header of nearly every copy: its path is rarely long.
    // No more than the file holds, so that the read ends with the first call.
    const int64_t probe = std::clamp<int64_t>(GetOpenedStamp().Size, 0, HeaderProbeSize);
    std::vector<uint8_t> start(static_cast<size_t>(probe));
    const int64_t got = Read(start.data(), probe);
    start.resize(static_cast<size_t>(got));
    TMemoryStream bytes(std::move(start));
    try {
        Header.Read(bytes);
        ContentStart = bytes.GetPosition();
    } catch (const EReadError&) {
        if (got < HeaderProbeSize && GetSize() <= got)
            throw;  // the whole file was read: it ends inside the header
        SetPosition(0);
        Header.Read(*this);
        ContentStart = GetPosition();
    }
    SetPosition(ContentStart);
}

void TVUnzipStream::operator>>(TFileStream* target) {
    ReadContent(*target);
    target->SetFileDate(Header.FileTime);
}

void TVUnzipStream::ReadContent(TStream& targetStream) {
    if (!Valid)
        throw EZStreamError(Z_DATA_ERROR);
    TStream* target = &targetStream;
    TargetStream = target;
    SetPosition(ContentStart);
    const int64_t start = target->GetPosition();
    const int64_t count = GetSize() - ContentStart;
    ContentCrc = 0;
    if (Header.Method != 0) {
        Process(false, -1, count);
    } else {
        if (!IsOriginalSize(count))
            throw EZStreamError(Z_DATA_ERROR);
        CopyContent(count);
    }
    // Content of another size than the source had means the archive was cut off (a zlib
    // stream cut right after the header looks like an empty one).
    if (!IsOriginalSize(target->GetPosition() - start))
        throw EZStreamError(Z_DATA_ERROR);
    if (!Header.ChecksumFits(ContentCrc))
        throw EZStreamError(Z_DATA_ERROR);
}

bool TVUnzipStream::IsOriginalSize(int64_t size) const {
    // Archives of older writers hold the size in 32 bits, widened with its sign.
    return size == Header.OriginalSize || static_cast<int32_t>(size) == Header.OriginalSize;
}

void TVUnzipStream::operator>>(std::string targetName) {
    Extract(targetName, nullptr);
}

bool TVUnzipStream::MayOverwrite(const std::string& targetName, int* answer) {
    switch (OverwriteMode) {
        case 0:
            return false;
        case 2:
            return CompareFileTime(targetName) < 0;
        case 3: {
            int reply = Interaction().AskOverwrite(targetName, Header.FileTime);
            if (answer)
                *answer = reply;
            return reply == IDYES || reply == IDYESTOALL;
        }
        default:
            return true;
    }
}

bool TVUnzipStream::Extract(std::string targetName, int* answer) {
    if (!Valid)
        throw EZStreamError(Z_DATA_ERROR);
    const TEntryKind existing = EntryKindOf(targetName);
    CheckRestoreTarget(targetName, existing, TargetFolderChecked);
    // A link counts as a file there: the overwrite rule decides, and it is the link that
    // is replaced, never the file it leads to.
    if (existing != ekNone && !MayOverwrite(targetName, answer))
        return false;
    const std::string folder = ExtractFilePath(targetName);
    if (!folder.empty() && !DirectoryExists(folder)) {
        ForceDirectories(folder);
        if (!DirectoryExists(folder))
            return false;
    }
    if (existing == ekFile) {
        // A file that may not be written to is not replaced behind its back.
        TFileStream writable(targetName, fmOpenWrite);
    }
    ExtractThroughTemporaryFile(targetName, existing != ekNone);
    return true;
}

bool TVUnzipStream::ExtractThroughUnnamedFile(const std::string& folder,
                                              const std::string& fileName) {
    std::unique_ptr<TFileStream> work;
    try {
        work = TFileStream::CreateUnnamed(folder);
    } catch (const EFCreateError&) {
        RaiseCannotCreate(fileName);
    }
    if (!work)
        return false;
    *this >> work.get();
    // Named while it is open (it is reached through its descriptor); a file of that name
    // that came meanwhile stays as it is.
    if (!work->LinkAs(fileName))
        RaiseCannotCreate(fileName);
    try {
        work->Close();
    } catch (...) {
        DeleteFile(fileName);
        throw;
    }
    return true;
}

void TVUnzipStream::ExtractThroughTemporaryFile(const std::string& fileName, bool replacing) {
    const std::string folder = ExtractFilePath(fileName);
    if (RemoveStaleWorkFilesFirst)
        RemoveStaleWorkFiles(folder, RestoreWorkPrefix);
    // A new file is best written without a name and named once complete: one step in the
    // folder instead of three, and nothing left behind by a crash.
    if (!replacing && ExtractThroughUnnamedFile(folder, fileName))
        return;
    std::unique_ptr<TFileStream> work;
    try {
        work = TFileStream::CreateUnique(folder, RestoreWorkPrefix);
    } catch (const EFCreateError&) {
        RaiseCannotCreate(fileName);
    }
    const std::string workName = work->GetFileName();
    try {
        *this >> work.get();
        if (!CopyFileMode(fileName, workName))
            RaiseCannotCreate(fileName);
        // The old file goes only when the new one is safely on the medium.
        if (replacing)
            work->Flush();
        work->Close();
        if (!ReplaceFile(workName, fileName))
            RaiseCannotCreate(fileName);
    } catch (...) {
        work.reset();
        DeleteFile(workName);
        throw;
    }
}
