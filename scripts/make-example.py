#!/usr/bin/env python3
"""Writes the bundled example: a rockfall slope as two ESRI ASCII grids.

From north to south: a plateau, a cliff band, a talus slope below it, a
valley floor with a gentle fall to the east, and a counter-slope. Gullies cut
the talus so trajectories do not all run straight down. Start cells are the
steep cells of the cliff band. The terrain is deterministic: running the
script again writes the same files.

The grids lie in the Swiss LV03 grid (EPSG:21781), whose coordinates their
corner (600000, 150000) fits: beside each grid a .prj names that system, in
the ESRI form GDAL writes for it (gdal_translate -a_srs EPSG:21781 -of
AAIGrid), so the script needs no GDAL.
"""
import math
import os
import sys

NROWS, NCOLS, CELLSIZE = 320, 260, 2.0
XLL, YLL = 600000.0, 150000.0
NODATA = -9999
# GDAL's ESRI .prj text of EPSG:21781, one line without a line break.
LV03_PRJ = (
    'PROJCS["CH1903_LV03",GEOGCS["GCS_CH1903",DATUM["D_CH1903",SPHEROID["Bessel_1841",6377397.155,299.1528128]],'
    'PRIMEM["Greenwich",0.0],UNIT["Degree",0.0174532925199433]],'
    'PROJECTION["Hotine_Oblique_Mercator_Azimuth_Center"],PARAMETER["False_Easting",600000.0],'
    'PARAMETER["False_Northing",200000.0],PARAMETER["Scale_Factor",1.0],PARAMETER["Azimuth",90.0],'
    'PARAMETER["Longitude_Of_Center",7.43958333333333],PARAMETER["Latitude_Of_Center",46.9524055555556],'
    'UNIT["Meter",1.0]]'
)


def profile(y):
    """Elevation along the fall line; y is metres south of the northern edge."""
    plateau, cliff_top, cliff_foot, talus_foot, valley_end = 1480.0, 90.0, 140.0, 330.0, 470.0
    if y < cliff_top:
        return plateau - 0.08 * y
    z_cliff_top = plateau - 0.08 * cliff_top
    if y < cliff_foot:
        # a cliff of about 60 degrees
        return z_cliff_top - 1.75 * (y - cliff_top)
    z_cliff_foot = z_cliff_top - 1.75 * (cliff_foot - cliff_top)
    if y < talus_foot:
        # a talus slope steepest below the cliff, flattening towards the valley
        t = (y - cliff_foot) / (talus_foot - cliff_foot)
        return z_cliff_foot - (talus_foot - cliff_foot) * (0.75 * t - 0.2 * t * t)
    z_talus_foot = z_cliff_foot - (talus_foot - cliff_foot) * 0.55
    if y < valley_end:
        return z_talus_foot - 0.03 * (y - talus_foot)
    z_valley_end = z_talus_foot - 0.03 * (valley_end - talus_foot)
    return z_valley_end + 0.35 * (y - valley_end)


def elevation(row, col):
    x = (col + 0.5) * CELLSIZE
    y = (row + 0.5) * CELLSIZE
    z = profile(y)
    z -= 0.02 * x  # the whole slope falls gently to the east
    gully = math.sin(x / 38.0) * 6.0 + math.sin(x / 11.0 + y / 23.0) * 1.5
    if 140.0 <= y < 330.0:
        z += gully * math.sin(math.pi * (y - 140.0) / 190.0)
    z += math.sin(x * 0.9 + y * 0.7) * 0.15  # surface roughness
    return z


def write_grid(path, values, fmt):
    with open(path, "w", newline="\n") as out:
        out.write(f"ncols {NCOLS}\nnrows {NROWS}\nxllcorner {XLL:.1f}\nyllcorner {YLL:.1f}\n")
        out.write(f"cellsize {CELLSIZE:.1f}\nNODATA_value {NODATA}\n")
        for row in values:
            out.write(" ".join(fmt(v) for v in row) + "\n")
    with open(os.path.splitext(path)[0] + ".prj", "w", newline="\n") as out:
        out.write(LV03_PRJ)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "examples")
    dem = [[elevation(r, c) for c in range(NCOLS)] for r in range(NROWS)]
    start = [[0] * NCOLS for _ in range(NROWS)]
    count = 0
    for r in range(1, NROWS - 1):
        for c in range(1, NCOLS - 1):
            dzdy = (dem[r - 1][c] - dem[r + 1][c]) / (2 * CELLSIZE)
            slope = math.degrees(math.atan(abs(dzdy)))
            # a sparse pattern of steep cliff cells keeps the example quick
            if slope > 55.0 and r % 8 == 0 and c % 2 == 0:
                start[r][c] = 1
                count += 1
    write_grid(os.path.join(folder, "dem.asc"), dem, lambda v: f"{v:.2f}")
    write_grid(os.path.join(folder, "start_cells.asc"), start, str)
    print(f"wrote {NROWS} x {NCOLS} cells, {count} start cells, to {folder}")


if __name__ == "__main__":
    main()
