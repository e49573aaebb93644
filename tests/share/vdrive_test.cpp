// TVDrive on simulated media: a diskette drive A: whose medium is a folder (missing folder:
// empty drive), a fixed disk C:, a network drive N: and a fixed disk F: with a capacity.
#include "vdrive.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <set>

#include "exceptions.h"
#include "interaction.h"
#include "platform/files.h"
#include "platform/filestream.h"
#include "platform/syserror.h"
#include "platform/volume.h"
#include "scriptedinteraction.h"
#include "strtable.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

constexpr int64_t kDisketteSize = 1457664;
constexpr int64_t kFixedSize = 100000;
constexpr uint32_t kSerial = 0x1234ABCD;

std::string VolumeText(uint32_t serial, const std::string& label) {
    char text[32];
    std::snprintf(text, sizeof text, "%04X-%04X", serial >> 16, serial & 0xFFFF);
    return std::string("serial=") + text + "\nlabel=" + label + "\n";
}

uint8_t Bits(std::initializer_list<TMediaResult> results) {
    TMediaResults set;
    for (TMediaResult r : results)
        set.Include(r);
    return set.Raw();
}

// Names of everything below folder, relative to it.
std::set<std::string> Contents(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.insert(fs::relative(entry.path(), folder).string());
    return names;
}

int64_t BytesIn(const fs::path& folder) {
    int64_t bytes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            bytes += static_cast<int64_t>(entry.file_size());
    }
    return bytes;
}

template <typename E, typename F>
std::string MessageOf(F action) {
    try {
        action();
    } catch (const E& e) {
        return e.what();
    }
    return "<nothing raised>";
}

// The scripted user in front of the drive, who may also do something before pressing the
// button (insert another diskette, slide the write-protection tab), and whose questions
// are kept with their captions and styles.
class TUserAtTheDrive : public TScriptedInteraction {
  public:
    void Then(int id, int answer, std::function<void()> action) {
        Expect(id, answer);
        Actions.push_back({Answered + Pending() - 1, std::move(action)});
    }

    int MessageBox(const TMessageRequest& request) override {
        Requests.push_back(request);
        size_t pendingBefore = Pending();
        int answer = TScriptedInteraction::MessageBox(request);
        if (Pending() < pendingBefore) {
            size_t question = Answered++;
            if (!Actions.empty() && Actions.front().first == question) {
                auto action = std::move(Actions.front().second);
                Actions.pop_front();
                action();
            }
        }
        return answer;
    }

    std::vector<TMessageRequest> Requests;

  private:
    size_t Answered = 0;  // expected questions met so far
    // Each action with the number of the expected question it goes with.
    std::deque<std::pair<size_t, std::function<void()>>> Actions;
};

class VDrive : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(Dir.Path() / "c");
        fs::create_directories(Dir.Path() / "net");
        fs::create_directories(Dir.Path() / "fixed");
        MakeDiskette("floppy", kSerial, "DISK-001");
        MapDrives();
        Previous = SetInteraction(&User);
    }

    void TearDown() override {
        SetInteraction(Previous);
        for (const std::string& text : User.Unexpected())
            ADD_FAILURE() << "unexpected question: " << text;
        EXPECT_EQ(User.Pending(), 0u) << "questions that were never asked";
        UseDefaultTestDriveMap();
    }

    // disketteOptions: what follows the folder of A: in the drive map.
    void MapDrives(const std::string& disketteOptions = "capacity=1457664 simulated") {
        UseDriveMap(
            "detect off\n"
            "C: fixed \"" +
            Dir / "c" +
            "\"\n"
            "N: remote \"" +
            Dir / "net" +
            "\"\n"
            "F: fixed \"" +
            Dir / "fixed" +
            "\" capacity=100000 simulated\n"
            "A: removable \"" +
            Dir / "floppy" + "\" " + disketteOptions + "\n");
    }
    void WriteProtectDiskette() { MapDrives("capacity=1457664 simulated write-protected"); }

    // A formatted diskette kept in the folder name, beside the drive's own folder.
    void MakeDiskette(const std::string& name, uint32_t serial, const std::string& label) {
        WriteTextFile(Dir.Path() / name / ".vaultaire/volume", VolumeText(serial, label));
    }
    // Diskettes out of the drive are folders beside the drive's folder.
    void Eject(const std::string& keepAs) { fs::rename(Floppy(), Dir.Path() / keepAs); }
    void Insert(const std::string& name) { fs::rename(Dir.Path() / name, Floppy()); }
    void SwapDiskette(const std::string& keepAs, const std::string& toInsert) {
        Eject(keepAs);
        Insert(toInsert);
    }
    // Fills the medium in folder up to bytes with one file.
    void FillTo(const fs::path& folder, int64_t bytes) {
        fs::remove(folder / "fill.bin");
        WriteTextFile(folder / "fill.bin",
                      std::string(std::max<int64_t>(0, bytes - BytesIn(folder)), 'f'));
    }
    fs::path Floppy() const { return Dir.Path() / "floppy"; }
    std::string VolumeFile() const { return ReadTextFile(Floppy() / ".vaultaire/volume"); }

    TTempDir Dir;
    TUserAtTheDrive User;
    TInteraction* Previous = nullptr;
};

}  // namespace

