"""Styles of the result grids: the .qml that tumbra-run writes beside a grid
when it has one, otherwise the classes of the Tumbra window built here."""

import os

from qgis.core import QgsColorRampShader, QgsRasterShader, QgsSingleBandPseudoColorRenderer
from qgis.PyQt.QtGui import QColor

# The window's reach probability classes (map/resultMapPicture.cpp):
# upper bounds in percent, each class holding the values above the previous
# bound up to its own, coloured by ColorBrewer's six-class YlOrRd ramp.
REACH_CLASS_BOUNDS = [1.0, 5.0, 10.0, 25.0, 50.0, 100.0]
REACH_CLASS_COLOURS = ["#ffffb2", "#fed976", "#feb24c", "#fd8d3c", "#f03b20", "#bd0026"]

# Grids holding a percentage of trajectories per cell, styled in the reach
# probability classes: Reach_prob and the per-energy-class Reach_prob_<E>kJ.
_PERCENT_GRID_PREFIX = "Reach_prob"


def _number(value):
    return f"{value:g}"


def reach_probability_shader():
    ramp = QgsColorRampShader(0.0, 100.0)
    ramp.setColorRampType(QgsColorRampShader.Discrete)
    # Zero is "not reached": transparent, so the relief below shows as in the window.
    items = [QgsColorRampShader.ColorRampItem(0.0, QColor(0, 0, 0, 0), "not reached")]
    lower = 0.0
    for bound, colour in zip(REACH_CLASS_BOUNDS, REACH_CLASS_COLOURS):
        items.append(QgsColorRampShader.ColorRampItem(bound, QColor(colour), f"{_number(lower)} – {_number(bound)} %"))
        lower = bound
    ramp.setColorRampItemList(items)
    shader = QgsRasterShader(0.0, 100.0)
    shader.setRasterShaderFunction(ramp)
    return shader


def passage_count_shader(largest):
    """Passage counts from 1 (light yellow) to the largest count (dark red);
    cells no trajectory crossed are transparent."""
    largest = max(float(largest), 2.0)
    ramp = QgsColorRampShader(0.0, largest)
    ramp.setColorRampType(QgsColorRampShader.Interpolated)
    ramp.setClip(True)
    steps = len(REACH_CLASS_COLOURS) - 1
    items = [QgsColorRampShader.ColorRampItem(0.5, QColor(0, 0, 0, 0), "0")]
    for i, colour in enumerate(REACH_CLASS_COLOURS):
        value = 1.0 + (largest - 1.0) * i / steps
        items.append(QgsColorRampShader.ColorRampItem(value, QColor(colour), f"{value:.0f}"))
    ramp.setColorRampItemList(items)
    shader = QgsRasterShader(0.0, largest)
    shader.setRasterShaderFunction(ramp)
    return shader


def _pseudo_colour(layer, shader):
    renderer = QgsSingleBandPseudoColorRenderer(layer.dataProvider(), 1, shader)
    renderer.setClassificationMin(shader.minimumValue())
    renderer.setClassificationMax(shader.maximumValue())
    layer.setRenderer(renderer)


def style_beside(path):
    qml = os.path.splitext(path)[0] + ".qml"
    return qml if os.path.isfile(qml) else None


def apply_result_style(layer):
    """Styles a loaded result grid; returns how (the .qml used, "classes" or
    None when the grid has no style of its own)."""
    path = layer.source().split("|")[0]
    qml = style_beside(path)
    if qml:
        message, ok = layer.loadNamedStyle(qml)
        if ok:
            layer.triggerRepaint()
            return qml
    base = os.path.splitext(os.path.basename(path))[0]
    if base.startswith(_PERCENT_GRID_PREFIX):
        _pseudo_colour(layer, reach_probability_shader())
    elif base == "N":
        stats = layer.dataProvider().bandStatistics(1)
        _pseudo_colour(layer, passage_count_shader(stats.maximumValue))
    else:
        return None
    layer.triggerRepaint()
    return "classes"
