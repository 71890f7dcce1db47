#!/usr/bin/env python3
"""The style files beside the result grids as QGIS reads them.

Runs tumbra-run on a small DEM in both output formats, opens each grid in
QGIS (which applies the .qml of the same name by itself), loads the style
once more by name, and fails on any warning QGIS logs or on a style that does
not draw the grid in the map's classes. Exits 77 (skipped) where QGIS's Python
bindings (python3-qgis) are not installed.

Usage: qgisStyles.py <tumbra-run> <folder with dem.asc and start_cells.asc>
"""
import os
import subprocess
import sys
import tempfile

try:
    from qgis.core import Qgis, QgsApplication, QgsRasterLayer
except ImportError as missing:
    print(f"SKIP: QGIS's Python bindings are not installed ({missing}); install python3-qgis to load the .qml "
          "styles in QGIS.")
    sys.exit(77)

# Grid, number of colour stops, first label: as the window's legend has them. Every other grid
# the run writes must have a style that loads too.
EXPECTED = (("N", 5, "up to 0.01 % of all trajectories"), ("Reach_prob", 6, "0 – 1 %"),
            ("Energy_max", 3, "below 30 kJ"), ("Height_mean", 6, "0 – 1 m"), ("Velocity_max", 6, "0 – 5 m/s"),
            ("Reach_prob_30kJ", 6, "0 – 1 %"), ("Source_share", 6, "0 – 1 %"),
            ("Hazard_matrix_cell", 9, "1: strong intensity, high probability – high hazard (red)"))
# Energies exactly at the class limits and the class QGIS must draw them in: the one above, as
# Reach_prob_<E>kJ counts them and the window's map draws them.
AT_LIMITS = ((30.0, 1), (300.0, 2))


def check_grid(folder, grid, suffix, stops, first_label):
    problems = []
    layer = QgsRasterLayer(os.path.join(folder, grid + suffix), grid)
    if not layer.isValid():
        return [f"{grid}{suffix} does not open"]
    message, loaded = layer.loadNamedStyle(os.path.join(folder, grid + ".qml"))
    if not loaded:
        problems.append(f"{grid}.qml does not load: {message}")
    renderer = layer.renderer()
    if renderer.type() != "singlebandpseudocolor":
        return problems + [f"{grid}.qml gives a {renderer.type()} renderer"]
    items = renderer.shader().rasterShaderFunction().colorRampItemList()
    if stops is not None and (len(items) != stops or first_label not in (None, items[0].label if items else None)):
        problems.append(f"{grid}.qml: {len(items)} stops from '{items[0].label if items else ''}'")
    for value, index in AT_LIMITS if grid == "Energy_max" else ():
        shaded = renderer.shader().rasterShaderFunction().shade(value)
        if len(items) > index and tuple(shaded[1:4]) != items[index].color.getRgb()[:3]:
            problems.append(f"{grid}.qml draws {value} outside '{items[index].label}'")
    transparent = renderer.rasterTransparency().transparentSingleValuePixelList()
    if not transparent or transparent[0].min != 0 or transparent[0].percentTransparent != 100:
        problems.append(f"{grid}.qml leaves unreached cells drawn")
    return problems


def main():
    runner, data = sys.argv[1], sys.argv[2]
    os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
    application = QgsApplication([], False)
    application.initQgis()
    logged = []
    QgsApplication.messageLog().messageReceived.connect(
        lambda text, tag, level: logged.append(f"{tag}: {text}") if level >= Qgis.Warning else None)
    problems = []
    with tempfile.TemporaryDirectory() as out:
        for form, suffix in (("asc", ".asc"), ("gtiff", ".tif")):
            folder = os.path.join(out, form)
            subprocess.run([runner, "--dem", os.path.join(data, "dem.asc"), "--start",
                            os.path.join(data, "start_cells.asc"), "--output", folder, "--simulations", "5",
                            "--format", form, "--intensity", "--block-volume", "1", "--objects",
                            os.path.join(data, "objects.geojson"), "--release-frequency", "0.05", "--hazard",
                            "--quiet"], check=True)
            expected = {grid: (stops, label) for grid, stops, label in EXPECTED}
            grids = sorted(os.path.splitext(name)[0] for name in os.listdir(folder) if name.endswith(suffix))
            problems += [f"{grid}{suffix} was not written" for grid in expected if grid not in grids]
            for grid in grids:
                problems += check_grid(folder, grid, suffix, *expected.get(grid, (None, None)))
    application.processEvents()
    problems += [f"QGIS warned: {text}" for text in logged]
    application.exitQgis()
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
