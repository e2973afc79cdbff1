#include <gtest/gtest.h>

#include "board/position.h"
#include "board/tables.h"

int main(int argc, char** argv) {
    buildTables();
    buildKeys();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
