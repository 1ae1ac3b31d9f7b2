#include <gtest/gtest.h>

#include <clocale>
#include <optional>
#include <string>

#include "engine/decimal.h"

namespace trelvo {
namespace {

std::string shortest(const char* text) {
    const auto d = Decimal::parse(text);
    return d ? d->toString() : "<not a number>";
}

TEST(DecimalParse, AcceptsPlainDecimals) {
    const std::pair<const char*, const char*> rows[] = {
        {"5", "5"},        {"5.", "5"},        {".5", "0.5"},       {"-0.127", "-0.127"},
        {"010", "10"},     {"+7", "7"},        {"  0.254  ", "0.254"}, {"10.000", "10"},
        {"-0", "0"},       {"-0.000", "0"},    {"0.0001", "0.0001"},  {"123456789.123456789", "123456789.123456789"},
    };
    for (const auto& [in, out] : rows) EXPECT_EQ(shortest(in), out) << in;
}

TEST(DecimalParse, RejectsEverythingElse) {
    for (const char* text : {"", " ", "*", ".", "-", "+", "1e3", "inf", "nan", "0x10", "1,5", "\t5",
                             "5\t", "1.2.3", "--1", "5 5", "\xd9\xa5", "5mm", "+-1"}) {
        EXPECT_FALSE(Decimal::parse(text).has_value()) << '"' << text << '"';
    }
}

TEST(DecimalParse, ComparesByValue) {
    EXPECT_EQ(*Decimal::parse("10"), *Decimal::parse("10.000"));
    EXPECT_EQ(*Decimal::parse("0.254"), *Decimal::parse("0.2540"));
    EXPECT_EQ(*Decimal::parse("-0"), *Decimal::parse("0"));
    EXPECT_NE(*Decimal::parse("10"), *Decimal::parse("10.0004"));
    EXPECT_NE(*Decimal::parse("0.305"), *Decimal::parse("0.3048"));
}

struct ConversionRow {
    const char* in;
    const char* out;
};

TEST(DecimalConvert, MilsToMillimetresRoundsHalfToEven) {
    const ConversionRow rows[] = {
        {"10", "0.254"},  {"5", "0.127"},   {"12", "0.305"},   {"12.5", "0.318"}, {"-0.01", "0"},
        {"0", "0"},       {"250", "6.35"},  {"1", "0.025"},    {"-12", "-0.305"},
        // 0.0254 * 0.0625 = 0.0015875 -> 0.002; 0.0254 * 2.5 = 0.0635 -> 0.064 (4 is even)
        {"0.0625", "0.002"}, {"2.5", "0.064"},
        {"999999999.999999999", "25400000.000"},
    };
    for (const auto& r : rows) EXPECT_EQ(Decimal::parse(r.in)->milsToMm()->toString(), shortest(r.out)) << r.in;
}

TEST(DecimalConvert, MillimetresToMilsRoundsHalfToEven) {
    const ConversionRow rows[] = {
        {"0.254", "10"}, {"0.127", "5"}, {"6.35", "250"}, {"0.3048", "12"}, {"1", "39.37"},
        {"0.0000127", "0"},  // exactly 0.0005 mils: halves go to the even neighbour, 0
        {"0.0000381", "0.002"},  // 0.0015 -> 0.002
        {"123456789.123456789", "4860503508.798"},
    };
    for (const auto& r : rows) EXPECT_EQ(Decimal::parse(r.in)->mmToMils()->toString(), r.out) << r.in;
}

TEST(DecimalConvert, TooLongToConvertExactlyIsRefused) {
    const auto huge = Decimal::parse("1234567890123456789012345678901");
    ASSERT_TRUE(huge.has_value());
    EXPECT_FALSE(huge->milsToMm().has_value());
    EXPECT_FALSE(huge->mmToMils().has_value());
}

TEST(DecimalLocale, IgnoresACommaDecimalLocale) {
    struct Restore {
        std::string saved = std::setlocale(LC_ALL, nullptr);
        ~Restore() { std::setlocale(LC_ALL, saved.c_str()); }
    } restore;
    // The Linux name, then the Windows C runtime's.
    bool set = false;
    for (const char* name : {"de_DE.UTF-8", "German_Germany.1252", "de-DE"}) {
        if (std::setlocale(LC_ALL, name)) {
            set = true;
            break;
        }
    }
    if (!set) GTEST_SKIP() << "no German locale is installed";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    EXPECT_EQ(shortest("0.254"), "0.254");
    EXPECT_FALSE(Decimal::parse("0,254").has_value());
    EXPECT_EQ(Decimal::parse("5")->milsToMm()->toString(), "0.127");
    EXPECT_EQ(Decimal::parse("0.127")->mmToMils()->toString(), "5");
}

}  // namespace
}  // namespace trelvo
