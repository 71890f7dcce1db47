"""Places each loaded result layer in the project: styled, inside the group
named after the run, the reach probability and the hazard level on top."""

from qgis.core import QgsLayerTreeLayer, QgsMapLayer, QgsProcessingLayerPostProcessorInterface

from .styles import apply_result_style

# Processing keeps only a pointer to a post-processor: the Python objects
# must stay alive until QGIS has loaded the layers.
_alive = []


def top_position(names_above, name, on_top):
    """Where a layer called `name` goes in a group whose layers are called
    `names_above`: after the layers of `on_top` that come before it, or None
    (at the end) for a layer not in `on_top`. Layers load in no set order."""
    if name not in on_top:
        return None
    before = on_top[: on_top.index(name)]
    return sum(1 for above in names_above if above in before)


class LayerStyler(QgsProcessingLayerPostProcessorInterface):
    def __init__(self, group_name, on_top=("Reach_prob",)):
        super().__init__()
        self.group_name = group_name
        self.on_top = tuple(on_top)

    @classmethod
    def create(cls, group_name, on_top=("Reach_prob",)):
        styler = cls(group_name, on_top)
        del _alive[:-200]
        _alive.append(styler)
        return styler

    def postProcessLayer(self, layer, context, feedback):  # noqa: N802
        if layer is None:
            return
        if layer.type() == QgsMapLayer.RasterLayer:
            how = apply_result_style(layer)
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
        position = top_position([child.name() for child in group.children()], layer.name(), self.on_top)
        if position is None:
            group.addChildNode(moved)
        else:
            group.insertChildNode(position, moved)
        if node is not None and node.parent() is not None:
            node.parent().removeChildNode(node)
