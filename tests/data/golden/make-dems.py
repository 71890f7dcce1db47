#!/usr/bin/env python3
"""Writes the small terrains of the golden runs.

- slope: a piece of the bundled example (cliff band, talus with gullies),
  with a sparse set of its cliff start cells.
- basin: a synthetic slope of 5 m cells with a cliff, a closed depression on
  the talus and a few cells without elevation, one of them a start cell's
  neighbour.

The terrains are deterministic: running the script again writes the same
files. The expected outputs beside them come from the golden test itself
(scripts/golden --update).
"""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLE = os.path.join(HERE, "..", "..", "..", "examples")


def read_grid(path):
    with open(path) as source:
        header = [next(source) for _ in range(6)]
        rows = [line.split() for line in source if line.strip()]
    return header, rows


def write_grid(path, header, rows):
    with open(path, "w", newline="\n") as out:
        out.write("".join(header))
        for row in rows:
            out.write(" ".join(row) + "\n")


def crop_header(header, nrows, ncols, xll, yll):
    cellsize = header[4]
    nodata = header[5]
    return [f"ncols {ncols}\n", f"nrows {nrows}\n", f"xllcorner {xll:.1f}\n", f"yllcorner {yll:.1f}\n",
            cellsize, nodata]


def write_slope():
    header, dem = read_grid(os.path.join(EXAMPLE, "dem.asc"))
    _, start = read_grid(os.path.join(EXAMPLE, "start_cells.asc"))
    rows, cols = range(40, 140), range(100, 160)
    cell = 2.0
    xll = 600000.0 + cols.start * cell
    yll = 150000.0 + (320 - rows.stop) * cell
    cropped = crop_header(header, len(rows), len(cols), xll, yll)
    write_grid(os.path.join(HERE, "slope", "dem.asc"), cropped, [[dem[r][c] for c in cols] for r in rows])
    sparse = [["1" if start[r][c] != "0" and c % 10 == 0 else "0" for c in cols] for r in rows]
    write_grid(os.path.join(HERE, "slope", "start_cells.asc"), cropped, sparse)


def basin_elevation(row, col):
    x, y = (col + 0.5) * 5.0, (row + 0.5) * 5.0
    if y < 60.0:
        z = 900.0 - 0.1 * y
    elif y < 90.0:
        z = 894.0 - 1.6 * (y - 60.0)  # the cliff
    else:
        z = 846.0 - 0.55 * (y - 90.0) + 0.0009 * (y - 90.0) ** 2
    z += 4.0 * math.sin(x / 27.0) + 0.8 * math.sin(x / 7.0 + y / 13.0)
    # a closed depression on the talus
    z -= 12.0 * math.exp(-((x - 140.0) ** 2 + (y - 190.0) ** 2) / 900.0)
    return z


def write_basin():
    nrows, ncols = 50, 56
    header = [f"ncols {ncols}\n", f"nrows {nrows}\n", "xllcorner 2600000.0\n", "yllcorner 1200000.0\n",
              "cellsize 5.0\n", "NODATA_value -9999\n"]
    # single missing cells, a lidar hole of 3 x 3 cells on the talus, and a
    # lake without elevation in the south-east corner
    gaps = {(20, 10), (20, 11), (21, 11), (33, 44), (34, 44), (12, 21)}
    gaps |= {(r, c) for r in range(24, 27) for c in range(19, 22)}
    gaps |= {(r, c) for r in range(42, 50) for c in range(38, 56) if (r - 42) * 3 + (55 - c) >= 8}
    dem = [["-9999" if (r, c) in gaps else f"{basin_elevation(r, c):.2f}" for c in range(ncols)]
           for r in range(nrows)]
    start = [["1" if r == 13 and c % 5 == 1 else "0" for c in range(ncols)] for r in range(nrows)]
    write_grid(os.path.join(HERE, "basin", "dem.asc"), header, dem)
    write_grid(os.path.join(HERE, "basin", "start_cells.asc"), header, start)


if __name__ == "__main__":
    for name in ("slope", "basin"):
        os.makedirs(os.path.join(HERE, name), exist_ok=True)
    write_slope()
    write_basin()
