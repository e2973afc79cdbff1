// Attack, line, distance, mask and piece-code tables. Built once by buildTables() at start-up and
// read-only afterwards, shared by every thread without locks.
#pragma once

#include "board/types.h"
#include "platform/cpu.h"

#if KESTRUN_PEXT
#include <immintrin.h>
#endif

extern const uint8_t FileOf[64];
extern const uint8_t RankOf[64];
extern uint8_t SquareColour[64];
extern Bitboard FileMask[64];
extern Bitboard RankMask[64];
extern int PromotionSquare[64];
extern int BaseSquare[64];

extern const Bitboard BishopMagic[64];
extern const Bitboard RookMagic[64];
extern const int BishopShift[64];
extern const int RookShift[64];

extern Bitboard SquareBit[64];
extern Bitboard SquareClear[64];
extern uint8_t FileDistance[64][64];
extern uint8_t RankDistance[64][64];
extern uint8_t KingDistance[64][64];
extern int Direction[64][64];
extern Bitboard Between[64][64];

extern Bitboard RayNorth[64], RaySouth[64], RayEast[64], RayWest[64];
extern Bitboard RayNorthEast[64], RayNorthWest[64], RaySouthEast[64], RaySouthWest[64];
extern Bitboard FileForward[64], FileBackward[64];
extern Bitboard Diagonal[64], AntiDiagonal[64];
extern Bitboard BishopEmptyAttacks[64], RookEmptyAttacks[64];
extern Bitboard BishopMask[64], RookMask[64];
extern int BishopOffset[64], RookOffset[64];

constexpr int BISHOP_STORE_SIZE = 5248;
constexpr int ROOK_STORE_SIZE = 102400;
extern Bitboard BishopAttackStore[BISHOP_STORE_SIZE];
extern Bitboard RookAttackStore[ROOK_STORE_SIZE];

extern Bitboard KnightAttacks[64], KingAttacks[64];
extern Bitboard PawnAttacks[2][64];  // [colourIndex][square]
extern Bitboard AdjacentFiles[64];
extern Bitboard PassedMask[2][64];  // [colourIndex][square]
extern Bitboard SupportMask[64];
extern Bitboard AdvanceSupportMask[64];

extern int PieceValue[32];
extern int PieceTypeIndex[32];
extern int PieceIndex12[32];

void buildTables();

// A square's block in a store has one entry per subset of its mask. Where the build uses pext the
// subset is numbered by gathering the masked occupancy bits (one instruction); elsewhere by the
// magic multiply. buildTables() fills the blocks in the order the build reads them.
#if KESTRUN_PEXT
struct SliderLookup {
    Bitboard mask;
    const Bitboard* block;
};
extern SliderLookup BishopLookup[64], RookLookup[64];

inline Bitboard BishopAttacks(int s, Bitboard occ) {
    const SliderLookup& l = BishopLookup[s];
    return l.block[_pext_u64(occ, l.mask)];
}
inline Bitboard RookAttacks(int s, Bitboard occ) {
    const SliderLookup& l = RookLookup[s];
    return l.block[_pext_u64(occ, l.mask)];
}
#else
inline Bitboard BishopAttacks(int s, Bitboard occ) {
    return BishopAttackStore[BishopOffset[s] +
                             (((occ & BishopMask[s]) * BishopMagic[s]) >> BishopShift[s])];
}
inline Bitboard RookAttacks(int s, Bitboard occ) {
    return RookAttackStore[RookOffset[s] + (((occ & RookMask[s]) * RookMagic[s]) >> RookShift[s])];
}
#endif
inline Bitboard QueenAttacks(int s, Bitboard occ) {
    return BishopAttacks(s, occ) | RookAttacks(s, occ);
}

// Plain ray walk, the reference the magic stores are filled from.
Bitboard slowSliderAttacks(int s, Bitboard occ, bool rook);
