#include "platform/drivemap.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <mutex>
#include <sstream>

#include "ascii.h"
#include "platform/filelock.h"
#include "platform/folders.h"
#include "platform/hostfs.h"
#include "platform/syserror.h"

namespace {

struct TTypeName {
    int Type;
    const char* Name;
};

constexpr TTypeName kTypeNames[] = {
    {DRIVE_REMOVABLE, "removable"}, {DRIVE_FIXED, "fixed"},     {DRIVE_REMOTE, "remote"},
    {DRIVE_CDROM, "cdrom"},         {DRIVE_RAMDISK, "ramdisk"},
};

int TypeFromName(const std::string& name) {
    for (const TTypeName& t : kTypeNames) {
        if (name == t.Name)
            return t.Type;
    }
    return DRIVE_UNKNOWN;
}

// Splits a line into words; a word in double quotes may hold blanks (a doubled quote
// stands for one). Returns false for an unterminated quote.
bool SplitWords(const std::string& line, std::vector<std::string>& words) {
    words.clear();
    size_t i = 0;
    while (i < line.size()) {
        if (std::isspace(static_cast<unsigned char>(line[i]))) {
            ++i;
            continue;
        }
        std::string word;
        if (line[i] == '"') {
            ++i;
            for (;;) {
                if (i >= line.size())
                    return false;
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        word += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                word += line[i++];
            }
        } else {
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) {
                word += line[i++];
            }
        }
        words.push_back(word);
    }
    return true;
}

std::string QuoteIfNeeded(const std::string& word) {
    bool plain = !word.empty() && std::none_of(word.begin(), word.end(), [](char c) {
        return std::isspace(static_cast<unsigned char>(c)) || c == '"' || c == '#';
    });
    if (plain)
        return word;
    std::string quoted = "\"";
    for (char c : word)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

bool ParseCapacity(const std::string& text, int64_t& bytes) {
    if (text.empty())
        return false;
    size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) {
        ++digits;
    }
    if (digits == 0 || digits > 15)
        return false;
    int64_t value = std::stoll(text.substr(0, digits));
    std::string unit = text.substr(digits);
    int64_t factor = unit.empty()                 ? 1
                     : unit == "K" || unit == "k" ? 1024
                     : unit == "M" || unit == "m" ? 1024 * 1024
                     : unit == "G" || unit == "g" ? 1024LL * 1024 * 1024
                                                  : 0;
    if (factor == 0 || value <= 0 || value > INT64_MAX / factor)
        return false;
    bytes = value * factor;
    return true;
}

// folder with a leading "~" standing for the home folder.
std::string ExpandHome(const std::string& folder) {
    if (folder == "~" || folder.rfind("~/", 0) == 0)
        return HomeFolderHost().Text() + folder.substr(1);
    return folder;
}

// Reads "X: type [folder] [options]" into entry; returns an error text or "".
std::string ParseEntry(const std::vector<std::string>& words, TDriveEntry& entry) {
    const std::string& head = words[0];
    if (head.size() != 2 || head[1] != ':' || !IsAsciiLetter(head[0])) {
        return "\"" + head + "\" is not a drive letter followed by a colon";
    }
    entry.Letter = AsciiUpper(head[0]);
    if (words.size() < 2)
        return "the drive type is missing";
    entry.Type = TypeFromName(words[1]);
    if (entry.Type == DRIVE_UNKNOWN) {
        return "unknown drive type \"" + words[1] +
               "\" (use removable, fixed, remote, cdrom or ramdisk)";
    }
    for (size_t i = 2; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.rfind("capacity=", 0) == 0) {
            if (!ParseCapacity(word.substr(9), entry.Capacity)) {
                return "\"" + word + "\" is not a capacity in bytes (a K, M or G may follow)";
            }
        } else if (word.rfind("uuid=", 0) == 0 && word.size() > 5) {
            entry.Uuid = word.substr(5);
        } else if (word == "write-protected") {
            entry.WriteProtected = true;
        } else if (word == "simulated") {
            entry.Simulated = true;
        } else if (!word.empty() && (word[0] == '/' || word[0] == '~') &&
                   entry.HostFolder.IsEmpty()) {
            std::string folder = ExpandHome(word);
            if (!THostPath::IsHostPathText(folder))
                return "the folder \"" + word + "\" is not an absolute path";
            entry.HostFolder = THostPath(folder).Normalised();
        } else if (!word.empty() && word[0] != '/' && word.find('=') == std::string::npos &&
                   entry.HostFolder.IsEmpty()) {
            return "the folder \"" + word + "\" is not an absolute path";
        } else {
            return "\"" + word + "\" is not understood";
        }
    }
    if (entry.HostFolder.IsEmpty() && entry.Uuid.empty())
        return "the folder is missing";
    if (!entry.HostFolder.IsEmpty() && !entry.Uuid.empty()) {
        return "give either a folder or a uuid, not both";
    }
    return {};
}

