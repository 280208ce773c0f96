#include <gtest/gtest.h>

#include "platform/Numbers.h"

using platform::cformat, platform::parseDouble, platform::parseInt, platform::streamNumber;

TEST(Numbers, PrintingAndParsingIgnoreTheProcessLocale) {
    EXPECT_EQ(cformat("%.2f|%f|%.4g", 1234.5, 0.25, 12345678.0), "1234.50|0.250000|1.235e+07");
    EXPECT_EQ(streamNumber(637382.2049), "637382");
    EXPECT_EQ(streamNumber(0.1), "0.1");
    double d = 0;
    EXPECT_TRUE(parseDouble(" 52.2297 ", d));
    EXPECT_DOUBLE_EQ(d, 52.2297);
    EXPECT_FALSE(parseDouble("52,2297", d));
    EXPECT_FALSE(parseDouble("1.5x", d));
    long long i = 0;
    EXPECT_TRUE(parseInt("2178", i));
    EXPECT_EQ(i, 2178);
    EXPECT_FALSE(parseInt("21.78", i));
}

TEST(Numbers, LongOutputIsNotCut) {
    std::string s = cformat("%0300d", 7);
    EXPECT_EQ(s.size(), 300u);
    EXPECT_EQ(s.back(), '7');
}
