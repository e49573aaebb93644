// vlctl list, versions, restore and verify: what lies at a backup location, and getting it
// back, through the restore catalogue and the restore run the wizard uses.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "commands.h"
#include "crypt.h"
#include "datetime.h"
#include "interaction.h"
#include "logfile.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/interrupts.h"
#include "platform/paths.h"
#include "profilemgr.h"
#include "progress.h"
#include "r_tree.h"
#include "restorerun.h"
#include "storedpath.h"
#include "strtable.h"
#include "vfileutil.h"
#include "zstream.h"

namespace {

constexpr int StrBackupRootName = 109;
constexpr int kMaxVersion = 999;

std::string FormatFileTime(int32_t fileTime) {
    TDateTime value = FileDateToDateTime(fileTime);
    return value == 0 ? "(no time)" : FormatDateTime("dd/mm/yyyy hh:nn:ss", value);
}

std::string ProgramLocationOf(const std::string& argument) {
    if (argument.size() == 2 && IsAsciiLetter(argument[0]) && argument[1] == ':') {
        return argument;
    }
    return ProgramPathOf(argument);
}

std::string ProfileBackupRoot() {
    TProfileMgr manager;
    TProfile* profile = manager.GetCurrentProfile();
    if (!profile) {
        throw ECommandError(
            "there is no profile to take the backup location from; give LOCATION (the folder "
            "or drive that holds the Vaultaire folder)");
    }
    return AppendSlash(NormalisePath(profile->Target)) + LoadStr(StrBackupRootName);
}

// The backup location the command works on. The first positional argument is LOCATION when
// it leads to a backup root; otherwise every argument is a PATH and the current profile's
// target is the location. pathsFrom := the index of the first PATH.
std::string ChooseBackupRoot(const TArgs& args, size_t& pathsFrom) {
    pathsFrom = 0;
    if (!args.Positional().empty()) {
        std::string root = BackupRootOfLocation(ProgramLocationOf(args.Positional()[0]));
        if (DirectoryExists(root)) {
            pathsFrom = 1;
            return root;
        }
    }
    std::string root = ProfileBackupRoot();
    if (!DirectoryExists(root))
        throw ECommandError(LoadStr(707) + " (" + root + ")");
    return root;
}

// A PATH argument in drive form.
std::string SourcePathArgument(const std::string& argument) {
    std::string path = ProgramPathOf(argument);
    if (!IsDrivePath(path) || path.size() < 3) {
        throw ECommandError("\"" + argument +
                            "\" is no source path: give it as C:\\folder\\file or as a host path "
                            "under a drive");
    }
    return path;
}

std::vector<std::string> StepsOf(const std::string& drivePath) {
    std::vector<std::string> steps;
    std::string step;
    for (char c : drivePath.substr(3)) {
        if (c == '\\') {
            if (!step.empty())
                steps.push_back(step);
            step.clear();
        } else {
            step.push_back(c);
        }
    }
    if (!step.empty())
        steps.push_back(step);
    return steps;
}

TRestoreNode* FolderChild(TRestoreNode* node, const std::string& name) {
    for (TRestoreNode* child = node->FirstChild; child; child = child->NextSibling) {
        if (child->IsFolderKind() && child->Name == name)
            return child;
    }
    return nullptr;
}

std::vector<TRestoreFileNode*> CopiesNamed(TRestoreNode* folder, const std::string& name) {
    std::vector<TRestoreFileNode*> copies;
    for (TRestoreNode* child = folder->FirstChild; child; child = child->NextSibling) {
        if (child->GetKind() == nkFile && child->GetText() == name)
            copies.push_back(static_cast<TRestoreFileNode*>(child));
    }
    std::sort(copies.begin(), copies.end(), [](TRestoreFileNode* a, TRestoreFileNode* b) {
        return a->VersionNumber() < b->VersionNumber();
    });
    return copies;
}

// What a source path names in the catalogue: a drive or folder node, or the copies of one
// file (every version). Null folder and no copies when nothing was backed up from it.
struct TFound {
    TRestoreNode* Folder = nullptr;
    std::vector<TRestoreFileNode*> Copies;
};

TFound Find(TRestoreTree& tree, const std::string& drivePath) {
    TFound found;
    const std::string letter(1, AsciiUpper(drivePath[0]));
    TRestoreNode* node = FolderChild(tree.Root(), letter);
    std::vector<std::string> steps = StepsOf(drivePath);
    for (size_t i = 0; node && i < steps.size(); ++i) {
        tree.LoadChildren(node);
        TRestoreNode* folder = FolderChild(node, steps[i]);
        if (!folder && i + 1 == steps.size()) {
            found.Copies = CopiesNamed(node, steps[i]);
            return found;
        }
        node = folder;
    }
    found.Folder = node;
    return found;
}

[[noreturn]] void RefuseNothingThere(const std::string& argument, const std::string& root) {
    throw ECommandError("nothing at " + root + " was backed up from " + argument);
}

std::string CopyFlags(const TRestoreFileNode& copy) {
    std::string flags;
    if (copy.Key != 0)
        flags += "  password-protected";
    if (copy.Damaged)
        flags += "  damaged";
    return flags;
}

void PrintCopy(const TRestoreFileNode& copy, const std::string& name) {
    if (copy.Damaged) {
        std::printf("  %-30s v%-3d %12s  %-19s%s\n", name.c_str(), copy.VersionNumber(), "?", "",
                    CopyFlags(copy).c_str());
        return;
    }
    std::printf("  %-30s v%-3d %12s  %s%s\n", name.c_str(), copy.VersionNumber(),
                HumanBytes(copy.GetSize()).c_str(), FormatFileTime(copy.OriginalFileTime).c_str(),
                CopyFlags(copy).c_str());
}

int VersionOption(const TArgs& args) {
    if (!args.Has("version"))
        return 0;
    const std::string text = args.Value("version");
    char* end = nullptr;
    long version = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != 0 || version < 1 || version > kMaxVersion)
        throw ECommandError("--version takes a number from 1 (the newest) to 999, not \"" + text +
                            "\"");
    return static_cast<int>(version);
}

