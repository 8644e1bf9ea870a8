#include "engine/variant.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "engine/error.h"

namespace engine {
namespace {

// The error number a call raises, or 0 when it returns normally.
long ErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const Error& e) {
        return e.Number();
    }
    return 0;
}

double Ole(int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
    double day = DateSerial(y, m, d);
    double time = TimeSerial(h, mi, s);
    return day < 0 ? day - time : day + time;
}

TEST(VariantToInteger, RoundsHalfToEvenFromEverySourceType) {
    struct Case {
        Variant in;
        int32_t want;
    };
    const std::vector<Case> cases = {
        {Variant::Double(2.5), 2},
        {Variant::Double(3.5), 4},
        {Variant::Double(-2.5), -2},
        {Variant::Double(-3.5), -4},
        {Variant::Double(0.5), 0},
        {Variant::Double(1.5), 2},
        {Variant::Double(2.4999), 2},
        {Variant::Double(-0.6), -1},
        {Variant::Single(2.5f), 2},
        {Variant::CurrencyScaled(25000), 2},
        {Variant::CurrencyScaled(35000), 4},
        {Variant::CurrencyScaled(-25000), -2},
        {Variant::CurrencyScaled(25001), 3},
        {Variant::Date(45296.5), 45296},
        {Variant("2.5"), 2},
        {Variant("3.5"), 4},
        {Variant(" 12 "), 12},
        {Variant("-3.5"), -4},
        {Variant("2.5000000000000001"), 3}, // decided on the decimal text, not on a Double
        {Variant("1E3"), 1000},
        {Variant("+7"), 7},
        {Variant("&H1F"), 31},
        {Variant("&O17"), 15},
        {Variant("&HFFFFFFFF"), -1},
        {Variant("1,234"), 1234},
        {Variant::Boolean(true), -1},
        {Variant::Boolean(false), 0},
        {Variant(), 0},
        {Variant::Byte(200), 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(TextOf(c.in));
        EXPECT_EQ(CLng(c.in), c.want);
    }
}

TEST(VariantToInteger, OverflowsJustPastEachRange) {
    struct Case {
        const char* what;
        std::function<void()> call;
        long want;
    };
    const std::vector<Case> cases = {
        {"CInt 32767", [] { EXPECT_EQ(CInt(Variant::Long(32767)), 32767); }, 0},
        {"CInt 32768", [] { CInt(Variant::Long(32768)); }, 6},
        {"CInt -32768", [] { EXPECT_EQ(CInt(Variant::Double(-32768.0)), -32768); }, 0},
        {"CInt -32769", [] { CInt(Variant::Long(-32769)); }, 6},
        {"CInt 32767.5 rounds to 32768", [] { CInt(Variant::Double(32767.5)); }, 6},
        {"CInt 32766.5 rounds down", [] { EXPECT_EQ(CInt(Variant::Double(32766.5)), 32766); }, 0},
        {"CInt text 32768", [] { CInt(Variant("32768")); }, 6},
        {"CByte 255", [] { EXPECT_EQ(CByte(Variant::Integer(255)), 255); }, 0},
        {"CByte 256", [] { CByte(Variant::Integer(256)); }, 6},
        {"CByte -1", [] { CByte(Variant::Integer(-1)); }, 6},
        {"CByte -0.5 rounds to 0", [] { EXPECT_EQ(CByte(Variant::Double(-0.5)), 0); }, 0},
        {"CByte 255.5 rounds to 256", [] { CByte(Variant::Double(255.5)); }, 6},
        {"CByte True is -1", [] { CByte(Variant::Boolean(true)); }, 6},
        {"CLng min double", [] { EXPECT_EQ(CLng(Variant::Double(-2147483648.0)), INT32_MIN); }, 0},
        {"CLng min text", [] { EXPECT_EQ(CLng(Variant("-2147483648")), INT32_MIN); }, 0},
        {"CLng min - 1", [] { CLng(Variant("-2147483649")); }, 6},
        {"CLng 2147483648", [] { CLng(Variant::Double(2147483648.0)); }, 6},
        {"CLng 2147483647.5", [] { CLng(Variant("2147483647.5")); }, 6},
        {"CLng huge text", [] { CLng(Variant("1E400")); }, 6},
        {"CLng hex beyond 32 bits", [] { CLng(Variant("&H100000000")); }, 6},
        {"CLng currency max", [] { CLng(Variant::CurrencyScaled(INT64_MAX)); }, 6},
        {"CLng NaN", [] { CLng(Variant::Double(std::numeric_limits<double>::quiet_NaN())); }, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ErrorOf(c.call), c.want);
    }
}

TEST(VariantConversions, TextThatIsNoNumberOrDateIsATypeMismatch) {
    const std::vector<std::function<void()>> calls = {
        [] { CLng(Variant("abc")); },         [] { CLng(Variant("")); },
        [] { CLng(Variant("   ")); },         [] { CLng(Variant("12abc")); },
        [] { CLng(Variant("1.2.3")); },       [] { CLng(Variant("1e")); },
        [] { CLng(Variant(",5")); },          [] { CLng(Variant("&HG")); },
        [] { CLng(Variant("2024/01/05")); },  [] { CInt(Variant("１２")); },
        [] { CDbl(Variant("x")); },           [] { CSng(Variant(".")); },
        [] { CCurScaled(Variant("-")); },     [] { CBool(Variant("yes")); },
        [] { CDate(Variant("abc")); },        [] { CDate(Variant("2023/02/30")); },
        [] { CDate(Variant("2023/13/01")); }, [] { CDate(Variant("25:00")); },
        [] { CDate(Variant("12:60")); },      [] { CDate(Variant("2024/01/0510:00")); },
        [] { CDate(Variant("2024/01-05")); }, [] { Str(Variant("abc")); },
    };
    for (size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ErrorOf(calls[i]), err::kTypeMismatch);
    }
}

