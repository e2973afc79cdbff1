#!/usr/bin/env python3
"""Fits the engine's win/draw/loss model to its own games.

Reads PGN games whose moves carry the engine's score in the comment, as tournament managers
write them ("{+0.23/5 0.012s}": the mover's score in pawns, then the depth), replays them to know
each position's material and move number, and fits

    W = 1 / (1 + exp((a - v) / b)),  L = 1 / (1 + exp((a + v) / b)),  D = 1 - W - L

with v the printed score in centipawns from the mover's side and a, b cubic polynomials of one
input x. Two inputs are tried: the material left (pawn 1, knight and bishop 3, rook 5, queen 9,
both sides, clamped to 17..78, over 58) and the move number (clamped to 8..120, over 32). Every
fifth game is held out; the input that predicts the held-out games better (lower log loss) wins.
Prints the constants for src/shell/wdl.cpp, and for the held-out games a calibration table and
Brier scores beside a score-only baseline (a and b constants).

Only the Python standard library: anyone can rerun it.

    python3 tools/wdl_fit.py tools/wdl/selfplay.pgn.xz [--positions positions.csv]
"""

import argparse
import gzip
import lzma
import math
import re
import sys

# --- Replaying the games -------------------------------------------------------------------------

START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
KNIGHT_STEPS = [(1, 2), (2, 1), (2, -1), (1, -2), (-1, -2), (-2, -1), (-2, 1), (-1, 2)]
KING_STEPS = [(1, 0), (1, 1), (0, 1), (-1, 1), (-1, 0), (-1, -1), (0, -1), (1, -1)]
ROOK_DIRS = [(1, 0), (-1, 0), (0, 1), (0, -1)]
BISHOP_DIRS = [(1, 1), (1, -1), (-1, 1), (-1, -1)]
MATERIAL = {"p": 1, "n": 3, "b": 3, "r": 5, "q": 9, "k": 0}


