"""The "Calibrate against observed run-out" algorithm: the run algorithm's
inputs and settings, the observed run-out and lists of settings to try.
tumbra-run runs every combination, seeded alike, and ranks them in
calibration.csv, which is loaded as a table beside the best run's grids."""

import os
import time
from urllib.parse import quote

from qgis.core import (
    QgsProcessing,
    QgsProcessingContext,
    QgsProcessingException,
    QgsProcessingOutputFile,
    QgsProcessingOutputVectorLayer,
    QgsProcessingParameterEnum,
    QgsProcessingParameterString,
    QgsProcessingParameterVectorLayer,
    QgsVectorLayer,
)

from . import engine
from .algorithm import RockfallSimulationAlgorithm, _chooser, _is_set, layer_of_file_parameter
from .layout import LayerStyler
from .settings_table import SETTINGS
from .widgets import UnchosenLayerWrapper

# (parameter, description, settings row name) of the lists of values to try.
LISTS = [
    ("PROBABILITIES", "Propagation probabilities to try (e.g. high,medium,low)", "probabilityClass"),
    ("MAX_ANGLES", "Max deviation angles to try (°, e.g. 15,22,30)", "maxDeviationAngle"),
    ("FALL_HEIGHTS", "Initial fall heights to try (m, e.g. 0,5,10)", "initialFallHeight"),
    ("SEGMENT_LENGTHS", "Segment lengths to try (m, e.g. 2,5)", "segmentLength"),
]

# tumbra-run's --calibrate-by words and what the choice shows.
CRITERIA = [
    ("balanced", "Hit rate less over-reach (balanced)"),
    ("auc", "Area under the ROC curve"),
    ("hit-rate", "Hit rate"),
]


def typed_list(text):
    """The values of a typed list as tumbra-run takes them: "15, 22 ,30" ->
    "15,22,30"; empty pieces are dropped, an empty list gives ""."""
    return ",".join(piece.strip().lower() for piece in (text or "").split(",") if piece.strip())


