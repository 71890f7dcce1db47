"""Places each loaded result layer in the project: styled, inside the group
named after the run, the reach probability on top."""

from qgis.core import QgsLayerTreeLayer, QgsMapLayer, QgsProcessingLayerPostProcessorInterface

from .styles import apply_result_style

# Processing keeps only a pointer to a post-processor: the Python objects
# must stay alive until QGIS has loaded the layers.
_alive = []


class LayerStyler(QgsProcessingLayerPostProcessorInterface):
    def __init__(self, group_name):
        super().__init__()
        self.group_name = group_name

    @classmethod
    def create(cls, group_name):
        styler = cls(group_name)
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
        if layer.name() == "Reach_prob":
            group.insertChildNode(0, moved)
        else:
            group.addChildNode(moved)
        if node is not None and node.parent() is not None:
            node.parent().removeChildNode(node)
