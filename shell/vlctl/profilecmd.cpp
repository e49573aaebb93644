// vlctl profile: make a profile and choose the current one, through the same validating
// operations as the profile dialogs.
#include <cstdio>
#include <memory>

#include "commands.h"
#include "commatext.h"
#include "profilemgr.h"
#include "strtable.h"
#include "vstringutil.h"

namespace {

// A refused edit: the message the dialog would show.
void Check(int messageId) {
    if (messageId != 0)
        throw ECommandError(LoadStr(messageId));
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

int ParseVersions(const std::string& text) {
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || value > 999)
            throw ECommandError("--versions takes a number from 1 to 999");
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 999)
        throw ECommandError("--versions takes a number from 1 to 999");
    return value;
}

// Replaces one of the profile's mask lists with masks, through the validating Add.
void ReplaceMasks(TProfile& profile, const std::string& masks, bool include) {
    std::vector<std::string> wanted = SplitList(masks);
    if (wanted.empty())
        throw ECommandError(std::string("--") + (include ? "include" : "exclude") +
                            " needs at least one mask");
    std::vector<std::string> current = include ? profile.Masks.Includes : profile.Masks.Excludes;
    for (const std::string& mask : current)
        profile.DeleteMask(mask, include);
    for (const std::string& mask : wanted) {
        if (!profile.AddMask(mask, include))
            throw ECommandError("the mask \"" + mask + "\" was not added");
    }
}

}  // namespace

int RunProfileAdd(const TArgs& args) {
    for (const char* required : {"title", "source", "target"}) {
        if (!args.Has(required))
            args.RefuseUsage();
    }
    TProfileMgr manager;
    auto profile = std::make_unique<TProfile>();
    Check(profile->UpdateTitle(args.Value("title")));
    std::vector<std::string> sources;
    for (const std::string& source : SplitList(args.Value("source"))) {
        sources.push_back(DrivePathArgument(source));
    }
    Check(profile->UpdateSource(sources));
    Check(profile->UpdateTarget(DrivePathArgument(args.Value("target"))));
    if (args.Has("versions"))
        profile->SetNumVersions(ParseVersions(args.Value("versions")));
    if (args.Has("no-compress"))
        profile->SetCompression(false);
    if (args.Has("password-file"))
        Check(profile->UpdatePassword(ReadPasswordFile(args.Value("password-file"))));
    if (args.Has("include"))
        ReplaceMasks(*profile, args.Value("include"), true);
    if (args.Has("exclude"))
        ReplaceMasks(*profile, args.Value("exclude"), false);
    std::string title = profile->Title;
    int index = manager.AddNewProfile(std::move(profile));
    // Another command may have saved a profile of a clashing title meanwhile.
    if (index == TProfileMgr::kTitleTaken)
        throw ECommandError(LoadStr(768));
    if (manager.Items(index)->IsNew)
        throw ECommandError("the profile \"" + title + "\" was not saved");
    std::printf("Added the profile \"%s\"%s.\n", title.c_str(),
                manager.Count() == 1 ? "; it is the current profile" : "");
    return kExitOk;
}

int RunProfileSelect(const TArgs& args) {
    TProfileMgr manager;
    if (!manager.Open(args.Positional()[0])) {
        throw ECommandError("there is no profile titled \"" + args.Positional()[0] + "\"");
    }
    if (!manager.WriteRegistry())
        throw ECommandError("the choice of the current profile was not saved");
    std::printf("The current profile is now \"%s\".\n", manager.GetCurrentProfile()->Title.c_str());
    return kExitOk;
}