TOverwriteRule OverwriteOption(const TArgs& args) {
    const std::string word = args.Value("overwrite", "never");
    if (word == "never")
        return orNever;
    if (word == "always")
        return orAlways;
    if (word == "older" || word == "newer")
        return orIfNewer;
    if (word == "ask")
        return orAsk;
    throw ECommandError("--overwrite takes never, always, older or ask, not \"" + word + "\"");
}

// Checks in the catalogue what the PATH arguments name (everything without one).
void Select(TRestoreTree& tree, const TArgs& args, size_t pathsFrom, int version) {
    const auto& words = args.Positional();
    if (pathsFrom >= words.size()) {
        tree.Root()->SetCheck(ctCheck);
        return;
    }
    for (size_t i = pathsFrom; i < words.size(); ++i) {
        TFound found = Find(tree, SourcePathArgument(words[i]));
        if (found.Folder) {
            found.Folder->SetCheck(ctCheck);
            continue;
        }
        bool any = false;
        for (TRestoreFileNode* copy : found.Copies) {
            if (version == 0 || copy->VersionNumber() == version) {
                copy->SetCheck(ctCheck);
                any = true;
            }
        }
        if (!any && !found.Copies.empty() && version != 0)
            throw ECommandError("there is no version " + std::to_string(version) + " of " +
                                words[i]);
        if (!any)
            RefuseNothingThere(words[i], tree.RootPath());
    }
}

// A question on the terminal begins on a line of its own, below the progress bar.
class TQuestionsBelowProgress : public TInteraction {
  public:
    TQuestionsBelowProgress(TInteraction& inner, TProgress& progress)
        : Inner(inner), Progress(progress) {}
    int MessageBox(const TMessageRequest& request) override {
        Progress.Finish();
        return Inner.MessageBox(request);
    }
    int AskOverwrite(const std::string& fileName, int32_t copyFileTime) override {
        Progress.Finish();
        return Inner.AskOverwrite(fileName, copyFileTime);
    }
    int AskDiskette(int labelNumber, int& choice) override {
        Progress.Finish();
        return Inner.AskDiskette(labelNumber, choice);
    }
    int AskPassword(std::string& password) override {
        Progress.Finish();
        return Inner.AskPassword(password);
    }

  private:
    TInteraction& Inner;
    TProgress& Progress;
};

const char* ReasonWord(TSkipReason reason) {
    switch (reason) {
        case srExists:
            return "kept";
        case srDamaged:
            return "damaged";
        case srRefusedPath:
            return "refused";
        case srStopped:
            return "stopped";
        default:
            return "not restored";
    }
}

class TCommandLineObserver : public TRestoreObserver {
  public:
    TCommandLineObserver(TProgress& progress, std::string password)
        : Progress(progress), Password(std::move(password)) {}

