#include "vstack.h"

#include <gtest/gtest.h>

TEST(VStack, HandsOutItemsFirstInFirstOut) {
    int a = 1, b = 2, c = 3, d = 4;
    TVStack<int> queue;
    EXPECT_TRUE(queue.Empty());
    EXPECT_EQ(queue.Pop(), nullptr);

    queue.Add(&a);
    queue.Add(&b);
    queue.Add(&c);
    EXPECT_EQ(queue.Count(), 3);
    EXPECT_EQ(queue.Pop(), &a);
    queue.Add(&d);
    EXPECT_EQ(queue.Pop(), &b);
    EXPECT_EQ(queue.Pop(), &c);
    EXPECT_EQ(queue.Pop(), &d);
    EXPECT_EQ(queue.Pop(), nullptr);
    EXPECT_TRUE(queue.Empty());
}
