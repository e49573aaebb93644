#include "profile.h"

#include <gtest/gtest.h>

#include <cstring>

#include "exceptions.h"
#include "scriptedinteraction.h"

namespace {

std::vector<uint8_t> Stored(TProfile profile) {
    TMemoryStream stream;
    profile.Write(stream);
    return stream.Data;
}

TProfile Sample() {
    TProfile profile;
    profile.Title = "Documents";
    profile.Source = "C:\\Work,\"D:\\My Files\"";
    profile.Target = "E:\\Backups";
    profile.Header.Key = 0x1234567;
    profile.Header.NumVersions = 3;
    profile.Header.LabelNumber = 2;
    profile.Header.Created = 46361.5;  // fixed, so that two samples store the same bytes
    return profile;
}

void PutInt32(std::vector<uint8_t>& bytes, size_t offset, int32_t value) {
    std::memcpy(bytes.data() + offset, &value, 4);
}

}  // namespace

TEST(ProfileRecord, WriteThenReadGivesAnEqualProfile) {
    TProfile written = Sample();
    TMemoryStream stream;
    written.Write(stream);
    EXPECT_FALSE(written.Modified);
    EXPECT_FALSE(written.IsNew);
    stream.SetPosition(0);
    TProfile read(stream);
    EXPECT_TRUE(read == written);
    EXPECT_EQ(stream.GetPosition(), stream.GetSize());

    read.Title += "!";
    EXPECT_TRUE(read != written);
}

TEST(ProfileRecord, HeaderLiesAsStoredAndKeepsPaddingAndReserved) {
    std::vector<uint8_t> bytes = Stored(Sample());
    int32_t value;
    std::memcpy(&value, &bytes[0], 4);
    EXPECT_EQ(value, 0x734C);
    std::memcpy(&value, &bytes[4], 4);
    EXPECT_EQ(value, 514);
    std::memcpy(&value, &bytes[8], 4);
    EXPECT_EQ(value, 0x1234567);
    std::memcpy(&value, &bytes[12], 4);
    EXPECT_EQ(value, 3);
    EXPECT_EQ(bytes[16], 1) << "compression";
    std::memcpy(&value, &bytes[20], 4);
    EXPECT_EQ(value, 2);
    std::memcpy(&value, &bytes[40], 4);
    EXPECT_EQ(value, 0x3E6D);
    EXPECT_EQ(bytes[48], 9) << "the title follows with its length";
    EXPECT_EQ(std::string(bytes.begin() + 49, bytes.begin() + 58), "Documents");

    // Bytes the program does not interpret survive a read and a write.
    for (size_t offset : {17u, 18u, 19u, 32u, 39u, 44u, 47u})
        bytes[offset] = 0xA5;
    TMemoryStream stream(bytes);
    TProfile read(stream);
    EXPECT_EQ(Stored(read), bytes);
}

TEST(ProfileRecord, OlderVersionsAreUpgradedOnReading) {
    for (int32_t version : {256, 513}) {
        std::vector<uint8_t> bytes = Stored(Sample());
        PutInt32(bytes, 4, version);
        TMemoryStream stream(bytes);
        TProfile read(stream);
        EXPECT_EQ(read.Header.Version, 514);
        EXPECT_TRUE(read.Modified) << "stored again in the current form at the next save";
        std::vector<uint8_t> again = Stored(read);
        EXPECT_EQ(again, Stored(Sample()));
    }
}

TEST(ProfileRecord, DamagedRecordsAreRefusedAndChangeNothing) {
    struct Case {
        const char* What;
        size_t Offset;
        int32_t Value;
        bool FailsBeforeTexts;
    };
    const Case cases[] = {
        {"first magic number", 0, 0x734D, true},
        {"second magic number", 40, 0, true},
        {"version", 4, 515, false},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = Stored(Sample());
        PutInt32(bytes, c.Offset, c.Value);
        TMemoryStream stream(bytes);
        TProfile target = Sample();
        target.Title = "untouched";
        try {
            target.Read(stream);
            ADD_FAILURE() << c.What << ": accepted";
        } catch (const EReadError&) {
            ADD_FAILURE() << c.What << ": a read error instead of the corruption message";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, "Error reading profile - file corrupted") << c.What;
        }
        EXPECT_EQ(stream.GetPosition(), c.FailsBeforeTexts ? 48 : stream.GetSize()) << c.What;
        EXPECT_EQ(target.Title, "untouched") << c.What;
    }

    std::vector<uint8_t> bytes = Stored(Sample());
    std::vector<uint8_t> masksMagic = bytes;
    PutInt32(masksMagic, masksMagic.size() - 4, 7);
    TMemoryStream badMasks(masksMagic);
    EXPECT_THROW(TProfile{badMasks}, Exception);
    for (size_t length : {size_t{10}, size_t{47}, size_t{52}, bytes.size() - 1}) {
        TMemoryStream shortStream(std::vector<uint8_t>(bytes.begin(), bytes.begin() + length));
        EXPECT_THROW(TProfile{shortStream}, EReadError) << length;
    }
}

TEST(ProfileRecord, LongTextsRoundTrip) {
    for (size_t length : {254u, 255u, 65533u, 65534u, 70000u}) {
        TProfile profile = Sample();
        profile.Source = std::string(length, 's');
        TMemoryStream stream;
        profile.Write(stream);
        stream.SetPosition(0);
        EXPECT_EQ(TProfile(stream).Source.size(), length);
    }
}

