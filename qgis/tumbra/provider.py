"""The "Tumbra" Processing provider: its algorithms and the path of tumbra-run."""

import os

from qgis.core import QgsProcessingProvider
from qgis.PyQt.QtGui import QIcon

from .algorithm import RockfallSimulationAlgorithm
from .calibrate_algorithm import CalibrationAlgorithm
from .engine import EXECUTABLE_SETTING

try:  # the Processing plugin's settings page; absent in a bare Python session
    from processing.core.ProcessingConfig import ProcessingConfig, Setting
except ImportError:
    ProcessingConfig = None


class TumbraProvider(QgsProcessingProvider):
    def id(self):
        return "tumbra"

    def name(self):
        return "Tumbra"

    def longName(self):  # noqa: N802
        return "Tumbra rockfall simulation"

    def icon(self):
        return QIcon(os.path.join(os.path.dirname(__file__), "icon.svg"))

    def load(self):
        # Shown under Settings > Options > Processing > Providers > Tumbra; read
        # back from QgsSettings by engine.find_executable.
        if ProcessingConfig is not None:
            ProcessingConfig.settingIcons[self.name()] = self.icon()
            ProcessingConfig.addSetting(
                Setting(
                    self.name(),
                    EXECUTABLE_SETTING,
                    "tumbra-run program (empty: beside the plugin, then on PATH)",
                    "",
                    valuetype=Setting.FILE,
                )
            )
            ProcessingConfig.readSettings()
        self.refreshAlgorithms()
        return True

    def unload(self):
        if ProcessingConfig is not None:
            ProcessingConfig.removeSetting(EXECUTABLE_SETTING)

    def loadAlgorithms(self):  # noqa: N802
        self.addAlgorithm(RockfallSimulationAlgorithm())
        self.addAlgorithm(CalibrationAlgorithm())