class Board:
    """A mailbox board, square = 8 * rank + file, pieces as FEN letters."""

    def __init__(self, fen):
        fields = fen.split()
        self.sq = [None] * 64
        rank, file = 7, 0
        for c in fields[0]:
            if c == "/":
                rank, file = rank - 1, 0
            elif c.isdigit():
                file += int(c)
            else:
                self.sq[8 * rank + file] = c
                file += 1
        self.white = fields[1] == "w"
        self.ep = None if len(fields) < 4 or fields[3] == "-" else \
            (ord(fields[3][0]) - 97) + 8 * (int(fields[3][1]) - 1)
        self.fullmove = int(fields[5]) if len(fields) > 5 and fields[5].isdigit() else 1

    def own(self, p):
        return p is not None and (p.isupper() == self.white)

    def material(self):
        return sum(MATERIAL[p.lower()] for p in self.sq if p)

    def attacked_by(self, s, white):
        """Whether the side (white or not) attacks square s."""
        f, r = s % 8, s // 8

        def piece(ff, rr):
            return self.sq[8 * rr + ff] if 0 <= ff < 8 and 0 <= rr < 8 else None

        def mine(p, kinds):
            return p is not None and p.isupper() == white and p.lower() in kinds

        d = -1 if white else 1  # a pawn attacking s stands one rank behind it
        if mine(piece(f - 1, r + d), "p") or mine(piece(f + 1, r + d), "p"):
            return True
        for df, dr in KNIGHT_STEPS:
            if mine(piece(f + df, r + dr), "n"):
                return True
        for df, dr in KING_STEPS:
            if mine(piece(f + df, r + dr), "k"):
                return True
        for dirs, kinds in ((ROOK_DIRS, "rq"), (BISHOP_DIRS, "bq")):
            for df, dr in dirs:
                ff, rr = f + df, r + dr
                while 0 <= ff < 8 and 0 <= rr < 8:
                    p = self.sq[8 * rr + ff]
                    if p is not None:
                        if mine(p, kinds):
                            return True
                        break
                    ff, rr = ff + df, rr + dr
        return False

    def reaches(self, kind, frm, to):
        """Whether a piece of the kind on frm attacks to over the current board."""
        df, dr = to % 8 - frm % 8, to // 8 - frm // 8
        if kind == "n":
            return (abs(df), abs(dr)) in ((1, 2), (2, 1))
        if kind == "k":
            return max(abs(df), abs(dr)) == 1
        straight = df == 0 or dr == 0
        diagonal = abs(df) == abs(dr)
        if (kind == "r" and not straight) or (kind == "b" and not diagonal) or \
                (kind == "q" and not (straight or diagonal)) or (df == 0 and dr == 0):
            return False
        sf, sr = (df > 0) - (df < 0), (dr > 0) - (dr < 0)
        s = frm + sf + 8 * sr
        while s != to:
            if self.sq[s] is not None:
                return False
            s += sf + 8 * sr
        return True

    def leaves_king_safe(self, frm, to):
        saved = self.sq[:]
        self.sq[to], self.sq[frm] = self.sq[frm], None
        king = next(s for s in range(64) if self.sq[s] == ("K" if self.white else "k"))
        safe = not self.attacked_by(king, not self.white)
        self.sq = saved
        return safe

    def play_san(self, san):
        san = san.rstrip("+#!?")
        home = 0 if self.white else 56
        if san in ("O-O", "0-0", "O-O-O", "0-0-0"):
            long_side = san.count("-") == 2
            k, r = home + 4, home + (0 if long_side else 7)
            self.sq[k], self.sq[r] = None, None
            self.sq[home + (2 if long_side else 6)] = "K" if self.white else "k"
            self.sq[home + (3 if long_side else 5)] = "R" if self.white else "r"
            self.ep = None
            self.finish()
            return
        promotion = None
        m = re.match(r"^(.*)=?([QRBN])$", san)
        if m and san[0].islower():
            san, promotion = m.group(1).rstrip("="), m.group(2)
        to = (ord(san[-2]) - 97) + 8 * (int(san[-1]) - 1)
        up = 8 if self.white else -8
        if san[0].islower():  # a pawn
            pawn = "P" if self.white else "p"
            if "x" in san:
                frm = (ord(san[0]) - 97) + (to // 8 - (1 if self.white else -1)) * 8
                if self.sq[to] is None and to == self.ep:
                    self.sq[to - up] = None
            else:
                frm = to - up
                if self.sq[frm] != pawn:
                    frm -= up
            self.sq[frm] = None
            self.sq[to] = (promotion if self.white else promotion.lower()) if promotion else pawn
            self.ep = to - up if abs(to - frm) == 16 else None
            self.finish()
            return
        kind = san[0].lower()
        hint = san[1:-2].replace("x", "")
        piece = san[0] if self.white else san[0].lower()
        candidates = [s for s in range(64) if self.sq[s] == piece and self.reaches(kind, s, to)]
        for c in hint:
            if c.isdigit():
                candidates = [s for s in candidates if s // 8 == int(c) - 1]
            else:
                candidates = [s for s in candidates if s % 8 == ord(c) - 97]
        if len(candidates) > 1:
            candidates = [s for s in candidates if self.leaves_king_safe(s, to)]
        if len(candidates) != 1:
            raise ValueError("cannot place " + san)
        frm = candidates[0]
        self.sq[to], self.sq[frm] = self.sq[frm], None
        self.ep = None
        self.finish()

    def finish(self):
        if not self.white:
            self.fullmove += 1
        self.white = not self.white


def opening_moves(fen):
    """An estimate of the moves a side has made to reach an opening without a move number: the
    home squares of its pieces that no longer hold them."""
    start, now = Board(START_FEN), Board(fen)
    return max(sum(1 for s in squares if now.sq[s] != start.sq[s])
               for squares in (range(0, 16), range(48, 64)))


SCORE = re.compile(r"^([+-]?)(M?)(\d+(?:\.\d+)?)/")


def read_games(path):
    opener = lzma.open if path.endswith(".xz") else gzip.open if path.endswith(".gz") else open
    with opener(path, "rt") as f:
        text = f.read()
    for block in re.split(r"\n(?=\[Event )", text):
        headers = dict(re.findall(r'^\[(\w+) "(.*)"\]$', block, re.M))
        result = headers.get("Result")
        if result not in ("1-0", "0-1", "1/2-1/2"):
            continue
        fen = headers.get("FEN", START_FEN)
        body = block[block.rfind("]") + 1:]
        yield fen, result, body


def positions(path):
    """(game, mover's score in cp, material, move number, mover's result 1/0.5/0) per scored
    move; mate scores are left out."""
    for game, (fen, result, body) in enumerate(read_games(path)):
        board = Board(fen)
        if fen != START_FEN and board.fullmove == 1:
            board.fullmove += opening_moves(fen)
        white_points = {"1-0": 1.0, "0-1": 0.0, "1/2-1/2": 0.5}[result]
        tokens = re.findall(r"\{[^}]*\}|[^\s{}]+", body)
        last = None
        for t in tokens:
            if t.startswith("{"):
                m = SCORE.match(t[1:].strip())
                if last is not None and m and not m.group(2):
                    cp = round(float(m.group(3)) * 100) * (-1 if m.group(1) == "-" else 1)
                    mover_points = white_points if last[2] else 1 - white_points
                    yield game, cp, last[0], last[1], mover_points
                last = None
                continue
            if re.match(r"^\d+\.+$", t) or t in ("1-0", "0-1", "1/2-1/2", "*") or t[0] == "$":
                continue
            t = re.sub(r"^\d+\.+", "", t)
            if not t:
                continue
            before = (board.material(), board.fullmove, board.white)
            try:
                board.play_san(t)
            except (ValueError, StopIteration, IndexError):
                break  # a move the replay cannot follow ends the game's data
            last = before


# --- The model -----------------------------------------------------------------------------------

def material_input(material, move):
    return min(max(material, 17), 78) / 58.0


def move_input(material, move):
    return min(max(move, 8), 120) / 32.0


def sigmoid(z):
    if z >= 0:
        return 1.0 / (1.0 + math.exp(-z))
    e = math.exp(z)
    return e / (1.0 + e)


def probabilities(a, b, v):
    w = sigmoid((v - a) / b)
    l = sigmoid((-v - a) / b)
    return w, max(1.0 - w - l, 1e-12), l


def cells(data, feature):
    """Positions grouped by (input, score): counts of wins, draws and losses."""
    grouped = {}
    for _, cp, material, move, points in data:
        key = (feature(material, move), max(-2000, min(2000, cp)))
        cell = grouped.setdefault(key, [0, 0, 0])
        cell[0 if points == 1 else 1 if points == 0.5 else 2] += 1
    return [(x, v, c) for (x, v), c in grouped.items()]


def log_likelihood(params, groups, degree):
    """Log likelihood and its gradient; params are the a and b coefficients, highest power
    first, degree+1 of each."""
    n = degree + 1
    ca, cb = params[:n], params[n:]
    total = 0.0
    grad = [0.0] * (2 * n)
    for x, v, (nw, nd, nl) in groups:
        powers = [x ** (degree - i) for i in range(n)]
        a = sum(c * p for c, p in zip(ca, powers))
        b = sum(c * p for c, p in zip(cb, powers))
        if b <= 1.0:
            return -1e300, grad
        u, t = (v - a) / b, (-v - a) / b
        w, l = sigmoid(u), sigmoid(t)
        d = 1.0 - w - l
        if d <= 1e-12:
            return -1e300, grad
        total += nw * math.log(w) + nd * math.log(d) + nl * math.log(l)
        dw_da, dw_db = -w * (1 - w) / b, -w * (1 - w) * u / b
        dl_da, dl_db = -l * (1 - l) / b, -l * (1 - l) * t / b
        g_a = nw / w * dw_da - nd / d * (dw_da + dl_da) + nl / l * dl_da
        g_b = nw / w * dw_db - nd / d * (dw_db + dl_db) + nl / l * dl_db
        for i in range(n):
            grad[i] += g_a * powers[i]
            grad[n + i] += g_b * powers[i]
    return total, grad


def maximise(f, start, iterations=300):
    """BFGS with a backtracking line search, on -f."""
    x = list(start)
    k = len(x)
    value, grad = f(x)
    h = [[(1.0 if i == j else 0.0) for j in range(k)] for i in range(k)]
    for _ in range(iterations):
        step = [sum(h[i][j] * grad[j] for j in range(k)) for i in range(k)]
        t = 1.0
        while True:
            trial = [x[i] + t * step[i] for i in range(k)]
            tv, tg = f(trial)
            if tv > value + 1e-4 * t * sum(s * g for s, g in zip(step, grad)) or t < 1e-12:
                break
            t *= 0.5
        if t < 1e-12 or tv - value < 1e-9 * abs(value):
            if tv > value:
                x, value, grad = trial, tv, tg
            break
        s = [trial[i] - x[i] for i in range(k)]
        y = [-(tg[i] - grad[i]) for i in range(k)]  # gradient of -f
        sy = sum(a * b for a, b in zip(s, y))
        x, value, grad = trial, tv, tg
        if sy <= 1e-12:
            continue
        hy = [sum(h[i][j] * y[j] for j in range(k)) for i in range(k)]
        yhy = sum(y[i] * hy[i] for i in range(k))
        for i in range(k):
            for j in range(k):
                h[i][j] += (sy + yhy) * s[i] * s[j] / sy ** 2 - (hy[i] * s[j] + s[i] * hy[j]) / sy
    return x, value


def fit(groups, degree):
    """Fits a and b, first as constants, then as polynomials of the given degree, each fit
    starting from the last. The input is scaled near 1, so the coefficients stay comparable."""
    params, _ = maximise(lambda p: log_likelihood(p, groups, 0), [120.0, 120.0])
    for d in range(1, degree + 1):
        n_old = d
        ca, cb = params[:n_old], params[n_old:]
        params = [0.0] + ca + [0.0] + cb
        params, _ = maximise(lambda p: log_likelihood(p, groups, d), params)
    return params


def evaluate(params, degree, data, feature):
    n = degree + 1
    loss, brier, count = 0.0, 0.0, 0
    for _, cp, material, move, points in data:
        x = feature(material, move)
        a, b = poly_any(params[:n], x), poly_any(params[n:], x)
        w, d, l = probabilities(a, b, max(-2000, min(2000, cp)))
        o = (1.0 if points == 1 else 0.0, 1.0 if points == 0.5 else 0.0,
             1.0 if points == 0 else 0.0)
        loss -= math.log((w, d, l)[o.index(1.0)])
        brier += (w - o[0]) ** 2 + (d - o[1]) ** 2 + (l - o[2]) ** 2
        count += 1
    return loss / count, brier / count


def poly_any(c, x):
    r = 0.0
    for coefficient in c:
        r = r * x + coefficient
    return r


def win_brier(params, degree, data, feature):
    """The Brier score of the win probability alone (a position's win counted 1, else 0)."""
    n = degree + 1
    total = 0.0
    for _, cp, material, move, points in data:
        x = feature(material, move)
        w, _, _ = probabilities(poly_any(params[:n], x), poly_any(params[n:], x),
                                max(-2000, min(2000, cp)))
        total += (w - (1.0 if points == 1 else 0.0)) ** 2
    return total / len(data)


def calibration(params, degree, data, feature, base):
    """Held-out positions by score bucket: predicted and observed win and draw rates."""
    n = degree + 1
    edges = [-10000, -400, -250, -150, -100, -60, -30, -10, 11, 31, 61, 101, 151, 251, 401, 10001]
    rows = []
    for lo, hi in zip(edges, edges[1:]):
        sel = [p for p in data if lo <= p[1] < hi]
        if not sel:
            continue
        pw = pd = bw = 0.0
        ow = od = 0
        for _, cp, material, move, points in sel:
            x = feature(material, move)
            w, d, _ = probabilities(poly_any(params[:n], x), poly_any(params[n:], x),
                                    max(-2000, min(2000, cp)))
            pw, pd = pw + w, pd + d
            bw += probabilities(base[0], base[1], max(-2000, min(2000, cp)))[0]
            ow += points == 1
            od += points == 0.5
        k = len(sel)
        label = ("< %d" % hi if lo == -10000 else ">= %d" % lo if hi == 10001
                 else "%d..%d" % (lo, hi - 1))
        rows.append((label, k, pw / k, ow / k, bw / k, pd / k, od / k))
    return rows


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("pgn", nargs="+", help="PGN files (.pgn, .pgn.gz or .pgn.xz)")
    parser.add_argument("--degree", type=int, default=3, help="degree of a and b (3)")
    parser.add_argument("--min-move", type=int, default=0,
                        help="leave out positions before this move number (0)")
    parser.add_argument("--positions", metavar="CSV",
                        help="also write every scored position: game, score (cp, mover's view), "
                             "material, move number, mover's result (1, 0.5, 0)")
    args = parser.parse_args()

    data = []
    games = 0
    for path in args.pgn:
        for g, cp, material, move, points in positions(path):
            if move >= args.min_move:
                data.append((games + g, cp, material, move, points))
        games = (data[-1][0] + 1) if data else games
    if args.positions:
        with open(args.positions, "w") as out:
            out.write("game,score,material,move,result\n")
            for row in data:
                out.write("%d,%d,%d,%d,%g\n" % row)
    train = [p for p in data if p[0] % 5 != 0]
    held = [p for p in data if p[0] % 5 == 0]
    print("games %d, scored positions %d (mate scores left out): %d for the fit, %d held out"
          % (len({p[0] for p in data}), len(data), len(train), len(held)))

    base = fit(cells(train, lambda m, n: 1.0), 0)
    base_loss, base_brier = evaluate(base, 0, held, lambda m, n: 1.0)
    print("\nscore only: a = %.2f, b = %.2f" % (base[0], base[1]))

    results = {}
    for name, feature in (("material", material_input), ("move number", move_input)):
        params = fit(cells(train, feature), args.degree)
        loss, brier = evaluate(params, args.degree, held, feature)
        results[name] = (loss, brier, params, feature)
        n = args.degree + 1
        print("%s: a = %s; b = %s" % (name, ", ".join("%.6f" % c for c in params[:n]),
                                        ", ".join("%.6f" % c for c in params[n:])))

    print("\nheld-out games: log loss and Brier score (win, draw, loss)")
    print("| model | log loss | Brier | Brier of the win rate |")
    print("|---|---|---|---|")
    print("| score only | %.4f | %.4f | %.4f |" % (base_loss, base_brier,
                                                   win_brier(base, 0, held, lambda m, n: 1.0)))
    for name, (loss, brier, params, feature) in results.items():
        print("| score and %s | %.4f | %.4f | %.4f |"
              % (name, loss, brier, win_brier(params, args.degree, held, feature)))

    best = min(results, key=lambda k: results[k][0])
    loss, brier, params, feature = results[best]
    print("\nchosen: score and %s (lower held-out log loss)" % best)
    print("\ncalibration on the held-out games (rates from the mover's side)")
    print("| score (cp) | positions | predicted win | observed win | score-only win |"
          " predicted draw | observed draw |")
    print("|---|---|---|---|---|---|---|")
    for label, k, pw, ow, bw, pd, od in calibration(params, args.degree, held, feature, base):
        print("| %s | %d | %.3f | %.3f | %.3f | %.3f | %.3f |" % (label, k, pw, ow, bw, pd, od))

    n = args.degree + 1
    print("\nconstants (a and b, highest power first):")
    print("constexpr double WDL_A[] = {%s};" % ", ".join("%.6f" % c for c in params[:n]))
    print("constexpr double WDL_B[] = {%s};" % ", ".join("%.6f" % c for c in params[n:]))


if __name__ == "__main__":
    sys.exit(main())