    void TotalCounted(int total) override { Progress.SetTotal(total); }
    void FileDone(const TRestoreOutcome& outcome, int done) override {
        if (!outcome.Restored() && outcome.Reason != srStopped) {
            Progress.Finish();
            const std::string& name = outcome.Target.empty() ? outcome.CopyPath : outcome.Target;
            std::fprintf(stderr, "%s: %s: %s\n", ReasonWord(outcome.Reason), name.c_str(),
                         outcome.Why.c_str());
        }
        Progress.Update(done);
    }
    // With a password file its password is tried once per key; copies it does not open are
    // skipped. Without one the user is asked.
    int AskPassword(int32_t key, int attempt, std::string& password) override {
        if (Password.empty())
            return TRestoreObserver::AskPassword(key, attempt, password);
        if (attempt > 1)
            return kPasswordSkip;
        password = Password;
        return IDOK;
    }

  private:
    TProgress& Progress;
    std::string Password;
};

int ReportRestore(const TRestoreResult& result) {
    std::printf("Restored %d file%s, skipped %d", result.Restored, result.Restored == 1 ? "" : "s",
                result.Skipped);
    if (result.HasProblems()) {
        std::printf(
            " (%d damaged, %d refused for their stored path, %d could not be written, "
            "%d without their password)",
            result.Damaged, result.Refused, result.Failed, result.Locked);
    }
    std::printf(".\n");
    if (result.Cancelled) {
        std::fprintf(stderr, "%s\n", LoadStr(710).c_str());
        return kExitCancelled;
    }
    return result.HasProblems() ? kExitError : kExitOk;
}

// ---- verify ----

// A stream that keeps nothing of what is written to it.
class TDiscardStream : public TStream {
  public:
    int64_t Read(void*, int64_t) override { throw EReadError(); }
    int64_t Write(const void*, int64_t count) override {
        Position += count;
        Size = std::max(Size, Position);
        return count;
    }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override {
        Position = origin == TSeekOrigin::soBeginning ? offset
                   : origin == TSeekOrigin::soCurrent ? Position + offset
                                                      : Size + offset;
        return Position;
    }
    void SetSize(int64_t size) override { Size = size; }

  private:
    int64_t Position = 0;
    int64_t Size = 0;
};

// Why the copy at path is not sound, or empty when it is.
std::string CopyFault(const std::string& root, const std::string& path) {
    try {
        TVUnzipStream copy(path);
        if (!copy.Valid)
            return "its header cannot be read";
        std::string fault = StoredPathFault(root, path, copy.Header.OriginalPath);
        if (!fault.empty())
            return fault;
        TDiscardStream discard;
        copy.ReadContent(discard);
        return {};
    } catch (const EZStreamError&) {
        return "its content is damaged (incomplete, or not what its checksum says)";
    } catch (const Exception& e) {
        return e.what();
    }
}

// Calls visit for every copy below the backup root's drive folders, breadth first.
template <typename TVisit>
void ForEachCopy(const std::string& root, TSearchDetail detail, TVisit visit) {
    TDirStack folders;
    TRestoreTree tree;
    tree.SetLocation(root);
    for (TRestoreNode* drive = tree.Root()->FirstChild; drive; drive = drive->NextSibling)
        folders.Push(drive->GetPath());
    while (!folders.Empty()) {
        const std::string folder = folders.Pop();
        for (TFileSearch search(PathInFolder(folder, "*.*"), faAnyFile & ~faArchive, detail);
             search.Found(); search.Next()) {
            if (search.IsDirectory()) {
                folders.Push(search.FullName());
            } else if (!IsWorkFileName(search.Rec().Name)) {
                visit(search.FullName());
            }
        }
    }
}

}  // namespace

int RunList(const TArgs& args) {
    size_t pathsFrom = 0;
    const std::string root = ChooseBackupRoot(args, pathsFrom);
    if (args.Positional().size() > pathsFrom + 1)
        args.RefuseUsage();
    TRestoreTree tree;
    tree.SetLocation(root);
    std::printf("Backup location: %s\n", root.c_str());
    if (pathsFrom == args.Positional().size()) {
        for (TRestoreNode* drive = tree.Root()->FirstChild; drive; drive = drive->NextSibling)
            std::printf("  %s:\\\n", drive->Name.c_str());
        return kExitOk;
    }
    const std::string& argument = args.Positional()[pathsFrom];
    const std::string path = SourcePathArgument(argument);
    TFound found = Find(tree, path);
    if (!found.Folder && found.Copies.empty())
        RefuseNothingThere(argument, root);
    if (!found.Folder) {
        for (TRestoreFileNode* copy : found.Copies)
            PrintCopy(*copy, copy->GetText());
        return kExitOk;
    }
    std::printf("%s\n", path.c_str());
    tree.LoadChildren(found.Folder);
    for (TRestoreNode* child = found.Folder->FirstChild; child; child = child->NextSibling) {
        if (child->IsFolderKind())
            std::printf("  %s\\\n", child->Name.c_str());
    }
    for (TRestoreNode* child = found.Folder->FirstChild; child; child = child->NextSibling) {
        if (child->GetKind() == nkFile)
            PrintCopy(*static_cast<TRestoreFileNode*>(child), child->GetText());
    }
    return kExitOk;
}

