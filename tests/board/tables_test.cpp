#include <gtest/gtest.h>
#include "board/tables.h"
TEST(Tables, StoreSizes) { EXPECT_EQ(RookOffset[63] + (1 << (64 - RookShift[63])), ROOK_STORE_SIZE); }
