#!/usr/bin/env python3
"""Writes an N-section RC ladder as a movra model and as an ngspice netlist.

A source switched on at the first step feeds R(k, k+1) and C(k+1, 0) for
k = 1..N, so node N+1 is the far end. The two files describe the same circuit:
the netlist's "@OUT@" is where ngspice writes v(N+1) (the validation test puts
its own file name there; --data does it here).

    bench/make_rc_ladder.py 49 --model examples/rc_ladder49.model
    bench/make_rc_ladder.py 5 --end 50m --step 10u \\
        --model tests/data/validation/rc_ladder5.model \\
        --netlist tests/data/validation/rc_ladder5.cir

Without --end the run lasts about four Elmore delays of the far end
(R C N (N + 1) / 2), rounded up to 1, 2 or 5 times a power of ten; without
--step it is split into at most 5000 steps, the frames one run records.
"""

import argparse
import math
import sys

# Records a model may hand over, and the highest node a formula can read (x99.9).
RECORD_LIMIT = 135
HIGHEST_READABLE_NODE = 99

SUFFIXES = [(1e-12, "p"), (1e-9, "n"), (1e-6, "u"), (1e-3, "m"), (1.0, ""), (1e3, "k"), (1e6, "M")]
MULTIPLIERS = {"p": 1e-12, "n": 1e-9, "u": 1e-6, "m": 1e-3, "k": 1e3, "M": 1e6, "": 1.0}


def parse_value(text):
    """'50m' -> 0.05; both files take the same unit letters."""
    text = text.strip()
    suffix = text[-1] if text and text[-1] in MULTIPLIERS and not text[-1].isdigit() else ""
    number = text[: len(text) - len(suffix)] if suffix else text
    return float(number) * MULTIPLIERS[suffix]


def format_value(value):
    """Shortest unit-letter form, exact to nine digits: 0.05 -> '50m'."""
    if value == 0:
        return "0"
    for scale, suffix in reversed(SUFFIXES):
        if abs(value) >= scale * (1 - 1e-12):
            return f"{value / scale:.9g}{suffix}"
    return f"{value:.9g}"


def round_up_125(value):
    """Smallest 1, 2 or 5 times a power of ten that is at least value."""
    decade = 10 ** math.floor(math.log10(value))
    for factor in (1, 2, 5, 10):
        if factor * decade >= value * (1 - 1e-9):
            return factor * decade
    return 10 * decade


def round_down_125(value):
    """Largest 1, 2 or 5 times a power of ten that is at most value."""
    decade = 10 ** math.floor(math.log10(value))
    for factor in (5, 2, 1):
        if factor * decade <= value * (1 + 1e-9):
            return factor * decade
    return decade


def model_text(n, r, c, e, end, step, command):
    far = n + 1
    tau = r * c
    slowest = tau / (4 * math.sin(math.pi / (2 * (2 * n + 1))) ** 2)
    lines = [
        f"// RC ladder of {n} sections: R = {format_value(r)} Ohm and C = {format_value(c)} F per section,",
        f"// a {format_value(e)} V source switched on at the first step (step flag p2).",
        f"// Node 1 is the source, node {far} the far end; every node tends to {format_value(e)} V.",
        "// Closed forms for the far end: the area between the final value and its step",
        f"// response, over the final value (the Elmore delay), is R C N (N + 1) / 2 = {format_value(tau * n * (n + 1) / 2)} s;",
        f"// its slowest mode decays with R C / (4 sin^2(pi / (2 (2 N + 1)))) = {slowest:.4g} s.",
        "// The 1e-9 S leak of each resistor terminal keeps the far end up to",
        f"// R 2e-9 S E N (N + 1) / 2 = {format_value(r * 2e-9 * e * n * (n + 1) / 2)} V below that.",
        "// The ngspice netlist of the same circuit comes from the same generator.",
        f"// Written by: {command}",
        "",
        f"V 1 0, {format_value(e)} * p2, 0",
    ]
    for k in range(1, n + 1):
        lines.append(f"R {k} {k + 1}, {format_value(r)}")
        lines.append(f"C {k + 1} 0, {format_value(c)}")
    lines += [
        "",
        f".o x2.9, x{far}.9      // first section and far end",
        "",
        ".t 2               // second-order integration",
        "   0",
        f"   {format_value(end)}",
        f"   {format_value(step)}",
        "   1               // output every step",
        "",
        ".ic",
        f"Generated RC ladder, {n} sections.",
        "",
    ]
    return "\n".join(lines)


def netlist_text(n, r, c, e, end, step, data, command):
    far = n + 1
    lines = [
        f"* RC ladder of {n} sections: {format_value(r)} Ohm and {format_value(c)} F per section, "
        f"{format_value(e)} V step",
        f"* Written by: {command}",
        f"V1 1 0 PWL(0 0 1n {format_value(e)})",
    ]
    for k in range(1, n + 1):
        lines.append(f"R{k} {k} {k + 1} {format_value(r)}")
        lines.append(f"C{k} {k + 1} 0 {format_value(c)}")
    lines += [
        f".tran {format_value(step)} {format_value(end)} 0 {format_value(step)} uic",
        ".control",
        "run",
        f"wrdata {data} v({far})",
        ".endc",
        ".end",
        "",
    ]
    return "\n".join(lines)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("sections", type=int, help="number of RC sections N")
    parser.add_argument("--model", help="movra model file to write")
    parser.add_argument("--netlist", help="ngspice netlist to write")
    parser.add_argument("--resistance", default="1k", help="R per section (default 1k)")
    parser.add_argument("--capacitance", default="1u", help="C per section (default 1u)")
    parser.add_argument("--source", default="5", help="source voltage (default 5)")
    parser.add_argument("--end", help="end time (default: about four Elmore delays)")
    parser.add_argument("--step", help="step (default: end / 5000, rounded down to 1-2-5)")
    parser.add_argument("--data", default="@OUT@", help="file ngspice writes v(N+1) to (default @OUT@)")
    args = parser.parse_args(argv[1:])

    n = args.sections
    if n < 1:
        parser.error("at least one section")
    if n + 1 > HIGHEST_READABLE_NODE:
        parser.error(f"the far end, node {n + 1}, is above node {HIGHEST_READABLE_NODE}, which an output item can read")
    # Source, two lines per section, .o, .t with four rows, .ic and one note.
    records = 1 + 2 * n + 1 + 5 + 1 + 1
    if records > RECORD_LIMIT:
        parser.error(f"{n} sections need {records} records; a model holds {RECORD_LIMIT}")
    if not args.model and not args.netlist:
        parser.error("nothing to write: give --model, --netlist or both")

    r = parse_value(args.resistance)
    c = parse_value(args.capacitance)
    e = parse_value(args.source)
    if r <= 0 or c <= 0:
        parser.error("R and C must be positive")
    end = parse_value(args.end) if args.end else round_up_125(4 * r * c * n * (n + 1) / 2)
    step = parse_value(args.step) if args.step else round_down_125(end / 5000)
    if step <= 0 or end <= 0 or end / step > 100000:
        parser.error("end and step must be positive, with at most 100000 steps")

    command = " ".join(["bench/make_rc_ladder.py"] + argv[1:])
    if args.model:
        with open(args.model, "w", encoding="utf-8", newline="\n") as out:
            out.write(model_text(n, r, c, e, end, step, command))
    if args.netlist:
        with open(args.netlist, "w", encoding="utf-8", newline="\n") as out:
            out.write(netlist_text(n, r, c, e, end, step, args.data, command))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
