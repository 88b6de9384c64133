#include <string>

#include <gtest/gtest.h>

#include "records.h"

TEST(Records, CopyBoundedTextCutsToTheFieldAndClearsTheRest) {
    wchar_t field[8];
    for (wchar_t& c : field)
        c = L'#';
    CopyBoundedText(field, 8, L"abc");
    EXPECT_STREQ(L"abc", field);
    for (int i = 3; i < 8; ++i)
        EXPECT_EQ(L'\0', field[i]) << i;
    CopyBoundedText(field, 8, L"0123456789");
    EXPECT_EQ(std::wstring(L"0123456"), field);
    CopyBoundedText(field, 8, nullptr);
    EXPECT_STREQ(L"", field);
}
