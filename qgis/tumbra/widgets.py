"""Widgets of the algorithm's dialog where QGIS's own would guess or fail: a
layer chooser that starts with no layer (QGIS fills a required layer with
the active one, easily the wrong layer), and the layer names of the chosen
file and the fields of the chosen layer as lists."""

import os

from qgis.core import (
    QgsMapLayer,
    QgsProcessingParameterDefinition,
    QgsProject,
    QgsProviderRegistry,
    QgsVectorLayer,
)
from qgis.gui import QgsProcessingMapLayerComboBox
from qgis.PyQt.QtWidgets import QComboBox

try:  # the Processing plugin; absent in a bare Python session and then not needed
    from processing.gui.wrappers import DIALOG_STANDARD, MapLayerWidgetWrapper, WidgetWrapper
    from processing.tools import dataobjects
except ImportError:
    MapLayerWidgetWrapper = WidgetWrapper = None
    UnchosenLayerWrapper = FileLayerNameWrapper = LayerFieldWrapper = None


def layer_names_of(value):
    """The names of the layers of the vector file `value` stands for (a path
    or a project layer's id); empty for a raster or a one-layer file."""
    layer = QgsProject.instance().mapLayer(value) if isinstance(value, str) else value
    if isinstance(layer, QgsMapLayer):
        if layer.type() != QgsMapLayer.VectorLayer or layer.providerType() != "ogr":
            return []
        value = QgsProviderRegistry.instance().decodeUri("ogr", layer.source()).get("path", "")
    if not isinstance(value, str) or not os.path.isfile(value):
        return []
    from osgeo import ogr

    source = ogr.Open(value)
    names = [source.GetLayer(i).GetName() for i in range(source.GetLayerCount())] if source else []
    return names if len(names) > 1 else []


def field_names_of(value, numeric=False):
    """The fields of the vector layer `value` stands for (a project layer's
    id, a layer or a path); empty for a raster."""
    layer = QgsProject.instance().mapLayer(value) if isinstance(value, str) else value
    if layer is None and isinstance(value, str) and os.path.isfile(value.split("|")[0]):
        layer = QgsVectorLayer(value, "fields", "ogr")
    if not isinstance(layer, QgsVectorLayer) or not layer.isValid():
        return []
    # Not the key QGIS shows as a field (a GeoPackage's fid): tumbra-run reads no such field.
    keys = set(layer.primaryKeyAttributes())
    return [field.name() for i, field in enumerate(layer.fields())
            if i not in keys and (field.isNumeric() or not numeric)]


if MapLayerWidgetWrapper is not None:

    class UnchosenLayerWrapper(MapLayerWidgetWrapper):
        """A required layer whose chooser starts empty, the dialog refusing to
        run until one is chosen; with the metadata's "only_raster", the one
        raster layer of a project that holds just one is chosen."""

        def createWidget(self, only_raster=False):  # noqa: N802
            if self.dialogType != DIALOG_STANDARD:
                return super().createWidget()
            shown = self.parameterDefinition().clone()
            shown.setFlags(shown.flags() | QgsProcessingParameterDefinition.FlagOptional)
            self.combo = QgsProcessingMapLayerComboBox(shown)
            rasters = [layer for layer in QgsProject.instance().mapLayers().values()
                       if layer.type() == QgsMapLayer.RasterLayer]
            self.combo.setLayer(rasters[0] if only_raster and len(rasters) == 1 else None)
            self.context = dataobjects.createContext()
            self.combo.valueChanged.connect(lambda: self.widgetValueHasChanged.emit(self))
            return self.combo

    class ListFromParentWrapper(WidgetWrapper):
        """A name chosen from a list made from the value of the parameter the
        metadata's "parent" names, refreshed when that changes; a name may
        still be typed. Empty: none chosen."""

        def createWidget(self, parent=None, **options):  # noqa: N802
            self.parent_name = parent
            self.options = options
            self.combo = QComboBox()
            self.combo.setEditable(True)
            self.combo.addItem("")
            return self.combo

        def names_for(self, value):
            return []

        def postInitialize(self, wrappers):  # noqa: N802
            for wrapper in wrappers:
                if wrapper.parameterDefinition().name() == self.parent_name:
                    wrapper.widgetValueHasChanged.connect(self.parent_changed)
                    self.parent_changed(wrapper)

        def parent_changed(self, wrapper):
            try:
                names = self.names_for(wrapper.parameterValue())
            except Exception:  # a value being typed, a file not readable: no list
                names = []
            typed = self.combo.currentText()
            self.combo.clear()
            self.combo.addItems([""] + names)
            self.combo.setEditText(typed if typed in names or not names else "")

        def setValue(self, value):  # noqa: N802
            if isinstance(value, (list, tuple)):
                value = value[0] if value else None
            self.combo.setEditText("" if value is None else str(value))

        def value(self):
            return self.combo.currentText().strip() or None

    class FileLayerNameWrapper(ListFromParentWrapper):
        """The layer of a vector file, from the layers of the chosen file."""

        def names_for(self, value):
            return layer_names_of(value)

    class LayerFieldWrapper(ListFromParentWrapper):
        """A field of the chosen vector layer (with the metadata's "numeric",
        its numeric fields). QGIS's own field widget would do, but in QGIS
        3.22 it crashes QGIS when its parent layer is a raster, as the start
        cells and the forest may be."""

        def names_for(self, value):
            return field_names_of(value, self.options.get("numeric", False))