// ---- Letters ----

TEST(VDriveLetter, NonLettersAreRefused) {
    for (char c : {'1', '0', ':', '\\', ' ', '\0', '@', '[', '`', '{', '\xC4'}) {
        EXPECT_EQ(MessageOf<ERangeError>([c] { TVDrive drive(c); }), "Invalid drive letter")
            << static_cast<int>(c);
    }
}

TEST_F(VDrive, SetLetterIgnoresNonLettersAndForgetsTheMediumOnlyForANewLetter) {
    TVDrive drive('a');
    EXPECT_EQ(drive.GetLetter(), 'A');
    EXPECT_EQ(drive.RootPath(), "A:\\");
    ASSERT_TRUE(drive.Update());
    TMediaResults results;

    drive.SetLetter('1');
    drive.SetLetter('a');
    EXPECT_EQ(drive.GetLetter(), 'A');
    EXPECT_TRUE(drive.IsMediaValid(results));
    EXPECT_EQ(results.Raw(), 0) << "the remembered diskette is still the one in the drive";

    drive.SetLetter('C');
    drive.SetLetter('A');
    EXPECT_TRUE(drive.IsMediaValid(results));
    EXPECT_EQ(results.Raw(), Bits({mdChanged}));
}

// ---- Media checks ----

TEST_F(VDrive, MediaChecksReportWhatIsInTheDrive) {
    struct TCase {
        const char* What;
        char Letter;
        std::function<void()> Prepare;
        bool UpdateFirst;
        uint8_t Expected;
        bool Valid;
    };
    auto nothing = [] {};
    const TCase cases[] = {
        {"letter without a drive", 'Q', nothing, false, Bits({mdNoDrive}), false},
        {"fixed disk, not even looked at", 'C', [this] { fs::remove_all(Dir.Path() / "c"); }, false,
         Bits({mdFixed}), true},
        {"network drive", 'N', nothing, false, Bits({mdFixed}), true},
        {"empty drive", 'A', [this] { fs::remove_all(Floppy()); }, false, Bits({mdNoMedia}), false},
        {"fresh object, readable diskette", 'A', nothing, false, Bits({mdChanged}), true},
        {"the remembered diskette", 'A', nothing, true, 0, true},
        {"serial number 0", 'A', [this] { MakeDiskette("floppy", 0, "ZERO"); }, false,
         Bits({mdChanged, mdBadVolumeId}), false},
        {"serial number 0, remembered", 'A', [this] { MakeDiskette("floppy", 0, "ZERO"); }, true,
         Bits({mdBadVolumeId}), false},
        {"never formatted", 'A', [this] { fs::remove_all(Floppy() / ".vaultaire"); }, false,
         Bits({mdChanged, mdBadVolumeId}), false},
        {"write-protected", 'A', [this] { WriteProtectDiskette(); }, false,
         Bits({mdWriteProtected, mdChanged}), true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        fs::create_directories(Dir.Path() / "c");
        fs::remove_all(Floppy());
        MakeDiskette("floppy", kSerial, "DISK-001");
        MapDrives();
        c.Prepare();

        TVDrive drive(c.Letter);
        if (c.UpdateFirst)
            drive.Update();
        TMediaResults results;
        EXPECT_EQ(drive.IsMediaValid(results), c.Valid);
        EXPECT_EQ(results.Raw(), c.Expected);
        if (c.Letter == 'C') {
            EXPECT_EQ(drive.GetError(), 0) << "a serial number was read";
        }
    }
    EXPECT_EQ(Contents(Floppy()), (std::set<std::string>{".vaultaire", ".vaultaire/volume"}))
        << "the write-protection probe leaves nothing behind";
}

TEST_F(VDrive, SwappedDiskettesCountAsChangedUntilUpdate) {
    MakeDiskette("second", 0x55667788, "DISK-002");
    TVDrive drive('A');
    ASSERT_TRUE(drive.Update());
    TMediaResults results;

    SwapDiskette("first", "second");
    EXPECT_TRUE(drive.IsMediaValid(results));
    EXPECT_EQ(results.Raw(), Bits({mdChanged}));

    SwapDiskette("second", "first");
    EXPECT_TRUE(drive.IsMediaValid(results));
    EXPECT_EQ(results.Raw(), 0);

    MakeDiskette("floppy", kSerial, "RELABELLED");
    EXPECT_TRUE(drive.IsMediaValid(results));
    EXPECT_EQ(results.Raw(), Bits({mdChanged})) << "same serial number, other label";

    Eject("first");
    EXPECT_FALSE(drive.Update()) << "nothing to remember in an empty drive";
    Insert("first");
    EXPECT_TRUE(drive.IsMediaValid(results));
    EXPECT_EQ(results.Raw(), Bits({mdChanged})) << "the empty drive made it forget";
}

// ---- Serial number and label ----

TEST_F(VDrive, SerialNumberAndLabelOfTheMediumInTheDrive) {
    TVDrive drive('A');
    std::string label;
    EXPECT_EQ(drive.GetSerialNumber(&label), kSerial);
    EXPECT_EQ(label, "DISK-001");
    EXPECT_EQ(drive.GetDisplayName(), "DISK-001 (A:)");

    MakeDiskette("floppy", kSerial, std::string(60, 'L'));
    EXPECT_EQ(drive.GetLabel(), std::string(50, 'L')) << "at most 50 characters";

    fs::remove_all(Floppy());
    EXPECT_EQ(drive.GetSerialNumber(&label), TVDrive::NoSerial);
    EXPECT_EQ(label, "");
    EXPECT_EQ(drive.GetError(), ERROR_NOT_READY);

    TVDrive missing('Q');
    EXPECT_EQ(missing.GetSerialNumber(), TVDrive::NoSerial);
    EXPECT_EQ(missing.GetError(), ERROR_INVALID_DRIVE);
    EXPECT_EQ(missing.GetDisplayName(), "Q:\\");
}

TEST_F(VDrive, RealMediumWithoutAVolumeFileHasASerialNumberAllTheSame) {
    fs::remove_all(Floppy() / ".vaultaire");
    MapDrives("");  // a real medium, not a folder standing in for one
    TVolumeInfo info;
    ASSERT_TRUE(GetVolumeInformation("A:\\", info));
    EXPECT_NE(info.Serial, 0u) << "serial 0 would read as an unformatted medium";
    TVolumeInfo again;
    ASSERT_TRUE(GetVolumeInformation("A:\\", again));
    EXPECT_EQ(again.Serial, info.Serial);
    EXPECT_NE(TVDrive('A').GetSerialNumber(), 0u);
}

TEST_F(VDrive, SetLabelWritesTheVolumeFileAndKeepsTheSerialNumber) {
    TVDrive drive('A');
    ASSERT_TRUE(drive.Update());
    EXPECT_TRUE(drive.SetLabel("BACKUP-002"));
    EXPECT_EQ(VolumeFile(), VolumeText(kSerial, "BACKUP-002"));
    TMediaResults results;
    EXPECT_TRUE(drive.IsMediaValid(results));
    EXPECT_EQ(results.Raw(), 0) << "the new label is the remembered one";

    EXPECT_FALSE(drive.SetLabel("two\nlines"));
    EXPECT_EQ(drive.GetError(), ERROR_INVALID_NAME);
    EXPECT_EQ(VolumeFile(), VolumeText(kSerial, "BACKUP-002"));

    fs::remove_all(Floppy() / ".vaultaire");
    EXPECT_TRUE(drive.SetLabel("NEW"));
    EXPECT_EQ(VolumeFile(), VolumeText(0, "NEW")) << "labelling does not format";
    EXPECT_FALSE(drive.IsMediaValid(results));
    EXPECT_TRUE(results.Contains(mdBadVolumeId));
}

TEST_F(VDrive, SetLabelWithTheRememberedLabelWritesNothing) {
    TVDrive drive('A');
    ASSERT_TRUE(drive.Update());
    WriteProtectDiskette();
    EXPECT_TRUE(drive.SetLabel("DISK-001")) << "a write would have failed";
    EXPECT_FALSE(drive.SetLabel("OTHER"));
    EXPECT_EQ(drive.GetError(), ERROR_WRITE_PROTECT);
}

TEST_F(VDrive, SetLabelWritesTheRememberedLabelOnAnotherDiskette) {
    MakeDiskette("second", 0x55667788, "FOREIGN");
    TVDrive drive('A');
    ASSERT_TRUE(drive.Update());
    SwapDiskette("first", "second");
    EXPECT_TRUE(drive.SetLabel("DISK-001"));
    EXPECT_EQ(VolumeFile(), VolumeText(0x55667788, "DISK-001"));

    TVDrive fresh('A');
    EXPECT_TRUE(fresh.SetLabel("")) << "nothing remembered yet, and the medium is labelled";
    EXPECT_EQ(VolumeFile(), VolumeText(0x55667788, ""));
}

// ---- Write protection and capacity of simulated media ----

TEST_F(VDrive, WriteProtectedMediumRefusesEveryChange) {
    WriteTextFile(Floppy() / "file.txt", "kept");
    WriteTextFile(Floppy() / "other.txt", "also kept");
    fs::create_directories(Floppy() / "dir");
    std::set<std::string> before = Contents(Floppy());
    WriteProtectDiskette();

    std::string unique;
    const std::string hostFile = (Floppy() / "file.txt").string();
    const std::pair<const char*, std::function<bool()>> writes[] = {
        {"CreateDir", [] { return CreateDir("A:\\new"); }},
        {"ForceDirectories", [] { return ForceDirectories("A:\\new\\deeper"); }},
        {"RemoveDir", [] { return RemoveDir("A:\\dir"); }},
        {"DeleteFile", [] { return DeleteFile("A:\\file.txt"); }},
        {"DeleteFile by host path", [&] { return DeleteFile(hostFile); }},
        {"RenameFile", [] { return RenameFile("A:\\file.txt", "A:\\renamed.txt"); }},
        {"ReplaceFile", [] { return ReplaceFile("A:\\file.txt", "A:\\other.txt"); }},
        {"FileSetDate", [] { return FileSetDate("A:\\file.txt", 0x21000000); }},
        {"SetFileAttributes", [] { return SetFileAttributes("A:\\file.txt", faReadOnly); }},
        {"WriteFileAtomically", [] { return WriteFileAtomically("A:\\file.txt", "new"); }},
        {"CreateUniqueFile", [&] { return CreateUniqueFile("A:\\", "VL", unique); }},
        {"CopyFileMode", [] { return CopyFileMode("A:\\other.txt", "A:\\file.txt"); }},
    };
    for (const auto& [what, write] : writes) {
        SetLastError(0);
        EXPECT_FALSE(write()) << what;
        EXPECT_EQ(GetLastError(), ERROR_WRITE_PROTECT) << what;
    }
    for (unsigned mode : {fmCreate, fmOpenWrite, fmOpenReadWrite}) {
        try {
            TFileStream stream("A:\\file.txt", mode);
            ADD_FAILURE() << "opened for writing in mode " << mode;
        } catch (const EFOpenError& e) {
            EXPECT_EQ(e.ErrorCode, ERROR_WRITE_PROTECT) << mode;
        }
    }
    EXPECT_EQ(Contents(Floppy()), before);
    EXPECT_EQ(ReadTextFile(Floppy() / "file.txt"), "kept");

    std::string text;
    EXPECT_TRUE(ReadFileText("A:\\file.txt", text));
    EXPECT_EQ(text, "kept");
    EXPECT_NO_THROW(TFileStream("A:\\file.txt", fmOpenRead));
    EXPECT_TRUE(ForceDirectories("A:\\dir")) << "a folder that is there needs no writing";

    TVDrive drive('A');
    EXPECT_TRUE(drive.IsWriteProtected());
    EXPECT_EQ(drive.GetError(), ERROR_WRITE_PROTECT);
    MapDrives();
    EXPECT_FALSE(drive.IsWriteProtected());
    EXPECT_EQ(Contents(Floppy()), before) << "the probe file is removed again";
}

TEST_F(VDrive, FreeSpaceAndCapacityOfASimulatedDiskette) {
    TVDrive drive('A');
    int64_t volumeFile = BytesIn(Floppy());
    EXPECT_EQ(drive.GetCapacity(), kDisketteSize);
    EXPECT_EQ(drive.GetFreeBytes(), kDisketteSize - volumeFile);
    WriteTextFile(Floppy() / "sub/.hidden/data.bin", std::string(100000, 'x'));
    EXPECT_EQ(drive.GetFreeBytes(), kDisketteSize - volumeFile - 100000);
    EXPECT_EQ(drive.GetBytes(2), 0);
    EXPECT_EQ(drive.GetError(), 0);

    TVDrive home('C');
    EXPECT_EQ(home.GetCapacity(), static_cast<int64_t>(fs::space(Dir.Path()).capacity))
        << "a drive without a capacity is as large as its file system";

    int64_t total = 0, available = 0;
    EXPECT_FALSE(GetDiskFreeSpace("Q:\\", total, available));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_DRIVE);
    for (const char* notADrive : {"c", "/", "c-drive", ""}) {
        TVolumeInfo info;
        EXPECT_FALSE(GetDiskFreeSpace(notADrive, total, available)) << notADrive;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_DRIVE) << notADrive;
        EXPECT_FALSE(GetVolumeInformation(notADrive, info)) << notADrive;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_DRIVE) << notADrive;
    }
    fs::remove_all(Floppy());
    EXPECT_FALSE(GetDiskFreeSpace("A:\\", total, available));
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
}

