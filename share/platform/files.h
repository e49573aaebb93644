#pragma once

#include <cstdint>
#include <string>

#include "platform/hostpath.h"
#include "vlshare_export.h"

// Files and folders by path in the program's form (paths.h): drive form, or a host path
// for the program's own folders. A path of neither form (a relative name) fails with
// ERROR_PATH_NOT_FOUND; nothing is guessed. Functions that can fail say so by their result
// and leave the reason in the last system error (syserror.h).

// File attributes as the program knows them. Read-only stands for the missing write bits,
// hidden for a name that begins with a dot. The archive attribute is set while a file's
// size and last-write time differ from those recorded when it was last cleared.
enum : int {
    faReadOnly = 0x01,
    faHidden = 0x02,
    faSysFile = 0x04,
    faVolumeID = 0x08,
    faDirectory = 0x10,
    faArchive = 0x20,
    faAnyFile = 0x3F,
};

VLSHARE_EXPORT bool FileExists(const std::string& path);  // a file, not a folder
VLSHARE_EXPORT bool DirectoryExists(const std::string& path);

// What lies at path itself, a symbolic link not followed.
enum TEntryKind {
    ekNone,    // nothing (or path cannot be mapped)
    ekFile,    // a regular file
    ekFolder,  // a folder
    ekLink,    // a symbolic link, whatever it leads to
    ekOther,   // a pipe, device or socket
};
VLSHARE_EXPORT TEntryKind EntryKindOf(const std::string& path);
VLSHARE_EXPORT bool CreateDir(const std::string& path);         // one level
VLSHARE_EXPORT bool ForceDirectories(const std::string& path);  // with missing parents
VLSHARE_EXPORT bool RemoveDir(const std::string& path);
VLSHARE_EXPORT bool DeleteFile(const std::string& path);
// Renames a file or folder; fails when newPath exists (ERROR_ALREADY_EXISTS).
VLSHARE_EXPORT bool RenameFile(const std::string& oldPath, const std::string& newPath);
// Renames a file over newPath, replacing it in one step.
VLSHARE_EXPORT bool ReplaceFile(const std::string& oldPath, const std::string& newPath);

// Gives the file path the permission bits of the file model; when model does not exist
// or is a symbolic link (whose file is another's), those a newly created file gets (read
// and write as far as the creation mask allows).
VLSHARE_EXPORT bool CopyFileMode(const std::string& model, const std::string& path);

// Size in bytes, or -1.
VLSHARE_EXPORT int64_t GetFileSize(const std::string& path);
// Last-write time as a DOS packed local date-time, or -1.
VLSHARE_EXPORT int32_t FileAge(const std::string& path);
VLSHARE_EXPORT bool FileSetDate(const std::string& path, int32_t fileDate);

// What tells one state of a file's content from another: its size and last-write time.
struct TFileStamp {
    int64_t Size = -1;
    int64_t WriteTimeNs = 0;
    bool operator==(const TFileStamp&) const = default;
};
VLSHARE_EXPORT bool GetFileStamp(const std::string& path, TFileStamp& stamp);

// Attributes (fa... flags), or -1.
VLSHARE_EXPORT int GetFileAttributes(const std::string& path);
// Applies the read-only and archive flags of attributes; the others cannot be set here.
VLSHARE_EXPORT bool SetFileAttributes(const std::string& path, int attributes);

// Clears the archive attribute of the file path when its size and last-write time are still
// those of stamp (the state that was backed up); a file changed since keeps it, so that
// the change is not missed (false, last error 0).
VLSHARE_EXPORT bool ClearArchiveAttribute(const std::string& path, const TFileStamp& stamp);

// Whole-file helpers for the program's own files. ReadFileText reads only a regular file
// (a link to one is followed) of at most maxBytes, and never blocks. A folder fails with
// ERROR_DIRECTORY_NOT_SUPPORTED, a pipe, socket or device with ERROR_BAD_FILE_TYPE, a larger
// file with ERROR_FILE_TOO_LARGE, a link to nothing with ERROR_CANT_RESOLVE_FILENAME and a
// missing file with ERROR_FILE_NOT_FOUND. The default limit is far above what the
// program's files hold in use (the log keeps at most 32,000 lines, the profiles file a
// few kilobytes a profile). WriteFileAtomically writes to a work file beside path, flushes
// it to disk and renames it over path: a failure leaves the old file as it was. When path
// is a symbolic link to a regular file, the file it leads to is written and the link
// stays. A work file left by a killed process is removed at the next write of the file.
constexpr int64_t kProgramFileLimit = int64_t{64} << 20;
VLSHARE_EXPORT bool ReadFileText(const std::string& path, std::string& content,
                                 int64_t maxBytes = kProgramFileLimit);