TEST(VariantConversions, NullIsRefusedWhereAValueIsNeeded) {
    const Variant null = Variant::Null();
    const std::vector<std::function<void()>> calls = {
        [&] { CLng(null); },
        [&] { CInt(null); },
        [&] { CByte(null); },
        [&] { CBool(null); },
        [&] { CCurScaled(null); },
        [&] { CSng(null); },
        [&] { CDbl(null); },
        [&] { CDate(null); },
        [&] { CStr(null); },
        [&] { Str(null); },
        [&] { ConvertTo(null, VarType::Long); },
    };
    for (size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ErrorOf(calls[i]), err::kInvalidUseOfNull);
    }
    EXPECT_EQ(TextOf(null), "");
    EXPECT_EQ(Format(null, "##"), "");
    EXPECT_EQ(Format(null, "LONG DATE"), "");
    EXPECT_TRUE(ConvertTo(null, VarType::Null).IsNull());
}

TEST(VariantConversions, EmptyIsZeroFalseOrNothing) {
    const Variant empty;
    EXPECT_EQ(CLng(empty), 0);
    EXPECT_EQ(CByte(empty), 0);
    EXPECT_FALSE(CBool(empty));
    EXPECT_EQ(CCurScaled(empty), 0);
    EXPECT_EQ(CDbl(empty), 0.0);
    EXPECT_EQ(CDate(empty), 0.0);
    EXPECT_EQ(CStr(empty), "");
    EXPECT_EQ(Str(empty), " 0");
}

