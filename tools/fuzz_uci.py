#!/usr/bin/env python3
"""Drives the engine over a pipe with random commands in hostile shapes and checks every answer.

    tools/fuzz_uci.py <engine> [--seconds N] [--seed S] [--tables DIR] [--referee stockfish]

Every option is set in shapes a GUI or a user may send (huge, negative, empty, text, the Syzygy
path as ':', '::', blanks, a file, missing folders, folders of cut or corrupt tables), threads
change between searches, UCI_Chess960 is toggled between `position` and `go`, and searches of
every kind run: depth, nodes, movetime, clocks, mate, searchmoves, infinite and ponder ended by
stop or ponderhit, a bare `go`. Checked on every answer: each `isready` gets `readyok`, each
search exactly one `bestmove`, whose move is legal (the referee engine's `go perft 1` lists the
legal moves of the positions this script knows to be valid) and is not the ponder move; info
lines are well formed (depth, nodes, a score in range, multipv within the option); nothing is
written to standard error (a sanitizer build reports there); the engine never dies or stalls.
Run it on the address sanitizer build to catch bad reads. Exits 1 on the first broken
invariant, printing the commands that led to it."""
import argparse
import os
import random
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time

VALID_FENS = [
    "startpos",
    "fen r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3",
    "fen 8/8/8/8/8/3k4/8/3KR3 w - - 0 1",
    "fen 8/8/4k3/8/8/8/3Q4/3K1r2 w - - 0 1",
    "fen 8/8/8/8/8/2k5/1p6/4K2R w K - 0 1",
    "fen 5k2/8/8/8/2P5/4K3/8/8 w - - 99 80",
    "fen rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",
    "fen 4k3/8/8/8/8/8/8/4K2R w K - 0 1",
    "fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",
    "fen 1r2k1r1/pppppppp/8/8/8/8/PPPPPPPP/RR2K1R1 w BAgb - 0 1",
]
CHESS960_FENS = [
    "fen bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf - 2 9",
    "fen 1r2k1r1/pppppppp/8/8/8/8/PPPPPPPP/RR2K1R1 w BAgb - 0 1",
    "startpos",
]
BROKEN_POSITIONS = [
    "fen", "fen 8/8/8/8/8/8/8/8 w - - 0 1", "fen rnbqkbnr/pppppppp w KQkq -",
    "fen 4k3/8/8/8/8/8/8/4K2P w - - 0 1", "fen 4k3/8/8/8/8/8/8/4KK2 w - -",
    "fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkqKQ z9 -5 abc",
    "startpos moves e2e4x e7e5 g1f3q zzzz e1e8", "fen " + "1" * 5000,
    "startpos moves " + "e2e4 " * 300, "fen 4k3/8/8/3pP3/8/8/8/4K3 w - d6 -99999999999999 0",
]
MOVE = re.compile(r"^[a-h][1-8][a-h][1-8][qrbn]?$")


class Fault(Exception):
    pass


class Engine:
    def __init__(self, command, stderr_path):
        self.err = open(stderr_path, "w+b")
        self.p = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  stderr=self.err, bufsize=0)
        self.buffer = b""
        self.log = []

    def send(self, text):
        self.log.append(text)
        self.p.stdin.write((text + "\n").encode())

    def lines_until(self, predicate, timeout):
        """Reads lines until one satisfies predicate; returns all lines read."""
        deadline = time.time() + timeout
        lines = []
        while True:
            while b"\n" in self.buffer:
                line, self.buffer = self.buffer.split(b"\n", 1)
                text = line.decode(errors="replace")
                lines.append(text)
                if predicate(text):
                    return lines
            left = deadline - time.time()
            if left <= 0:
                raise Fault(f"no answer within {timeout} s; last lines: {lines[-3:]}")
            ready, _, _ = select.select([self.p.stdout], [], [], left)
            if ready:
                chunk = os.read(self.p.stdout.fileno(), 65536)
                if not chunk:
                    raise Fault(f"engine ended (code {self.p.wait()}); last lines: {lines[-3:]}")
                self.buffer += chunk

    def stderr_text(self):
        self.err.flush()
        self.err.seek(0)
        return self.err.read().decode(errors="replace")


def referee_moves(referee, position, chess960):
    """The legal moves of a position the referee engine accepts, as a set."""
    text = f"setoption name UCI_Chess960 value {'true' if chess960 else 'false'}\n" \
           f"position {position}\ngo perft 1\nquit\n"
    out = subprocess.run([referee], input=text, capture_output=True, text=True, timeout=60).stdout
    return {line.split(":")[0] for line in out.splitlines() if re.match(r"^[a-h][1-8]\S*: 1$", line)}


