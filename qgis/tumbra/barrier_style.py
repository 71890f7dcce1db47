"""The barriers' style: lines coloured by the share of the trajectories
reaching them that they stopped, written as barriers.qml beside
barriers.gpkg so that QGIS loads it with the layer."""

import os

from qgis.core import QgsGraduatedSymbolRenderer, QgsLineSymbol, QgsRendererRange, QgsVectorLayer
from qgis.PyQt.QtGui import QColor

# share_stopped classes in percent: red where most blocks pass, green where the barrier holds them.
SHARE_STOPPED_CLASSES = [
    (0.0, 50.0, "#d7191c", "0 – 50 % stopped"),
    (50.0, 90.0, "#fdae61", "50 – 90 % stopped"),
    (90.0, 99.0, "#a6d96a", "90 – 99 % stopped"),
    (99.0, 100.0, "#1a9641", "99 – 100 % stopped"),
]


def barrier_renderer():
    ranges = []
    for lower, upper, colour, label in SHARE_STOPPED_CLASSES:
        symbol = QgsLineSymbol.createSimple({"line_color": colour, "line_width": "1.2"})
        ranges.append(QgsRendererRange(lower, upper, symbol, label))
    return QgsGraduatedSymbolRenderer("share_stopped", ranges)


def write_barrier_style(path):
    """Writes the .qml beside the barriers file; False when it could not."""
    layer = QgsVectorLayer(path, "barriers", "ogr")
    if not layer.isValid():
        return False
    layer.setRenderer(barrier_renderer())
    _, saved = layer.saveNamedStyle(os.path.splitext(path)[0] + ".qml")
    return saved