VLSHARE_EXPORT bool WriteFileAtomically(const std::string& path, const std::string& content);

// Creates a new, empty file in folder whose name is prefix followed by a unique ending;
// name := its path in folder's form. The ending names the creating process, so that the
// work files a crashed or killed process left behind can be told from those in use.
VLSHARE_EXPORT bool CreateUniqueFile(const std::string& folder, const std::string& prefix,
                                     std::string& name);
// Removes the files of folder that CreateUniqueFile made with prefix for a process that no
// longer runs; the files of running processes stay. Returns how many were removed.
VLSHARE_EXPORT int RemoveStaleWorkFiles(const std::string& folder, const std::string& prefix);

// Forces everything written to the file system that holds folder out to its medium, for
// all files at once (a group commit): what was written before the call is on the medium
// when it returns true.
VLSHARE_EXPORT bool SyncFileSystemOf(const std::string& folder);

// One entry of a folder search.
struct TSearchRec {
    std::string Name;
    int64_t Size = 0;
    int32_t Time = 0;  // DOS packed local date-time
    int Attr = 0;
    bool Link = false;  // a symbolic link (to a regular file), not the file itself
};

// Lists the entries of a folder whose names match a wildcard pattern ("C:\Data\*.*",
// "D:\Backup\Vaultaire\C\note.txt.VL???"): "*" stands for any run of characters, "?" for
// one character (or none at the end of the name); "*.*" matches every name. Names are
// compared as the host does (letter case counts).
// Only regular files (also through a symbolic link) and real folders are listed; links
// to folders, devices, pipes and sockets are passed over, and so is a folder that is the
// root of another drive. Entries whose attributes are not in attrMask are passed over too
// (files without hidden or read-only flags always pass). "." and ".." are never listed.
// Without faArchive in attrMask the archive attribute is not looked up (it never filters):
// Attr then lacks it, and a walk that does not need it saves a look per file.
// A folder that cannot be listed, or whose entries cannot all be looked at, lists what it
// can and says why in Error.
// How much a search looks up of each entry: everything, or for a regular file only what
// the folder's listing says (its name: Size and Time stay 0, Attr has no read-only or
// archive flag), for walks that need no more. Other entries are looked at in full.
enum TSearchDetail { sdFull, sdKinds };

class VLSHARE_EXPORT TFileSearch {
  public:
    TFileSearch(const std::string& pattern, int attrMask, TSearchDetail detail = sdFull);
    ~TFileSearch();
    TFileSearch(const TFileSearch&) = delete;
    TFileSearch& operator=(const TFileSearch&) = delete;

    bool Found() const { return HasEntry; }
    void Next();
    const TSearchRec& Rec() const { return Entry; }
    bool IsDirectory() const { return (Entry.Attr & faDirectory) != 0; }
    bool IsDotDirectory() const {
        return IsDirectory() && !Entry.Name.empty() && Entry.Name[0] == '.';
    }
    // The pattern's folder part followed by the entry's name.
    std::string FullName() const { return Folder + Entry.Name; }
    // 0 while the folder has been listed without a fault; else the system error that kept
    // it, or one of its entries, from being listed (the first one met): 3 for a folder that
    // does not exist, 5 for one the user may not read, ...
    int Error() const { return FolderError; }

  private:
    std::string Folder;  // as given, with its trailing separator
    THostPath HostFolder;
    std::string NamePattern;
    int AttrMask;
    TSearchDetail Detail;
    void* Handle = nullptr;  // the open folder listing
    TSearchRec Entry;
    bool HasEntry = false;
    int FolderError = 0;

    void NoteError(int error);
    // Makes name, a regular file the listing described, the entry (unless filtered out).
    bool TakeRegularFile(const std::string& name);
};

// Does name match a wildcard pattern as TFileSearch matches it?
VLSHARE_EXPORT bool MatchesWildcard(const std::string& name, const std::string& pattern);