def check_info(line, multipv):
    words = line.split()
    if words[:2] != ["info", "depth"] and words[:2] != ["info", "string"]:
        if words[:2] in (["info", "currmove"], ["info", "nodes"]):
            return
        if words[0] == "info" and "depth" not in words:
            raise Fault(f"info line without depth: {line}")
    if words[:2] == ["info", "string"]:
        return
    if "depth" in words and int(words[words.index("depth") + 1]) < 0:
        raise Fault(f"negative depth: {line}")
    if "nodes" in words and int(words[words.index("nodes") + 1]) < 0:
        raise Fault(f"negative nodes: {line}")
    if "multipv" in words and not 1 <= int(words[words.index("multipv") + 1]) <= multipv:
        raise Fault(f"multipv beyond the option's {multipv}: {line}")
    if "score" in words:
        kind, value = words[words.index("score") + 1], int(words[words.index("score") + 2])
        if kind not in ("cp", "mate") or (kind == "cp" and abs(value) > 40000):
            raise Fault(f"score out of range: {line}")
    if "pv" in words:
        for m in words[words.index("pv") + 1:]:
            if not MOVE.match(m):
                raise Fault(f"malformed pv move {m}: {line}")


def hostile_paths(tables, scratch):
    shapes = [":", "::", " : ", ":::::", "<empty>", "", "   ", "/no/such/folder", "/etc/passwd",
              "/", "/proc/self", "x" * 5000, ":" * 3000, "/" * 4000 + ":" + tables]
    if tables:
        shapes += [tables, tables + ":", ":" + tables, tables + "::" + tables,
                   f"  {tables}  :\t{tables} ", tables + "/KRvK.rtbw",
                   "/no/such:" + tables, f"{scratch}/cut", f"{scratch}/noise",
                   f"{scratch}/bad", f"{scratch}/bad:{tables}", f"{tables}:{scratch}/noise"]
    return shapes


