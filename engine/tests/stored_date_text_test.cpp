// The quick check of a date's stored text against its definition: read as a date and written
// back, the text comes back the same (and lies in the range a date field takes).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "values/sql_values.h"
#include "values/value_codec.h"

namespace {

bool RoundTrips(const std::string& text) {
    double ole = 0;
    if (!engine::detail::DateFromStorage(text, ole)) return false;
    return text.substr(0, 4) >= "0100" && engine::detail::DateToStorage(ole) == text;
}

std::string Digits(int value, int width) {
    std::string s = std::to_string(value);
    return std::string(width > static_cast<int>(s.size()) ? width - s.size() : 0, '0') + s;
}

TEST(StoredDateText, AgreesWithReadingAndWritingBack) {
    std::mt19937 random(20261207);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const int years[] = {1, 99, 100, 101, 1600, 1899, 1900, 1999, 2000, 2004, 2100, 2400, 9999};
    long accepted = 0, refused = 0;
    for (int i = 0; i < 200000; ++i) {
        const int y = pick(0, 3) == 0 ? years[pick(0, 12)] : pick(0, 9999);
        std::string text = Digits(y, 4) + "-" + Digits(pick(0, 13), 2) + "-" +
                           Digits(pick(0, 32), 2) + " " + Digits(pick(0, 24), 2) + ":" +
                           Digits(pick(0, 60), 2) + ":" + Digits(pick(0, 60), 2);
        switch (pick(0, 9)) {
        case 0:
            text += "." + Digits(pick(0, 999), 3);
            break;
        case 1:
            text += ".000";
            break;
        case 2:
            text += "." + Digits(pick(0, 99), 2);
            break;
        case 3:
            text[pick(0, static_cast<int>(text.size()) - 1)] = "-: .x9"[pick(0, 5)];
            break;
        case 4:
            text = text.substr(0, 10);
            break;
        default:
            break;
        }
        const bool quick = engine::IsStoredDateText(text);
        ASSERT_EQ(quick, RoundTrips(text)) << text;
        (quick ? accepted : refused) += 1;
    }
    // Both answers were put to the test many times.
    EXPECT_GT(accepted, 10000);
    EXPECT_GT(refused, 10000);
}

TEST(StoredDateText, EdgesOfTheCalendar) {
    EXPECT_TRUE(engine::IsStoredDateText("2000-02-29 00:00:00"));
    EXPECT_FALSE(engine::IsStoredDateText("1900-02-29 00:00:00"));
    EXPECT_TRUE(engine::IsStoredDateText("0100-01-01 00:00:00"));
    EXPECT_FALSE(engine::IsStoredDateText("0099-12-31 23:59:59"));
    EXPECT_TRUE(engine::IsStoredDateText("9999-12-31 23:59:59.999"));
    EXPECT_FALSE(engine::IsStoredDateText("2020-01-01 00:00:00.000"));
    EXPECT_FALSE(engine::IsStoredDateText("2020-01-01"));
}

} // namespace
