// vlctl profile: make, change, show and delete profiles and choose the current one, through
// the same validating operations as the profile dialogs and with their messages.
#include <cstdio>
#include <memory>

#include "commands.h"
#include "commatext.h"
#include "platform/drivemap.h"
#include "profilemgr.h"
#include "strtable.h"
#include "vstringutil.h"

namespace {

// Texts of the profile dialogs this command shares.
enum : int {
    StrNoFileTypes = 760,
    StrWrongPassword = 765,
    StrPasswordChanged = 766,
    StrPasswordRemoved = 767,
    StrTitleExists = 768,
    StrYes = 776,
    StrNo = 777,
    StrNoRamDrives = 779,
};

constexpr int kMinVersions = 1;
constexpr int kMaxVersions = 999;
// What the profile dialogs let the user type: a longer title or password could be set
// here but never typed there again (a password is asked for at every restore).
constexpr size_t kLongestTitle = 255;
constexpr size_t kLongestPassword = 32;

// A refused edit: the message the dialog would show.
void Check(int messageId) {
    if (messageId != 0)
        throw ECommandError(LoadStr(messageId));
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string::npos)
            end = text.size();
        std::string item = Trim(text.substr(start, end - start));
        if (!item.empty())
            items.push_back(item);
        start = end + 1;
    }
    return items;
}

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text;
}

int ParseVersions(const std::string& text) {
    const std::string refusal = "--versions takes a number from " + std::to_string(kMinVersions) +
                                " to " + std::to_string(kMaxVersions);
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || value > kMaxVersions)
            throw ECommandError(refusal);
        value = value * 10 + (c - '0');
    }
    if (value < kMinVersions || value > kMaxVersions)
        throw ECommandError(refusal);
    return value;
}

std::string TitleArgument(const std::string& title) {
    if (title.size() > kLongestTitle) {
        throw ECommandError("a title can be at most " + std::to_string(kLongestTitle) +
                            " characters long");
    }
    return title;
}

// A new password from the first line of a file, no longer than the dialogs take.
std::string NewPasswordArgument(const std::string& file) {
    std::string password = ReadPasswordFile(file);
    if (password.size() > kLongestPassword) {
        throw ECommandError("the password in \"" + file + "\" is longer than " +
                            std::to_string(kLongestPassword) +
                            " characters; passwords can be between 1 and " +
                            std::to_string(kLongestPassword) + " characters in length");
    }
    return password;
}

std::vector<std::string> SourceArgument(const std::string& text) {
    std::vector<std::string> sources;
    for (const std::string& source : SplitList(text))
        sources.push_back(DrivePathArgument(source));
    return sources;
}

// The target in drive form; a RAM disk is refused as the folder picker refuses it.
std::string TargetArgument(const std::string& text) {
    if (Trim(text).empty())
        return {};
    std::string target = DrivePathArgument(text);
    if (GetDriveType(target.substr(0, 3)) == DRIVE_RAMDISK)
        throw ECommandError(LoadStr(StrNoRamDrives));
    return target;
}

void RefuseBoth(const TArgs& args, const char* one, const char* other) {
    if (args.Has(one) && args.Has(other))
        throw ECommandError(std::string("--") + one + " and --" + other + " exclude each other");
}

// Replaces the include list, the exclude list or both with the masks given, through the
// validating Add (which asks when a mask moves from the other list). Both lists are emptied
// first, so that masks trading places between them ask nothing.
void ReplaceMasks(TProfile& profile, const TArgs& args) {
    const bool include = args.Has("include");
    const bool exclude = args.Has("exclude");
    if (!include && !exclude)
        return;
    const std::vector<std::string> includes = SplitList(args.Value("include"));
    const std::vector<std::string> excludes = SplitList(args.Value("exclude"));
    if (include && includes.empty())
        throw ECommandError(LoadStr(StrNoFileTypes));
    if (include) {
        for (const std::string& mask : std::vector<std::string>(profile.Masks.Includes))
            profile.DeleteMask(mask, true);
    }
    if (exclude) {
        for (const std::string& mask : std::vector<std::string>(profile.Masks.Excludes))
            profile.DeleteMask(mask, false);
    }
    auto add = [&](const std::vector<std::string>& masks, bool toInclude) {
        for (const std::string& mask : masks) {
            if (!profile.AddMask(mask, toInclude))
                throw ECommandError("the mask " + Quoted(mask) + " was not added");
        }
    };
    add(includes, true);
    add(excludes, false);
}

