#!/usr/bin/python3
"""Reads the output of several benchmark rounds and prints one table.

Each figure is a line "@row|WORK|SERVER|VALUE|UNIT"; a line "@round N"
starts round N. Per WORK and SERVER the table gives the median over the
rounds, and where the WORK has a "direct" figure, the median of the
per-round ratios to it (the machine's noise hits both alike within a round).
"""
import statistics
import sys


def number(text):
    try:
        return float(text.split()[0])
    except (ValueError, IndexError):
        return None


def main(path):
    rounds = {}
    current = 0
    order = []
    for line in open(path, encoding="utf-8", errors="replace"):
        line = line.rstrip("\n")
        if line.startswith("@round "):
            current = int(line.split()[1])
        elif line.startswith("@row|"):
            _, work, server, value, unit = (line.split("|") + [""] * 5)[:5]
            if work not in order:
                order.append(work)
            rounds.setdefault(work, {}).setdefault(server, {})[current] = (number(value), unit)
    print(f"{'work':<46} {'server':<12} {'median':>12} {'unit':<10} {'x direct':>9} {'runs':>5}")
    for work in order:
        servers = rounds[work]
        direct = servers.get("direct", {})
        for server, by_round in servers.items():
            values = [v for v, _ in by_round.values() if v is not None]
            unit = next(iter(by_round.values()))[1]
            median = f"{statistics.median(values):.2f}" if values else "failed"
            ratios = [by_round[r][0] / direct[r][0] for r in by_round
                      if r in direct and by_round[r][0] is not None and direct[r][0]]
            ratio = f"{statistics.median(ratios):.2f}" if ratios and server != "direct" else ""
            print(f"{work:<46} {server:<12} {median:>12} {unit:<10} {ratio:>9} {len(values):>5}")


if __name__ == "__main__":
    main(sys.argv[1])
