#include "board/tables.h"

#include <cstdlib>

#define SQ_ROW(v) v, v, v, v, v, v, v, v
const uint8_t FileOf[64] = {0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5,
                            6, 7, 0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3,
                            4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7};
const uint8_t RankOf[64] = {SQ_ROW(0), SQ_ROW(1), SQ_ROW(2), SQ_ROW(3),
                            SQ_ROW(4), SQ_ROW(5), SQ_ROW(6), SQ_ROW(7)};
#undef SQ_ROW

uint8_t SquareColour[64];
Bitboard FileMask[64];
Bitboard RankMask[64];
int PromotionSquare[64];
int BaseSquare[64];

// clang-format off
const int BishopShift[64] = {
    58, 59, 59, 59, 59, 59, 59, 58,
    59, 59, 59, 59, 59, 59, 59, 59,
    59, 59, 57, 57, 57, 57, 59, 59,
    59, 59, 57, 55, 55, 57, 59, 59,
    59, 59, 57, 55, 55, 57, 59, 59,
    59, 59, 57, 57, 57, 57, 59, 59,
    59, 59, 59, 59, 59, 59, 59, 59,
    58, 59, 59, 59, 59, 59, 59, 58,
};
const int RookShift[64] = {
    52, 53, 53, 53, 53, 53, 53, 52,
    53, 54, 54, 54, 54, 54, 54, 53,
    53, 54, 54, 54, 54, 54, 54, 53,
    53, 54, 54, 54, 54, 54, 54, 53,
    53, 54, 54, 54, 54, 54, 54, 53,
    53, 54, 54, 54, 54, 54, 54, 53,
    53, 54, 54, 54, 54, 54, 54, 53,
    52, 53, 53, 53, 53, 53, 53, 52,
};
const Bitboard BishopMagic[64] = {
    0x0440049104032280, 0x1021023c82008040, 0x0404040082000048, 0x48c4440084048090,
    0x2801104026490000, 0x4100880442040800, 0x0181011002e06040, 0x9101004104200e00,
    0x1240848848310401, 0x2000142828050024, 0x00001004024d5000, 0x0102044400800200,
    0x8108108820112000, 0xa880818210c00046, 0x4008008801082000, 0x0060882404049400,
    0x0104402004240810, 0x000a002084250200, 0x00100b0880801100, 0x0004080201220101,
    0x0044008080a00000, 0x0000202200842000, 0x5006004882d00808, 0x0000200045080802,
    0x0086100020200601, 0xa802080a20112c02, 0x0080411218080900, 0x000200a0880080a0,
    0x9a01010000104000, 0x0028008003100080, 0x0211021004480417, 0x0401004188220806,
    0x00825051400c2006, 0x00140c0210943000, 0x0000242800300080, 0x00c2208120080200,
    0x2430008200002200, 0x1010100112008040, 0x8141050100020842, 0x0000822081014405,
    0x800c049e40400804, 0x4a0404028a000820, 0x0022060201041200, 0x0360904200840801,
    0x0881a08208800400, 0x0060202c00400420, 0x1204440086061400, 0x0008184042804040,
    0x0064040315300400, 0x0c01008801090a00, 0x0808010401140c00, 0x04004830c2020040,
    0x0080005002020054, 0x40000c14481a0490, 0x0010500101042048, 0x1010100200424000,
    0x0000640901901040, 0x00000a0201014840, 0x00840082aa011002, 0x010010840084240a,
    0x0420400810420608, 0x8d40230408102100, 0x4a00200612222409, 0x0a08520292120600,
};
const Bitboard RookMagic[64] = {
    0x0a8002c000108020, 0x4440200140003000, 0x8080200010011880, 0x0380180080141000,
    0x1a00060008211044, 0x410001000a0c0008, 0x9500060004008100, 0x0100024284a20700,
    0x0000802140008000, 0x0080c01002a00840, 0x0402004282011020, 0x9862000820420050,
    0x0001001448011100, 0x6432800200800400, 0x040100010002000c, 0x0002800d0010c080,
    0x90c0008000803042, 0x4010004000200041, 0x0003010010200040, 0x0a40828028001000,
    0x0123010008000430, 0x0024008004020080, 0x0060040001104802, 0x00582200028400d1,
    0x4000802080044000, 0x0408208200420308, 0x0610038080102000, 0x3601000900100020,
    0x0000080080040180, 0x00c2020080040080, 0x0080084400100102, 0x4022408200014401,
    0x0040052040800082, 0x0b08200280804000, 0x008a80a008801000, 0x4000480080801000,
    0x0911808800801401, 0x822a003002001894, 0x401068091400108a, 0x000004a10a00004c,
    0x2000800640008024, 0x1486408102020020, 0x000100a000d50041, 0x00810050020b0020,
    0x0204000800808004, 0x00020048100a000c, 0x0112000831020004, 0x0009000040810002,
    0x0440490200208200, 0x8910401000200040, 0x6404200050008480, 0x4b824a2010010100,
    0x04080801810c0080, 0x00000400802a0080, 0x8224080110026400, 0x40002c4104088200,
    0x01002100104a0282, 0x1208400811048021, 0x3201014a40d02001, 0x0005100019200501,
    0x0101000208001005, 0x0002008450080702, 0x001002080301d00c, 0x410201ce5c030092,
};
// clang-format on

