#include "filetypes.h"

#include <gtest/gtest.h>

#include <QMimeDatabase>
#include <QMimeType>
#include <algorithm>
#include <cctype>

TEST(FileTypes, CommonExtensionsAreDescribed) {
    const std::vector<TFileType> types = RegisteredFileTypes();
    for (const char* extension : {".txt", ".png", ".html"}) {
        auto found = std::find_if(types.begin(), types.end(), [&](const TFileType& type) {
            return type.Extension == extension;
        });
        ASSERT_NE(found, types.end()) << extension;
        EXPECT_FALSE(found->Description.empty()) << extension;
    }
}

TEST(FileTypes, ExtensionsAreLowerCaseSortedAndUnique) {
    const std::vector<TFileType> types = RegisteredFileTypes();
    ASSERT_FALSE(types.empty());
    for (size_t i = 0; i < types.size(); ++i) {
        const std::string& extension = types[i].Extension;
        ASSERT_GE(extension.size(), 2u);
        EXPECT_EQ(extension[0], '.');
        EXPECT_TRUE(std::none_of(extension.begin(), extension.end(), [](char c) {
            return std::isupper(static_cast<unsigned char>(c));
        })) << extension;
        if (i > 0) {
            EXPECT_LT(types[i - 1].Extension, extension);
        }
    }
}

// Where several types claim an extension, the description is that of the type the desktop
// gives such a file, the same in every run.
TEST(FileTypes, AnExtensionIsDescribedByTheTypeItsFilesHave) {
    const QMimeDatabase database;
    const std::vector<TFileType> types = RegisteredFileTypes();
    for (const char* extension : {".html", ".htm", ".txt", ".xml", ".c"}) {
        SCOPED_TRACE(extension);
        auto found = std::find_if(types.begin(), types.end(), [&](const TFileType& type) {
            return type.Extension == extension;
        });
        ASSERT_NE(found, types.end());
        const QMimeType expected =
            database.mimeTypeForFile(QString("file") + extension, QMimeDatabase::MatchExtension);
        EXPECT_EQ(found->Description, expected.comment().toStdString());
    }
}
