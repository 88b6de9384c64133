#include <gtest/gtest.h>

#include "record_array.h"
#include "records.h"

TEST(RecordArray, GrowsByTheAutomaticStep) {
    // First allocation exact, then by count / 8 bounded to 4..1024.
    EXPECT_EQ(1u, GrowRecordCapacity(0, 0, 1, 0));
    EXPECT_EQ(5u, GrowRecordCapacity(1, 1, 2, 0));
    EXPECT_EQ(35u, GrowRecordCapacity(31, 31, 32, 0));
    EXPECT_EQ(36u, GrowRecordCapacity(32, 32, 33, 0));
    EXPECT_EQ(112u, GrowRecordCapacity(100, 100, 101, 0));
    EXPECT_EQ(9224u, GrowRecordCapacity(8200, 8200, 9000, 0));
    EXPECT_EQ(30000u, GrowRecordCapacity(20000, 20000, 30000, 0)) << "needed wins";
    EXPECT_EQ(27u, GrowRecordCapacity(20, 20, 21, 7)) << "a fixed step";

    RecordArray<ActionRecord> actions;
    UINT expectedCapacity = 0;
    for (UINT i = 0; i < 300; ++i) {
        ActionRecord action = {};
        action.owner = i;
        if (i == expectedCapacity)
            expectedCapacity = GrowRecordCapacity(i, expectedCapacity, i + 1, 0);
        actions.Append(action);
        ASSERT_EQ(expectedCapacity, actions.Capacity()) << i;
    }
    EXPECT_EQ(300u, actions.Count());
    for (UINT i = 0; i < 300; ++i)
        EXPECT_EQ(i, actions.At(i).owner) << "contents survive every growth";

    actions.Clear();
    EXPECT_EQ(0u, actions.Count());
    EXPECT_EQ(0u, actions.Capacity());
    ActionRecord again = {};
    actions.Append(again);
    EXPECT_EQ(1u, actions.Capacity()) << "exact again after emptying";
}
