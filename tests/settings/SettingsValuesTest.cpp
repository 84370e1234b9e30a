#include "settings/SettingsValues.h"
#include "platform/Exception.h"
#include "platform/Files.h"
#include "settings/ColorNames.h"

#include <gtest/gtest.h>

#include <optional>

namespace tabulonix {
namespace {

TEST(SettingsValues, IntegerText)
{
    struct Case {
        const char* text;
        std::optional<int> value;
    };
    const Case cases[] = {
        {"0", 0},
        {"42", 42},
        {"-5", -5},
        {"+5", 5},
        {"007", 7},
        {"0x1F", 31},
        {"0X1f", 31},
        {"$ff", 255},
        {"-$10", -16},
        {"0x0", 0},
        {"$FFFFFFFF", -1},
        {"$80000000", INT32_MIN},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},
        {"$100000000", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"0x", std::nullopt},
        {"$", std::nullopt},
        {"12abc", std::nullopt},
        {"yes", std::nullopt},
        {"1.5", std::nullopt},
        {"0x1G", std::nullopt},
        {"99999999999999999999", std::nullopt},
    };
    for (const auto& c : cases) {
        int value = 12345;
        bool ok = TryStrToInt(c.text, value);
        EXPECT_EQ(ok, c.value.has_value()) << c.text;
        if (c.value) {
            EXPECT_EQ(value, *c.value) << c.text;
        }
        EXPECT_EQ(StrToIntDef(c.text, -3), c.value.value_or(-3)) << c.text;
    }
}

TEST(SettingsValues, DatesInAGivenFormat)
{
    TDate d;
    EXPECT_TRUE(TryParseShortDate("07.03.2026", d, "%d.%m.%Y"));
    EXPECT_EQ(d, (TDate{2026, 3, 7}));
    EXPECT_TRUE(TryParseShortDate("03/07/26", d, "%m/%d/%y"));
    EXPECT_EQ(d, (TDate{2026, 3, 7}));
    EXPECT_TRUE(TryParseShortDate("29.02.2024", d, "%d.%m.%Y"));

    const char* bad[] = {"",           "2026-03-07", "31.02.2026", "29.02.2025", "07.03.2026x",
                         "07.13.2026", "garbage",    "07.03"};
    for (const char* text : bad) {
        d = TDate{1, 1, 1};
        EXPECT_FALSE(TryParseShortDate(text, d, "%d.%m.%Y")) << text;
        EXPECT_EQ(d, (TDate{1, 1, 1})) << "changed by " << text;
    }
    EXPECT_EQ(FormatShortDate(TDate{2026, 3, 7}, "%d.%m.%Y"), "07.03.2026");
    EXPECT_EQ(FormatShortDate(TDate{2026, 3, 7}, "%m/%d/%y"), "03/07/26");
}

TEST(SettingsValues, LocaleFormatRoundTrips)
{
    const std::string format = LocaleShortDateFormat();
    EXPECT_FALSE(format.empty());
    for (TDate date : {TDate{2026, 1, 31}, TDate{2024, 2, 29}, TDate{2030, 12, 1}}) {
        TDate back;
        ASSERT_TRUE(TryParseShortDate(FormatShortDate(date), back)) << FormatShortDate(date);
        EXPECT_EQ(back, date);
    }
}

TEST(SettingsValues, DayArithmetic)
{
    EXPECT_EQ(AddDays(TDate{2026, 3, 1}, -1), (TDate{2026, 2, 28}));
    EXPECT_EQ(AddDays(TDate{2024, 3, 1}, -1), (TDate{2024, 2, 29}));
    EXPECT_EQ(AddDays(TDate{2026, 1, 1}, -1), (TDate{2025, 12, 31}));
    EXPECT_EQ(AddDays(TDate{2026, 12, 31}, 1), (TDate{2027, 1, 1}));
    EXPECT_EQ(AddDays(Yesterday(), 1), Today());
}

TEST(ColorNames, EveryNameRoundTripsIgnoringCase)
{
    const auto& table = ColorNameTable();
    EXPECT_EQ(table.size(), 52u); // 20 fixed, 30 system colours, clNone and clDefault
    for (const auto& entry : table) {
        EXPECT_EQ(ColorToString(entry.value), entry.name);
        EXPECT_EQ(StringToColor(LowerCase(entry.name)), entry.value) << entry.name;
        EXPECT_EQ(StringToColor(UpperCase(entry.name)), entry.value) << entry.name;
    }
}

TEST(ColorNames, ValuesAndForms)
{
    EXPECT_EQ(StringToColor("clred"), clRed);
    EXPECT_EQ(StringToColor("$000000FF"), clRed);
    EXPECT_EQ(ColorToString(StringToColor("$000000FF")), "clRed");
    EXPECT_EQ(StringToColor("255"), clRed);
    EXPECT_EQ(StringToColor("clMoneyGreen"), 0xC0DCC0);
    EXPECT_EQ(StringToColor("clBtnFace"), static_cast<TColor>(0xFF00000F));
    EXPECT_EQ(StringToColor("clMenuBar"), static_cast<TColor>(0xFF00001E));
    EXPECT_EQ(StringToColor("clNone"), 0x1FFFFFFF);
    EXPECT_EQ(StringToColor("clDefault"), 0x20000000);
    EXPECT_EQ(ColorToString(RGBColor(0x56, 0x34, 0x12)), "$00123456");
    EXPECT_EQ(ColorToString(static_cast<TColor>(0xFF000019)), "$FF000019"); // index 25 has no name
    EXPECT_EQ(ColorToString(0x00ABCDEF), "$00ABCDEF");
}

TEST(ColorNames, TextThatIsNeitherNameNorInteger)
{
    for (const char* text : {"bogus", "", "clRedd", "$GG"}) {
        try {
            StringToColor(text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), std::string("'") + text + "' is not a valid integer value");
        }
    }
}

} // namespace
} // namespace tabulonix