TEST_F(VDrive, StreamThatWouldOverflowTheDisketteFailsWithDiskFull) {
    WriteTextFile(Floppy() / "keep.bin", std::string(400000, 'k'));
    int64_t room = kDisketteSize - BytesIn(Floppy());
    {
        TFileStream stream("A:\\big.bin", fmCreate);
        std::string chunk(65536, 'b');
        int64_t written = 0;
        bool full = false;
        // Bounded, so that a medium without its limit cannot fill the host's disk.
        while (!full && written <= kDisketteSize) {
            try {
                written += stream.Write(chunk.data(), static_cast<int64_t>(chunk.size()));
            } catch (const EWriteError& e) {
                full = true;
                EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
                EXPECT_EQ(std::string(e.what()), SysErrorMessage(ERROR_DISK_FULL));
            }
        }
        ASSERT_TRUE(full) << "the diskette took more than it holds";
        EXPECT_LT(written, room);
        EXPECT_THROW(stream.SetSize(room + 1), EWriteError);
    }
    EXPECT_EQ(static_cast<int64_t>(fs::file_size(Floppy() / "big.bin")), room)
        << "what fits is written, as on a real disk";
    EXPECT_EQ(ReadTextFile(Floppy() / "keep.bin"), std::string(400000, 'k'));
    EXPECT_EQ(BytesIn(Floppy()), kDisketteSize);
    EXPECT_EQ(TVDrive('A').GetFreeBytes(), 0);

    // A file's own bytes are room for its new contents.
    TFileStream again("A:\\keep.bin", fmCreate);
    std::string contents(400000, 'n');
    EXPECT_EQ(again.Write(contents.data(), static_cast<int64_t>(contents.size())), 400000);
    TFileStream rewrite("A:\\big.bin", fmOpenReadWrite);
    std::string head(1000, 'h');
    EXPECT_EQ(rewrite.Write(head.data(), static_cast<int64_t>(head.size())), 1000);
}

