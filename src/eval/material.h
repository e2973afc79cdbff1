// Everything the evaluation derives from the piece counts alone, cached per thread by material
// key: balance, bishop pair, game phase, drawish scale factors and the flags that steer evaluate.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "eval/score.h"

constexpr uint8_t LAZY_EXIT = 1;
constexpr uint8_t SCALING = 2;
constexpr uint8_t OPPOSITE_BISHOPS = 4;
constexpr uint8_t SINGLE_PAWN_ROOKS = 8;

struct MaterialEntry {
    uint64_t key;
    int16_t mg;
    int16_t eg;
    int16_t phase;  // 0 with all pieces on .. 256 with none
    uint8_t flags;
    uint8_t whiteScale;  // sixteenths, applied when the score favours White
    uint8_t blackScale;  // applied when it favours Black or is 0
};

constexpr int MATERIAL_TABLE_SIZE = 16384;

// Direct-mapped on the low bits of the material key; a value-initialised table is all zeros.
struct MaterialTable {
    MaterialEntry entries[MATERIAL_TABLE_SIZE];
};

void evaluateMaterial(const Position& pos, MaterialEntry& entry);

// One colour's material, bishop pair included, from its own point of view: the entry holds
// White's less Black's.
Score sideMaterial(const ColourBlock& block);

inline const MaterialEntry& probeMaterial(const Position& pos, MaterialTable& table) {
    MaterialEntry& entry = table.entries[pos.materialKey & (MATERIAL_TABLE_SIZE - 1)];
    if (entry.key != pos.materialKey) evaluateMaterial(pos, entry);
    return entry;
}
