#include <gtest/gtest.h>

#include "board/position.h"
#include "board/tables.h"
#include "eval/evaluate.h"
#include "search/tt.h"

int main(int argc, char** argv) {
    buildTables();
    buildKeys();
    buildEvalTables();
    ttResize(16);  // as start-up does; the table tests replace it and leave one of this size
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
