#include "specialfiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

#include "testenv.h"

namespace fs = std::filesystem;

const std::vector<TSpecialFile>& SpecialFiles() {
    static const std::vector<TSpecialFile> kinds = {
        {TSpecialKind::Fifo, "a pipe", "pipe, socket or device"},
        {TSpecialKind::Folder, "a folder", "not supported on a directory"},
        {TSpecialKind::LinkToDevice, "a link to /dev/zero", "pipe, socket or device"},
        {TSpecialKind::LinkToNothing, "a link to nothing", "cannot be resolved"},
        {TSpecialKind::Unreadable, "an unreadable file", "Access is denied"},
        {TSpecialKind::Oversized, "an oversized file", "exceeds the limit"},
    };
    return kinds;
}

bool MakeSpecialFile(const fs::path& path, TSpecialKind kind, uintmax_t limit) {
    RemoveSpecialFile(path);
    switch (kind) {
        case TSpecialKind::Fifo:
            return ::mkfifo(path.c_str(), 0644) == 0;
        case TSpecialKind::Folder:
            return fs::create_directory(path);
        case TSpecialKind::LinkToDevice:
            fs::create_symlink("/dev/zero", path);
            return true;
        case TSpecialKind::LinkToNothing:
            fs::create_symlink(path.parent_path() / "nowhere" / path.filename(), path);
            return true;
        case TSpecialKind::Unreadable:
            WriteTextFile(path, "unreadable\n");
            fs::permissions(path, fs::perms::none);
            return ::access(path.c_str(), R_OK) != 0;
        case TSpecialKind::Oversized:
            WriteTextFile(path, "");
            fs::resize_file(path, limit + 1);
            return true;
    }
    return false;
}

void RemoveSpecialFile(const fs::path& path) {
    std::error_code ignored;
    if (fs::is_regular_file(fs::symlink_status(path, ignored)))
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path, ignored);
}

std::string DescribeFile(const fs::path& path) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0)
        return "nothing";
    std::string mode = " mode " + std::to_string(info.st_mode & 07777);
    if (S_ISLNK(info.st_mode))
        return "link to " + fs::read_symlink(path).string();
    if (S_ISDIR(info.st_mode))
        return "folder" + mode;
    if (S_ISFIFO(info.st_mode))
        return "pipe" + mode;
    if (S_ISREG(info.st_mode))
        return "file of " + std::to_string(info.st_size) + " bytes" + mode;
    return "something else" + mode;
}

bool EndsWithoutAWriter(const std::function<void()>& work, const fs::path& fifo) {
    std::packaged_task<void()> task(work);
    std::future<void> done = task.get_future();
    std::thread worker(std::move(task));
    bool inTime = done.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    struct stat info;
    if (!inTime && ::lstat(fifo.c_str(), &info) == 0 && S_ISFIFO(info.st_mode)) {
        // Each writer that comes and goes lets one waiting open or read of the pipe end.
        do {
            int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (writer >= 0)
                ::close(writer);
        } while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready);
    }
    worker.join();
    done.get();
    return inTime;
}