// The lock every process takes to change the map file.
constexpr const char* kMapLockName = "drives";

TDriveMap DefaultDriveMap() {
    TDriveMap map;
    map.Set({'C', DRIVE_FIXED, HomeFolderHost(), {}, 0, false, false});
    return map;
}

// ---- Mounted media ----

std::string UnescapeMountField(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            int value = 0;
            bool octal = true;
            for (size_t k = 1; k <= 3; ++k) {
                char c = field[i + k];
                if (c < '0' || c > '7')
                    octal = false;
                value = value * 8 + (c - '0');
            }
            if (octal) {
                out += static_cast<char>(value);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

bool IsRemovableBlockDevice(const std::string& majorMinor) {
    THostPath device = hostfs::Canonical(THostPath("/sys/dev/block") / majorMinor);
    for (int depth = 0; depth < 4 && device.Text().size() > 1; ++depth) {
        std::string flag;
        if (hostfs::ReadWholeFile(device / "removable", flag))
            return !flag.empty() && flag[0] == '1';
        device = device.Parent();
    }
    return false;
}

std::string UuidOfDevice(const std::string& majorMinor) {
    const THostPath links("/dev/disk/by-uuid");
    DIR* folder = ::opendir(links.CStr());
    if (!folder)
        return {};
    std::string found;
    while (dirent* entry = ::readdir(folder)) {
        struct stat info;
        if (entry->d_name[0] == '.' || ::stat((links / entry->d_name).CStr(), &info) != 0)
            continue;
        std::string id =
            std::to_string(major(info.st_rdev)) + ":" + std::to_string(minor(info.st_rdev));
        if (id == majorMinor) {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(folder);
    return found;
}

// Whether path lies below folder, not being folder itself.
bool IsBelow(const THostPath& path, const THostPath& folder) {
    return path.IsInside(folder) && path != folder;
}

bool IsUserVisibleMountPoint(const THostPath& mountPoint) {
    for (const char* place : {"/media", "/mnt", "/run/media", "/srv", "/net"}) {
        if (IsBelow(mountPoint, THostPath(place)))
            return true;
    }
    THostPath home = HomeFolderHost();
    return mountPoint == THostPath("/tmp") || (home != THostPath("/") && IsBelow(mountPoint, home));
}

int MediumType(const std::string& fileSystem, const std::string& majorMinor,
               const THostPath& mountPoint) {
    static const char* const kRemote[] = {
        "nfs",   "nfs4",        "cifs", "smb3", "smbfs",     "9p",         "fuse.sshfs",
        "sshfs", "fuse.davfs2", "afs",  "ceph", "glusterfs", "fuse.rclone"};
    if (std::find(std::begin(kRemote), std::end(kRemote), fileSystem) != std::end(kRemote)) {
        return DRIVE_REMOTE;
    }
    if (fileSystem == "iso9660" || fileSystem == "udf")
        return DRIVE_CDROM;
    if (fileSystem == "tmpfs" || fileSystem == "ramfs")
        return DRIVE_RAMDISK;
    bool mountedByDesktop =
        mountPoint.IsInside(THostPath("/media")) || mountPoint.IsInside(THostPath("/run/media"));
    if (IsRemovableBlockDevice(majorMinor) || mountedByDesktop)
        return DRIVE_REMOVABLE;
    return DRIVE_UNKNOWN;
}

std::vector<TMountedMedium> ScanMountedMedia() {
    std::vector<TMountedMedium> media;
    std::string table;
    if (!hostfs::ReadWholeFile(THostPath("/proc/self/mountinfo"), table))
        return media;
    std::istringstream lines(table);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::vector<std::string> parts;
        for (std::string field; fields >> field;)
            parts.push_back(field);
        auto dash = std::find(parts.begin(), parts.end(), "-");
        if (parts.size() < 5 || dash == parts.end() || dash + 1 == parts.end())
            continue;
        std::string mountPoint = UnescapeMountField(parts[4]);
        if (!THostPath::IsHostPathText(mountPoint))
            continue;
        TMountedMedium medium;
        medium.MountPoint = THostPath(mountPoint);
        medium.FileSystem = *(dash + 1);
        if (!IsUserVisibleMountPoint(medium.MountPoint))
            continue;
        medium.Type = MediumType(medium.FileSystem, parts[2], medium.MountPoint);
        if (medium.Type == DRIVE_UNKNOWN)
            continue;
        if (medium.Type == DRIVE_REMOVABLE || medium.Type == DRIVE_CDROM) {
            medium.Uuid = UuidOfDevice(parts[2]);
        }
        media.push_back(medium);
    }
    return media;
}

// ---- The map in use ----

// A map file holds a few dozen lines; anything near this size is not one.
constexpr int64_t kMapFileLimit = 1 << 20;

struct TLoadedMap {
    std::shared_ptr<const TDriveMap> Map;
    std::optional<TDriveMapProblem> Problem;
};

std::mutex MapLock;
TLoadedMap Loaded;
std::atomic<TDriveMapProblemHandler> ProblemHandler{nullptr};

// Tells the handler; only with MapLock free, since it may need a thread that waits for the map.
void ReportProblem(const std::optional<TDriveMapProblem>& problem) {
    TDriveMapProblemHandler handler = ProblemHandler.load();
    if (problem && handler)
        handler(*problem);
}

// Why the map file could not be read, from the last system error.
std::string UnreadableText(int error) {
    std::string text = SysErrorMessage(error);
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    if (error == ERROR_FILE_TOO_LARGE)
        text += " (" + std::to_string(kMapFileLimit >> 20) + " MB)";
    return text;
}

// Adds the newly remembered media to the map file. Another process may have changed the
// file since it was read: then it is left alone (the media are remembered at a later
// start). A link to the file stays a link: its target is rewritten.
void RememberNewMedia(const THostPath& file, const std::string& fileText, const TDriveMap& before,
                      const TDriveMap& after) {
    std::string text = fileText.empty() ? FormatDriveMapHelp() : fileText;
    if (!text.empty() && text.back() != '\n')
        text += '\n';
    for (const TDriveEntry& entry : after.Entries()) {
        const TDriveEntry* old = before.Find(entry.Letter);
        if (!entry.Uuid.empty() && (!old || old->Uuid != entry.Uuid)) {
            text += std::string(1, entry.Letter) + ": " + DriveTypeName(entry.Type) +
                    " uuid=" + entry.Uuid + "\n";
        }
    }
    TFileLock lock(kMapLockName);
    std::string current;
    bool unchanged = hostfs::ReadWholeFile(file, current, kMapFileLimit)
                         ? current == fileText
                         : fileText.empty() && GetLastError() == ERROR_FILE_NOT_FOUND;
    if (lock.Locked() && unchanged)
        hostfs::WriteWholeFile(file, text);
}

void WithoutLettersOf(const std::string& text, TDriveMap& map) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> words;
        SplitWords(line, words);
        if (!words.empty() && words[0].size() == 2 && words[0][1] == ':')
            map.Remove(AsciiUpper(words[0][0]));
    }
    map.DetectMedia = false;
}

TLoadedMap LoadDriveMap() {
    auto map = std::make_shared<TDriveMap>(DefaultDriveMap());
    THostPath file = DriveMapFileName();
    std::string text;
    if (!hostfs::ReadWholeFile(file, text, kMapFileLimit)) {
        int error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            // The file is there but its lines are unknown, so any letter may mean another
            // folder than the default: none is given, rather than one that writes to the
            // wrong place.
            auto none = std::make_shared<TDriveMap>();
            none->DetectMedia = false;
            return {none, TDriveMapProblem{file, 0, UnreadableText(error)}};
        }
    } else {
        TDriveMap fromFile = DefaultDriveMap();
        TDriveMapError error;
        if (!ParseDriveMap(text, fromFile, error)) {
            // The default map, without touching the damaged file; but a letter the file
            // speaks of is not guessed: the user meant another folder by it, and writing
            // there through the default would reach the wrong files.
            WithoutLettersOf(text, *map);
            return {map, TDriveMapProblem{file, error.Line, error.Message}};
        }
        *map = fromFile;
    }
    if (map->DetectMedia) {
        TDriveMap before = *map;
        if (AssignMediaLetters(*map, ScanMountedMedia()))
            RememberNewMedia(file, text, before, *map);
    }
    return {map, std::nullopt};
}

}  // namespace