TEST(VariantToBoolean, ReadsNumbersAndTheWordsTrueAndFalse) {
    struct Case {
        Variant in;
        bool want;
    };
    const std::vector<Case> cases = {
        {Variant::Long(0), false},
        {Variant::Long(-3), true},
        {Variant::Double(0.1), true},
        {Variant::Double(0.0), false},
        {Variant::CurrencyScaled(1), true},
        {Variant("True"), true},
        {Variant(" tRUE "), true},
        {Variant("FALSE"), false},
        {Variant("0"), false},
        {Variant("0.00"), false},
        {Variant("-1"), true},
        {Variant("0.5"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(CStr(c.in));
        EXPECT_EQ(CBool(c.in), c.want);
    }
}

TEST(VariantToCurrency, IsExactToFourDecimals) {
    EXPECT_EQ(CCurScaled(Variant("0.1")) * 3, 3000);
    EXPECT_EQ(CCurScaled(Variant::Double(0.1)) * 3, 3000);
    struct Case {
        Variant in;
        int64_t want;
    };
    const std::vector<Case> cases = {
        {Variant("12345678901.2345"), 123456789012345},
        {Variant("922337203685477.5807"), INT64_MAX},
        {Variant("-922337203685477.5808"), INT64_MIN},
        {Variant("1.5E3"), 15000000},
        {Variant("0.00005"), 0}, // half to even at the fifth decimal
        {Variant("0.00015"), 2},
        {Variant("0.00025"), 2},
        {Variant("-0.00015"), -2},
        {Variant("0.000250001"), 3},
        {Variant::Double(0.00015), 2}, // the Double as shown, 0.00015, not its binary value
        {Variant::Double(2.00005), 20000},
        {Variant::Single(0.15f), 1500},
        {Variant::Long(-7), -70000},
        {Variant::Boolean(true), -10000},
        {Variant::Date(1.5), 15000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(TextOf(c.in));
        EXPECT_EQ(CCurScaled(c.in), c.want);
    }
    EXPECT_EQ(ErrorOf([] { CCurScaled(Variant("922337203685477.5808")); }), err::kOverflow);
    EXPECT_EQ(ErrorOf([] { CCurScaled(Variant::Double(1e16)); }), err::kOverflow);
}

TEST(VariantToReal, ParsesTextAndOverflowsASingle) {
    EXPECT_EQ(CDbl(Variant("-1.5")), -1.5);
    EXPECT_EQ(CDbl(Variant(" 1E3 ")), 1000.0);
    EXPECT_EQ(CDbl(Variant("&H10")), 16.0);
    EXPECT_EQ(CDbl(Variant::CurrencyScaled(12345)), 1.2345);
    EXPECT_EQ(CDbl(Variant("1e-400")), 0.0);
    EXPECT_EQ(CSng(Variant("0.1")), 0.1f);
    EXPECT_EQ(CSng(Variant::Double(3.4028234e38)), std::numeric_limits<float>::max());
    EXPECT_EQ(ErrorOf([] { CSng(Variant::Double(1e39)); }), err::kOverflow);
    EXPECT_EQ(ErrorOf([] { CSng(Variant::Double(-1e39)); }), err::kOverflow);
    EXPECT_EQ(ErrorOf([] { CSng(Variant("1E39")); }), err::kOverflow);
    EXPECT_EQ(ErrorOf([] { CDbl(Variant("1E400")); }), err::kOverflow);
}

TEST(VariantToText, NumbersShowAsTheHostShowsThem) {
    struct Case {
        Variant in;
        const char* want;
    };
    const std::vector<Case> cases = {
        {Variant::Boolean(true), "True"},
        {Variant::Boolean(false), "False"},
        {Variant::Integer(-5), "-5"},
        {Variant::Byte(255), "255"},
        {Variant::Long(INT32_MIN), "-2147483648"},
        {Variant::Double(0.1), "0.1"},
        {Variant::Double(0.1 + 0.2), "0.3"},
        {Variant::Double(1.0 / 3), "0.333333333333333"},
        {Variant::Double(-2.5), "-2.5"},
        {Variant::Double(-0.0), "0"},
        {Variant::Double(1234.5), "1234.5"},
        {Variant::Double(1e14), "100000000000000"},
        {Variant::Double(1e15), "1E+15"},
        {Variant::Double(123456789012345678.0), "1.23456789012346E+17"},
        {Variant::Double(0.0001), "0.0001"},
        {Variant::Double(0.00001), "1E-05"},
        {Variant::Double(-1.5e-7), "-1.5E-07"},
        {Variant::Double(1e100), "1E+100"},
        {Variant::Single(0.1f), "0.1"},
        {Variant::Single(3.14159274f), "3.141593"},
        {Variant::Single(1234567.0f), "1234567"},
        {Variant::Single(12345678.0f), "1.234568E+07"},
        {Variant::CurrencyScaled(15000), "1.5"},
        {Variant::CurrencyScaled(10000), "1"},
        {Variant::CurrencyScaled(0), "0"},
        {Variant::CurrencyScaled(-1), "-0.0001"},
        {Variant::CurrencyScaled(123456789012345), "12345678901.2345"},
        {Variant::CurrencyScaled(INT64_MIN), "-922337203685477.5808"},
        {Variant("as is "), "as is "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CStr(c.in), c.want);
    }
}

TEST(VariantDates, ShowDateTimeOrTimeAlone) {
    struct Case {
        double ole;
        const char* want;
    };
    const std::vector<Case> cases = {
        {45296, "2024/01/05"},
        {45296.75, "2024/01/05 18:00:00"},
        {Ole(2024, 1, 5, 9, 5, 7), "2024/01/05 9:05:07"},
        {0.25, "6:00:00"},
        {0, "0:00:00"},
        {1, "1899/12/31"},
        {-1, "1899/12/29"},
        {-1.25, "1899/12/29 6:00:00"},
        {-0.5, "12:00:00"},
        {45296.999999999, "2024/01/06"}, // rounded to the second
        {-657434, "0100/01/01"},
        {2958465.999999, "9999/12/31 23:59:59"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ole);
        EXPECT_EQ(CStr(Variant::Date(c.ole)), c.want);
    }
}

TEST(VariantDates, DatesBefore1900RoundTripThroughPartsAndText) {
    struct Case {
        int y, m, d, h, mi, s;
    };
    const std::vector<Case> cases = {
        {1899, 12, 29, 6, 0, 0}, {1899, 12, 30, 23, 59, 59}, {1899, 1, 1, 12, 30, 15},
        {1800, 2, 28, 0, 0, 1},  {1600, 2, 29, 18, 45, 0},   {100, 1, 1, 0, 0, 0},
        {1900, 3, 1, 7, 7, 7},   {2000, 2, 29, 13, 0, 0},    {9999, 12, 31, 23, 59, 59},
    };
    for (const Case& c : cases) {
        char text[64];
        std::snprintf(text, sizeof text, "%04d/%02d/%02d %d:%02d:%02d", c.y, c.m, c.d, c.h, c.mi,
                      c.s);
        SCOPED_TRACE(text);
        double ole = CDate(Variant(text));
        EXPECT_DOUBLE_EQ(ole, Ole(c.y, c.m, c.d, c.h, c.mi, c.s));
        DateParts p = SplitDate(ole);
        EXPECT_EQ(p.year, c.y);
        EXPECT_EQ(p.month, c.m);
        EXPECT_EQ(p.day, c.d);
        EXPECT_EQ(p.hour, c.h);
        EXPECT_EQ(p.minute, c.mi);
        EXPECT_EQ(p.second, c.s);
        std::string shown = CStr(Variant::Date(ole));
        if (c.y == 1899 && c.m == 12 && c.d == 30)
            EXPECT_EQ(shown, std::string(text).substr(11));
        else if (c.h == 0 && c.mi == 0 && c.s == 0)
            EXPECT_EQ(shown, std::string(text).substr(0, 10));
        else
            EXPECT_EQ(shown, text);
        EXPECT_EQ(CDate(Variant(shown)), ole);
    }
    EXPECT_EQ(CDate(Variant("1899/12/29 6:00")), -1.25);
}

TEST(VariantDates, TextFormsAndSerialArithmetic) {
    EXPECT_EQ(DateSerial(2024, 1, 5), 45296);
    EXPECT_EQ(DateSerial(1899, 12, 30), 0);
    EXPECT_EQ(DateSerial(1899, 12, 29), -1);
    EXPECT_EQ(DateSerial(100, 1, 1), -657434);
    EXPECT_EQ(DateSerial(9999, 12, 31), 2958465);
    EXPECT_EQ(DateSerial(2024, 13, 1), DateSerial(2025, 1, 1));
    EXPECT_EQ(DateSerial(2024, 3, 0), DateSerial(2024, 2, 29));
    EXPECT_EQ(DateSerial(2024, 0, 1), DateSerial(2023, 12, 1));
    EXPECT_EQ(DateSerial(24, 1, 5), DateSerial(2024, 1, 5));
    EXPECT_EQ(DateSerial(99, 1, 5), DateSerial(1999, 1, 5));
    EXPECT_EQ(ErrorOf([] { DateSerial(10000, 1, 1); }), err::kInvalidProcedureCall);
    EXPECT_EQ(ErrorOf([] { DateSerial(9999, 12, 32); }), err::kInvalidProcedureCall);
    EXPECT_EQ(TimeSerial(6, 0, 0), 0.25);
    EXPECT_EQ(TimeSerial(0, 90, 0), TimeSerial(1, 30, 0));

    struct Case {
        const char* text;
        double want;
    };
    const std::vector<Case> cases = {
        {"2024/01/05", 45296},
        {" 2024-1-5 ", 45296},
        {"2024年1月5日", 45296},
        {"24/1/5", 45296},
        {"2024/2/29", DateSerial(2024, 2, 29)},
        {"2024/01/05 10:30", Ole(2024, 1, 5, 10, 30, 0)},
        {"2024/01/05 10:30:15", Ole(2024, 1, 5, 10, 30, 15)},
        {"2024年1月5日 10時30分", Ole(2024, 1, 5, 10, 30, 0)},
        {"10:30", TimeSerial(10, 30, 0)},
        {"0:00:01", TimeSerial(0, 0, 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_DOUBLE_EQ(CDate(Variant(c.text)), c.want);
    }
    EXPECT_EQ(CDate(Variant::Long(45296)), 45296);
    EXPECT_EQ(CDate(Variant::Boolean(true)), -1);
    EXPECT_EQ(ErrorOf([] { CDate(Variant::Double(-657435)); }), err::kOverflow);
    EXPECT_EQ(ErrorOf([] { CDate(Variant::Double(2958466)); }), err::kOverflow);
    EXPECT_EQ(ErrorOf([] { CDate(Variant("99/1/1 24:00")); }), err::kTypeMismatch);
    EXPECT_EQ(ErrorOf([] { SplitDate(1e7); }), err::kOverflow);
}

TEST(VariantStr, LeadsNonNegativeNumbersWithABlank) {
    struct Case {
        Variant in;
        const char* want;
    };
    const std::vector<Case> cases = {
        {Variant::Long(5), " 5"},
        {Variant::Long(-5), "-5"},
        {Variant::Integer(0), " 0"},
        {Variant::Double(0.5), " .5"},
        {Variant::Double(-0.5), "-.5"},
        {Variant::Double(1e15), " 1E+15"},
        {Variant::CurrencyScaled(15000), " 1.5"},
        {Variant("12"), " 12"},
        {Variant(" -3.25 "), "-3.25"},
        {Variant("&H1F"), " 31"},
        {Variant::Boolean(true), "True"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(CStr(c.in));
        EXPECT_EQ(Str(c.in), c.want);
    }
}

TEST(VariantFormat, DigitPatterns) {
    struct Case {
        Variant in;
        const char* pattern;
        const char* want;
    };
    const std::vector<Case> cases = {
        {Variant::Long(3), "##", "3"},
        {Variant::Long(0), "##", ""},
        {Variant::Long(0), "##0", "0"},
        {Variant::Long(7), "00", "07"},
        {Variant::Long(123), "##", "123"},
        {Variant::Long(-3), "##", "-3"},
        {Variant::Long(42), "#####", "42"},
        {Variant::Double(1234.5), "0.00", "1234.50"},
        {Variant::Double(2.5), "#", "3"}, // half away from zero, unlike CLng
        {Variant::Double(-2.5), "#", "-3"},
        {Variant::Double(0.5), "0", "1"},
        {Variant::Double(-0.4), "#", ""},
        {Variant::Double(2.675), "0.00", "2.68"},
        {Variant::Double(0.5), "#.##", ".5"},
        {Variant::Double(5), "#.##", "5."},
        {Variant::Double(1.5), "0.0#", "1.5"},
        {Variant::Double(1.005), "0.0#", "1.01"},
        {Variant::Double(999.996), "0.00", "1000.00"},
        {Variant::Double(1e20), "0", "100000000000000000000"},
        {Variant::Single(0.15f), "0.0", "0.2"},
        {Variant::CurrencyScaled(12500), "0.0", "1.3"},
        {Variant::Boolean(true), "0", "-1"},
        {Variant("12"), "000", "012"},
        {Variant(" 1.25 "), "0.0", "1.3"},
        {Variant("abc"), "##", "abc"},
        {Variant(), "##", ""},
        {Variant(), "0", "0"},
        {Variant::Double(1.5), "x#", "1.5"}, // not a digit pattern
        {Variant::Double(1.5), "", "1.5"},
        {Variant::Long(7), "@@", "7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(TextOf(c.in)) + " / " + c.pattern);
        EXPECT_EQ(Format(c.in, c.pattern), c.want);
    }
}

TEST(VariantFormat, NamedDateFormats) {
    const Variant day = Variant::Date(DateSerial(2024, 1, 5));
    const Variant moment = Variant::Date(Ole(2024, 1, 5, 7, 2, 30));
    struct Case {
        Variant in;
        const char* pattern;
        const char* want;
    };
    const std::vector<Case> cases = {
        {day, "LONG DATE", "2024年1月5日"},
        {day, "Long Date", "2024年1月5日"},
        {Variant::Date(Ole(1899, 12, 29, 6)), "long date", "1899年12月29日"},
        {day, "SHORT DATE", "2024/01/05"},
        {day, "yyyy/mm/dd", "2024/01/05"},
        {day, "YYYY/MM/DD", "2024/01/05"},
        {moment, "hh:nn:ss", "07:02:30"},
        {moment, "yyyy/mm/dd", "2024/01/05"},
        {moment, "Long Time", "7:02:30"},
        {moment, "Short Time", "07:02"},
        {moment, "General Date", "2024/01/05 7:02:30"},
        {Variant("2024/1/5"), "LONG DATE", "2024年1月5日"},
        {Variant("45296"), "yyyy/mm/dd", "2024/01/05"},
        {Variant::Long(45296), "LONG DATE", "2024年1月5日"},
        {Variant("not a date"), "LONG DATE", "not a date"},
        {Variant::Double(1e10), "yyyy/mm/dd", "10000000000"},
        {Variant(), "LONG DATE", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(TextOf(c.in)) + " / " + c.pattern);
        EXPECT_EQ(Format(c.in, c.pattern), c.want);
    }
}

TEST(VariantConvertTo, GivesAVariantOfTheTargetType) {
    EXPECT_EQ(ConvertTo(Variant("12"), VarType::Long), Variant::Long(12));
    EXPECT_EQ(ConvertTo(Variant::Double(2.5), VarType::Integer), Variant::Integer(2));
    EXPECT_EQ(ConvertTo(Variant::Long(200), VarType::Byte), Variant::Byte(200));
    EXPECT_EQ(ConvertTo(Variant("True"), VarType::Boolean), Variant::Boolean(true));
    EXPECT_EQ(ConvertTo(Variant("1.5"), VarType::Currency), Variant::CurrencyScaled(15000));
    EXPECT_EQ(ConvertTo(Variant("0.1"), VarType::Single), Variant::Single(0.1f));
    EXPECT_EQ(ConvertTo(Variant("0.1"), VarType::Double), Variant::Double(0.1));
    EXPECT_EQ(ConvertTo(Variant("2024/01/05"), VarType::Date), Variant::Date(45296));
    EXPECT_EQ(ConvertTo(Variant::Long(5), VarType::String), Variant("5"));
    EXPECT_TRUE(ConvertTo(Variant::Long(5), VarType::Empty).IsEmpty());
    EXPECT_TRUE(ConvertTo(Variant::Long(5), VarType::Null).IsNull());
    EXPECT_EQ(ErrorOf([] { ConvertTo(Variant("x"), VarType::Long); }), err::kTypeMismatch);
    EXPECT_EQ(ErrorOf([] { ConvertTo(Variant::Long(300), VarType::Byte); }), err::kOverflow);
    EXPECT_EQ(ErrorOf([] { ConvertTo(Variant::Long(1), static_cast<VarType>(99)); }),
              err::kInvalidProcedureCall);
}

TEST(VariantEquality, NeedsTheSameTypeAndValue) {
    EXPECT_EQ(Variant(), Variant());
    EXPECT_EQ(Variant::Null(), Variant::Null());
    EXPECT_NE(Variant(), Variant::Null());
    EXPECT_EQ(Variant::Single(0.1f), Variant::Single(0.1f));
    EXPECT_NE(Variant::Single(0.1f), Variant::Double(0.1));
    EXPECT_NE(Variant::Long(1), Variant::Integer(1));
    EXPECT_NE(Variant::Long(1), Variant::Long(2));
    EXPECT_NE(Variant::Date(1), Variant::Double(1));
    EXPECT_NE(Variant("a"), Variant("A"));
    EXPECT_EQ(Variant::Boolean(true), Variant::Boolean(true));
}

// SetString reuses the storage it has: the text may come from anywhere, the variant's own text
// included, and be shorter or longer than what it replaces.
TEST(VariantSetString, TakesTextFromElsewhereOrFromItself) {
    const std::string start = "東京都千代田区", other(100, 'x');
    using Text = std::function<std::string_view(const Variant&)>;
    auto own = [](size_t at, size_t n) {
        return
            [at, n](const Variant& v) { return std::string_view(v.StringValue()).substr(at, n); };
    };
    struct Case {
        const char* what;
        bool nullFirst; // the variant was made Null, which keeps the storage but not the text
        Text text;
        std::string expected;
    } cases[] = {
        {"shorter text", false, [](const Variant&) { return std::string_view("ab"); }, "ab"},
        {"longer than its storage", false, [&](const Variant&) { return std::string_view(other); },
         other},
        {"empty text", false, [](const Variant&) { return std::string_view(); }, ""},
        {"text after Null", true, [](const Variant&) { return std::string_view("ab"); }, "ab"},
        {"its whole self", false, own(0, std::string::npos), start},
        {"its own head", false, own(0, 6), "東京"},
        {"its own tail", false, own(9, std::string::npos), "千代田区"},
        {"its own middle", false, own(3, 9), "京都千"},
    };
    for (const auto& c : cases) {
        Variant v(start);
        if (c.nullFirst) v.SetNull();
        v.SetString(c.text(v));
        EXPECT_TRUE(v.IsString()) << c.what;
        EXPECT_EQ(v.StringValue(), c.expected) << c.what;
    }
}

TEST(VariantNumericText, AcceptsWhatTheConversionsRead) {
    struct Case {
        const char* text;
        bool want;
    };
    const std::vector<Case> cases = {
        {"12", true},    {" 12 ", true},  {"-3.5", true}, {"1E3", true},  {"1e-3", true},
        {".5", true},    {"5.", true},    {"&H1F", true}, {"&o17", true}, {"1,234", true},
        {"", false},     {" ", false},    {".", false},   {"-", false},   {"1e", false},
        {"abc", false},  {"１２", false}, {"&H", false},  {"&HG", false}, {"1,", false},
        {"12 3", false}, {"$5", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(IsNumericText(c.text), c.want);
    }
}

TEST(RoundHalfEven, RoundsTiesToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(-3.5), -4);
    EXPECT_EQ(RoundHalfEven(2.6), 3);
    EXPECT_EQ(RoundHalfEven(-2.4), -2);
    EXPECT_EQ(RoundHalfEven(1e17), 1e17);
}

TEST(ErrorDescriptions, NameTheObjectOrDropThePlaceholder) {
    EXPECT_EQ(DescriptionOf(err::kTableExists, "T1"), "テーブル 'T1' は既に存在します。");
    EXPECT_EQ(DescriptionOf(err::kTableExists), "テーブルは既に存在します。");
    EXPECT_EQ(DescriptionOf(err::kFileNotFound), "ファイルが見つかりません。");
    EXPECT_EQ(DescriptionOf(err::kSyntaxInExpression, "A ="), "クエリ式 'A =' の 構文エラー。");
    EXPECT_EQ(DescriptionOf(err::kBadFormat), "データベース形式を認識できません。");
    EXPECT_EQ(DescriptionOf(err::kPropertyNotFound, "ignored"), "プロパティが見つかりません。");
    EXPECT_EQ(DescriptionOf(err::kUnknownField), "パラメータが少なすぎます。");
    EXPECT_EQ(DescriptionOf(12345), "エラー番号 12345");
    EXPECT_EQ(DescriptionOf(12345, "x"), "エラー番号 12345 (x)");
    try {
        Throw(err::kRequiredNull, "FLD01");
        FAIL() << "Throw returned";
    } catch (const Error& e) {
        EXPECT_EQ(e.Number(), err::kRequiredNull);
        EXPECT_EQ(e.Description(), "フィールド 'FLD01' には値が必要です。");
        EXPECT_STREQ(e.what(), "フィールド 'FLD01' には値が必要です。");
    }
}

TEST(ErrorDescriptions, EveryNamedNumberHasItsOwnText) {
    const long numbers[] = {
        err::kInvalidProcedureCall,
        err::kOverflow,
        err::kTypeMismatch,
        err::kInvalidUseOfNull,
        err::kInvalidArgument,
        err::kTableExists,
        err::kObjectNotFound,
        err::kNoCurrentRecord,
        err::kDuplicateKey,
        err::kFileNotFound,
        err::kReadOnly,
        err::kNotInTransaction,
        err::kTooManyFields,
        err::kTooManyIndexes,
        err::kSyntaxInCriteria,
        err::kUnknownField,
        err::kSyntaxInExpression,
        err::kTableNotFound,
        err::kOperationNotSupported,
        err::kItemNotFound,
        err::kPropertyNotFound,
        err::kNameExists,
        err::kUpdateWithoutAddNew,
        err::kNullInIndex,
        err::kTextTooLong,
        err::kRecordDeleted,
        err::kDatabaseExists,
        err::kRequiredNull,
        err::kZeroLength,
        err::kBadFormat,
        err::kNumericOverflow,
        err::kTooManyIndexFields,
        err::kInvalidName,
        err::kConversionError,
        err::kIndexNotFound,
        err::kDiskIo,
        err::kLocked,
    };
    for (long n : numbers) {
        SCOPED_TRACE(n);
        std::string bare = DescriptionOf(n);
        EXPECT_EQ(bare.find("エラー番号"), std::string::npos);
        EXPECT_EQ(bare.find('|'), std::string::npos);
        EXPECT_EQ(bare.find("''"), std::string::npos);
        EXPECT_EQ(DescriptionOf(n, "").find('|'), std::string::npos);
    }
}

} // namespace
} // namespace engine
