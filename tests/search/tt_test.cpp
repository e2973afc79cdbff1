// The shared table: sizes, the two-bound merge, the victim choice, the age wrap and mate scores.
#include <gtest/gtest.h>

#include "search/tt.h"

namespace {

// Keys that share one window: equal low 32 bits, different high bits.
constexpr uint64_t keyAt(uint64_t index, uint64_t tag) { return (tag << 32) | index; }

TtRecord find(uint64_t key) {
    for (int i = 0; i < TT_WINDOW; i++) {
        const TtRecord r = ttRead((uint32_t(key) & tt.mask) + i);
        if (r.key == key) return r;
    }
    return TtRecord{};
}

class TranspositionTableTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ttResize(16)); }
    void TearDown() override { ASSERT_TRUE(ttResize(16)); }
};

}  // namespace

TEST_F(TranspositionTableTest, SizesArePowersOfTwoMegabytesPlusAWindow) {
    for (auto [asked, megabytes] :
         {std::pair{100, 64}, {5, 4}, {2000, 1024}, {16, 16}, {511, 256}, {0, 1}, {1, 1}}) {
        ASSERT_TRUE(ttResize(asked));
        EXPECT_EQ(tt.count, uint64_t(megabytes) * 65536 + 4) << asked;
        EXPECT_EQ(tt.mask, uint64_t(megabytes) * 65536 - 1) << asked;
        EXPECT_EQ(ttAge(), 0);
    }
    // A new table is empty even at the same size.
    ttStore(keyAt(7, 1), 123, 8, 10, 10);
    ASSERT_TRUE(ttResize(512));
    TtRecord r;
    EXPECT_FALSE(ttProbe(keyAt(7, 1), r));
    // A size the system cannot give leaves the old table, contents and all.
    ttStore(keyAt(9, 2), 321, 8, 10, 10);
    EXPECT_FALSE(ttResize(TT_MAX_MB));
    EXPECT_EQ(tt.mask, uint64_t(512) * 65536 - 1);
    EXPECT_TRUE(ttProbe(keyAt(9, 2), r));
}

TEST_F(TranspositionTableTest, ClearingInSlicesEmptiesEveryEntryAndSkipsAFreshTable) {
    EXPECT_FALSE(ttNeedsClear());
    for (uint64_t i = 0; i < tt.mask; i += 4093) ttStore(keyAt(i, 3), 55, 8, 10, 10);
    ttStore(keyAt(tt.mask, 3), 55, 8, 10, 10);
    EXPECT_TRUE(ttNeedsClear());
    // Uneven parts: every byte of the table, the window past the end included, is cleared once.
    for (int part = 0; part < 7; part++) ttClearSlice(part, 7);
    ttClearDone();
    EXPECT_FALSE(ttNeedsClear());
    for (uint64_t i = 0; i < tt.count; i++) ASSERT_EQ(ttRead(i).key, 0u) << i;
}

TEST_F(TranspositionTableTest, BoundsMergeByDepthAndKind) {
    const uint64_t key = keyAt(100, 5);
    ttStore(key, 0, 16, 50, MATE);
    ttStore(key, 0, 12, 80, MATE);  // shallower lower bound: kept out
    TtRecord r = find(key);
    EXPECT_EQ(r.lower, 50);
    EXPECT_EQ(r.lowerDepth, 16);
    EXPECT_EQ(r.maxDepth, 16);
    EXPECT_EQ(r.upper, MATE);
    EXPECT_EQ(r.upperDepth, 0);

    setTtAge(9);
    ttStore(key, 777, 12, -MATE, 40);  // an upper bound and a move fill their empty kinds
    r = find(key);
    EXPECT_EQ(r.age, 9);
    EXPECT_EQ(r.lower, 50);
    EXPECT_EQ(r.upper, 40);
    EXPECT_EQ(r.upperDepth, 12);
    EXPECT_EQ(r.move, 777u);
    EXPECT_EQ(r.moveDepth, 12);

    ttStore(key, 0, 16, 60, MATE);      // an equally deep lower bound replaces; no move keeps it
    ttStore(key, 999, 8, -MATE, MATE);  // a shallower move does not replace
    r = find(key);
    EXPECT_EQ(r.lower, 60);
    EXPECT_EQ(r.move, 777u);
    EXPECT_EQ(r.maxDepth, 16);

    // A probe hit refreshes the age and hands out the fields.
    setTtAge(10);
    TtRecord probed;
    ASSERT_TRUE(ttProbe(key, probed));
    EXPECT_EQ(probed.move, 777u);
    EXPECT_EQ(find(key).age, 10);
}

TEST_F(TranspositionTableTest, VictimIsTheOldestThenTheShallowestEarliestOnTies) {
    const uint64_t index = 4096;
    for (int i = 0; i < 4; i++) ttStore(keyAt(index, 10 + i), 0, 20 - i % 2 * 4, 1, MATE);
    // Depths 20, 16, 20, 16 of the current search: the first 16 goes.
    ttStore(keyAt(index, 99), 0, 24, 1, MATE);
    EXPECT_EQ(ttRead(index + 1).key, keyAt(index, 99));

    // An entry two searches old goes first, however deep.
    ASSERT_TRUE(ttResize(16));
    const int depths[4] = {4, 4, 200, 4};
    for (int i = 0; i < 4; i++) ttStore(keyAt(index, 10 + i), 0, depths[i], 1, MATE);
    setTtAge(2);
    for (int i : {0, 1, 3}) ttStore(keyAt(index, 10 + i), 0, 4, 1, MATE);  // touched again
    ttStore(keyAt(index, 50), 0, 4, 1, MATE);
    EXPECT_EQ(ttRead(index + 2).key, keyAt(index, 50));
}

TEST_F(TranspositionTableTest, AgeDistanceWrapsAt256) {
    const uint64_t index = 8192;
    // Slots 0-2 written 256 searches ago (the same age as now), slot 3 written 255 searches ago.
    for (int i = 0; i < 3; i++) ttStore(keyAt(index, i), 0, 4, 1, MATE);
    setTtAge(1);
    ttStore(keyAt(index, 3), 0, 4, 1, MATE);
    for (int searches = 0; searches < 255; searches++) setTtAge((ttAge() + 1) & 255);
    EXPECT_EQ(ttAge(), 0);
    ttStore(keyAt(index, 9), 0, 4, 1, MATE);
    EXPECT_EQ(ttRead(index + 3).key, keyAt(index, 9));
}

TEST_F(TranspositionTableTest, MateScoresAreStoredRelativeToTheNode) {
    EXPECT_EQ(scoreToTt(29987, 10), 29997);
    EXPECT_EQ(scoreFromTt(29997, 4), 29993);
    EXPECT_EQ(scoreToTt(-29987, 10), -29997);
    EXPECT_EQ(scoreFromTt(-29997, 4), -29993);
    EXPECT_EQ(scoreToTt(MATE_BOUND, 10), MATE_BOUND);
    const uint64_t key = keyAt(33, 3);
    ttStore(key, 0, 8, scoreToTt(-29990, 7), scoreToTt(-29990, 7));
    const TtRecord r = find(key);
    EXPECT_EQ(scoreFromTt(r.lower, 7), -29990);
    EXPECT_EQ(scoreFromTt(r.upper, 3), -29994);
}
