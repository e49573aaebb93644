// vlctl profiles: what each profile guards and where it keeps its copies.
#include <cstdio>

#include "commands.h"
#include "commatext.h"
#include "profilemgr.h"

namespace {

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text;
}

void PrintProfile(const TProfile& profile, bool current) {
    std::printf("%s %s\n", current ? "*" : " ", profile.Title.c_str());
    std::printf("    sources:     %s\n", Joined(profile.GetSourceFolders()).c_str());
    std::printf("    target:      %s\n", profile.Target.c_str());
    std::printf("    versions:    %d\n", profile.Header.NumVersions);
    std::printf("    compression: %s\n", profile.Header.Compression ? "on" : "off");
    std::printf("    password:    %s\n", profile.Header.Key != 0 ? "yes" : "no");
    std::printf("    include:     %s\n", profile.GetIncludeMasks().c_str());
    std::printf("    exclude:     %s\n", profile.GetExcludeMasks().c_str());
    if (profile.Header.LabelNumber != 0) {
        std::printf("    diskette:    %s\n", profile.GetLabel().c_str());
    }
}

}  // namespace

int RunProfiles(const TArgs&) {
    TProfileMgr manager;
    if (manager.Count() == 0) {
        std::printf("There are no profiles (profiles file: %s).\n",
                    TProfileMgr::ProfilesFileName().c_str());
    }
    for (int i = 0; i < manager.Count(); ++i) {
        PrintProfile(*manager.Items(i), i == manager.CurrentIndex);
    }
    for (const std::string& kept : manager.KeptDamagedFiles())
        std::fprintf(stderr, "The damaged profiles file was kept as %s\n", kept.c_str());
    return manager.FoundDamagedProfiles() ? kExitError : kExitOk;
}
