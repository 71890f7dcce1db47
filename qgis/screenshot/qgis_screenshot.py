"""Run by QGIS at start-up (qgis --code) from make-screenshot: the bundled
example as a hillshade, a seeded "Rockfall simulation" loaded over it, the
algorithm's dialog beside the map, then a picture of the screen."""

import os

import processing
from qgis.core import QgsHillshadeRenderer, QgsProject, QgsRasterLayer
from qgis.PyQt.QtCore import QTimer
from qgis.PyQt.QtWidgets import QApplication, QDockWidget
from qgis.utils import iface

REPO = os.environ["TUMBRA_REPO"]
TARGET = os.environ["TUMBRA_SCREENSHOT"]
DEM = os.path.join(REPO, "examples", "dem.asc")
START = os.path.join(REPO, "examples", "start_cells.asc")
PARAMETERS = {"DEM": DEM, "START": START, "SIMULATIONS": 100, "SEED": "2026"}

state = {}


def load_and_run():
    # Xvfb has no window manager to maximise windows: the main window takes
    # the left part of the screen, the dialog the right part.
    screen = QApplication.primaryScreen().geometry()
    iface.mainWindow().setGeometry(0, 0, screen.width() - 860, screen.height())
    for dock in iface.mainWindow().findChildren(QDockWidget):
        if dock.objectName() in ("Browser", "Browser2"):
            dock.hide()
    project = QgsProject.instance()
    relief = QgsRasterLayer(DEM, "dem (hillshade)")
    relief.setRenderer(QgsHillshadeRenderer(relief.dataProvider(), 1, 315.0, 45.0))
    # The map in the example's own system when it has one (a .prj beside it), else as the grid is.
    if relief.crs().isValid():
        project.setCrs(relief.crs())
    project.addMapLayer(relief)
    start = QgsRasterLayer(START, "start_cells")
    project.addMapLayer(start)
    project.layerTreeRoot().findLayer(start.id()).setItemVisibilityChecked(False)
    processing.runAndLoadResults("tumbra:rockfallsimulation", dict(PARAMETERS, OUTPUT="TEMPORARY_OUTPUT"))
    for layer in project.mapLayersByName("N"):
        project.layerTreeRoot().findLayer(layer.id()).setItemVisibilityChecked(False)
    for layer in project.mapLayersByName("Reach_prob"):
        layer.setOpacity(0.85)
        iface.setActiveLayer(layer)
    state["extent"] = relief.extent()
    state["crs"] = relief.crs()
    # The dialog as a user fills it: the project's layers chosen, every other parameter at its default.
    dialog = processing.createAlgorithmDialog("tumbra:rockfallsimulation",
                                              dict(PARAMETERS, DEM=relief.id(), START=start.id(), SEED="2026"))
    state["dialog"] = dialog
    dialog.show()
    dialog.setGeometry(screen.width() - 860, 0, 860, screen.height())
    QTimer.singleShot(2000, frame)


def frame():
    # Once the windows have their sizes: the whole example in view.
    canvas = iface.mapCanvas()
    if state["crs"].isValid():
        canvas.setDestinationCrs(state["crs"])
    canvas.setExtent(state["extent"])
    canvas.zoomByFactor(1.03)
    canvas.refreshAllLayers()
    QTimer.singleShot(4000, grab)


def grab():
    QApplication.processEvents()
    QApplication.primaryScreen().grabWindow(0).save(TARGET)
    QApplication.instance().quit()


QTimer.singleShot(3000, load_and_run)
