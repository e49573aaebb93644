#include "filetypes.h"

#include <gtest/gtest.h>

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