const TDriveEntry* TDriveMap::Find(char letter) const {
    char upper = AsciiUpper(letter);
    for (const TDriveEntry& entry : Drives) {
        if (entry.Letter == upper)
            return &entry;
    }
    return nullptr;
}

const TDriveEntry* TDriveMap::FindByHostPath(const THostPath& hostPath) const {
    const TDriveEntry* best = nullptr;
    for (const TDriveEntry& entry : Drives) {
        if (!hostPath.IsInside(entry.HostFolder))
            continue;
        if (!best || entry.HostFolder.Text().size() > best->HostFolder.Text().size())
            best = &entry;
    }
    return best;
}

void TDriveMap::Set(const TDriveEntry& entry) {
    Remove(entry.Letter);
    Drives.push_back(entry);
    std::sort(Drives.begin(), Drives.end(),
              [](const TDriveEntry& a, const TDriveEntry& b) { return a.Letter < b.Letter; });
}

void TDriveMap::Remove(char letter) {
    std::erase_if(Drives, [letter](const TDriveEntry& e) { return e.Letter == letter; });
}

uint32_t TDriveMap::LogicalDrives() const {
    uint32_t mask = 0;
    for (const TDriveEntry& entry : Drives)
        mask |= 1u << (entry.Letter - 'A');
    return mask;
}

