#!/usr/bin/python3
"""Plots the benchmark's results.json as time against rows, log-log.

Usage: tools/plot_bench.py RESULTS_JSON OUTPUT_PNG

Measures that ran into their guard are drawn as crosses on the guard line.
"""
import json
import sys

import matplotlib

matplotlib.use("Agg")  # no display needed
import matplotlib.pyplot as plt  # noqa: E402

# measure key, value key, label, colour, line style
SERIES = [
    ("scan", "seconds", "scan (Add)", "tab:blue", "-"),
    ("scan", "limit_seconds", "bare walk", "tab:blue", "--"),
    ("save", "seconds", "save (Apply)", "tab:red", "-"),
    ("save", "limit_seconds", "bare write", "tab:red", "--"),
    ("load", "seconds", "load (Reload)", "tab:green", "-"),
    ("filter_10_percent", "seconds", "filter, 10 % of rows", "tab:purple", "-"),
    ("filter_all", "seconds", "filter, *", "tab:orange", "-"),
    ("mark_missing_10_percent", "seconds", "mark missing (10 % gone)", "tab:brown", "-"),
    ("mark_conflicts_10_percent", "seconds", "mark conflicts (10 % repeat)", "tab:olive", "-"),
    ("remove_half_selected", "seconds", "remove every second row", "tab:pink", "-"),
    ("remove_all_selected", "seconds", "remove every row", "tab:gray", "-"),
]


def points_of(sizes, measure, key):
    """(rows, seconds) of the runs that gave a time, and the rows of those that timed out."""
    done, timeouts = [], []
    for size in sizes:
        m = size["measures"].get(measure, {})
        value = m.get(key)
        measured = m.get("status") in ("ok", "wrong") or key == "limit_seconds"
        if measured and value:
            done.append((size["rows"], value))
        elif m.get("status") == "timeout" and key == "seconds":
            timeouts.append(size["rows"])
    return done, timeouts


def plot(results, out_path):
    sizes = results["sizes"]
    guard = results.get("guard_seconds")
    fig, ax = plt.subplots(figsize=(9.6, 6.0), dpi=100)
    for measure, key, label, colour, style in SERIES:
        done, timeouts = points_of(sizes, measure, key)
        if done:
            rows, seconds = zip(*done)
            ax.plot(rows, seconds, style, color=colour, marker="o", markersize=4, label=label)
        if timeouts and guard:
            ax.plot(timeouts, [guard] * len(timeouts), "x", color=colour, markersize=9, mew=2)
    if guard and any(points_of(sizes, m, k)[1] for m, k, *_ in SERIES):
        ax.axhline(guard, color="grey", linestyle=":", linewidth=1)
        ax.annotate(f"guard {guard:g} s (x: timed out)", (0.01, guard), xycoords=("axes fraction", "data"),
                    va="bottom", fontsize=9)
    rows = [s["rows"] for s in sizes]
    ax.set_xscale("log")
    ax.set_yscale("log")
    if rows:
        ax.set_xticks(rows, [f"{r // 1000}k" if r >= 1000 else str(r) for r in rows])
        ax.minorticks_off()
    ax.set_xlabel("rows")
    ax.set_ylabel("seconds")
    ax.set_title("aliasdesk: time against rows (log-log)")
    ax.grid(True, which="major", color="#ddd")
    if ax.get_legend_handles_labels()[0]:
        ax.legend(loc="center left", bbox_to_anchor=(1.01, 0.5), frameon=False)
    fig.tight_layout()
    fig.savefig(out_path)
    plt.close(fig)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1], encoding="utf-8") as f:
        results = json.load(f)
    plot(results, sys.argv[2])


if __name__ == "__main__":
    main()
