#!/usr/bin/env python3
"""Do consecutive seeds give other results than seeds drawn at random?

--runs N --seed S plays the seeds S to S+N-1, and consecutive seeds of the
program's generator give related random streams (see docs/STATISTICS.md).
This plays two blocks of consecutive seeds and a fixed list of random seeds
for each pair of setups and prints, for each set, the mean live machines per
army and the shares of the outcomes with their standard errors, then how far
each block lies from the random seeds in standard errors of the difference.

    tools/battle_seed_bias.py build-plain/app/korvanta-battle
    tools/battle_seed_bias.py build-plain/app/korvanta-battle --pair 1,1,1 2,2,2
    tools/battle_seed_bias.py --write-seeds    # remake tools/battle_random_seeds.txt

The random seeds are tools/battle_random_seeds.txt: 1500 distinct 32-bit
numbers from Python's Mersenne Twister seeded with RANDOM_SEEDS_SEED, made by
--write-seeds. Each is played as its own --runs 1 command.
"""
import argparse
import csv
import math
import os
import random
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SEED_FILE = os.path.join(HERE, "battle_random_seeds.txt")
RANDOM_SEEDS_SEED = 20150115
RANDOM_SEED_COUNT = 1500
BLOCK = 2000
BLOCK_STARTS = (1, 10**9)
DEFAULT_PAIRS = (("2,1,1", "2,2,2"), ("2,0,0", "2,2,0"))


def make_seeds():
    # getrandbits on an integer-seeded generator gives the same numbers on
    # every Python 3; the list is kept in the repository all the same.
    generator = random.Random(RANDOM_SEEDS_SEED)
    seeds, seen = [], set()
    while len(seeds) < RANDOM_SEED_COUNT:
        seed = generator.getrandbits(32)
        if seed not in seen:
            seen.add(seed)
            seeds.append(seed)
    return seeds


def read_seeds():
    with open(SEED_FILE) as f:
        return [int(line) for line in f if line.strip()]


def run(battle, army1, army2, first, count, folder):
    path = os.path.join(folder, "battles.csv")
    subprocess.run([battle, "--runs", str(count), "--seed", str(first), "--army1", army1, "--army2", army2,
                    "--jobs", "1", "--csv", path], check=True, stdout=subprocess.DEVNULL)
    with open(path) as f:
        return list(csv.DictReader(f))


def mean_and_error(values):
    n = len(values)
    mean = sum(values) / n
    variance = sum((v - mean) ** 2 for v in values) / (n - 1)
    return mean, math.sqrt(variance / n)


MEASURES = (
    ("live1", lambda r: int(r["live1"])),
    ("live2", lambda r: int(r["live2"])),
    ("army1 wins", lambda r: r["survivors"] == "army1"),
    ("army2 wins", lambda r: r["survivors"] == "army2"),
    ("both stand", lambda r: r["survivors"] == "both"),
)


def measure(rows):
    return {name: mean_and_error([float(get(r)) for r in rows]) for name, get in MEASURES}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("battle", nargs="?", help="the korvanta-battle program (a Release build)")
    parser.add_argument("--pair", nargs=2, action="append", metavar=("ARMY1", "ARMY2"))
    parser.add_argument("--write-seeds", action="store_true", help="remake " + os.path.relpath(SEED_FILE))
    args = parser.parse_args()
    if args.write_seeds:
        with open(SEED_FILE, "w") as f:
            f.writelines(f"{seed}\n" for seed in make_seeds())
        return 0
    if not args.battle:
        parser.error("the korvanta-battle program is needed")
    seeds = read_seeds()
    if seeds != make_seeds():
        sys.exit(f"{SEED_FILE} is not the list --write-seeds makes")

    with tempfile.TemporaryDirectory() as folder:
        for army1, army2 in args.pair or DEFAULT_PAIRS:
            sets = []
            for start in BLOCK_STARTS:
                rows = run(args.battle, army1, army2, start, BLOCK, folder)
                sets.append((f"seeds {start} to {start + BLOCK - 1}", measure(rows)))
            rows = [run(args.battle, army1, army2, seed, 1, folder)[0] for seed in seeds]
            random_set = measure(rows)
            sets.append((f"{len(seeds)} random seeds", random_set))

            print(f"army1 {army1} against army2 {army2}: mean ± standard error")
            print(f"  {'':44}" + "".join(f"{name:>18}" for name, _ in MEASURES))
            for label, values in sets:
                print(f"  {label:44}" + "".join(f"{values[n][0]:10.3f} ± {values[n][1]:.3f}" for n, _ in MEASURES))
            for label, values in sets[:-1]:
                cells = []
                for name, _ in MEASURES:
                    (m1, e1), (m2, e2) = values[name], random_set[name]
                    spread = math.hypot(e1, e2)
                    cells.append(f"{(m1 - m2) / spread:+18.2f}" if spread > 0 else f"{'-':>18}")
                print(f"  {label + ' - random, z':44}" + "".join(cells))
            print()
    return 0


if __name__ == "__main__":
    sys.exit(main())