bool ParseDriveMap(const std::string& text, TDriveMap& map, TDriveMapError& error) {
    std::istringstream lines(text);
    std::string line;
    std::vector<char> seen;
    TDriveMap result = map;
    for (int number = 1; std::getline(lines, line); ++number) {
        std::vector<std::string> words;
        if (!SplitWords(line, words)) {
            error = {number, "a double quote is not closed"};
            return false;
        }
        if (words.empty() || words[0][0] == '#')
            continue;
        if (words[0] == "detect") {
            if (words.size() != 2 || (words[1] != "on" && words[1] != "off")) {
                error = {number, "write \"detect on\" or \"detect off\""};
                return false;
            }
            result.DetectMedia = words[1] == "on";
            continue;
        }
        if (words.size() == 2 && words[1] == "none" && words[0].size() == 2 && words[0][1] == ':' &&
            IsAsciiLetter(words[0][0])) {
            result.Remove(AsciiUpper(words[0][0]));
            continue;
        }
        TDriveEntry entry;
        std::string problem = ParseEntry(words, entry);
        if (problem.empty() && std::count(seen.begin(), seen.end(), entry.Letter)) {
            problem = std::string("drive ") + entry.Letter + ": is given twice";
        }
        if (!problem.empty()) {
            error = {number, problem};
            return false;
        }
        seen.push_back(entry.Letter);
        result.Set(entry);
    }
    map = result;
    return true;
}

