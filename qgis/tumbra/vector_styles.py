"""Styles of the vector layers a run loads from trajectories.gpkg: the
trajectories as thin translucent lines, so that where many run together
they darken and the grids below still show, and the trajectories that never
left their start cell as small points."""

from qgis.core import QgsLineSymbol, QgsMarkerSymbol, QgsSingleSymbolRenderer

# Layer name in trajectories.gpkg: the simple symbol's properties.
TRAJECTORY_SYMBOLS = {
    "trajectories": (QgsLineSymbol, {"line_color": "30,30,120,90", "line_width": "0.2"}),
    "trajectories_stopped_at_start": (
        QgsMarkerSymbol,
        {"name": "circle", "color": "123,50,148,255", "outline_color": "255,255,255,255", "size": "1.6"},
    ),
}


def apply_vector_style(layer):
    """Styles a loaded trajectory layer; returns how ("trajectories") or None
    for a layer these styles are not for (barriers have their .qml)."""
    entry = TRAJECTORY_SYMBOLS.get(layer.name())
    if entry is None:
        return None
    symbol_type, properties = entry
    layer.setRenderer(QgsSingleSymbolRenderer(symbol_type.createSimple(properties)))
    layer.triggerRepaint()
    return "trajectories"
