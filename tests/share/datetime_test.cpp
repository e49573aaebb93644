#include "datetime.h"

#include <gtest/gtest.h>

TEST(DateTime, EncodeAndDecodeAgree) {
    struct Case {
        TDateTimeParts Parts;
        double Expected;
    };
    const Case cases[] = {
        {{1899, 12, 30, 0, 0, 0, 0}, 0.0},
        {{1900, 1, 1, 0, 0, 0, 0}, 2.0},
        {{2000, 2, 29, 12, 0, 0, 0}, 36585.5},
        {{2026, 12, 5, 23, 20, 58, 0}, 46361.0 + (23 * 3600 + 20 * 60 + 58) / 86400.0},
    };
    for (const Case& c : cases) {
        TDateTime value = EncodeDateTime(c.Parts);
        EXPECT_DOUBLE_EQ(value, c.Expected);
        TDateTimeParts back = DecodeDateTime(value);
        EXPECT_EQ(back.Year, c.Parts.Year);
        EXPECT_EQ(back.Month, c.Parts.Month);
        EXPECT_EQ(back.Day, c.Parts.Day);
        EXPECT_EQ(back.Hour, c.Parts.Hour);
        EXPECT_EQ(back.Minute, c.Parts.Minute);
        EXPECT_EQ(back.Second, c.Parts.Second);
    }
}

TEST(DateTime, DosPackedFormRoundTripsAtTwoSeconds) {
    TDateTime value = EncodeDateTime({2026, 12, 5, 23, 20, 59, 0});
    int32_t packed = DateTimeToFileDate(value);
    EXPECT_EQ(static_cast<uint32_t>(packed) >> 25, 2026u - 1980u);
    TDateTimeParts back = DecodeDateTime(FileDateToDateTime(packed));
    EXPECT_EQ(back.Second, 58);
    EXPECT_EQ(back.Minute, 20);
    EXPECT_EQ(back.Day, 5);
    EXPECT_EQ(DateTimeToFileDate(EncodeDateTime({1979, 12, 31})), 0);
    EXPECT_EQ(FileDateToDateTime(0), 0.0) << "a zero DOS date is no date";
}

TEST(DateTime, FormatsLogAndDialogPatterns) {
    TDateTime late = EncodeDateTime({2026, 12, 5, 23, 20, 58, 0});
    TDateTime noon = EncodeDateTime({2026, 3, 1, 12, 5, 0, 0});
    TDateTime midnight = EncodeDateTime({2026, 3, 1, 0, 7, 9, 0});
    EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:mm:ss am/pm'. '", late), "05/12/2026 11:20:58 pm. ");
    EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:mm:ss am/pm'. '", midnight),
              "01/03/2026 12:07:09 am. ");
    EXPECT_EQ(FormatDateTime("dddd, mmmm d, yyyy ' at ' hh:mm AM/PM", noon),
              "Sunday, March 1, 2026  at  12:05 PM");
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", noon), "2026-03-01 12:05");
}
