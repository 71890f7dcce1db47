"""Registers the Tumbra Processing provider in QGIS and in qgis_process."""

from qgis.core import QgsApplication

from .provider import TumbraProvider


class TumbraPlugin:
    def __init__(self, iface):
        self.iface = iface
        self.provider = None

    def initProcessing(self):  # noqa: N802 (called by QGIS and by qgis_process)
        if self.provider is None:
            self.provider = TumbraProvider()
            QgsApplication.processingRegistry().addProvider(self.provider)

    def initGui(self):  # noqa: N802
        self.initProcessing()

    def unload(self):
        if self.provider is not None:
            QgsApplication.processingRegistry().removeProvider(self.provider)
            self.provider = None
