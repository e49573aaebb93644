#include "catalogue_fixture.h"

#include <chrono>

#include "zstream.h"

namespace fs = std::filesystem;

void TCatalogueTest::SetUp() {
    for (const char* drive : {"c", "e", "f"})
        fs::create_directories(Drives.Path() / drive);
    UseDriveMap("detect off\nC: fixed " + Drives / "c" + "\nE: fixed " + Drives / "e" +
                "\nF: fixed " + Drives / "f" + "\n");
    fs::create_directories(RootHost());
}

fs::path TCatalogueTest::HostOf(const std::string& drivePath) const {
    std::string rest = drivePath.substr(3);
    for (char& c : rest) {
        if (c == '\\')
            c = '/';
    }
    std::string letter(1,
                       static_cast<char>(std::tolower(static_cast<unsigned char>(drivePath[0]))));
    return Drives.Path() / letter / rest;
}

std::string TCatalogueTest::Backup(const std::string& source, const std::string& content,
                                   int version, int minutesAgo, int32_t key) {
    const std::string sourcePath = "C:\\" + source;
    WriteTextFile(HostOf(sourcePath), content);
    // Copies keep a file's time to two seconds: a source of such a time comes back exactly.
    // (The file clock's epoch lies a whole number of days from the system clock's.)
    const auto now =
        std::chrono::time_point_cast<std::chrono::seconds>(fs::file_time_type::clock::now());
    fs::last_write_time(HostOf(sourcePath),
                        now - std::chrono::seconds(now.time_since_epoch().count() % 2));
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, ".VL%03d", version);
    const std::string copy = std::string(Root) + "\\C\\" + source + suffix;
    fs::create_directories(HostOf(copy).parent_path());
    TVZipStream zip(sourcePath);
    zip.Header.Key = key;
    zip.SaveAs(copy, TVZipStream::efReplace);
    fs::last_write_time(HostOf(copy),
                        fs::file_time_type::clock::now() - std::chrono::minutes(minutesAgo));
    return copy;
}

std::string TCatalogueTest::Plant(const std::string& copy, const std::string& storedPath,
                                  const std::string& content) {
    const std::string scratch = "C:\\planted.source";
    WriteTextFile(HostOf(scratch), content);
    const std::string copyPath = std::string(Root) + "\\" + copy;
    fs::create_directories(HostOf(copyPath).parent_path());
    TVZipStream zip(scratch);
    zip.Header.OriginalPath = storedPath;
    zip.SaveAs(copyPath, TVZipStream::efReplace);
    fs::remove(HostOf(scratch));
    return copyPath;
}

TRestoreNode* TCatalogueTest::Child(TRestoreNode* node, const std::string& name) {
    for (TRestoreNode* child = node ? node->FirstChild : nullptr; child;
         child = child->NextSibling) {
        if (child->Name == name)
            return child;
    }
    return nullptr;
}

std::vector<std::string> TCatalogueTest::ChildNames(TRestoreNode* node) {
    std::vector<std::string> names;
    for (TRestoreNode* child = node->FirstChild; child; child = child->NextSibling)
        names.push_back(child->Name);
    return names;
}

TRestoreNode* TCatalogueTest::Open(TRestoreNode* node, const std::string& name) {
    Tree.LoadChildren(node);
    return Child(node, name);
}