TEST(ProfileEditing, ValidatesAndMarksChanges) {
    TProfile profile = Sample();
    profile.Title = "Docs";
    profile.Modified = false;

    EXPECT_EQ(profile.UpdateTitle(" "), 769);
    EXPECT_EQ(profile.UpdateTitle(""), 769);
    EXPECT_EQ(profile.UpdateTitle("DOCS"), 0);
    EXPECT_EQ(profile.Title, "Docs");
    EXPECT_FALSE(profile.Modified) << "a change of letter case only is no change";
    EXPECT_EQ(profile.UpdateTitle(" Letters "), 0);
    EXPECT_EQ(profile.Title, " Letters ") << "kept untrimmed";
    EXPECT_TRUE(profile.Modified);

    EXPECT_EQ(profile.UpdateTarget(""), 758);
    EXPECT_EQ(profile.UpdateTarget("c:\\work"), 759) << "a source folder in other letter case";
    EXPECT_EQ(profile.UpdateTarget("E:\\Elsewhere"), 0);
    EXPECT_EQ(profile.Target, "E:\\Elsewhere");

    EXPECT_EQ(profile.UpdateSource({}), 757);
    EXPECT_EQ(profile.UpdateSource({"C:\\A", "C:\\B c"}), 0);
    EXPECT_EQ(profile.Source, "C:\\A,\"C:\\B c\"");

    EXPECT_EQ(profile.UpdatePassword(""), 764);
    EXPECT_EQ(profile.UpdatePassword("secret"), 0);
    EXPECT_TRUE(profile.IsPassword("SECRET"));
    EXPECT_FALSE(profile.IsPassword("other"));
    EXPECT_TRUE(profile.DeletePassword());
    EXPECT_EQ(profile.Header.Key, 0);

    profile.Modified = false;
    profile.SetNumVersions(3);
    profile.SetCompression(true);
    EXPECT_FALSE(profile.Modified) << "setting the values it has changes nothing";
    profile.SetCompression(false);
    EXPECT_TRUE(profile.Modified);
}

TEST(ProfileEditing, UndoGoesBackToTheCopy) {
    TProfile original = Sample();
    TProfile edited = original;
    TProfile::ProfileCopy = &original;
    edited.UpdateTitle("Other");
    edited.UndoChanges();
    TProfile::ProfileCopy = nullptr;
    EXPECT_TRUE(edited == original);
}

TEST(DisketteSeries, LabelsFollowTheTitleAndNumber) {
    TProfile profile = Sample();  // "Documents", diskette 2
    EXPECT_EQ(profile.GetLabel(), "Documen-002");
    profile.Title = "Doc";
    EXPECT_EQ(profile.GetLabel(), "Doc-002");
    profile.Header.LabelNumber = 0;
    EXPECT_EQ(profile.GetLabel(), "");

    profile.Title = "Documents";
    profile.Header.LabelNumber = 2;
    profile.Modified = false;
    EXPECT_EQ(profile.GetNextLabel(false), "Documen-003");
    EXPECT_EQ(profile.Header.LabelNumber, 2);
    EXPECT_FALSE(profile.Modified);
    EXPECT_FALSE(profile.IsLabelValid("Documen-003"));
    EXPECT_EQ(profile.GetNextLabel(true), "Documen-003");
    EXPECT_TRUE(profile.Modified);
    EXPECT_TRUE(profile.IsLabelValid("Documen-003"));
    EXPECT_TRUE(profile.IsLabelValid("DOCUMEN-001"));
    EXPECT_FALSE(profile.IsLabelValid("Documen-03"));
    EXPECT_FALSE(profile.IsLabelValid("Letters-001"));
    profile.StartNewSeries();
    EXPECT_EQ(profile.Header.LabelNumber, 0);

    struct Case {
        const char* Text;
        bool IsLabel;
    };
    for (const Case& c : {Case{"A-001", true}, Case{"-001", false}, Case{"Ab-01", false},
                          Case{"Ab_001", false}, Case{"Ab-00x", false}, Case{"x-1234", false}}) {
        EXPECT_EQ(TProfile::IsLabel(c.Text), c.IsLabel) << c.Text;
    }
}

TEST(Coverage, SourceDrivesAndFileNames) {
    TProfile profile;
    profile.Source = "C:\\Work,d:\\Data,\\\\server\\share";
    EXPECT_EQ(profile.GetSourceDrives(), "xxaaxxxxxxxxxxxxxxxxxxxxxx");
    // A damaged profiles file may hold anything before the colon: only ASCII letters are
    // drives, whatever the locale says of a byte above 127.
    profile.Source = "\xE9:\\x,\xC9:\\y,1:\\z,[:\\w,z:\\v";
    EXPECT_EQ(profile.GetSourceDrives(), "xxxxxxxxxxxxxxxxxxxxxxxxxa");

    profile.Source = "C:\\Work,D:\\Data";
    struct Case {
        const char* File;
        bool Covered;
    };
    const Case cases[] = {
        {"C:\\AUTOEXEC.BAT", true},  // a drive root: decided by the masks alone
        {"C:\\OLD.BAK", false},      // ... which exclude .bak
        {"E:\\x.txt", false},        // a root with no source on its drive
        {"C:\\Work\\plan.doc", true},   {"C:\\Work\\Sub\\plan.doc", true},
        {"D:\\Data2\\x.txt", true},     // folders are matched as text
        {"C:\\work\\plan.doc", false},  // ... with letter case
        {"C:\\Other\\plan.doc", false}, {"C:\\Work\\plan.tmp", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(profile.DoesFileNameMatch(c.File), c.Covered) << c.File;

    profile.Source = "";
    EXPECT_FALSE(profile.DoesFileNameMatch("C:\\Work\\plan.doc"));
}