Bitboard SquareBit[64];
Bitboard SquareClear[64];
uint8_t FileDistance[64][64];
uint8_t RankDistance[64][64];
uint8_t KingDistance[64][64];
int Direction[64][64];
Bitboard Between[64][64];
Bitboard RayNorth[64], RaySouth[64], RayEast[64], RayWest[64];
Bitboard RayNorthEast[64], RayNorthWest[64], RaySouthEast[64], RaySouthWest[64];
Bitboard FileForward[64], FileBackward[64];
Bitboard Diagonal[64], AntiDiagonal[64];
Bitboard BishopEmptyAttacks[64], RookEmptyAttacks[64];
Bitboard BishopMask[64], RookMask[64];
int BishopOffset[64], RookOffset[64];
#if KESTRUN_PEXT
SliderLookup BishopLookup[64], RookLookup[64];
#endif
Bitboard BishopAttackStore[BISHOP_STORE_SIZE];
Bitboard RookAttackStore[ROOK_STORE_SIZE];
Bitboard KnightAttacks[64], KingAttacks[64];
Bitboard PawnAttacks[2][64];
Bitboard AdjacentFiles[64];
Bitboard PassedMask[2][64];
Bitboard SupportMask[64];
Bitboard AdvanceSupportMask[64];
int PieceValue[32];
int PieceTypeIndex[32];
int PieceIndex12[32];

namespace {

constexpr int RookSteps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
constexpr int BishopSteps[4][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}};

// Squares from s stepping (df, dr) to the edge, s excluded; stops after an occupied square.
Bitboard walk(int s, int df, int dr, Bitboard occ) {
    Bitboard result = 0;
    int f = fileOf(s) + df, r = rankOf(s) + dr;
    while (f >= 0 && f < 8 && r >= 0 && r < 8) {
        int t = r * 8 + f;
        result |= bit(t);
        if (occ & bit(t)) break;
        f += df;
        r += dr;
    }
    return result;
}

void buildPieceCodeTables() {
    const int values[7] = {0, 100, 325, 325, 500, 1000, 10000};
    for (int code = 0; code < 32; code++) {
        PieceValue[code] = 0;
        PieceTypeIndex[code] = -1;
        PieceIndex12[code] = 0;
    }
    for (int prefix : {0, 8, 16})
        for (int type = 1; type <= 6; type++) {
            PieceValue[prefix + type] = values[type];
            PieceTypeIndex[prefix + type] = type - 1;
        }
    for (int type = 1; type <= 6; type++) {
        PieceIndex12[White + type] = type - 1;
        PieceIndex12[Black + type] = type + 5;
    }
}

void buildDistanceTables() {
    for (int a = 0; a < 64; a++)
        for (int b = 0; b < 64; b++) {
            int fd = std::abs(fileOf(a) - fileOf(b)), rd = std::abs(rankOf(a) - rankOf(b));
            FileDistance[a][b] = uint8_t(fd);
            RankDistance[a][b] = uint8_t(rd);
            KingDistance[a][b] = uint8_t(fd > rd ? fd : rd);
            Direction[a][b] = 0;
        }
    for (int a = 0; a < 64; a++)
        for (int b = 0; b < 64; b++) {
            if (a == b || FileDistance[a][b] != RankDistance[a][b]) continue;
            bool north = b > a, east = fileOf(b) > fileOf(a);
            Direction[a][b] = north ? (east ? 9 : 7) : (east ? -7 : -9);
        }
    for (int a = 0; a < 64; a++)
        for (int b = 0; b < 64; b++) {
            if (a == b) continue;
            if (fileOf(a) == fileOf(b)) Direction[a][b] = b < a ? -8 : 8;
            if (rankOf(a) == rankOf(b)) Direction[a][b] = b < a ? -1 : 1;
        }
}

void buildStore(Bitboard* store, int* offset, const Bitboard* mask, const Bitboard* magic,
                const int* shift, bool rook) {
    int running = 0;
    for (int s = 0; s < 64; s++) {
        offset[s] = running;
        int size = 1 << (64 - shift[s]);
        int maskSquares[16], n = 0;
        for (Bitboard m = mask[s]; m;) maskSquares[n++] = popLsb(m);
        for (int i = 0; i < size; i++) {
            Bitboard subset = 0;
            for (int j = 0; j < n; j++)
                if (i & (1 << j)) subset |= bit(maskSquares[j]);
#if KESTRUN_PEXT
            // Gathering the subset's bits under the mask gives back i.
            (void)magic;
            store[running + i] = slowSliderAttacks(s, subset, rook);
#else
            store[running + ((subset * magic[s]) >> shift[s])] = slowSliderAttacks(s, subset, rook);
#endif
        }
        running += size;
    }
}

