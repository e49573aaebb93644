#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// What a careless user or an attacker may leave where the program expects one of its own
// files: each kind, the words the program's reason for refusing it holds, and how to make
// one.
enum class TSpecialKind { Fifo, Folder, LinkToDevice, LinkToNothing, Unreadable, Oversized };

struct TSpecialFile {
    TSpecialKind Kind;
    const char* Name;        // for failure messages
    const char* ReasonPart;  // part of the system's text for the refusal
};

// Every kind, for tables of cases.
const std::vector<TSpecialFile>& SpecialFiles();

// Puts a thing of kind at path in place of what is there. An oversized file is one byte
// larger than limit (sparse: it takes no room). Returns false when this user cannot make it
// (no file is unreadable to root).
bool MakeSpecialFile(const std::filesystem::path& path, TSpecialKind kind, uintmax_t limit);
// Removes what MakeSpecialFile made.
void RemoveSpecialFile(const std::filesystem::path& path);

// What is at path, without opening it: its type, and a link's target, a file's size and
// permissions; for comparing before and after.
std::string DescribeFile(const std::filesystem::path& path);

// Runs work on a thread. When it has not ended after a few seconds (a pipe opened or read
// as a file waits for a writer), a writer opens the pipe at fifo and closes it again, so
// that the work ends and the test fails at once instead of at the suite's time limit.
// Returns whether work ended in time.
bool EndsWithoutAWriter(const std::function<void()>& work, const std::filesystem::path& fifo);
