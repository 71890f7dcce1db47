"""The "Rockfall simulation" algorithm: prepares the inputs, runs tumbra-run
and hands the result grids to QGIS, styled and grouped under the run's name."""

import glob
import os
import shutil
import tempfile
import time

from qgis.core import (
    QgsMapLayer,
    QgsProcessing,
    QgsProcessingAlgorithm,
    QgsProcessingContext,
    QgsProcessingException,
    QgsProcessingFeedback,
    QgsProcessingOutputFile,
    QgsProcessingOutputMultipleLayers,
    QgsProcessingOutputRasterLayer,
    QgsProcessingParameterBoolean,
    QgsProcessingParameterDefinition,
    QgsProcessingParameterEnum,
    QgsProcessingParameterField,
    QgsProcessingParameterFolderDestination,
    QgsProcessingParameterMapLayer,
    QgsProcessingParameterNumber,
    QgsProcessingParameterRasterLayer,
    QgsProcessingParameterString,
    QgsProviderRegistry,
    QgsRasterFileWriter,
    QgsRasterPipe,
    QgsVectorFileWriter,
    QgsVectorLayer,
)
from qgis.PyQt.QtCore import QCoreApplication
from qgis.PyQt.QtGui import QIcon

from . import engine
from .barrier_style import write_barrier_style
from .layout import LayerStyler
from .settings_table import SETTINGS
from .widgets import FileLayerNameWrapper, LayerFieldWrapper, UnchosenLayerWrapper

OUTPUT_FORMATS = [("ESRI ASCII grid (.asc)", "asc", ".asc"), ("GeoTIFF (.tif)", "gtiff", ".tif")]

# Files tumbra-run reads by their suffix.
RASTER_SUFFIXES = (".asc", ".txt", ".tif", ".tiff")
VECTOR_SUFFIXES = (".gpkg", ".shp", ".geojson", ".json", ".fgb")

# Result grids by file name (without suffix) and the output that returns each.
RESULT_GRIDS = [
    ("N", "N", "Passages (N)"),
    ("Reach_prob", "REACH_PROB", "Reach probability (%)"),
    ("Height_max", "HEIGHT_MAX", "Largest energy-line height (m)"),
    ("Height_mean", "HEIGHT_MEAN", "Mean energy-line height (m)"),
    ("Velocity_max", "VELOCITY_MAX", "Largest velocity (m/s)"),
    ("Energy_max", "ENERGY_MAX", "Largest energy (kJ)"),
    ("Source_share", "SOURCE_SHARE", "Share of trajectories reaching objects (%)"),
    ("Reach_prob_unprotected", "REACH_PROB_UNPROTECTED", "Reach probability without forest and barriers (%)"),
    ("Energy_max_unprotected", "ENERGY_MAX_UNPROTECTED", "Largest energy without forest and barriers (kJ)"),
    ("Freq_any", "FREQ_ANY", "Events per year reaching the cell"),
    ("Hazard_level", "HAZARD_LEVEL", "Hazard level (1 residual, 2 yellow, 3 blue, 4 red)"),
    ("Hazard_matrix_cell", "HAZARD_MATRIX_CELL", "Hazard matrix cell that decided the level"),
]

# Grids per energy class limit, by file name pattern (without suffix).
CLASS_GRIDS = ("Reach_prob_*kJ", "Freq_*kJ")

# The layers of trajectories.gpkg: the lines, and the points of the trajectories that never left their start cell.
TRAJECTORY_LAYERS = ("trajectories", "trajectories_stopped_at_start")

# Above this many trajectories the layers load unticked: drawn, so many lines
# would hide the grids below and slow every redraw.
TRAJECTORIES_DRAWN = 20000


def _advanced(parameter):
    parameter.setFlags(parameter.flags() | QgsProcessingParameterDefinition.FlagAdvanced)
    return parameter


def _chooser(parameter, wrapper, **options):
    """The parameter shown in the dialog by one of the plugin's widgets, where the Processing plugin is there."""
    if wrapper is not None:
        parameter.setMetadata({"widget_wrapper": dict(options, **{"class": wrapper})})
    return parameter


