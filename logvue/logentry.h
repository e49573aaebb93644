#pragma once

#include <string>
#include <string_view>

// What a log entry reports, as the viewer sorts the entries for its filter.
enum TLogEntryKind : int {
    lkSaved,      // a file saved
    lkRestored,   // a file restored
    lkError,      // a file or a run that failed, a folder that could not be read
    lkStartStop,  // the program, automatic backup or a run started or ended
    lkOther,      // the change monitor's notices, lines that are no entry of the log
};
constexpr int kLogEntryKinds = lkOther + 1;

// One line of the log, taken apart.
struct TLogEntry {
    std::string Time;  // the time stamp as written ("05/12/2026 11:20:58 pm"), or empty
    std::string Text;  // what follows the time stamp, or the whole line when it has none
    TLogEntryKind Kind = lkOther;
    bool Damaged = false;     // the line does not begin with a time stamp
    bool Shortened = false;   // Text holds only the beginning of a very long line
    bool FromBackup = false;  // read from the predecessor of the log
};

// Longest text an entry keeps of its line, in bytes; the log's own lines are far shorter.
constexpr size_t kMaxEntryText = 4096;

// Takes a line of the log apart: the time stamp that begins every entry ("dd/mm/yyyy
// hh:mm:ss am. "), the text after it, and the kind of entry that text tells of. A line
// without a valid time stamp is Damaged and kept whole as the text, of kind lkOther.
// Control characters become "?", so that the text shows as one line.
TLogEntry ParseLogLine(std::string_view line);

// The kind of entry that text (what follows the time stamp) tells of.
TLogEntryKind KindOfEntryText(std::string_view text);
