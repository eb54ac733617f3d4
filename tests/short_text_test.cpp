// SPDX-License-Identifier: MIT
#include "files/failure.h"
#include "partfile/short_text.h"

#include <gtest/gtest.h>

#include <string>

using namespace chimex;

TEST(ShortText, HoldsUpToItsCapacityAndRefusesMore) {
    ShortText text;
    text.append("ab");
    text.append('c');
    EXPECT_EQ(text.view(), "abc");
    const std::string rest(ShortText::capacity - 3, 'x');
    text.append(rest);
    EXPECT_EQ(text.view().size(), ShortText::capacity);
    EXPECT_THROW(text.append('y'), Failure);
    EXPECT_THROW(text.append("yz"), Failure);
    EXPECT_EQ(text.view(), "abc" + rest); // a refused append leaves the text as it was
}