class CalibrationAlgorithm(RockfallSimulationAlgorithm):
    OBSERVED = "OBSERVED"
    OBSERVED_LAYER = "OBSERVED_LAYER"
    STUDY_AREA = "STUDY_AREA"
    CRITERION = "CRITERION"

    def createInstance(self):  # noqa: N802
        return CalibrationAlgorithm()

    def name(self):
        return "calibrateagainstobservedrunout"

    def displayName(self):  # noqa: N802
        return self.tr("Calibrate against observed run-out")

    def shortHelpString(self):  # noqa: N802
        return self.tr(
            "Runs every combination of the listed settings (values separated by commas) with one seed, scores each "
            "against the observed run-out (the mapped reach as polygons and/or observed blocks as points) and ranks "
            "them by the criterion: hit rate less the over-reach's share of the study area (balanced), the area "
            "under the ROC curve of the reach probability, or the hit rate.\n\n"
            "The ranking, best first, is loaded as the table calibration.csv; the best combination's grids are "
            "loaded as a run's. A setting without a list takes its value from the parameters above. The study area "
            "bounds where misses count; without one it is every reached cell and the mapped reach. At most 1,000 "
            "combinations; without a seed the runs share seed 1."
        )

    def initAlgorithm(self, config=None):  # noqa: N802
        super().initAlgorithm(config)
        self.addParameter(
            _chooser(
                QgsProcessingParameterVectorLayer(
                    self.OBSERVED,
                    self.tr("Observed run-out (mapped reach polygons and/or observed block points)"),
                    types=[QgsProcessing.TypeVectorPolygon, QgsProcessing.TypeVectorPoint],
                ),
                UnchosenLayerWrapper,
            )
        )
        self.addParameter(
            layer_of_file_parameter(
                self.OBSERVED_LAYER, self.tr("Layer of the observed run-out file (vector files)"), self.OBSERVED
            )
        )
        self.addParameter(
            QgsProcessingParameterVectorLayer(
                self.STUDY_AREA,
                self.tr("Study area (polygons bounding where misses count)"),
                types=[QgsProcessing.TypeVectorPolygon],
                optional=True,
            )
        )
        for name, description, _ in LISTS:
            self.addParameter(QgsProcessingParameterString(name, self.tr(description), optional=True))
        self.addParameter(
            QgsProcessingParameterEnum(
                self.CRITERION, self.tr("Rank by"), options=[self.tr(label) for _, label in CRITERIA], defaultValue=0
            )
        )
        self.addOutput(QgsProcessingOutputFile("CALIBRATION_TABLE", self.tr("Ranking (calibration.csv)")))
        self.addOutput(QgsProcessingOutputVectorLayer("CALIBRATION_LAYER", self.tr("Ranking as a table")))

    def _build_command(self, executable, parameters, context, feedback):
        command = super()._build_command(executable, parameters, context, feedback)
        observed = self.parameterAsVectorLayer(parameters, self.OBSERVED, context)
        if observed is None:
            raise QgsProcessingException(self.tr("The observed run-out could not be loaded as a vector layer."))
        observed_file, observed_layer = self._layer_file(observed, "observed", context, feedback)
        calibration = ["--observed", observed_file]
        if _is_set(parameters, self.OBSERVED_LAYER):
            observed_layer = self.parameterAsString(parameters, self.OBSERVED_LAYER, context)
        if observed_layer:
            calibration += ["--observed-layer", observed_layer]
        if _is_set(parameters, self.STUDY_AREA):
            area = self.parameterAsVectorLayer(parameters, self.STUDY_AREA, context)
            if area is None:
                raise QgsProcessingException(self.tr("The study area could not be loaded as a vector layer."))
            calibration += ["--study-area", self._layer_file(area, "study_area", context, feedback)[0]]
        criterion = CRITERIA[self.parameterAsEnum(parameters, self.CRITERION, context)][0]
        calibration += ["--calibrate", "--calibrate-by", criterion]
        options = {row["name"]: row["option"] for row in SETTINGS}
        for name, _, row_name in LISTS:
            values = typed_list(self.parameterAsString(parameters, name, context))
            if values:
                _drop_option(command, options[row_name])
                calibration += [options[row_name], values]
        for option in ("--observed", "--calibrate", "--study-area"):
            if option in calibration and not engine.supports(executable, option):
                raise QgsProcessingException(
                    self.tr("This tumbra-run ({0}) cannot calibrate (no {1}): install a newer Tumbra.").format(
                        executable, option
                    )
                )
        # Before --output, which the run algorithm puts last but for its progress lines.
        at = command.index("--output")
        command[at:at] = calibration
        self._group = "Tumbra calibration ({0})".format(time.strftime("%H:%M:%S"))
        return command

    def _results(self, context, feedback):
        results = super()._results(context, feedback)
        path = os.path.join(self._output_folder, "calibration.csv")
        if not self._was_placed(path):
            return results
        results["CALIBRATION_TABLE"] = path
        project = context.project()
        if project is None:
            return results
        uri = "file:///{0}?type=csv&detectTypes=yes&geomType=none".format(quote(path.replace("\\", "/").lstrip("/")))
        layer = QgsVectorLayer(uri, "calibration", "delimitedtext")
        if not layer.isValid():  # read by OGR, every column a text
            layer = QgsVectorLayer(path, "calibration", "ogr")
        if not layer.isValid():
            feedback.reportError(self.tr("calibration.csv could not be loaded as a table: {0}").format(path))
            return results
        context.temporaryLayerStore().addMapLayer(layer)
        results["CALIBRATION_LAYER"] = layer.id()
        details = QgsProcessingContext.LayerDetails("calibration", project, "CALIBRATION_LAYER")
        details.setPostProcessor(LayerStyler.create(self._group))
        context.addLayerToLoadOnCompletion(layer.id(), details)
        return results


def _drop_option(command, option):
    """Removes an option and its value from the command: its list replaces it."""
    while option in command:
        at = command.index(option)
        del command[at : at + 2]
