"""Places each loaded result layer in the project: styled, inside the group
named after the run, in the order of LOAD_ORDER whatever order they load in."""

import re
from fnmatch import fnmatchcase

from qgis.core import QgsLayerTreeLayer, QgsMapLayer, QgsProcessingLayerPostProcessorInterface

from .styles import apply_result_style
from .vector_styles import apply_vector_style

# The group from top to bottom, by layer name: the lines and points over the
# grids; of the grids the reach probability first, the hazard level below it,
# the intensity grids, then the rest; anything else (the tables) last.
LOAD_ORDER = (
    "barriers",
    "trajectories_stopped_at_start",
    "trajectories",
    "Reach_prob",
    "Hazard_level",
    "Energy_max",
    "Reach_prob_*kJ",
    "Height_max",
    "Velocity_max",
    "Height_mean",
    "N",
    "Source_share",
    "Freq_any",
    "Freq_*kJ",
    "Hazard_matrix_cell",
    "Reach_prob_unprotected",
    "Energy_max_unprotected",
)

# Processing keeps only a pointer to a post-processor: the Python objects
# must stay alive until QGIS has loaded the layers.
_alive = []


def load_rank(name):
    """Where a layer of this name stands in LOAD_ORDER (after all of it when it
    is not there), the grids of one row per energy class by rising limit."""
    rank = next((rank for rank, pattern in enumerate(LOAD_ORDER) if fnmatchcase(name, pattern)), len(LOAD_ORDER))
    limit = re.search(r"_([0-9.]+(?:e[+-]?[0-9]+)?)kJ$", name)
    return rank, float(limit.group(1)) if limit else 0.0


def insert_position(names_in_group, name):
    """Where a layer called `name` goes in a group of layers called
    `names_in_group` (already in order): after every layer ranked as high
    or higher, so that equal ranks keep the order they loaded in."""
    rank = load_rank(name)
    return sum(1 for other in names_in_group if load_rank(other) <= rank)


class LayerStyler(QgsProcessingLayerPostProcessorInterface):
    def __init__(self, group_name, hidden=False):
        super().__init__()
        self.group_name = group_name
        self.hidden = hidden

    @classmethod
    def create(cls, group_name, hidden=False):
        styler = cls(group_name, hidden)
        del _alive[:-200]
        _alive.append(styler)
        return styler

    def postProcessLayer(self, layer, context, feedback):  # noqa: N802
        if layer is None:
            return
        if layer.type() == QgsMapLayer.RasterLayer:
            how = apply_result_style(layer)
        else:
            how = apply_vector_style(layer)
        if how and feedback is not None:
            feedback.pushInfo(f"{layer.name()}: styled from {how}")
        project = context.project()
        if project is None:
            return
        root = project.layerTreeRoot()
        node = root.findLayer(layer.id())
        group = root.findGroup(self.group_name) or root.insertGroup(0, self.group_name)
        if node is not None and node.parent() is group:
            return
        moved = QgsLayerTreeLayer(layer)
        group.insertChildNode(insert_position([child.name() for child in group.children()], layer.name()), moved)
        if self.hidden:
            moved.setItemVisibilityChecked(False)
        if node is not None and node.parent() is not None:
            node.parent().removeChildNode(node)
