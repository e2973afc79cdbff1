#include <gtest/gtest.h>

#include "board/position.h"
#include "board/tables.h"
#include "eval/evaluate.h"

int main(int argc, char** argv) {
    buildTables();
    buildKeys();
    buildEvalTables();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