void buildAttackTables() {
    for (int s = 0; s < 64; s++) {
        SquareBit[s] = bit(s);
        SquareClear[s] = ~bit(s);
        FileMask[s] = FILE_A << fileOf(s);
        RankMask[s] = RANK_1 << (8 * rankOf(s));
        SquareColour[s] = (fileOf(s) + rankOf(s)) % 2 == 0;
        PromotionSquare[s] = 56 + fileOf(s);
        BaseSquare[s] = fileOf(s);
    }
    for (int s = 0; s < 64; s++) {
        BishopEmptyAttacks[s] = slowSliderAttacks(s, 0, false);
        RookEmptyAttacks[s] = slowSliderAttacks(s, 0, true);
    }
    const Bitboard inner = ~(FILE_A | FILE_H | RANK_1 | RANK_8);
    for (int s = 0; s < 64; s++) BishopMask[s] = BishopEmptyAttacks[s] & inner;
    for (int s = 0; s < 64; s++) {
        Bitboard m = 0;
        m |= walk(s, 1, 0, 0) & ~FILE_H;
        m |= walk(s, -1, 0, 0) & ~FILE_A;
        m |= walk(s, 0, 1, 0) & ~RANK_8;
        m |= walk(s, 0, -1, 0) & ~RANK_1;
        RookMask[s] = m;
    }
    buildStore(BishopAttackStore, BishopOffset, BishopMask, BishopMagic, BishopShift, false);
    buildStore(RookAttackStore, RookOffset, RookMask, RookMagic, RookShift, true);
#if KESTRUN_PEXT
    for (int s = 0; s < 64; s++) {
        BishopLookup[s] = {BishopMask[s], BishopAttackStore + BishopOffset[s]};
        RookLookup[s] = {RookMask[s], RookAttackStore + RookOffset[s]};
    }
#endif

    auto leaper = [](int s, const int* offsets, int n, int reach) {
        Bitboard b = 0;
        for (int i = 0; i < n; i++) {
            int t = s + offsets[i];
            if (t >= 0 && t <= 63 && FileDistance[s][t] <= reach && RankDistance[s][t] <= reach)
                b |= bit(t);
        }
        return b;
    };
    const int whitePawn[2] = {7, 9}, blackPawn[2] = {-7, -9};
    const int knight[8] = {-17, -15, -10, -6, 6, 10, 15, 17};
    const int king[8] = {-9, -8, -7, -1, 1, 7, 8, 9};
    for (int s = 0; s < 64; s++) {
        PawnAttacks[0][s] = leaper(s, whitePawn, 2, 1);
        PawnAttacks[1][s] = leaper(s, blackPawn, 2, 1);
        KnightAttacks[s] = leaper(s, knight, 8, 2);
        KingAttacks[s] = leaper(s, king, 8, 1);
    }
    for (int s = 0; s < 64; s++) {
        RayNorth[s] = walk(s, 0, 1, 0);
        RaySouth[s] = walk(s, 0, -1, 0);
        RayEast[s] = walk(s, 1, 0, 0);
        RayWest[s] = walk(s, -1, 0, 0);
        RayNorthEast[s] = walk(s, 1, 1, 0);
        RayNorthWest[s] = walk(s, -1, 1, 0);
        RaySouthEast[s] = walk(s, 1, -1, 0);
        RaySouthWest[s] = walk(s, -1, -1, 0);
        FileForward[s] = RayNorth[s] | bit(s);
        FileBackward[s] = RaySouth[s] | bit(s);
        Diagonal[s] = RayNorthEast[s] | RaySouthWest[s] | bit(s);
        AntiDiagonal[s] = RayNorthWest[s] | RaySouthEast[s] | bit(s);
    }
    for (int a = 0; a < 64; a++)
        for (int b = 0; b < 64; b++) {
            Between[a][b] = 0;
            int d = Direction[a][b];
            if (d == 0) continue;
            for (int t = a + d; t != b; t += d) Between[a][b] |= bit(t);
        }
    for (int s = 0; s < 64; s++) {
        int f = fileOf(s);
        Bitboard adjacent = 0, passedW = RayNorth[s], passedB = RaySouth[s], support = 0,
                 advance = 0;
        for (int side : {-1, 1}) {
            if (f + side < 0 || f + side > 7) continue;
            int n = s + side;
            adjacent |= FileMask[n];
            passedW |= RayNorth[n];
            passedB |= RaySouth[n];
            support |= bit(n) | RaySouth[n];
            advance |= bit(n) | RayNorth[n];
        }
        AdjacentFiles[s] = adjacent;
        PassedMask[0][s] = passedW;
        PassedMask[1][s] = passedB;
        SupportMask[s] = support;
        AdvanceSupportMask[s] = advance;
    }
}

}  // namespace

Bitboard slowSliderAttacks(int s, Bitboard occ, bool rook) {
    const int(*steps)[2] = rook ? RookSteps : BishopSteps;
    Bitboard result = 0;
    for (int i = 0; i < 4; i++) result |= walk(s, steps[i][0], steps[i][1], occ);
    return result;
}

void buildTables() {
    buildPieceCodeTables();
    buildDistanceTables();
    buildAttackTables();
}
