#include <gtest/gtest.h>

#include "board/position.h"
#include "board/tables.h"
#include "eval/evaluate.h"
#include "shell/options.h"

int main(int argc, char** argv) {
    buildTables();
    buildKeys();
    buildEvalTables();
    // As start-up does: a table of 16 MB (the table tests replace it and leave one of this size).
    applyDefaultOptions();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
