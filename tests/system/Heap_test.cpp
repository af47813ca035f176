#include "toolkit/system/Heap.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(PrivateHeap, ResizeZeroFillsWhatItAdds) {
    ASSERT_TRUE(PrivateHeapCreate());
    auto* block = static_cast<unsigned char*>(PrivateAllocRaw(8));
    ASSERT_NE(block, nullptr);
    std::memset(block, 0xAB, 8);
    block = static_cast<unsigned char*>(PrivateReAlloc(block, 64));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block[7], 0xAB);
    for (int i = 8; i < 64; ++i)
        ASSERT_EQ(block[i], 0) << "byte " << i;
    PrivateFree(block);
    PrivateFree(nullptr);
}