// The profile named on the command line, or the current one.
TProfile& ProfileToUse(TProfileMgr& manager, const TArgs& args) {
    if (manager.Count() == 0)
        throw ECommandError("there are no profiles (make one with vlctl profile add)");
    if (args.Positional().empty())
        return *manager.GetCurrentProfile();
    const std::string& title = args.Positional()[0];
    int index = manager.IndexOfTitle(title);
    if (index < 0)
        throw ECommandError("there is no profile titled " + Quoted(title));
    return *manager.Items(index);
}

// What a password change or removal needs, as the editor asks for it: the old password.
void CheckOldPassword(const TProfile& profile, const TArgs& args) {
    if (!args.Has("old-password-file")) {
        throw ECommandError("the profile " + Quoted(profile.Title) +
                            " is password protected: give its password with "
                            "--old-password-file FILE");
    }
    if (!profile.IsPassword(ReadPasswordFile(args.Value("old-password-file"))))
        throw ECommandError(LoadStr(StrWrongPassword));
}

// Applies the password options; returns the message to show afterwards (0 for none).
int ChangePassword(TProfile& profile, const TArgs& args) {
    const bool protectedBefore = profile.Header.Key != 0;
    if (args.Has("no-password")) {
        if (!protectedBefore)
            return 0;
        CheckOldPassword(profile, args);
        profile.DeletePassword();
        return StrPasswordRemoved;
    }
    if (!args.Has("password-file"))
        return 0;
    const std::string password = NewPasswordArgument(args.Value("password-file"));
    if (!protectedBefore) {
        Check(profile.UpdatePassword(password));
        return 0;
    }
    if (profile.IsPassword(password))
        return 0;
    CheckOldPassword(profile, args);
    Check(profile.UpdatePassword(password));
    return StrPasswordChanged;
}

// Applies every option of vlctl profile set to profile, in the order the editor's pages
// check them; returns the message to show afterwards (0 for none). Raises at the first
// refusal.
int ApplyEdits(TProfile& profile, const TArgs& args) {
    if (args.Has("title"))
        Check(profile.UpdateTitle(TitleArgument(args.Value("title"))));
    if (args.Has("source"))
        Check(profile.UpdateSource(SourceArgument(args.Value("source"))));
    // New sources are checked against the target too: it may not be one of them.
    if (args.Has("source") || args.Has("target"))
        Check(profile.UpdateTarget(args.Has("target") ? TargetArgument(args.Value("target"))
                                                      : profile.Target));
    ReplaceMasks(profile, args);
    int notice = ChangePassword(profile, args);
    if (args.Has("versions"))
        profile.SetNumVersions(ParseVersions(args.Value("versions")));
    if (args.Has("compress"))
        profile.SetCompression(true);
    if (args.Has("no-compress"))
        profile.SetCompression(false);
    return notice;
}

bool AsksForAChange(const TArgs& args) {
    for (const char* option : {"title", "source", "target", "versions", "compress", "no-compress",
                               "password-file", "no-password", "include", "exclude"}) {
        if (args.Has(option))
            return true;
    }
    return false;
}

std::string YesNo(bool value) {
    return LoadStr(value ? StrYes : StrNo);
}

std::string SeriesText(const TProfile& profile) {
    if (profile.Header.LabelNumber == 0)
        return "no diskette series started";
    return "the last diskette written is " + profile.GetLabel();
}

void PrintField(const char* caption, const std::string& value) {
    std::printf("%-24s%s\n", caption, value.c_str());
}

}  // namespace

int RunProfileAdd(const TArgs& args) {
    for (const char* required : {"title", "source", "target"}) {
        if (!args.Has(required))
            args.RefuseUsage();
    }
    RefuseBoth(args, "compress", "no-compress");
    TProfileMgr manager;
    auto profile = std::make_unique<TProfile>();
    Check(profile->UpdateTitle(TitleArgument(args.Value("title"))));
    Check(profile->UpdateSource(SourceArgument(args.Value("source"))));
    Check(profile->UpdateTarget(TargetArgument(args.Value("target"))));
    if (args.Has("versions"))
        profile->SetNumVersions(ParseVersions(args.Value("versions")));
    if (args.Has("no-compress"))
        profile->SetCompression(false);
    if (args.Has("password-file"))
        Check(profile->UpdatePassword(NewPasswordArgument(args.Value("password-file"))));
    ReplaceMasks(*profile, args);
    std::string title = profile->Title;
    int index = manager.AddNewProfile(std::move(profile));
    // Another command may have saved a profile of a clashing title meanwhile.
    if (index == TProfileMgr::kTitleTaken)
        throw ECommandError(LoadStr(StrTitleExists));
    if (manager.Items(index)->IsNew)
        throw ECommandError("the profile " + Quoted(title) + " was not saved");
    std::printf("Added the profile \"%s\"%s.\n", title.c_str(),
                manager.Count() == 1 ? "; it is the current profile" : "");
    return kExitOk;
}