def make_broken_tables(tables, scratch, rng):
    for kind in ("cut", "noise", "bad"):
        os.makedirs(os.path.join(scratch, kind), exist_ok=True)
    for name in os.listdir(tables):
        data = open(os.path.join(tables, name), "rb").read()
        open(os.path.join(scratch, "cut", name), "wb").write(data[:len(data) * rng.randint(1, 9) // 10])
        open(os.path.join(scratch, "noise", name), "wb").write(os.urandom(len(data)))
        broken = bytearray(data)
        for _ in range(rng.randint(1, 40)):  # flipped bytes behind a sound magic number
            broken[rng.randrange(4, len(broken))] = rng.randrange(256)
        open(os.path.join(scratch, "bad", name), "wb").write(bytes(broken))


def hostile_option(rng, paths):
    big = ["0", "-1", "-99999999999999999999", "99999999999999999999", "2147483648", "abc", "",
           "1e9", "0x10", "  7  ", "4294967297"]
    name, values = rng.choice([
        ("Hash", ["1", "16", "64", "33554432", "512"] + big),
        ("Threads", ["1", "2", "3", "4", "1024"] + big),
        ("MultiPV", ["1", "2", "3", "500"] + big),
        ("Move Overhead", ["0", "10", "5000"] + big),
        ("UCI_Chess960", ["true", "false", "TRUE", "yes", ""]),
        ("UCI_LimitStrength", ["true", "false", "1"]),
        ("UCI_Elo", ["1350", "2100", "3000", "0"] + big),
        ("SyzygyPath", paths),
        ("SyzygyProbeDepth", ["1", "100", "5"] + big),
        ("Syzygy50MoveRule", ["true", "false", "maybe"]),
        ("SyzygyProbeLimit", ["0", "3", "7"] + big),
        ("Clear Hash", [None]),
        ("No Such Option", ["1"]),
    ])
    value = rng.choice(values)
    spelled = rng.choice([name, name.lower(), name.upper()])
    if value is None:
        return f"setoption name {spelled}"
    return f"setoption name {spelled} value {value}" if rng.random() < 0.95 else f"setoption name {spelled}"


def go_line(rng):
    kind = rng.choice(["depth", "nodes", "movetime", "clock", "mate", "searchmoves", "infinite",
                       "ponder", "bare", "junk"])
    if kind == "depth":
        # A value the engine ignores leaves the search unbounded: a move time caps it.
        return f"go depth {rng.choice([1, 2, 5, 8, -3, 0, 'x'])} movetime 3000", "bounded"
    if kind == "nodes":
        return f"go nodes {rng.choice([1, 100, 5000, 30000, -5, 0, 'x'])} movetime 3000", "bounded"
    if kind == "movetime":
        return f"go movetime {rng.choice([1, 20, 100, 0, -50])}", "bounded"
    if kind == "clock":
        t = rng.choice([0, 50, 1000, 30000, -100])
        return f"go wtime {t} btime {t} winc {rng.choice([0, 10, -5])} binc 10 movestogo " \
               f"{rng.choice([1, 5, 0, -1, 100])}", "bounded"
    if kind == "mate":
        return f"go mate {rng.choice([1, 2, 3])} depth 6", "bounded"
    if kind == "searchmoves":
        return f"go depth 4 searchmoves e2e4 d2d4 zz e1g1 a7a8q", "bounded"
    if kind == "infinite":
        return "go infinite", "stop"
    if kind == "ponder":
        return "go ponder wtime 1000 btime 1000", rng.choice(["stop", "ponderhit"])
    if kind == "bare":
        return "go", "none"
    # Its one keyword lacks a value and is ignored: nothing limits the search but stop.
    return "go depth", "stop"


def run(args):
    rng = random.Random(args.seed)
    scratch = tempfile.mkdtemp(prefix="kestrun_fuzz_")
    tables = args.tables if args.tables and os.path.isdir(args.tables) else ""
    if tables:
        make_broken_tables(tables, scratch, rng)
    paths = hostile_paths(tables, scratch)
    referee = shutil.which(args.referee) or (args.referee if os.path.exists(args.referee) else None)
    engine = Engine([args.engine], os.path.join(scratch, "stderr"))
    checked = searches = 0
    multipv, chess960, position, valid = 1, False, "startpos", True
    end = time.time() + args.seconds
    legal_cache = {}
    try:
        engine.send("uci")
        engine.lines_until(lambda l: l == "uciok", 10)
        while time.time() < end:
            r = rng.random()
            if r < 0.25:
                line = hostile_option(rng, paths)
                engine.send(line)
                # How the engine reads odd numbers is its own business: any value set may hold.
                if re.match(r"setoption name multipv value", line, re.I):
                    multipv = 500
                m = re.match(r"setoption name uci_chess960 value (true|false)$", line, re.I)
                if m:
                    chess960 = m.group(1).lower() == "true"
                engine.send("isready")
                for l in engine.lines_until(lambda l: l == "readyok", 120):
                    if l != "readyok" and not l.startswith("info string "):
                        raise Fault(f"unexpected line after {line[:100]}: {l}")
            elif r < 0.45:
                pool = CHESS960_FENS if chess960 else VALID_FENS
                if rng.random() < 0.2:
                    position, valid = rng.choice(BROKEN_POSITIONS), False
                else:
                    position, valid = rng.choice(pool), True
                engine.send(f"position {position}")
                # The variant is read with the position: toggling it now must not matter.
                if rng.random() < 0.2:
                    engine.send(f"setoption name UCI_Chess960 value {'false' if chess960 else 'true'}")
                    engine.send(f"setoption name UCI_Chess960 value {'true' if chess960 else 'false'}")
            elif r < 0.5:
                engine.send(rng.choice(["ucinewgame", "isready", "stop", "ponderhit", "uci",
                                        "garbage line", "x" * 20000, "position", "setoption"]))
                if engine.log[-1] in ("isready", "uci"):
                    want = "readyok" if engine.log[-1] == "isready" else "uciok"
                    engine.lines_until(lambda l: l == want, 60)
            else:
                line, ending = go_line(rng)
                engine.send(line)
                if ending == "none":
                    engine.send("isready")
                    out = engine.lines_until(lambda l: l == "readyok", 60)
                    if any(l.startswith("bestmove") for l in out):
                        raise Fault(f"'{line}' answered: {out}")
                    continue
                if ending != "bounded":
                    time.sleep(rng.choice([0, 0.01, 0.2]))
                    engine.send(ending)
                out = engine.lines_until(lambda l: l.startswith("bestmove"), 120)
                searches += 1
                for l in out:
                    if l.startswith("info"):
                        check_info(l, multipv)
                words = out[-1].split()
                if len(words) not in (2, 4) or (len(words) == 4 and words[2] != "ponder"):
                    raise Fault(f"malformed bestmove: {out[-1]}")
                if words[1] != "0000" and not MOVE.match(words[1]):
                    raise Fault(f"malformed best move: {out[-1]}")
                if len(words) == 4 and words[3] == words[1]:
                    raise Fault(f"ponder move equals best move: {out[-1]}")
                if valid and referee and words[1] != "0000":
                    key = (position, chess960)
                    if key not in legal_cache:
                        legal_cache[key] = referee_moves(referee, position, chess960)
                    legal = legal_cache[key]
                    if legal and words[1] not in legal:
                        raise Fault(f"illegal best move {words[1]} in {position}: {sorted(legal)}")
                    checked += 1
                if valid and words[1] == "0000" and legal_cache.get((position, chess960)):
                    raise Fault(f"bestmove 0000 with legal moves in {position}")
            err = engine.stderr_text()
            if err:
                raise Fault("standard error:\n" + err[:4000])
        engine.send("quit")
        code = engine.p.wait(timeout=60)
        err = engine.stderr_text()
        if code != 0 or err:
            raise Fault(f"exit code {code}, standard error:\n{err[:4000]}")
    except Fault as fault:
        print("FAULT:", fault)
        print("last commands:\n" + "\n".join(c[:200] for c in engine.log[-40:]))
        with open(args.replay, "w") as f:
            f.write("\n".join(engine.log) + "\n")
        print(f"every command sent is in {args.replay}")
        engine.p.kill()
        return 1
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    print(f"clean: {len(engine.log)} commands, {searches} searches, {checked} best moves checked "
          f"against the referee, seed {args.seed}")
    return 0


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("engine")
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--seed", type=int, default=int(time.time()))
    parser.add_argument("--tables", default=os.path.join(os.path.dirname(__file__),
                                                         "../../shared/syzygy"))
    parser.add_argument("--referee", default="/usr/games/stockfish")
    parser.add_argument("--replay", default="fuzz_fault.txt", help="where a fault's commands go")
    sys.exit(run(parser.parse_args()))
