// The settings file is read and written by the program's own code; files that earlier
// versions wrote through Qt's settings class must read back unchanged, and what the
// program writes must read the same through that class. These tests put both side by side.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <climits>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <thread>

#include "platform/inifile.h"
#include "platform/registry.h"
#include "testenv.h"

namespace fs = std::filesystem;

namespace {

const std::string kGroup = "Software/Orvanet/Vaultaire 2000";
const std::string kRegistryKey = "\\Software\\Orvanet\\Vaultaire 2000";

QString Qt(const std::string& text) {
    return QString::fromStdString(text);
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// Every test gets a data folder of its own, with the settings file in it.
class SettingsFile : public testing::Test {
  protected:
    void SetUp() override {
        SavedHome = std::getenv("VAULTAIRE_HOME");
        setenv("VAULTAIRE_HOME", Data.Path().c_str(), 1);
    }
    void TearDown() override { setenv("VAULTAIRE_HOME", SavedHome.c_str(), 1); }

    static fs::path File() { return TRegistry::FileName(); }
    // The settings file in a data folder of its own. Qt's class keeps what it read of a file
    // and reads it again only when its size or time changed: a file written anew within the
    // same moment with as many bytes would not be read again.
    void UseNewFile() {
        const fs::path folder = Data.Path() / std::to_string(++Files);
        fs::create_directories(folder);
        setenv("VAULTAIRE_HOME", folder.c_str(), 1);
    }

    // What Qt's settings class reads at group/name of the file.
    static QVariant QtValue(const std::string& name, const std::string& group = kGroup) {
        QSettings settings(QString::fromStdString(File().string()), QSettings::IniFormat);
        EXPECT_EQ(settings.status(), QSettings::NoError);
        return settings.value(Qt(group + "/" + name));
    }
    static void QtWrite(const std::string& name, const QVariant& value,
                        const std::string& group = kGroup) {
        QSettings settings(QString::fromStdString(File().string()), QSettings::IniFormat);
        settings.setValue(Qt(group + "/" + name), value);
        settings.sync();
        ASSERT_EQ(settings.status(), QSettings::NoError);
    }

    TTempDir Data;
    std::string SavedHome;
    int Files = 0;
};

// Texts that need care: quotes, escapes, list and comment characters, spaces at the ends,
// control characters (a hex digit after a numeric escape), other scripts, a leading "@".
const std::vector<std::string> kOddTexts = {
    "",
    "plain",
    "C:\\Program Files\\Vaultaire\\",
    "  leading and trailing  ",
    " ",
    "a, b",
    "a,b,c",
    "x;y",
    "key=value",
    "say \"hi\"",
    "\"quoted\"",
    "back\\slash\\",
    "tab\there\nnew line\r\nreturn",
    "\x01"
    "abc\x1f"
    "F",
    "bell\a back\b feed\f vertical\v",
    "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
    "@",
    "@@",
    "@ByteArray(looks binary)",
    "@Invalid()",
    "@Variant(x)",
    "; not a comment",
    "[not a section]",
    "%20 and %U0041",
    "trailing backslash \\",
    "del \x7f"
    "char",
};

TEST_F(SettingsFile, TextsReadBackTheSameBothWays) {
    for (const std::string& text : kOddTexts) {
        SCOPED_TRACE("text: " + text);
        UseNewFile();
        {
            TRegistry registry;
            registry.OpenKey(kRegistryKey, true);
            registry.WriteString("ProgramDir", text);
            registry.CloseKey();
        }
        QVariant read = QtValue("ProgramDir");
        EXPECT_EQ(read.typeId(), QMetaType::QString) << ReadTextFile(File());
        EXPECT_EQ(read.toString().toStdString(), text) << ReadTextFile(File());

        UseNewFile();
        QtWrite("ProgramDir", Qt(text));
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey(kRegistryKey, false));
        EXPECT_EQ(registry.ReadString("ProgramDir"), text) << ReadTextFile(File());
    }
}

// A text with a NUL: Qt's text has it in the middle, ours keeps it too.
TEST_F(SettingsFile, TextWithNulReadsBackBothWays) {
    const std::string text(
        "nul\0"
        "0 and \0",
        11);
    {
        TRegistry registry;
        registry.OpenKey(kRegistryKey, true);
        registry.WriteString("ProgramDir", text);
        registry.CloseKey();
    }
    QString read = QtValue("ProgramDir").toString();
    EXPECT_EQ(QByteArray(read.toUtf8()), QByteArray(text.data(), qsizetype(text.size())));
    UseNewFile();
    QtWrite("ProgramDir", QString::fromUtf8(text.data(), qsizetype(text.size())));
    TRegistry registry;
    registry.OpenKey(kRegistryKey, false);
    EXPECT_EQ(registry.ReadString("ProgramDir"), text);
}

std::vector<std::vector<uint8_t>> OddRecords() {
    std::vector<std::vector<uint8_t>> records = {
        {},
        Bytes("plain"),
        Bytes(std::string("\0\0\0\0", 4)),
        Bytes("a,b;c=d \"e\" \\f) (g)"),
        Bytes(" spaces at both ends "),
        Bytes(std::string("\x00"
                          "1\x05"
                          "b\x7f\x80\xff\xc3\xa9",
                          9)),
    };
    std::vector<uint8_t> everyByte(256);
    for (int i = 0; i < 256; ++i)
        everyByte[i] = static_cast<uint8_t>(i);
    records.push_back(everyByte);
    // Settings records as the program stores them: 28 bytes of any value.
    std::mt19937 random(7);
    for (int i = 0; i < 50; ++i) {
        std::vector<uint8_t> record(28);
        for (uint8_t& byte : record)
            byte = static_cast<uint8_t>(random());
        records.push_back(record);
    }
    return records;
}

TEST_F(SettingsFile, BinaryRecordsReadBackTheSameBothWays) {
    for (const std::vector<uint8_t>& record : OddRecords()) {
        const QByteArray bytes(reinterpret_cast<const char*>(record.data()),
                               qsizetype(record.size()));
        SCOPED_TRACE("record: " + bytes.toHex().toStdString());
        UseNewFile();
        {
            TRegistry registry;
            registry.OpenKey(kRegistryKey, true);
            registry.WriteBinaryData("Settings", record);
            registry.CloseKey();
        }
        QVariant read = QtValue("Settings");
        EXPECT_EQ(read.typeId(), QMetaType::QByteArray) << ReadTextFile(File());
        EXPECT_EQ(read.toByteArray(), bytes) << ReadTextFile(File());

        UseNewFile();
        QtWrite("Settings", bytes);
        TRegistry registry;
        registry.OpenKey(kRegistryKey, false);
        EXPECT_EQ(registry.ReadBinaryData("Settings"), record) << ReadTextFile(File());
    }
}

TEST_F(SettingsFile, NumbersReadBackTheSameBothWays) {
    for (int32_t number : {0, 1, -1, 200, 65536, INT_MAX, INT_MIN}) {
        SCOPED_TRACE(number);
        UseNewFile();
        {
            TRegistry registry;
            registry.OpenKey(kRegistryKey, true);
            registry.WriteInteger("Version", number);
            registry.CloseKey();
        }
        bool ok = false;
        EXPECT_EQ(QtValue("Version").toInt(&ok), number);
        EXPECT_TRUE(ok);

        UseNewFile();
        QtWrite("Version", number);
        TRegistry registry;
        registry.OpenKey(kRegistryKey, false);
        EXPECT_EQ(registry.ReadInteger("Version"), number);
    }
}

// Names with characters that are escaped in the file, in sections of every kind.
TEST_F(SettingsFile, OddNamesReadBackTheSameBothWays) {
    const std::vector<std::pair<std::string, std::string>> names = {
        {kGroup, "odd name=;#[]%\\x"},
        {kGroup, "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
        {"General", "in a section called General"},
        {"General/deeper", "name"},
        {"%General", "percent"},
        {"with space/and more", "x.y-z_1"},
    };
    for (const auto& [group, name] : names) {
        SCOPED_TRACE(group + " / " + name);
        UseNewFile();
        {
            TRegistry registry;
            registry.OpenKey(group, true);
            registry.WriteString(name, "value");
            registry.CloseKey();
        }
        EXPECT_EQ(QtValue(name, group).toString().toStdString(), "value") << ReadTextFile(File());

        UseNewFile();
        QtWrite(name, QString("value"), group);
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey(group, false)) << ReadTextFile(File());
        EXPECT_EQ(registry.ReadString(name), "value") << ReadTextFile(File());
    }
}

// The program's own values, in a file written by Qt's class, and values of other kinds the
// program does not know: after the program wrote its values, everything else reads as before.
TEST_F(SettingsFile, WritingKeepsWhatOthersWrote) {
    const std::vector<uint8_t> record(28, 0x41);
    {
        QSettings settings(QString::fromStdString(File().string()), QSettings::IniFormat);
        settings.setValue(Qt(kGroup + "/Settings"),
                          QByteArray(reinterpret_cast<const char*>(record.data()), 28));
        settings.setValue(Qt(kGroup + "/ProgramDir"), QString("C:\\old\\"));
        settings.setValue(Qt(kGroup + "/Version"), 199);
        settings.setValue("Other/list", QStringList{"one", "two, three"});
        settings.setValue("Other/typed", QVariant::fromValue(QList<int>{}));
        settings.setValue("Other/number", 3.5);
        settings.setValue("top", "level");
        settings.sync();
    }
    // Qt's class reads the file again only if its size or time changed: the new texts are
    // longer than the old.
    {
        TRegistry registry;
        registry.OpenKey(kRegistryKey, false);
        EXPECT_EQ(registry.ReadBinaryData("Settings"), record);
        EXPECT_EQ(registry.ReadString("ProgramDir"), "C:\\old\\");
        EXPECT_EQ(registry.ReadInteger("Version"), 199);
        registry.WriteString("ProgramDir", "C:\\newer\\");
        registry.WriteInteger("Version", 200);
        registry.CloseKey();
    }
    QSettings settings(QString::fromStdString(File().string()), QSettings::IniFormat);
    EXPECT_EQ(settings.status(), QSettings::NoError);
    EXPECT_EQ(settings.value(Qt(kGroup + "/Settings")).toByteArray(),
              QByteArray(reinterpret_cast<const char*>(record.data()), 28));
    EXPECT_EQ(settings.value(Qt(kGroup + "/ProgramDir")).toString(), "C:\\newer\\");
    EXPECT_EQ(settings.value(Qt(kGroup + "/Version")).toInt(), 200);
    EXPECT_EQ(settings.value("Other/list").toStringList(), (QStringList{"one", "two, three"}));
    EXPECT_EQ(settings.value("Other/number").toDouble(), 3.5);
    EXPECT_EQ(settings.value("top").toString(), "level");
    EXPECT_TRUE(settings.value("Other/typed").isValid());
}

TEST_F(SettingsFile, DeletedValueIsGoneForQtToo) {
    QtWrite("Settings", QByteArray(28, 'x'));
    QtWrite("Version", 200);
    {
        TRegistry registry;
        registry.OpenKey(kRegistryKey, false);
        EXPECT_TRUE(registry.DeleteValue("Settings"));
        EXPECT_FALSE(registry.DeleteValue("Settings"));
        EXPECT_FALSE(registry.ValueExists("Settings"));
        registry.CloseKey();
    }
    EXPECT_FALSE(QtValue("Settings").isValid());
    EXPECT_EQ(QtValue("Version").toInt(), 200);
}

// Two registries that read the same file: each one's change goes onto what the other wrote.
TEST_F(SettingsFile, ChangesOfTwoWritersAreBothKept) {
    TRegistry first;
    first.OpenKey(kRegistryKey, true);
    {
        TRegistry second;
        second.OpenKey(kRegistryKey, true);
        second.WriteString("ProgramDir", "C:\\second\\");
        second.CloseKey();
    }
    first.WriteInteger("Version", 200);
    first.CloseKey();
    TRegistry reader;
    reader.OpenKey(kRegistryKey, false);
    EXPECT_EQ(reader.ReadString("ProgramDir"), "C:\\second\\");
    EXPECT_EQ(reader.ReadInteger("Version"), 200);
}

// Writers at the same time (threads here, processes alike: each takes the lock through a
// file of its own) take turns, and none writes over what another wrote meanwhile.
TEST_F(SettingsFile, WritersAtTheSameTimeLoseNoChange) {
    constexpr int kWriters = 4;
    constexpr int kValuesEach = 10;
    std::vector<std::thread> writers;
    for (int writer = 0; writer < kWriters; ++writer) {
        writers.emplace_back([writer] {
            for (int value = 0; value < kValuesEach; ++value) {
                TRegistry registry;
                registry.OpenKey(kRegistryKey, true);
                registry.WriteInteger("w" + std::to_string(writer) + "v" + std::to_string(value),
                                      value);
                registry.CloseKey();
            }
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    TRegistry registry;
    registry.OpenKey(kRegistryKey, false);
    for (int writer = 0; writer < kWriters; ++writer) {
        for (int value = 0; value < kValuesEach; ++value) {
            const std::string name = "w" + std::to_string(writer) + "v" + std::to_string(value);
            EXPECT_TRUE(registry.ValueExists(name)) << name << " was lost";
        }
    }
}

TEST_F(SettingsFile, WritingLeavesNoWorkFilesAndKeepsTheFileMode) {
    QtWrite("Version", 1);
    ASSERT_EQ(::chmod(File().c_str(), 0600), 0);
    TRegistry registry;
    registry.OpenKey(kRegistryKey, true);
    registry.WriteInteger("Version", 2);
    registry.CloseKey();
    for (const auto& entry : fs::directory_iterator(Data.Path())) {
        if (entry.is_regular_file()) {
            EXPECT_EQ(entry.path(), File());
        }
    }
    EXPECT_EQ(fs::status(File()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(SettingsFile, WrongKindsOfValueAreRefused) {
    WriteTextFile(File(),
                  "[Software]\n"
                  "Orvanet\\Vaultaire%202000\\Settings=not binary\n"
                  "Orvanet\\Vaultaire%202000\\Version=2147483648\n"
                  "Orvanet\\Vaultaire%202000\\Text=12abc\n"
                  "Orvanet\\Vaultaire%202000\\List=a, b\n");
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(kRegistryKey, false));
    EXPECT_THROW(registry.ReadBinaryData("Settings"), ERegistryException);
    EXPECT_THROW(registry.ReadBinaryData("Missing"), ERegistryException);
    EXPECT_THROW(registry.ReadInteger("Version"), ERegistryException) << "out of range";
    EXPECT_THROW(registry.ReadInteger("Text"), ERegistryException);
    EXPECT_THROW(registry.ReadInteger("Missing"), ERegistryException);
    EXPECT_EQ(registry.ReadString("List"), "") << "a list is no text";
    EXPECT_EQ(registry.ReadString("Missing"), "");
}

TEST_F(SettingsFile, OpeningAMissingKeyWithoutCreatingFails) {
    QtWrite("x", 1, "Elsewhere");
    TRegistry registry;
    EXPECT_FALSE(registry.OpenKey(kRegistryKey, false));
    EXPECT_TRUE(registry.OpenKey("\\Elsewhere\\", false));
    EXPECT_TRUE(registry.OpenKey("", false));
    EXPECT_TRUE(registry.OpenKey(kRegistryKey, true));
}

// ---- the text form alone ----

// Value texts as they may stand in a file (by hand or by another writer), each read by Qt's
// class and by ours: the same kind and the same content.
TEST(IniValues, ReadAsQtReadsThem) {
    const std::vector<std::string> texts = {
        "plain",
        "  spaced   ",
        "\" 12 \"",
        "+12",
        "0x10",
        "012",
        "12abc",
        "",
        "-2147483648",
        "\\t7",
        "1 2",
        "a, b",
        "a,",
        ",",
        "\"a\" , \"b\"",
        "@Invalid()",
        "@ByteArray(42)",
        "\"@ByteArray(1,2)\"",
        "x ; a comment",
        "\"multi\nline\"",
        "a\\\n  b",
        "\\x41\\101\\u00e9",
        "@@x",
        "@ByteArray(\\xe9\\x100\xc3\xa9\xff)",
        "\"a\"b\"c\" d ",
        "\\x",
        "\\x4g",
        "trailing\\",
        "esc\\aped \\? \\' \\\" \\\\ \\q",
        "\\0\\00\\177\\400",
        "caf\xc3\xa9",
        "@Rect(1 2 3 4)",
        "@",
        "@ByteArray(",
        "@ByteArray()",
        "@String(with \\0 nul)",
        "@String(",
        "blanks before a line continuation  \\",
    };
    TTempDir folder;
    int files = 0;  // a file of its own for each case, as Qt's class keeps what it read
    for (const std::string& text : texts) {
        SCOPED_TRACE("value text: " + text);
        const std::string file = folder / ("values" + std::to_string(++files) + ".ini");
        WriteTextFile(file, "[g]\nk=" + text + "\n");
        QSettings settings(QString::fromStdString(file), QSettings::IniFormat);
        ASSERT_EQ(settings.status(), QSettings::NoError);
        const QVariant expected = settings.value("g/k");
        std::optional<TIniFile> ini = TIniFile::Parse(ReadTextFile(file));
        ASSERT_TRUE(ini);
        ASSERT_NE(ini->Find("g/k"), nullptr);
        const TIniValue value = DecodeIniValue(*ini->Find("g/k"));
        switch (expected.typeId()) {
            case QMetaType::QString:
                EXPECT_EQ(value.Kind, TIniValue::ivText);
                EXPECT_EQ(value.Text, expected.toString().toStdString());
                break;
            case QMetaType::QByteArray:
                EXPECT_EQ(value.Kind, TIniValue::ivBinary);
                EXPECT_EQ(value.Text, expected.toByteArray().toStdString());
                break;
            case QMetaType::QStringList:
            case QMetaType::QVariantList: {
                ASSERT_EQ(value.Kind, TIniValue::ivList);
                std::vector<std::string> items;
                for (const QString& item : expected.toStringList())
                    items.push_back(item.toStdString());
                EXPECT_EQ(value.Items, items);
                break;
            }
            case QMetaType::UnknownType:
                EXPECT_EQ(value.Kind, TIniValue::ivNone);
                break;
            default:
                EXPECT_EQ(value.Kind, TIniValue::ivTyped) << expected.typeName();
        }
        bool isNumber = false;
        int number = expected.toInt(&isNumber);
        EXPECT_EQ(IniValueInteger(value), isNumber ? std::optional<int32_t>(number) : std::nullopt);
    }
}

// The last line of a file may end in the middle of a value: a quote left open, an escape or
// a line continuation at the very end. Such a value reads as Qt reads it, and when the file
// is written again it no longer reaches into what comes after it.
TEST(IniValues, ValuesThatEndTheFileMidwayStayOnTheirLine) {
    const std::vector<std::string> texts = {"\"open quote",
                                            "abc  \\",
                                            "\"open  \\",
                                            "abc  \\\r",
                                            "abc\\\n",
                                            "abc\\\r\n",
                                            "a, \"b",
                                            "@ByteArray(\\x41",
                                            "\"@ByteArray(;)",
                                            "x\\\\",
                                            "@Variant(\\0\\x1\\xe9\\"};
    TTempDir folder;
    int files = 0;  // a file of its own for each case, as Qt's class keeps what it read
    for (const std::string& text : texts) {
        SCOPED_TRACE("value text: " + text);
        const std::string file = folder / ("end" + std::to_string(++files) + ".ini");
        WriteTextFile(file, "[g]\nk=" + text);
        QVariant expected;
        {
            QSettings settings(QString::fromStdString(file), QSettings::IniFormat);
            expected = settings.value("g/k");
        }
        std::optional<TIniFile> ini = TIniFile::Parse(ReadTextFile(file));
        ASSERT_TRUE(ini);
        ASSERT_NE(ini->Find("g/k"), nullptr);
        ini->Set("g/after", EncodeIniInteger(7));
        WriteTextFile(file, ini->Text());
        QSettings settings(QString::fromStdString(file), QSettings::IniFormat);
        EXPECT_EQ(settings.status(), QSettings::NoError) << ini->Text();
        EXPECT_EQ(settings.value("g/k"), expected) << ini->Text();
        EXPECT_EQ(settings.value("g/after").toInt(), 7) << ini->Text();
        EXPECT_EQ(settings.allKeys().size(), 2) << ini->Text();
    }
}

struct TFileCase {
    const char* What;
    std::string Text;
    bool Damaged;
    std::vector<std::pair<std::string, std::string>> Values;  // key, value text
};

TEST(IniFiles, LinesSectionsAndDamage) {
    const std::vector<TFileCase> cases = {
        {"empty", "", false, {}},
        {"section without its bracket", "[Software\nSettings=1\n", true, {}},
        {"a line that is no key=value", "[a]\nx=1\ngarbage\n", true, {}},
        {"hash is no comment", "# note\n", true, {}},
        {"comments and blank lines",
         "; note\n\n[a]\n  ; more\nx = 1 \n\n",
         false,
         {{"a/x", " 1 "}}},
        {"CR LF line ends", "[a]\r\nx=1\r\ny=2\r\n", false, {{"a/x", "1"}, {"a/y", "2"}}},
        {"byte order mark", "\xEF\xBB\xBF[a]\nx=1\n", false, {{"a/x", "1"}}},
        {"comment after a value", "[a]\nx=1 ; two\n", false, {{"a/x", "1 "}}},
        {"quoted semicolon", "[a]\nx=\"1;2\"\n", false, {{"a/x", "\"1;2\""}}},
        {"General and keys before any section",
         "top=1\n[General]\nalso=2\n",
         false,
         {{"top", "1"}, {"also", "2"}}},
        {"a section named General", "[%General]\nx=1\n", false, {{"General/x", "1"}}},
        {"nested names in a section", "[a%20b]\nc\\d=1\n", false, {{"a b/c/d", "1"}}},
        {"deeper section", "[a\\b]\nc=1\n", false, {{"a/b/c", "1"}}},
        {"a key twice: the last value", "[a]\nx=1\nx=2\n", false, {{"a/x", "2"}}},
        {"quotes across lines",
         "[a]\nx=\"1\n2\"\ny=3\n",
         false,
         {{"a/x", "\"1\n2\""}, {"a/y", "3"}}},
        {"continued line", "[a]\nx=1\\\n2\ny=3\n", false, {{"a/x", "1\\\n2"}, {"a/y", "3"}}},
        {"equals in a quoted name", "[a]\n\"k=v\"=1\n", false, {{"a/\"k=v\"", "1"}}},
    };
    for (const TFileCase& c : cases) {
        SCOPED_TRACE(c.What);
        std::optional<TIniFile> ini = TIniFile::Parse(c.Text);
        ASSERT_EQ(!ini, c.Damaged);
        if (!ini)
            continue;
        std::vector<std::string> keys;
        for (const auto& [key, text] : c.Values) {
            keys.push_back(key);
            const std::string* found = ini->Find(key);
            ASSERT_NE(found, nullptr) << key;
            EXPECT_EQ(*found, text) << key;
        }
        EXPECT_EQ(ini->Keys(), keys);
        // Written and read again, the file holds the same.
        std::optional<TIniFile> again = TIniFile::Parse(ini->Text());
        ASSERT_TRUE(again) << ini->Text();
        EXPECT_EQ(again->Keys(), keys) << ini->Text();
        for (const auto& [key, text] : c.Values)
            EXPECT_EQ(*again->Find(key), text) << ini->Text();
    }
}

// A settings file as large as the program reads (1 MiB), of small keys: one section of
// them, or a section for each. Read and written again, every key stands in its place with
// its value, a key given twice keeping its first place and its last value.
TEST(IniFiles, AFileOfManyKeysReadsAndWritesWhole) {
    constexpr size_t kLargestRead = 1 << 20;
    struct Case {
        const char* What;
        const char* Start;
        std::function<std::string(int, const std::string&)> Line;  // key i set to value
        std::function<std::string(int)> Key;
    };
    const Case cases[] = {
        {"one section", "[s]\n",
         [](int i, const std::string& value) {
             return "k" + std::to_string(i) + "=" + value + "\n";
         },
         [](int i) { return "s/k" + std::to_string(i); }},
        {"a section each", "",
         [](int i, const std::string& value) {
             return "[s" + std::to_string(i) + "]\nk=" + value + "\n";
         },
         [](int i) { return "s" + std::to_string(i) + "/k"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        std::string text = c.Start;
        const std::string twice = c.Line(0, "last");
        int count = 0;
        std::string line = c.Line(0, "0");
        while (text.size() + line.size() + twice.size() < kLargestRead) {
            text += line;
            ++count;
            line = c.Line(count, std::to_string(count));
        }
        text += twice;
        std::optional<TIniFile> ini = TIniFile::Parse(text);
        ASSERT_TRUE(ini);
        std::optional<TIniFile> again = TIniFile::Parse(ini->Text());
        ASSERT_TRUE(again);
        EXPECT_EQ(again->Text(), ini->Text());
        const std::vector<std::string> keys = again->Keys();
        ASSERT_EQ(keys.size(), static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(keys[i], c.Key(i));
        // A look-up goes through all keys: values are looked at along the file.
        for (int i : {0, 1, count / 3, count / 2, count - 1}) {
            const std::string* value = again->Find(c.Key(i));
            ASSERT_NE(value, nullptr) << c.Key(i);
            EXPECT_EQ(*value, i == 0 ? "last" : std::to_string(i)) << c.Key(i);
        }
    }
}

// What Qt's class finds damaged, ours does too.
TEST(IniFiles, DamagedWhereQtFindsDamage) {
    const std::vector<std::string> texts = {
        "[Software\nSettings=1\n",
        "[a]\nx=1\ngarbage\n",
        "# note\n",
        "[a]\nx=1\n",
        "[a]]\nx=1\n",
        "\n\n;only a comment",
        "=\n",
        "[a]\n\"unclosed=1\n",
    };
    TTempDir folder;
    int files = 0;  // a file of its own for each case, as Qt's class keeps what it read
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        const std::string file = folder / ("damage" + std::to_string(++files) + ".ini");
        WriteTextFile(file, text);
        QSettings settings(QString::fromStdString(file), QSettings::IniFormat);
        settings.allKeys();  // reads every section
        EXPECT_EQ(!TIniFile::Parse(text), settings.status() == QSettings::FormatError);
    }
}

TEST(IniFiles, KeysEscapeAndUnescape) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain_Name-1.2", "plain_Name-1.2"},
        {"a/b", "a\\b"},
        {"with space", "with%20space"},
        {"%=;[]\"", "%25%3D%3B%5B%5D%22"},
        {"caf\xc3\xa9", "caf%E9"},
        {"\xe2\x82\xac", "%U20AC"},
        {"\xf0\x9f\x98\x80", "%UD83D%UDE00"},
    };
    for (const auto& [name, escaped] : cases) {
        EXPECT_EQ(EscapeIniKey(name), escaped) << name;
        EXPECT_EQ(UnescapeIniKey(escaped), name) << escaped;
    }
    EXPECT_EQ(UnescapeIniKey("caf\xe9"), "caf\xc3\xa9") << "an unescaped byte is Latin-1";
    EXPECT_EQ(UnescapeIniKey("caf\xc3\xa9"), "caf\xc3\x83\xc2\xa9") << "even in UTF-8";
    EXPECT_EQ(UnescapeIniKey("100%"), "100%") << "a percent sign at the end";
    EXPECT_EQ(UnescapeIniKey("%zz"), "%zz") << "no hex digits";
    EXPECT_EQ(UnescapeIniKey("%U12"), "%U12") << "too few digits";
}

}  // namespace