std::string FormatDriveMapHelp() {
    return "# Vaultaire drive map: which host folder stands behind each drive letter.\n"
           "# C: is the home folder unless a line below says otherwise.\n"
           "# One drive a line:\n"
           "#   LETTER: TYPE FOLDER [capacity=BYTES] [write-protected] [simulated]\n"
           "#   LETTER: TYPE uuid=UUID      (a medium remembered by its file-system UUID)\n"
           "#   LETTER: none                (no such drive, not even C:)\n"
           "# TYPE is removable, fixed, remote, cdrom or ramdisk. FOLDER is an absolute host\n"
           "# folder (~ for the home folder), in double quotes when it holds blanks; a\n"
           "# missing folder means that no medium is in the drive. capacity (a K, M or G may\n"
           "# follow the number) and write-protected describe a simulated medium.\n"
           "# \"detect off\" stops the program from giving mounted media letters itself.\n"
           "# Example: A: removable ~/floppy capacity=1440K simulated\n";
}

std::string FormatDriveMap(const TDriveMap& map) {
    std::string text = FormatDriveMapHelp();
    if (!map.DetectMedia)
        text += "detect off\n";
    for (const TDriveEntry& entry : map.Entries()) {
        text += entry.Letter;
        text += ": ";
        text += DriveTypeName(entry.Type);
        text += entry.Uuid.empty() ? " " : " uuid=";
        text += entry.Uuid.empty() ? QuoteIfNeeded(entry.HostFolder.Text()) : entry.Uuid;
        if (entry.Capacity > 0)
            text += " capacity=" + std::to_string(entry.Capacity);
        if (entry.WriteProtected)
            text += " write-protected";
        if (entry.Simulated)
            text += " simulated";
        text += "\n";
    }
    return text;
}

bool AssignMediaLetters(TDriveMap& map, const std::vector<TMountedMedium>& media) {
    bool remembered = false;
    for (const TMountedMedium& medium : media) {
        if (medium.Type == DRIVE_UNKNOWN)
            continue;
        const TDriveEntry* known = nullptr;
        for (const TDriveEntry& entry : map.Entries()) {
            bool sameMedium = !medium.Uuid.empty() && entry.Uuid == medium.Uuid;
            if (sameMedium || entry.HostFolder == medium.MountPoint)
                known = &entry;
        }
        if (known) {
            if (known->HostFolder.IsEmpty()) {
                TDriveEntry found = *known;
                found.HostFolder = medium.MountPoint;
                map.Set(found);
            }
            continue;
        }
        char letter = 'D';
        while (letter <= 'Z' && map.Find(letter))
            ++letter;
        if (letter > 'Z')
            break;
        map.Set({letter, medium.Type, medium.MountPoint, medium.Uuid, 0, false, false});
        remembered = remembered || !medium.Uuid.empty();
    }
    return remembered;
}

THostPath DriveMapFileName() {
    return DataFolderHost() / "drives.map";
}

std::shared_ptr<const TDriveMap> CurrentDriveMap() {
    TLoadedMap loadedNow;
    std::shared_ptr<const TDriveMap> map;
    {
        std::lock_guard guard(MapLock);
        if (!Loaded.Map) {
            loadedNow = LoadDriveMap();
            Loaded = loadedNow;
        }
        map = Loaded.Map;
    }
    ReportProblem(loadedNow.Problem);
    return map;
}

void ReloadDriveMap() {
    TLoadedMap loadedNow = LoadDriveMap();
    {
        std::lock_guard guard(MapLock);
        Loaded = loadedNow;
    }
    ReportProblem(loadedNow.Problem);
}

std::optional<TDriveMapProblem> CurrentDriveMapProblem() {
    CurrentDriveMap();
    std::lock_guard guard(MapLock);
    return Loaded.Problem;
}

void SetDriveMapProblemHandler(TDriveMapProblemHandler handler) {
    ProblemHandler = handler;
}

const char* DriveTypeName(int type) {
    for (const TTypeName& t : kTypeNames) {
        if (t.Type == type)
            return t.Name;
    }
    return "unknown";
}

int GetDriveType(const std::string& root) {
    if (root.size() < 2 || root[1] != ':')
        return DRIVE_NO_ROOT_DIR;
    const auto map = CurrentDriveMap();
    const TDriveEntry* entry = map->Find(root[0]);
    return entry ? entry->Type : DRIVE_NO_ROOT_DIR;
}

uint32_t GetLogicalDrives() {
    return CurrentDriveMap()->LogicalDrives();
}