// ---- Questions ----

TEST_F(VDrive, PromptForDisketteFillsInNumberAndLetter) {
    const std::pair<int, const char*> cases[] = {
        {3, "Please insert disk # 3 in drive \"A\""},
        {-1, "Please insert a diskette in drive \"A\""},
        {0, "Please insert a blank diskette in drive \"A\""},
    };
    TVDrive drive('A');
    for (const auto& [number, text] : cases) {
        User.ExpectText(text, IDOK);
        EXPECT_EQ(drive.PromptForDiskette(number), IDOK) << number;
    }
    User.Expect(32002, IDCANCEL);
    EXPECT_EQ(drive.PromptForDiskette(12), IDCANCEL) << "Cancel is answered, not raised";
    EXPECT_EQ(User.Asked().back(), "Please insert disk # 12 in drive \"A\"");

    TVDrive fixed('C');
    EXPECT_EQ(MessageOf<Exception>([&] { fixed.PromptForDiskette(1); }),
              "Drive \"C\" is not a removeable drive");
}

TEST_F(VDrive, PromptKindsPickTheirTextButtonsAndIcon) {
    struct TCase {
        int Kind;
        char Letter;
        std::string Text;
        int Flags;
        int Id;
        std::string Shown;
        unsigned Style;
    };
    constexpr unsigned kStop = MB_OKCANCEL | MB_ICONSTOP;
    const TCase cases[] = {
        {ptNotEmpty, 'A', "", -1, 32003,
         "The diskette you have inserted in drive \"A\" is not empty. Would you like to erase "
         "all files on this diskette?",
         MB_YESNOCANCEL | MB_ICONEXCLAMATION},
        {ptWriteProtected, 'A', "", -1, 32004,
         "The disk in drive \"A\" is write protected.\nRemove the write protection or use "
         "another disk.",
         MB_RETRYCANCEL | MB_ICONSTOP},
        {ptNotReady, 'C', "", -1, 32005,
         "Unable to read from drive \"C.\"\n\nEither the drive bay is empty or the diskette is "
         "damaged.\n\nPlease try another diskette.",
         MB_RETRYCANCEL | MB_ICONSTOP},
        {ptFull, 'C', "", -1, 32006,
         "You have run out of space on drive C. Please delete unnecessary files or select "
         "another drive.",
         kStop},
        {ptFull, 'A', "", 0x1000, 32007,
         "The diskette in drive \"A\" is full. Please insert an empty diskette.", kStop | 0x1000},
        {ptNoSpace, 'N', "", -1, 32008,
         "Drive \"N\" does not have enough free space for this operation. Please delete "
         "unnecessary files or select another drive.",
         kStop},
        {ptNoSpace, 'A', "", -1, 32009,
         "The diskette in drive \"A\" does not have enough free space for this operation. "
         "Please insert an empty diskette.",
         kStop},
        {ptNoCapacity, 'F', "", -1, 32010,
         "Drive \"F\" does not have the capacity to for this operation. You will be prompted "
         "to select another drive.",
         kStop},
        {ptNoCapacity, 'A', "", -1, 32011,
         "The diskette in drive \"A\" does not have the capacity to for this operation. You "
         "will be prompted to select another drive.",
         kStop},
        {ptNotEmpty, 'A', "Erase \"%c\" (100%%)?", 0x1000, 0, "Erase \"A\" (100%)?",
         MB_YESNOCANCEL | MB_ICONEXCLAMATION | 0x1000},
        {ptFormat, 'A', "Format %c:? %s %d", -1, 0, "Format A:? %s 0",
         MB_YESNOCANCEL | MB_ICONQUESTION},
        {ptCustom, 'A', "Custom %c", MB_YESNO, 0, "Custom A", MB_YESNO},
        {ptCustom, 'A', "Plain", -1, 0, "Plain", MB_OK},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Shown);
        TVDrive drive(c.Letter);
        drive.FCaption = "Caption of the caller";
        User.Expect(c.Id, IDRETRY);
        EXPECT_EQ(drive.Prompt(c.Kind, c.Text, c.Flags), IDRETRY);
        ASSERT_FALSE(User.Requests.empty());
        const TMessageRequest& asked = User.Requests.back();
        EXPECT_EQ(asked.Id, c.Id);
        EXPECT_EQ(asked.Text, c.Shown);
        EXPECT_EQ(asked.Flags, c.Style);
        EXPECT_EQ(asked.Caption, "Caption of the caller");
    }
    size_t asked = User.Requests.size();
    TVDrive drive('A');
    for (int kind : {0, 1, 10, -1})
        EXPECT_EQ(drive.Prompt(kind, "text", MB_YESNO), IDOK) << kind;
    EXPECT_EQ(User.Requests.size(), asked) << "other kinds ask nothing";
    EXPECT_THROW(drive.Prompt(ptCustom), Exception);
    EXPECT_THROW(drive.Prompt(ptFormat), Exception);
}