int RunProfileSet(const TArgs& args) {
    if (!AsksForAChange(args))
        args.RefuseUsage();
    RefuseBoth(args, "compress", "no-compress");
    RefuseBoth(args, "password-file", "no-password");
    TProfileMgr manager;
    TProfile& profile = ProfileToUse(manager, args);
    const std::string oldTitle = profile.Title;
    // A refused option leaves the profile as it was: the manager saves what it holds
    // when it ends.
    const TProfile before = profile;
    int notice = 0;
    try {
        notice = ApplyEdits(profile, args);
    } catch (...) {
        profile = before;
        throw;
    }
    if (!profile.Modified) {
        std::printf("The profile \"%s\" already was so; nothing changed.\n", oldTitle.c_str());
        return kExitOk;
    }
    if (!manager.WriteProfiles()) {
        profile = before;
        throw ECommandError("the changes to the profile " + Quoted(oldTitle) + " were not saved");
    }
    if (notice != 0)
        std::printf("%s\n", LoadStr(notice).c_str());
    if (profile.Title != oldTitle)
        std::printf("The profile \"%s\" is now titled \"%s\".\n", oldTitle.c_str(),
                    profile.Title.c_str());
    else
        std::printf("Changed the profile \"%s\".\n", profile.Title.c_str());
    return kExitOk;
}

int RunProfileDelete(const TArgs& args) {
    TProfileMgr manager;
    TProfile& doomed = ProfileToUse(manager, args);
    const std::string title = doomed.Title;
    if (manager.Count() < 2) {
        throw ECommandError("the profile " + Quoted(title) +
                            " is the only one and cannot be deleted; make another first");
    }
    const TProfile* current = manager.GetCurrentProfile();
    const std::string currentTitle = current == &doomed ? std::string() : current->Title;
    manager.Open(title);
    manager.DeleteCurrentProfile();
    // The current profile stays current unless it is the one deleted.
    if (!currentTitle.empty())
        manager.Open(currentTitle);
    if (!manager.WriteProfiles())
        throw ECommandError("the profile " + Quoted(title) + " was not deleted");
    std::printf("Deleted the profile \"%s\"; the current profile is \"%s\".\n", title.c_str(),
                manager.GetCurrentProfile()->Title.c_str());
    return kExitOk;
}

int RunProfileShow(const TArgs& args) {
    TProfileMgr manager;
    const TProfile& profile = ProfileToUse(manager, args);
    const bool current = &profile == manager.GetCurrentProfile();
    PrintField("Profile Title:", profile.Title + (current ? " (the current profile)" : ""));
    PrintField("Source:", Joined(profile.GetSourceFolders()));
    PrintField("Target:", profile.Target);
    PrintField("Include:", Joined(profile.Masks.Includes));
    PrintField("Exclude:", Joined(profile.Masks.Excludes));
    PrintField("Password-Protect:", YesNo(profile.Header.Key != 0));
    PrintField("Versions to keep:", std::to_string(profile.Header.NumVersions));
    PrintField("Compress backup files:", YesNo(profile.Header.Compression != 0));
    PrintField("Diskettes:", SeriesText(profile));
    PrintField("Created:", FormatDateTime("yyyy-mm-dd hh:nn:ss", profile.Header.Created));
    return kExitOk;
}

int RunProfileSelect(const TArgs& args) {
    TProfileMgr manager;
    if (!manager.Open(args.Positional()[0]))
        throw ECommandError("there is no profile titled " + Quoted(args.Positional()[0]));
    if (!manager.WriteRegistry())
        throw ECommandError("the choice of the current profile was not saved");
    std::printf("The current profile is now \"%s\".\n", manager.GetCurrentProfile()->Title.c_str());
    return kExitOk;
}
