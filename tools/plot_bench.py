#!/usr/bin/env python3
"""Plots the benchmark's results.json as time against rows, log-log.

Usage: tools/plot_bench.py RESULTS_JSON OUTPUT_PNG

Draws an SVG with the standard library alone and turns it into a PNG with
ImageMagick's convert (which hands SVG to rsvg-convert).
"""
import json
import math
import subprocess
import sys

WIDTH, HEIGHT = 960, 600
LEFT, RIGHT, TOP, BOTTOM = 80, 230, 50, 60

# measure key, value key, label, colour, dashed
SERIES = [
    ("scan", "seconds", "scan (Add)", "#1f77b4", False),
    ("scan", "limit_seconds", "bare walk", "#1f77b4", True),
    ("save", "seconds", "save (Apply)", "#d62728", False),
    ("save", "limit_seconds", "bare write", "#d62728", True),
    ("load", "seconds", "load (Reload)", "#2ca02c", False),
    ("filter_10_percent", "seconds", "filter, 10 % of rows", "#9467bd", False),
    ("filter_all", "seconds", "filter, *", "#ff7f0e", False),
]


def decades(low, high):
    return range(math.floor(math.log10(low)), math.ceil(math.log10(high)) + 1)


class Axes:
    def __init__(self, rows, seconds):
        self.x0, self.x1 = math.log10(min(rows)) - 0.1, math.log10(max(rows)) + 0.1
        self.y0 = math.floor(math.log10(min(seconds)))
        self.y1 = math.ceil(math.log10(max(seconds)))
        if self.y1 == self.y0:
            self.y1 += 1

    def x(self, rows):
        span = WIDTH - LEFT - RIGHT
        return LEFT + (math.log10(rows) - self.x0) / (self.x1 - self.x0) * span

    def y(self, seconds):
        span = HEIGHT - TOP - BOTTOM
        return HEIGHT - BOTTOM - (math.log10(seconds) - self.y0) / (self.y1 - self.y0) * span


def text(x, y, content, anchor="start", size=12):
    return (f'<text x="{x:.1f}" y="{y:.1f}" font-family="DejaVu Sans, sans-serif" '
            f'font-size="{size}" text-anchor="{anchor}">{content}</text>')


def points_of(sizes, measure, key):
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


def frame(axes, rows, guard):
    parts = [f'<rect width="{WIDTH}" height="{HEIGHT}" fill="white"/>',
             text(WIDTH / 2, 28, "aliasdesk: time against rows (log-log)", "middle", 16)]
    for d in range(axes.y0, axes.y1 + 1):
        y = axes.y(10 ** d)
        parts.append(f'<line x1="{LEFT}" y1="{y:.1f}" x2="{WIDTH - RIGHT}" y2="{y:.1f}" stroke="#ddd"/>')
        parts.append(text(LEFT - 8, y + 4, f"{10.0 ** d:g} s", "end"))
    for r in rows:
        x = axes.x(r)
        parts.append(f'<line x1="{x:.1f}" y1="{TOP}" x2="{x:.1f}" y2="{HEIGHT - BOTTOM}" stroke="#ddd"/>')
        parts.append(text(x, HEIGHT - BOTTOM + 18, f"{r // 1000}k" if r >= 1000 else str(r), "middle"))
    parts.append(text((LEFT + WIDTH - RIGHT) / 2, HEIGHT - 15, "rows", "middle"))
    if guard and axes.y0 <= math.log10(guard) <= axes.y1:
        y = axes.y(guard)
        parts.append(f'<line x1="{LEFT}" y1="{y:.1f}" x2="{WIDTH - RIGHT}" y2="{y:.1f}" '
                     f'stroke="#888" stroke-dasharray="2,4"/>')
        parts.append(text(LEFT + 6, y - 6, f"guard {guard:g} s (x: timed out)", "start", 11))
    parts.append(f'<rect x="{LEFT}" y="{TOP}" width="{WIDTH - LEFT - RIGHT}" '
                 f'height="{HEIGHT - TOP - BOTTOM}" fill="none" stroke="#444"/>')
    return parts


def series(axes, sizes, guard, index, spec):
    measure, key, label, colour, dashed = spec
    done, timeouts = points_of(sizes, measure, key)
    dash = ' stroke-dasharray="6,4"' if dashed else ""
    parts = []
    if len(done) > 1:
        path = " ".join(f"{axes.x(r):.1f},{axes.y(s):.1f}" for r, s in done)
        parts.append(f'<polyline points="{path}" fill="none" stroke="{colour}" stroke-width="2"{dash}/>')
    for r, s in done:
        parts.append(f'<circle cx="{axes.x(r):.1f}" cy="{axes.y(s):.1f}" r="3.5" fill="{colour}"/>')
    for r in timeouts:
        x, y = axes.x(r), axes.y(guard)
        parts.append(f'<path d="M{x - 5:.1f},{y - 5:.1f} L{x + 5:.1f},{y + 5:.1f} M{x - 5:.1f},{y + 5:.1f} '
                     f'L{x + 5:.1f},{y - 5:.1f}" stroke="{colour}" stroke-width="2"/>')
    ly = TOP + 10 + index * 22
    lx = WIDTH - RIGHT + 15
    parts.append(f'<line x1="{lx}" y1="{ly}" x2="{lx + 30}" y2="{ly}" stroke="{colour}" stroke-width="2"{dash}/>')
    parts.append(text(lx + 38, ly + 4, label))
    return parts


def plot(results):
    sizes = results["sizes"]
    guard = results.get("guard_seconds")
    rows = [s["rows"] for s in sizes]
    values = [v for spec in SERIES for _, v in points_of(sizes, spec[0], spec[1])[0]]
    if any(points_of(sizes, spec[0], spec[1])[1] for spec in SERIES) and guard:
        values.append(guard)
    if not rows or not values:
        values = values or [1.0]
        rows = rows or [1000]
    axes = Axes(rows, values)
    parts = frame(axes, rows, guard)
    for index, spec in enumerate(SERIES):
        parts += series(axes, sizes, guard, index, spec)
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{WIDTH}" height="{HEIGHT}">\n'
            + "\n".join(parts) + "\n</svg>\n")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1], encoding="utf-8") as f:
        results = json.load(f)
    svg_path = sys.argv[2].rsplit(".", 1)[0] + ".svg"
    with open(svg_path, "w", encoding="utf-8") as f:
        f.write(plot(results))
    subprocess.run(["convert", svg_path, sys.argv[2]], check=True)


if __name__ == "__main__":
    main()