TEST_F(VDrive, ShowErrorTurnsSystemErrorsIntoQuestions) {
    struct TCase {
        int Error;
        int Attempt;
        int Asked;
        int Answer;
    };
    const TCase cases[] = {
        {ERROR_NOT_READY, 1, 32000, IDOK},        {ERROR_NOT_READY, 2, 32005, IDRETRY},
        {ERROR_FILE_NOT_FOUND, 1, 32000, IDOK},   {ERROR_PATH_NOT_FOUND, 0, 32005, IDRETRY},
        {ERROR_INVALID_DRIVE, 3, 32005, IDRETRY}, {ERROR_GEN_FAILURE, 2, 32005, IDRETRY},
        {ERROR_ACCESS_DENIED, 1, 32004, IDRETRY}, {ERROR_WRITE_PROTECT, 0, 32004, IDRETRY},
        {ERROR_READ_FAULT, 2, 32004, IDRETRY},
    };
    TVDrive drive('A');
    for (const TCase& c : cases) {
        drive.SetError(c.Error);
        User.Expect(c.Asked, c.Answer);
        EXPECT_EQ(drive.ShowError(c.Attempt), c.Answer) << c.Error << " attempt " << c.Attempt;
    }
    for (const TCase& c : {TCase{ERROR_NOT_READY, 1, 32000, IDCANCEL},
                           TCase{ERROR_WRITE_PROTECT, 0, 32004, IDCANCEL}}) {
        drive.SetError(c.Error);
        User.Expect(c.Asked, c.Answer);
        EXPECT_EQ(MessageOf<EAbort>([&] { drive.ShowError(c.Attempt); }), "Operation cancelled");
    }
    for (int error : {ERROR_DISK_FULL, ERROR_INVALID_PARAMETER, ERROR_SHARING_VIOLATION}) {
        drive.SetError(error);
        EXPECT_EQ(MessageOf<EOSError>([&] { drive.ShowError(1); }), SysErrorMessage(error));
    }
    SetLastError(ERROR_SHARING_VIOLATION);
    drive.SetError(-1);
    EXPECT_EQ(drive.GetError(), ERROR_SHARING_VIOLATION) << "-1 stands for the last error";
}