def layer_of_file_parameter(name, description, parent):
    """The layer of a vector file, offered from the layers of the file chosen for `parent`."""
    return _advanced(
        _chooser(
            QgsProcessingParameterString(name, description, optional=True),
            FileLayerNameWrapper,
            parent=parent,
        )
    )


def _is_set(parameters, name):
    value = parameters.get(name)
    return value is not None and value != ""


def _plain_number(value):
    return f"{value:.15g}"


class RockfallSimulationAlgorithm(QgsProcessingAlgorithm):
    DEM = "DEM"
    START = "START"
    START_LAYER = "START_LAYER"
    START_WHERE = "START_WHERE"
    OBJECTS = "OBJECTS"
    OBJECTS_LAYER = "OBJECTS_LAYER"
    OBJECTS_ID = "OBJECTS_ID"
    FOREST = "FOREST"
    BARRIERS = "BARRIERS"
    INTENSITY = "INTENSITY"
    HAZARD = "HAZARD"
    SAVE_TRAJECTORIES = "SAVE_TRAJECTORIES"
    REPORT = "REPORT"
    SEED = "SEED"
    OUTPUT_FORMAT = "OUTPUT_FORMAT"
    THREADS = "THREADS"
    OVERWRITE = "OVERWRITE"
    OUTPUT = "OUTPUT"

    def __init__(self):
        super().__init__()
        self._command = None
        self._scratch = None
        self._output_folder = None
        self._folder_existed = False
        self._suffix = ".asc"
        self._group = "Tumbra"

    def tr(self, text):
        return QCoreApplication.translate("RockfallSimulationAlgorithm", text)

    def createInstance(self):  # noqa: N802
        return RockfallSimulationAlgorithm()

    def name(self):
        return "rockfallsimulation"

    def displayName(self):  # noqa: N802
        return self.tr("Rockfall simulation")

    def icon(self):
        return QIcon(os.path.join(os.path.dirname(__file__), "icon.svg"))

    def shortHelpString(self):  # noqa: N802
        return self.tr(
            "Simulates rockfall trajectories over a DEM from the start cells with the Tumbra engine (tumbra-run) "
            "and loads the passage counts (N), the reach probability in percent (Reach_prob) and every other grid "
            "the run writes, each styled by the .qml tumbra-run writes beside it, grouped under the run's name: "
            "the reach probability on top, the hazard level and the intensity grids below it, then the rest. "
            "Saved trajectories in a GeoTIFF run load as lines, with the trajectories that never left their start "
            "cell as points.\n\n"
            "The start cells are a raster on the DEM's grid (cells > 0 are sources) or a vector layer of release "
            "areas. With a seed (a whole number from 0 to 18446744073709551615) the run is reproducible: the same seed "
            "gives the same files as tumbra-run on the command line. Saved trajectory points go to "
            "trajectory_points.txt, and with GeoTIFF output also to trajectories.gpkg. Cancel stops the run; then no result file is written.\n\n"
            "With a release frequency, or a frequency field of the release areas, the run also gives Freq_any (events "
            "per year reaching each cell); with the hazard map (advanced parameters: intensity, a block volume or "
            "volume field, and two energy class limits) Hazard_level, styled and loaded below the reach probability, "
            "and Hazard_matrix_cell. The fields of the release areas give each area its own frequency, block and "
            "fall height.\n\n"
            "Layers that exist only in the project are first written to temporary files. tumbra-run is taken "
            "from Processing > Options > Providers > Tumbra, else from beside the plugin, else from the build of "
            "the checkout a linked plugin comes from, else from PATH."
        )

    def initAlgorithm(self, config=None):  # noqa: N802
        # No layer guessed for the inputs: the DEM only where the project holds one raster alone.
        self.addParameter(
            _chooser(
                QgsProcessingParameterRasterLayer(self.DEM, self.tr("Digital elevation model")),
                UnchosenLayerWrapper,
                only_raster=True,
            )
        )
        self.addParameter(
            _chooser(
                QgsProcessingParameterMapLayer(
                    self.START,
                    self.tr("Start cells (raster on the DEM's grid, or release areas)"),
                    types=[QgsProcessing.TypeRaster, QgsProcessing.TypeVectorAnyGeometry],
                ),
                UnchosenLayerWrapper,
            )
        )
        self.addParameter(
            layer_of_file_parameter(self.START_LAYER, self.tr("Layer of the start-cells file (vector files)"), self.START)
        )
        self.addParameter(
            _advanced(
                QgsProcessingParameterString(
                    self.START_WHERE, self.tr("Filter of the start cells (OGR SQL, e.g. type = 'cliff')"),
                    optional=True,
                )
            )
        )
        self.addParameter(
            QgsProcessingParameterMapLayer(
                self.OBJECTS,
                self.tr("Objects at risk"),
                optional=True,
                types=[QgsProcessing.TypeRaster, QgsProcessing.TypeVectorAnyGeometry],
            )
        )
        self.addParameter(
            layer_of_file_parameter(self.OBJECTS_LAYER, self.tr("Layer of the objects file (vector files)"), self.OBJECTS)
        )
        self.addParameter(
            _advanced(
                _chooser(
                    QgsProcessingParameterField(
                        self.OBJECTS_ID,
                        self.tr("Field holding the object ids (default: feature id)"),
                        parentLayerParameterName=self.OBJECTS,
                        optional=True,
                    ),
                    LayerFieldWrapper,
                    parent=self.OBJECTS,
                )
            )
        )
        self.addParameter(
            QgsProcessingParameterMapLayer(
                self.FOREST,
                self.tr("Forest (indices 0 to 1: a raster on the DEM's grid or polygons; needs a seed)"),
                optional=True,
                types=[QgsProcessing.TypeRaster, QgsProcessing.TypeVectorPolygon],
            )
        )
        self.addParameter(
            QgsProcessingParameterMapLayer(
                self.BARRIERS,
                self.tr("Barriers (lines; need a seed, the intensity and a block volume)"),
                optional=True,
                types=[QgsProcessing.TypeVectorLine],
            )
        )
        for row in SETTINGS:
            if not row.get("optional"):
                self.addParameter(self._setting_parameter(row))
        self.addParameter(
            QgsProcessingParameterBoolean(
                self.SAVE_TRAJECTORIES,
                self.tr("Save trajectory points"),
                defaultValue=False,
            )
        )
        self.addParameter(
            QgsProcessingParameterBoolean(
                self.REPORT,
                self.tr("Write the run report (report.pdf)"),
                defaultValue=False,
            )
        )
        self.addParameter(
            QgsProcessingParameterString(
                self.SEED,
                self.tr("Seed (for a reproducible run)"),
                optional=True,
            )
        )
        self.addParameter(
            QgsProcessingParameterEnum(
                self.OUTPUT_FORMAT,
                self.tr("Output format"),
                options=[label for label, _, _ in OUTPUT_FORMATS],
                defaultValue=0,
            )
        )
        self.addParameter(
            _advanced(
                QgsProcessingParameterBoolean(
                    self.INTENSITY,
                    self.tr("Intensity: energy-line height, velocity and energy per cell"),
                    defaultValue=False,
                )
            )
        )
        self.addParameter(
            _advanced(
                QgsProcessingParameterBoolean(
                    self.HAZARD,
                    self.tr(
                        "Hazard map: hazard level per cell (needs intensity, a block volume or volume field, a "
                        "release frequency or frequency field, and two energy class limits)"
                    ),
                    defaultValue=False,
                )
            )
        )
        for row in SETTINGS:
            if row.get("optional"):
                self.addParameter(_advanced(self._setting_parameter(row)))
        self.addParameter(
            _advanced(
                QgsProcessingParameterNumber(
                    self.THREADS,
                    self.tr("Simulation threads (default: all cores)"),
                    QgsProcessingParameterNumber.Integer,
                    optional=True,
                    minValue=1,
                )
            )
        )
        self.addParameter(
            _advanced(
                QgsProcessingParameterBoolean(
                    self.OVERWRITE, self.tr("Replace result files already in the output folder"), defaultValue=False
                )
            )
        )
        # A temporary folder unless one is chosen, also for qgis_process.
        self.addParameter(
            QgsProcessingParameterFolderDestination(
                self.OUTPUT, self.tr("Output folder"), defaultValue=QgsProcessing.TEMPORARY_OUTPUT
            )
        )
        for _, output, description in RESULT_GRIDS:
            self.addOutput(QgsProcessingOutputRasterLayer(output, self.tr(description)))
        self.addOutput(QgsProcessingOutputMultipleLayers("GRIDS", self.tr("All result grids")))
        self.addOutput(QgsProcessingOutputFile("LOG", self.tr("Run log (log.txt)")))
        self.addOutput(QgsProcessingOutputFile("OBJECTS_TABLE", self.tr("Objects reached (objects.csv)")))
        self.addOutput(QgsProcessingOutputFile("REPORT_FILE", self.tr("Run report (report.pdf)")))
        self.addOutput(QgsProcessingOutputFile("TRAJECTORIES", self.tr("Trajectories (trajectories.gpkg)")))
        self.addOutput(QgsProcessingOutputFile("BARRIERS_TABLE", self.tr("Barriers (barriers.csv)")))
        self.addOutput(QgsProcessingOutputFile("BARRIERS_LAYER", self.tr("Barriers (barriers.gpkg)")))

    def _setting_parameter(self, row):
        unit = f" ({row['unit']})" if row.get("unit") else ""
        name = row["parameter"]
        optional = bool(row.get("optional"))
        # Optional rows are passed only when set, so they start unset and tumbra-run's default holds; those
        # passed only with another option show their default.
        default = None if optional and not row.get("with") else row.get("default")
        if row.get("field"):
            parent = self.START if row["field"] is True else row["field"]
            of_start = self.tr(" (of the start layer)") if row["field"] is True else ""
            return _chooser(
                QgsProcessingParameterField(
                    name,
                    self.tr(row["label"]) + of_start,
                    defaultValue=None if row["field"] is True else default,
                    parentLayerParameterName=parent,
                    type=QgsProcessingParameterField.Numeric,
                    optional=True,
                ),
                LayerFieldWrapper,
                parent=parent,
                numeric=True,
            )
        if row["type"] == "choice":
            return QgsProcessingParameterEnum(name, self.tr(row["label"]), options=row["choices"], defaultValue=default)
        if row["type"] == "text":
            return QgsProcessingParameterString(
                name, self.tr(row["label"]) + unit, defaultValue=default, optional=optional
            )
        kind = QgsProcessingParameterNumber.Integer if row["type"] == "int" else QgsProcessingParameterNumber.Double
        limits = {}
        if "minimum" in row:
            limits["minValue"] = row["minimum"]
        if "maximum" in row:
            limits["maxValue"] = row["maximum"]
        parameter = QgsProcessingParameterNumber(
            name, self.tr(row["label"]) + unit, kind, defaultValue=default, optional=optional, **limits
        )
        if "decimals" in row:
            parameter.setMetadata({"widget_wrapper": {"decimals": row["decimals"]}})
        return parameter

    # Runs on the main thread: layers of the project are read here.
    def prepareAlgorithm(self, parameters, context, feedback):  # noqa: N802
        try:
            executable = engine.find_executable()
        except engine.EngineError as error:
            raise QgsProcessingException(str(error)) from error
        self._scratch = tempfile.mkdtemp(prefix="tumbra-inputs-")
        try:
            self._command = self._build_command(executable, parameters, context, feedback)
        except Exception:
            self._remove_scratch()
            raise
        return True

    def _build_command(self, executable, parameters, context, feedback):
        command = [executable]
        dem = self.parameterAsRasterLayer(parameters, self.DEM, context)
        if dem is None:
            raise QgsProcessingException(self.tr("The DEM could not be loaded as a raster layer."))
        command += ["--dem", self._raster_file(dem, "dem", context, feedback)]

        start = self.parameterAsLayer(parameters, self.START, context)
        if start is None:
            raise QgsProcessingException(self.tr("The start cells could not be loaded as a layer."))
        start_file, start_layer = self._layer_file(start, "start_cells", context, feedback)
        command += ["--start", start_file]
        if _is_set(parameters, self.START_LAYER):
            start_layer = self.parameterAsString(parameters, self.START_LAYER, context)
        optional = []
        if start_layer:
            optional += ["--start-layer", start_layer]
        if _is_set(parameters, self.START_WHERE):
            optional += ["--start-where", self.parameterAsString(parameters, self.START_WHERE, context)]

        if _is_set(parameters, self.OBJECTS):
            objects = self.parameterAsLayer(parameters, self.OBJECTS, context)
            if objects is None:
                raise QgsProcessingException(self.tr("The objects at risk could not be loaded as a layer."))
            objects_file, objects_layer = self._layer_file(objects, "objects", context, feedback)
            optional += ["--objects", objects_file]
            if _is_set(parameters, self.OBJECTS_LAYER):
                objects_layer = self.parameterAsString(parameters, self.OBJECTS_LAYER, context)
            if objects_layer:
                optional += ["--objects-layer", objects_layer]
            object_id = next(iter(self.parameterAsFields(parameters, self.OBJECTS_ID, context)), "")
            if object_id:
                optional += ["--objects-id", object_id]

        # The forest and barriers, and which of them are vector layers (their field applies to those only).
        measures = {}
        for name, option, stem in ((self.FOREST, "--forest", "forest"), (self.BARRIERS, "--barriers", "barriers")):
            if not _is_set(parameters, name):
                continue
            layer = self.parameterAsLayer(parameters, name, context)
            if layer is None:
                raise QgsProcessingException(self.tr("The layer {0} could not be loaded.").format(stem))
            path, layer_name = self._layer_file(layer, stem, context, feedback)
            if layer_name:
                # tumbra-run reads a file's first layer: one of several goes to a file of its own.
                layer = QgsVectorLayer(f"{path}|layername={layer_name}", stem, "ogr")
                path = self._copied_vector(layer, stem, context, feedback)
            optional += [option, path]
            measures[option] = layer.type() == QgsMapLayer.VectorLayer

        switches = {
            "--intensity": self.parameterAsBoolean(parameters, self.INTENSITY, context),
            "--hazard": self.parameterAsBoolean(parameters, self.HAZARD, context),
        }
        values = {}
        for row in SETTINGS:
            name = row["parameter"]
            if row.get("optional") and not _is_set(parameters, name):
                continue
            if row.get("with") and not switches.get(row["with"], measures.get(row["with"])):
                continue
            if row.get("field"):
                argument = next(iter(self.parameterAsFields(parameters, name, context)), "")
                if not argument:
                    continue
            elif row["type"] == "choice":
                argument = row["values"][self.parameterAsEnum(parameters, name, context)]
            elif row["type"] == "int":
                argument = str(self.parameterAsInt(parameters, name, context))
            elif row["type"] == "double":
                argument = _plain_number(self.parameterAsDouble(parameters, name, context))
            else:
                argument = self.parameterAsString(parameters, name, context)
            values[name] = argument
            (optional if row.get("optional") else command).extend([row["option"], argument])
        optional += [option for option, on in switches.items() if on]

        if self.parameterAsBoolean(parameters, self.SAVE_TRAJECTORIES, context):
            command.append("--save-trajectories")
        if self.parameterAsBoolean(parameters, self.REPORT, context):
            command.append("--report")
        _, format_name, self._suffix = OUTPUT_FORMATS[self.parameterAsEnum(parameters, self.OUTPUT_FORMAT, context)]
        command += ["--format", format_name]
        if _is_set(parameters, self.SEED):
            command += ["--seed", self.parameterAsString(parameters, self.SEED, context).strip()]
        if _is_set(parameters, self.THREADS):
            command += ["--threads", str(self.parameterAsInt(parameters, self.THREADS, context))]
        if self.parameterAsBoolean(parameters, self.OVERWRITE, context):
            command.append("--overwrite")

        for option in optional:
            if option.startswith("--") and not engine.supports(executable, option):
                raise QgsProcessingException(
                    self.tr(
                        "This tumbra-run ({0}) does not know the option {1}, which the parameters set. Install a "
                        "newer Tumbra, or leave that parameter unset."
                    ).format(executable, option)
                )
        command += optional

        self._output_folder = os.path.abspath(self.parameterAsFileOutput(parameters, self.OUTPUT, context))
        self._folder_existed = os.path.exists(self._output_folder)
        command += ["--output", self._output_folder]
        if engine.supports(executable, "--progress-lines"):
            command.append("--progress-lines")
        else:
            feedback.pushInfo(self.tr("This tumbra-run reports no progress lines; the bar moves when it ends."))
        self._group = "Tumbra {0} sims, {1}°, {2} m ({3})".format(
            values.get("SIMULATIONS"), values.get("MAX_ANGLE"), values.get("SEGMENT_LENGTH"), time.strftime("%H:%M:%S")
        )
        return command

    def _raster_file(self, layer, stem, context, feedback):
        """A file tumbra-run can read holding the raster layer: its own file
        when it has one of the suffixes tumbra-run reads, else a temporary GeoTIFF."""
        source = layer.source()
        if layer.providerType() == "gdal" and os.path.isfile(source) and source.lower().endswith(RASTER_SUFFIXES):
            return source
        path = os.path.join(self._scratch, stem + ".tif")
        feedback.pushInfo(self.tr("Writing {0} to the temporary file {1}").format(layer.name(), path))
        provider = layer.dataProvider()
        pipe = QgsRasterPipe()
        if not pipe.set(provider.clone()):
            raise QgsProcessingException(self.tr("The layer {0} could not be read.").format(layer.name()))
        writer = QgsRasterFileWriter(path)
        writer.setOutputFormat("GTiff")
        error = writer.writeRaster(
            pipe, provider.xSize(), provider.ySize(), provider.extent(), provider.crs(), context.transformContext()
        )
        if error != QgsRasterFileWriter.NoError:
            raise QgsProcessingException(
                self.tr("The layer {0} could not be written to {1} (error {2}).").format(layer.name(), path, error)
            )
        return path

    def _layer_file(self, layer, stem, context, feedback):
        """(file, layer name inside it or None) for a raster or vector layer."""
        if layer.type() == QgsMapLayer.RasterLayer:
            return self._raster_file(layer, stem, context, feedback), None
        if layer.type() != QgsMapLayer.VectorLayer:
            raise QgsProcessingException(self.tr("{0} is neither a raster nor a vector layer.").format(layer.name()))
        parts = QgsProviderRegistry.instance().decodeUri(layer.providerType(), layer.source())
        path = parts.get("path", "")
        if (
            layer.providerType() == "ogr"
            and os.path.isfile(path)
            and path.lower().endswith(VECTOR_SUFFIXES)
            and not layer.subsetString()
            and not parts.get("subset")
        ):
            return path, parts.get("layerName") or None
        return self._copied_vector(layer, stem, context, feedback), None

    def _copied_vector(self, layer, stem, context, feedback):
        """A temporary GeoPackage holding the vector layer's features alone."""
        path = os.path.join(self._scratch, stem + ".gpkg")
        feedback.pushInfo(self.tr("Writing {0} to the temporary file {1}").format(layer.name(), path))
        options = QgsVectorFileWriter.SaveVectorOptions()
        options.driverName = "GPKG"
        options.layerName = stem
        if hasattr(QgsVectorFileWriter, "writeAsVectorFormatV3"):
            written = QgsVectorFileWriter.writeAsVectorFormatV3(layer, path, context.transformContext(), options)
        else:
            written = QgsVectorFileWriter.writeAsVectorFormatV2(layer, path, context.transformContext(), options)
        if written[0] != QgsVectorFileWriter.NoError:
            raise QgsProcessingException(
                self.tr("The layer {0} could not be written to {1}: {2}").format(layer.name(), path, written[1])
            )
        return path

    def _remove_scratch(self):
        if self._scratch:
            shutil.rmtree(self._scratch, ignore_errors=True)
            self._scratch = None

    def _remove_unfinished_folder(self):
        if not self._folder_existed and os.path.isdir(self._output_folder) and not os.listdir(self._output_folder):
            os.rmdir(self._output_folder)

    def processAlgorithm(self, parameters, context, feedback):  # noqa: N802
        if feedback is None:
            feedback = QgsProcessingFeedback()
        feedback.pushCommandInfo(" ".join(self._command))
        try:
            self._placed = []
            code, errors, cancelled = engine.run(self._command, feedback, self._placed)
        except engine.EngineError as error:
            raise QgsProcessingException(str(error)) from error
        finally:
            self._remove_scratch()
        if code != engine.COMPLETED:
            self._remove_unfinished_folder()
            if code == engine.STOPPED:
                raise QgsProcessingException(self.tr("The run was cancelled: tumbra-run stopped and wrote no files."))
            if cancelled:
                raise QgsProcessingException(
                    self.tr("The run was cancelled, but tumbra-run ended with code {0}; check {1} for leftovers.").format(
                        code, self._output_folder
                    )
                )
            raise QgsProcessingException(
                self.tr("tumbra-run failed (exit code {0}):\n{1}").format(code, errors or self.tr("no message"))
            )
        feedback.setProgress(100)
        return self._results(context, feedback)

    def _was_placed(self, path):
        """Whether the run placed this file: by its own list when tumbra-run
        gives one, else by what the folder holds."""
        placed = getattr(self, "_placed", None)
        if placed:
            return os.path.normpath(path) in {os.path.normpath(p) for p in placed}
        return os.path.isfile(path)

    def _results(self, context, feedback):
        folder = self._output_folder
        results = {self.OUTPUT: folder}
        log = os.path.join(folder, "log.txt")
        if os.path.isfile(log):
            results["LOG"] = log
            with open(log, encoding="utf-8", errors="replace") as text:
                for line in text.read().splitlines():
                    feedback.pushConsoleInfo(line)
        grids = []
        for stem, output, description in RESULT_GRIDS:
            path = os.path.join(folder, stem + self._suffix)
            if self._was_placed(path):
                results[output] = path
                grids.append((path, stem))
        for pattern in CLASS_GRIDS:
            for path in sorted(glob.glob(os.path.join(folder, pattern + self._suffix))):
                if self._was_placed(path):
                    grids.append((path, os.path.splitext(os.path.basename(path))[0]))
        results["GRIDS"] = [path for path, _ in grids]
        for name, output in (
            ("objects.csv", "OBJECTS_TABLE"),
            ("report.pdf", "REPORT_FILE"),
            ("trajectories.gpkg", "TRAJECTORIES"),
            ("barriers.csv", "BARRIERS_TABLE"),
            ("barriers.gpkg", "BARRIERS_LAYER"),
        ):
            path = os.path.join(folder, name)
            if self._was_placed(path):
                results[output] = path

        project = context.project()
        if project is not None:
            # LayerStyler styles each layer and places it in the group in the order of layout.LOAD_ORDER.
            loads = list(grids)
            if "OBJECTS_TABLE" in results:
                loads.append((results["OBJECTS_TABLE"], "objects"))
            if "BARRIERS_LAYER" in results:
                write_barrier_style(results["BARRIERS_LAYER"])
                loads.append((results["BARRIERS_LAYER"], "barriers"))
            for path, name in loads:
                details = QgsProcessingContext.LayerDetails(name, project, name)
                details.setPostProcessor(LayerStyler.create(self._group))
                context.addLayerToLoadOnCompletion(path, details)
            if "TRAJECTORIES" in results:
                self._load_trajectories(results["TRAJECTORIES"], project, context, feedback)
        return results

    def _load_trajectories(self, path, project, context, feedback):
        """Each layer of trajectories.gpkg on its own, as Processing loads one layer of a file by its path."""
        layers = [QgsVectorLayer(f"{path}|layername={name}", name, "ogr") for name in TRAJECTORY_LAYERS]
        if not all(layer.isValid() for layer in layers):
            feedback.reportError(self.tr("trajectories.gpkg could not be loaded: {0}").format(path))
            return
        hidden = layers[0].featureCount() > TRAJECTORIES_DRAWN
        if hidden:
            feedback.pushInfo(
                self.tr("{0} trajectories: their layers are loaded unticked; tick them to draw them.").format(
                    layers[0].featureCount()
                )
            )
        for layer in layers:
            context.temporaryLayerStore().addMapLayer(layer)
            details = QgsProcessingContext.LayerDetails(layer.name(), project, "TRAJECTORIES")
            details.setPostProcessor(LayerStyler.create(self._group, hidden))
            context.addLayerToLoadOnCompletion(layer.id(), details)
