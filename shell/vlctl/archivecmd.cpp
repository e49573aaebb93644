// vlctl archive: look into, restore and make single backed-up copies.
#include <cstdio>

#include "commands.h"
#include "crypt.h"
#include "datetime.h"
#include "interaction.h"
#include "platform/files.h"
#include "platform/interrupts.h"
#include "platform/paths.h"
#include "platform/syserror.h"
#include "vfileutil.h"
#include "zstream.h"

namespace {

std::string FormatFileTime(int32_t fileTime) {
    TDateTime value = FileDateToDateTime(fileTime);
    return value == 0 ? "(none)" : FormatDateTime("dd/mm/yyyy hh:nn:ss", value);
}

void OpenArchive(TVUnzipStream& archive, const std::string& argument) {
    if (!archive.Valid) {
        throw ECommandError("\"" + argument + "\" is not a valid backed-up copy (damaged header)");
    }
}

void CheckPassword(const TVZStreamHeader& header, const TArgs& args) {
    if (header.Key == 0)
        return;
    if (!args.Has("password-file")) {
        throw ECommandError("the copy is password-protected: give --password-file FILE");
    }
    if (MakeKey(ReadPasswordFile(args.Value("password-file"))) != header.Key) {
        throw ECommandError("the password does not fit this copy");
    }
}

bool EndsWithSeparator(const std::string& argument) {
    return !argument.empty() && (argument.back() == '/' || argument.back() == '\\');
}

// The name the file had where it was backed up from.
std::string StoredFileName(const TVZStreamHeader& header) {
    std::string name = ExtractFileName(header.OriginalPath);
    if (name.empty() || name == "." || name == "..") {
        throw ECommandError("the stored path \"" + header.OriginalPath +
                            "\" has no file name; give a file as TARGET");
    }
    return name;
}

// Where the file goes: TARGET, a file inside TARGET when it is a folder (or ends in a
// separator, when the folder is made), or the place the file was backed up from.
std::string ExtractTarget(const TVZStreamHeader& header, const TArgs& args) {
    if (args.Positional().size() < 2) {
        THostPath host;
        if (!IsDrivePath(header.OriginalPath) || !HostPathOf(header.OriginalPath, host)) {
            throw ECommandError("the stored path \"" + header.OriginalPath +
                                "\" maps to no drive here; give a TARGET");
        }
        return header.OriginalPath;
    }
    const std::string& argument = args.Positional()[1];
    std::string target = ProgramPathOf(argument);
    if (EndsWithSeparator(argument) || DirectoryExists(target))
        target = AppendSlash(target) + StoredFileName(header);
    return target;
}

}  // namespace

int RunArchiveInfo(const TArgs& args) {
    std::string name = ProgramPathOf(args.Positional()[0]);
    TVUnzipStream archive(name);
    std::printf("archive:       %s\n", name.c_str());
    std::printf("valid:         %s\n", archive.Valid ? "yes" : "no");
    if (!archive.Valid)
        return kExitError;
    const TVZStreamHeader& header = archive.Header;
    std::printf("original path: %s\n", header.OriginalPath.c_str());
    std::printf("original size: %lld bytes\n", static_cast<long long>(header.OriginalSize));
    std::printf("last written:  %s\n", FormatFileTime(header.FileTime).c_str());
    std::printf("method:        %s\n", header.Method == 0 ? "stored" : "deflated");
    std::printf("archive size:  %lld bytes\n", static_cast<long long>(archive.GetSize()));
    if (header.HasChecksum()) {
        std::printf("checksum:      %08X\n", static_cast<uint32_t>(header.Reserved));
    } else {
        std::printf("checksum:      none (written before copies carried one)\n");
    }
    if (header.Key == 0) {
        std::printf("password:      none\n");
    } else {
        std::printf("password:      protected (key %08X)\n", static_cast<uint32_t>(header.Key));
    }
    return kExitOk;
}

uint8_t OverwriteModeOf(const std::string& word) {
    if (word == "never")
        return 0;
    if (word == "always")
        return 1;
    if (word == "newer")
        return 2;
    if (word == "ask")
        return 3;
    throw ECommandError("--overwrite takes never, always, newer or ask, not \"" + word + "\"");
}

int RunArchiveExtract(const TArgs& args) {
    std::string name = ProgramPathOf(args.Positional()[0]);
    TVUnzipStream archive(name);
    OpenArchive(archive, args.Positional()[0]);
    CheckPassword(archive.Header, args);
    std::string target = ExtractTarget(archive.Header, args);
    archive.OverwriteMode = OverwriteModeOf(args.Value("overwrite", "ask"));
    TInterruptCatcher interrupts;
    archive.StopRequested = Interrupted;
    int answer = 0;
    bool existed = EntryKindOf(target) != ekNone;
    bool restored = false;
    try {
        restored = archive.Extract(target, &answer);
    } catch (const EZStreamError& e) {
        if (e.Code != EZStreamError::DamagedCode)
            throw;
        throw ECommandError("\"" + args.Positional()[0] + "\" is damaged (" + e.what() + "); " +
                            target + " was left as it was");
    } catch (const EAbort&) {
        std::fprintf(stderr, "vlctl: interrupted; %s was left as it was\n", target.c_str());
        return kExitCancelled;
    }
    if (!restored) {
        // Declined when asked: the user's choice. Anything else that left the file alone
        // is a refusal or a failure.
        if (existed && archive.OverwriteMode == 3 && answer != IDYES && answer != IDYESTOALL) {
            std::fprintf(stderr, "vlctl: %s was left as it is\n", target.c_str());
            return kExitCancelled;
        }
        if (EntryKindOf(target) != ekNone) {
            throw ECommandError(target + " exists and was left as it is (see --overwrite)");
        }
        throw ECommandError("cannot restore to " + target + ": " + SysErrorMessage(GetLastError()));
    }
    std::printf("restored %s (%lld bytes)\n", target.c_str(),
                static_cast<long long>(archive.Header.OriginalSize));
    return kExitOk;
}

int RunArchiveCreate(const TArgs& args) {
    std::string source = DrivePathArgument(args.Positional()[0]);
    std::string target = ProgramPathOf(args.Positional()[1]);
    if (!FileExists(source))
        throw ECommandError("there is no file " + args.Positional()[0]);
    const std::string exists = args.Positional()[1] + " already exists; it was left as it is";
    if (EntryKindOf(target) != ekNone)
        throw ECommandError(exists);
    int32_t key =
        args.Has("password-file") ? MakeKey(ReadPasswordFile(args.Value("password-file"))) : 0;
    TVZipStream zip(source);
    zip.SetCompLevel(args.Has("store") ? 0 : -1);
    zip.Header.Key = key;
    TInterruptCatcher interrupts;
    zip.StopRequested = Interrupted;
    try {
        zip.SaveAs(target, TVZipStream::efKeep);
    } catch (const EFCreateError& e) {
        if (e.ErrorCode == ERROR_ALREADY_EXISTS)
            throw ECommandError(exists);  // made by another process meanwhile
        throw;
    } catch (const EAbort&) {
        std::fprintf(stderr, "vlctl: interrupted; no archive was written\n");
        return kExitCancelled;
    }
    std::printf("wrote %s: %lld bytes for %lld (%s)\n", target.c_str(),
                static_cast<long long>(zip.LastTargetSize()),
                static_cast<long long>(zip.Header.OriginalSize),
                zip.Header.Method == 0 ? "stored" : "deflated");
    return kExitOk;
}