TEST_F(VDrive, AnEmptyDriveAsksForADisketteUntilOneIsInserted) {
    Eject("outside");
    User.Expect(32000, IDOK);  // pressed without inserting one
    User.Then(32005, IDRETRY, [&] { Insert("outside"); });
    TVDrive drive('A');
    EXPECT_EQ(drive.GetCapacity(), kDisketteSize);
    EXPECT_EQ(drive.GetError(), 0);
    EXPECT_EQ(User.Requests.size(), 2u);

    Eject("outside");
    User.Expect(32000, IDCANCEL);
    EXPECT_EQ(MessageOf<EAbort>([&] { drive.GetFreeBytes(); }), "Operation cancelled");
}

TEST_F(VDrive, FormatExceptionTexts) {
    TVDrive drive('B');
    drive.SetError(5);
    EXPECT_EQ(drive.FormatException(1), "Insufficient space on drive \"B\"");
    EXPECT_EQ(drive.FormatException(2), "Drive \"B\" is not supported. Please contact the author.");
    EXPECT_EQ(drive.FormatException(0),
              "Error # \"5\" in module TTargetDrive.\nPlease report this to the author.");
}

// ---- Room for a file ----

TEST_F(VDrive, PrepareForWriteAsksWhenThereIsNoRoom) {
    struct TCase {
        const char* What;
        char Letter;
        int64_t Fill;  // bytes written to the medium first
        int64_t Size;
        int Asked;
        int Answer;
        bool Result;  // when the answer does not cancel
    };
    const TCase cases[] = {
        {"room enough", 'A', 0, 1000, 0, 0, true},
        {"larger than any diskette", 'A', 0, 2000000, 32011, IDOK, false},
        {"larger than any diskette, cancelled", 'A', 0, 2000000, 32011, IDCANCEL, false},
        {"diskette full, cancelled", 'A', kDisketteSize - 5000, 10000, 32009, IDCANCEL, false},
        {"larger than the fixed disk", 'F', 0, 200000, 32010, IDOK, false},
        {"fixed disk full", 'F', kFixedSize - 5000, 10000, 32008, IDOK, false},
        {"fixed disk full, cancelled", 'F', kFixedSize - 5000, 10000, 32008, IDCANCEL, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        FillTo(c.Letter == 'A' ? Floppy() : Dir.Path() / "fixed", c.Fill);
        if (c.Asked != 0)
            User.Expect(c.Asked, c.Answer);
        TVDrive drive(c.Letter);
        if (c.Answer == IDCANCEL)
            EXPECT_EQ(MessageOf<EAbort>([&] { drive.PrepareForWrite(c.Size); }),
                      "Operation cancelled");
        else
            EXPECT_EQ(drive.PrepareForWrite(c.Size), c.Result);
    }
}

TEST_F(VDrive, PrepareForWriteWaitsForAnotherDisketteOrTheProtectionRemoved) {
    FillTo(Floppy(), kDisketteSize - 5000);
    MakeDiskette("empty", 0x0BADF00D, "");
    User.Expect(32009, IDOK);  // not yet: the same diskette is still in the drive
    User.Then(32009, IDOK, [&] { SwapDiskette("full", "empty"); });
    TVDrive drive('A');
    EXPECT_TRUE(drive.PrepareForWrite(10000));

    WriteProtectDiskette();
    User.Then(32004, IDRETRY, [&] { MapDrives(); });
    EXPECT_TRUE(drive.PrepareForWrite(10000));
    EXPECT_EQ(User.Requests.size(), 3u);

    WriteProtectDiskette();
    User.Expect(32004, IDCANCEL);
    EXPECT_EQ(MessageOf<EAbort>([&] { drive.PrepareForWrite(1); }), "Operation cancelled");
}

// ---- Folders ----

TEST_F(VDrive, SetCurrentDirCreatesFoldersOnlyOnItsOwnDrive) {
    TVDrive drive('A');
    EXPECT_TRUE(drive.SetCurrentDir("A:\\Vaultaire\\C\\Data", true));
    EXPECT_TRUE(fs::is_directory(Floppy() / "Vaultaire/C/Data"));
    EXPECT_EQ(drive.GetCurrentDir(), "A:\\Vaultaire\\C\\Data");
    EXPECT_TRUE(drive.SetCurrentDir("a:\\Vaultaire", false));
    EXPECT_EQ(drive.GetCurrentDir(), "a:\\Vaultaire");

    const std::pair<const char*, bool> refused[] = {
        {"", true}, {"C:\\Elsewhere", true}, {"\\Vaultaire", true}, {"A:\\Missing", false}};
    for (const auto& [path, create] : refused)
        EXPECT_FALSE(drive.SetCurrentDir(path, create)) << path;
    EXPECT_EQ(drive.GetCurrentDir(), "a:\\Vaultaire");
    EXPECT_FALSE(fs::exists(Floppy() / "Missing"));
    EXPECT_FALSE(fs::exists(Dir.Path() / "c/Elsewhere"));
}

TEST_F(VDrive, CreateDirAsksOrRaisesWhenAFolderCannotBeMade) {
    TVDrive drive('A');
    WriteTextFile(Floppy() / "blocked", "a file in the way");
    EXPECT_EQ(MessageOf<EOSError>([&] { drive.CreateDir("A:\\blocked\\below"); }),
              SysErrorMessage(ERROR_ALREADY_EXISTS));

    WriteProtectDiskette();
    User.Expect(32004, IDRETRY);
    User.Expect(32004, IDCANCEL);
    EXPECT_EQ(MessageOf<EAbort>([&] { drive.CreateDir("A:\\new"); }), "Operation cancelled");
    EXPECT_FALSE(fs::exists(Floppy() / "new"));
}

// ---- Erasing and formatting ----

TEST_F(VDrive, CleanErasesEverythingButTheDotFoldersOfTheRoot) {
    WriteTextFile(Floppy() / "top.txt", "1");
    WriteTextFile(Floppy() / ".hidden-file", "2");
    WriteTextFile(Floppy() / "Vaultaire/C/Data/note.txt.VL001", "3");
    WriteTextFile(Floppy() / "Vaultaire/C/Data/note.txt.VL002", "4");
    WriteTextFile(Floppy() / ".trash/kept.txt", "5");
    fs::create_directories(Floppy() / "empty/deeper");
    ASSERT_TRUE(SetFileAttributes("A:\\top.txt", faReadOnly));

    TVDrive drive('A');
    EXPECT_FALSE(drive.IsEmpty());
    EXPECT_TRUE(drive.Clean());
    EXPECT_EQ(Contents(Floppy()), (std::set<std::string>{".trash", ".trash/kept.txt", ".vaultaire",
                                                         ".vaultaire/volume"}));
    EXPECT_EQ(drive.GetSerialNumber(), kSerial);

    WriteTextFile(Floppy() / "docs/.keep/x", "6");
    WriteTextFile(Floppy() / "docs/letter.txt", "7");
    EXPECT_FALSE(drive.Clean()) << "a dot-folder below the root keeps its folder";
    EXPECT_TRUE(fs::exists(Floppy() / "docs/.keep/x"));
    EXPECT_FALSE(fs::exists(Floppy() / "docs/letter.txt"));
}

TEST_F(VDrive, CleanLeavesTheMediumInTheDrive) {
    fs::remove_all(Floppy() / ".vaultaire");
    WriteTextFile(Floppy() / "folder/file.txt", "x");
    TVDrive drive('A');
    EXPECT_TRUE(drive.Clean());
    EXPECT_TRUE(fs::is_directory(Floppy()));
    EXPECT_FALSE(RemoveDir("A:\\"));
    EXPECT_TRUE(fs::is_directory(Floppy())) << "a drive's root is not a folder to remove";

    fs::remove_all(Floppy());
    EXPECT_FALSE(drive.IsEmpty()) << "no medium is not an empty medium";
    EXPECT_FALSE(drive.Clean());
}

TEST_F(VDrive, CleanRemovesLinksWithoutTouchingWhatTheyLeadTo) {
    WriteTextFile(Dir.Path() / "c/outside.txt", "elsewhere");
    ASSERT_TRUE(SetFileAttributes("C:\\outside.txt", faReadOnly));
    fs::create_directories(Floppy() / "sub");
    fs::create_symlink(Dir.Path() / "c/outside.txt", Floppy() / "link.txt");
    fs::create_symlink(Dir.Path() / "c/outside.txt", Floppy() / "sub/link.txt");

    TVDrive drive('A');
    EXPECT_TRUE(drive.Clean());
    EXPECT_EQ(Contents(Floppy()), (std::set<std::string>{".vaultaire", ".vaultaire/volume"}));
    EXPECT_EQ(ReadTextFile(Dir.Path() / "c/outside.txt"), "elsewhere");
    EXPECT_TRUE(GetFileAttributes("C:\\outside.txt") & faReadOnly);
}

TEST_F(VDrive, CleanOnAWriteProtectedDisketteAsksUntilCancelled) {
    WriteTextFile(Floppy() / "folder/file.txt", "x");
    std::set<std::string> before = Contents(Floppy());
    WriteProtectDiskette();
    User.Expect(32004, IDRETRY);
    User.Expect(32004, IDCANCEL);
    TVDrive drive('A');
    EXPECT_EQ(MessageOf<EAbort>([&] { drive.Clean(); }), "Operation cancelled");
    EXPECT_EQ(drive.GetError(), ERROR_WRITE_PROTECT);
    EXPECT_EQ(Contents(Floppy()), before);
}

TEST_F(VDrive, FormatAsksThenErasesAndGivesANewSerialNumber) {
    WriteTextFile(Floppy() / "Vaultaire/C/file.VL001", "x");
    WriteTextFile(Floppy() / ".trash/old", "y");
    TVDrive drive('A');
    drive.FCaption = "Vaultaire 2000";
    ASSERT_TRUE(drive.Update());

    User.Expect(902, IDNO);
    uint32_t result = 0;
    EXPECT_FALSE(drive.Format(result));
    EXPECT_EQ(result, SHFMT_CANCEL);
    EXPECT_TRUE(fs::exists(Floppy() / "Vaultaire/C/file.VL001"));
    EXPECT_EQ(User.Asked().back(),
              "Formatting will erase all data on the disk in drive \"A\". Format it now?");

    User.Expect(902, IDYES);
    EXPECT_TRUE(drive.Format(result));
    std::string label = "unread";
    uint32_t serial = drive.GetSerialNumber(&label);
    EXPECT_NE(serial, 0u);
    EXPECT_NE(serial, kSerial);
    EXPECT_NE(serial, TVDrive::NoSerial);
    EXPECT_EQ(label, "");
    EXPECT_EQ(result, serial & 0xFFFF);
    EXPECT_EQ(Contents(Floppy()), (std::set<std::string>{".vaultaire", ".vaultaire/volume"}));
    TMediaResults results;
    EXPECT_TRUE(drive.IsMediaValid(results));
    EXPECT_EQ(results.Raw(), Bits({mdChanged}));
}

TEST_F(VDrive, FormatMakesAnUnformattedDisketteUsable) {
    fs::remove_all(Floppy() / ".vaultaire");
    TVDrive drive('A');
    TMediaResults results;
    EXPECT_FALSE(drive.IsMediaValid(results));
    User.Expect(902, IDYES);
    uint32_t result = 0;
    EXPECT_TRUE(drive.Format(result));
    EXPECT_TRUE(drive.IsMediaValid(results));
    EXPECT_FALSE(results.Contains(mdBadVolumeId));
}

TEST_F(VDrive, FormatIsRefusedWhereItWouldNotBeSafe) {
    WriteTextFile(Dir.Path() / "c/precious.txt", "keep");
    for (char letter : {'C', 'N', 'F', 'Q'}) {
        TVDrive drive(letter);
        uint32_t result = 0;
        EXPECT_FALSE(drive.Format(result)) << letter;
        EXPECT_EQ(result, SHFMT_NOFORMAT) << letter;
    }
    EXPECT_TRUE(fs::exists(Dir.Path() / "c/precious.txt"));

    WriteTextFile(Floppy() / "file.txt", "x");
    WriteProtectDiskette();
    User.Expect(902, IDYES);
    User.Expect(32004, IDCANCEL);
    TVDrive drive('A');
    uint32_t result = 0;
    EXPECT_FALSE(drive.Format(result));
    EXPECT_EQ(result, SHFMT_CANCEL);
    EXPECT_TRUE(fs::exists(Floppy() / "file.txt"));
    EXPECT_EQ(drive.GetSerialNumber(), kSerial);
}