int RunVersions(const TArgs& args) {
    size_t pathsFrom = 0;
    const std::string root = ChooseBackupRoot(args, pathsFrom);
    if (args.Positional().size() != pathsFrom + 1)
        args.RefuseUsage();
    const std::string& argument = args.Positional()[pathsFrom];
    TRestoreTree tree;
    tree.SetLocation(root);
    TFound found = Find(tree, SourcePathArgument(argument));
    if (found.Copies.empty()) {
        if (found.Folder)
            throw ECommandError(argument + " is a folder; vlctl list shows what it holds");
        RefuseNothingThere(argument, root);
    }
    std::printf("Versions of %s at %s, newest first:\n", SourcePathArgument(argument).c_str(),
                root.c_str());
    for (TRestoreFileNode* copy : found.Copies)
        PrintCopy(*copy, copy->Name);
    return kExitOk;
}

int RunRestore(const TArgs& args) {
    size_t pathsFrom = 0;
    const std::string root = ChooseBackupRoot(args, pathsFrom);
    const int version = VersionOption(args);
    TRestoreOptions options;
    options.Overwrite = OverwriteOption(args);
    if (args.Has("to"))
        options.Destination = ProgramPathOf(args.Value("to"));
    const std::string password =
        args.Has("password-file") ? ReadPasswordFile(args.Value("password-file")) : "";

    TRestoreTree tree;
    tree.SetLocation(root);
    tree.SetVersionFilter(version);
    Select(tree, args, pathsFrom, version);
    if (tree.Root()->CheckState == csUnchecked)
        throw ECommandError(LoadStr(708));

    TProfileMgr manager;
    TLogFile log(manager.MaxLogEntries, static_cast<TLogType>(manager.LogType), manager.CreateLog);
    TProgress progress(stdout);
    TQuestionsBelowProgress questions(Interaction(), progress);
    TInteraction* previous = SetInteraction(&questions);
    struct TRestoreQuestions {
        TInteraction* Previous;
        ~TRestoreQuestions() { SetInteraction(Previous); }
    } restoreQuestions{previous};
    TInterruptCatcher interrupts;
    options.StopRequested = Interrupted;
    TCommandLineObserver observer(progress, password);
    std::printf("Restoring from %s to %s\n", root.c_str(),
                options.Destination.empty() ? LoadStr(703).c_str() : options.Destination.c_str());
    TRestoreRun run(tree, &log, observer);
    TRestoreResult result = run.Run(options);
    progress.Finish();
    log.Flush();
    return ReportRestore(result);
}

int RunVerify(const TArgs& args) {
    size_t pathsFrom = 0;
    const std::string root = ChooseBackupRoot(args, pathsFrom);
    if (args.Positional().size() > pathsFrom)
        args.RefuseUsage();
    long total = 0;
    ForEachCopy(root, sdKinds, [&total](const std::string&) { ++total; });
    std::printf("Verifying %ld copies at %s\n", total, root.c_str());
    TProgress progress(stdout);
    progress.SetTotal(total);
    TInterruptCatcher interrupts;
    long done = 0, damaged = 0;
    bool stopped = false;
    ForEachCopy(root, sdKinds, [&](const std::string& path) {
        if (stopped || (stopped = Interrupted()))
            return;
        std::string fault = CopyFault(root, path);
        if (!fault.empty()) {
            progress.Finish();
            std::printf("damaged: %s: %s\n", path.c_str(), fault.c_str());
            ++damaged;
        }
        progress.Update(++done);
    });
    progress.Finish();
    std::printf("%ld of %ld copies verified, %ld damaged.\n", done, total, damaged);
    if (stopped) {
        std::fprintf(stderr, "vlctl: interrupted\n");
        return kExitCancelled;
    }
    return damaged ? kExitError : kExitOk;
}
