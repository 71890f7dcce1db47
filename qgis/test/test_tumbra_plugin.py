"""Tests of the Tumbra QGIS plugin, run by scripts/test-qgis with Debian's
python3-qgis: the algorithm through qgis_process and through the Python API
against a direct tumbra-run, styles, cancel, refusals and metadata.

Needs tumbra-run on PATH (scripts/test-qgis puts build/app first).
"""

import atexit
import configparser
import filecmp
import glob
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
PLUGIN = os.path.join(REPO, "qgis", "tumbra")
DEM = os.path.join(REPO, "examples", "dem.asc")
START = os.path.join(REPO, "examples", "start_cells.asc")
ALGORITHM = "tumbra:rockfallsimulation"

sys.path.insert(0, os.path.join(REPO, "qgis"))
sys.path.append("/usr/share/qgis/python/plugins")

from qgis.core import (  # noqa: E402
    QgsApplication,
    QgsProcessingContext,
    QgsProcessingException,
    QgsProcessingFeedback,
    QgsProject,
    QgsFeature,
    QgsGeometry,
    QgsRasterLayer,
    QgsVectorLayer,
)

APP = QgsApplication([], False)
APP.initQgis()

import processing  # noqa: E402
from processing.core.Processing import Processing  # noqa: E402

Processing.initialize()

from tumbra import engine, layout, settings_table, styles  # noqa: E402
from tumbra.provider import TumbraProvider  # noqa: E402

PROVIDER = TumbraProvider()
QgsApplication.processingRegistry().addProvider(PROVIDER)
TUMBRA_RUN = shutil.which("tumbra-run")

DEFAULT_ARGUMENTS = ["--simulations", "100", "--segment-length", "5", "--profile-step", "1", "--max-angle", "22",
                     "--fall-height", "0", "--probability", "high", "--format", "asc"]

# Settings as algorithm parameters and as the same run's tumbra-run options.
CASES = [
    (
        "ascii, defaults",
        {"SEED": "7"},
        ["--seed", "7", *DEFAULT_ARGUMENTS],
    ),
    (
        "geotiff, every setting changed, trajectories",
        {"SEED": "2026", "SIMULATIONS": 40, "SEGMENT_LENGTH": 7.5, "PROFILE_STEP": 0.5, "MAX_ANGLE": 15,
         "FALL_HEIGHT": 2.5, "PROBABILITY_CLASS": 1, "OUTPUT_FORMAT": 1, "SAVE_TRAJECTORIES": True},
        ["--seed", "2026", "--simulations", "40", "--segment-length", "7.5", "--profile-step", "0.5", "--max-angle",
         "15", "--fall-height", "2.5", "--probability", "medium", "--format", "gtiff", "--save-trajectories"],
    ),
]


_scratch_folders = []


def scratch():
    _scratch_folders.append(tempfile.mkdtemp(prefix="tumbra-qgis-test-"))
    return _scratch_folders[-1]


@atexit.register
def remove_scratch_folders():
    for folder in _scratch_folders:
        shutil.rmtree(folder, ignore_errors=True)


def direct_run(arguments, folder):
    start = [] if "--start" in arguments else ["--start", START]
    return subprocess.run([TUMBRA_RUN, "--dem", DEM, *start, "--output", folder, *arguments], capture_output=True,
                          text=True)


def result_files(folder):
    # log.txt names the folders and the times, so it differs between any two runs.
    return sorted(name for name in os.listdir(folder) if name != "log.txt")


def geopackage_features(path):
    from osgeo import ogr

    source = ogr.Open(path)
    return [(layer.GetName(), [(feature.GetGeometryRef().ExportToIsoWkb(), feature.items()) for feature in layer])
            for layer in source]


def run_algorithm(parameters, feedback=None, context=None):
    """Runs the algorithm as the Processing plugin's Python API does; a
    failure raises with the messages the user sees in the algorithm's log."""
    feedback = feedback or QgsProcessingFeedback()
    context = context or QgsProcessingContext()
    context.setProject(QgsProject.instance())
    try:
        return processing.run(ALGORITHM, parameters, feedback=feedback, context=context)
    except QgsProcessingException as error:
        raise QgsProcessingException(f"{error}\n{feedback.textLog()}") from error


class qgisProcess:
    """qgis_process on a profile of its own with the plugin linked and enabled."""

    def __init__(self, *install_options, **environment):
        self.config = scratch()
        self.env = dict(os.environ, QT_QPA_PLATFORM="offscreen", QGIS_CUSTOM_CONFIG_PATH=self.config, **environment)
        subprocess.run([os.path.join(REPO, "scripts", "install-qgis-plugin"), *install_options,
                        os.path.join(self.config, "profiles", "default")], check=True, capture_output=True)
        self.call("plugins", "enable", "tumbra")

    def call(self, *arguments):
        # Debian's /usr/bin/qgis_process wrapper passes an option its binary refuses.
        return subprocess.run(["qgis_process.bin", *arguments], env=self.env, capture_output=True, text=True,
                              timeout=600)

    def run(self, parameters):
        arguments = [f"--{name}={'true' if value is True else 'false' if value is False else value}"
                     for name, value in parameters.items()]
        return self.call("run", ALGORITHM, "--json", *arguments)


def assert_same_files(test, expected, got):
    test.assertEqual(result_files(expected), result_files(got))
    for name in result_files(expected):
        if name.endswith(".gpkg"):
            # A GeoPackage records when it was written: its features must agree.
            test.assertEqual(geopackage_features(os.path.join(expected, name)),
                             geopackage_features(os.path.join(got, name)), name)
        else:
            test.assertTrue(filecmp.cmp(os.path.join(expected, name), os.path.join(got, name), shallow=False), name)


class SameBytesAsTumbraRun(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.qgis_process = qgisProcess()

    def check_same_files(self, expected, got):
        assert_same_files(self, expected, got)

    def test_outputs_equal_a_direct_run(self):
        for label, parameters, arguments in CASES:
            expected = os.path.join(scratch(), "direct")
            done = direct_run(arguments, expected)
            self.assertEqual(done.returncode, 0, done.stderr)
            common = dict(parameters, DEM=DEM, START=START)
            with self.subTest(label, through="python"):
                folder = os.path.join(scratch(), "python")
                results = run_algorithm(dict(common, OUTPUT=folder))
                self.check_same_files(expected, folder)
                self.assertEqual(results["OUTPUT"], folder)
                suffix = ".tif" if parameters.get("OUTPUT_FORMAT") == 1 else ".asc"
                self.assertEqual(results["REACH_PROB"], os.path.join(folder, "Reach_prob" + suffix))
                self.assertEqual(results["LOG"], os.path.join(folder, "log.txt"))
            with self.subTest(label, through="qgis_process"):
                folder = os.path.join(scratch(), "qgis_process")
                done = self.qgis_process.run(dict(common, OUTPUT=folder))
                self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
                self.check_same_files(expected, folder)
                outputs = json.loads(done.stdout)["results"]
                self.assertEqual(outputs["N"], os.path.join(folder, "N" + suffix))

    def test_inputs_without_a_readable_file_are_written_to_temporary_files(self):
        # A VRT is a GDAL layer whose file tumbra-run cannot read: it goes through a temporary GeoTIFF.
        from osgeo import gdal

        folder = scratch()
        vrt = os.path.join(folder, "dem.vrt")
        gdal.Translate(vrt, DEM, format="VRT")
        expected = os.path.join(folder, "direct")
        tif = os.path.join(folder, "dem.tif")
        gdal.Translate(tif, DEM, format="GTiff")
        done = subprocess.run([TUMBRA_RUN, "--dem", tif, "--start", START, "--output", expected, "--seed", "3",
                               *DEFAULT_ARGUMENTS], capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stderr)
        before = set(glob.glob(os.path.join(tempfile.gettempdir(), "tumbra-inputs-*")))
        got = os.path.join(folder, "plugin")
        run_algorithm({"DEM": QgsRasterLayer(vrt, "dem"), "START": START, "SEED": "3", "OUTPUT": got})
        self.check_same_files(expected, got)
        self.assertEqual(set(glob.glob(os.path.join(tempfile.gettempdir(), "tumbra-inputs-*"))), before)


# A rectangle inside the example's band of start cells (rows 48-64, columns 2-258).
RELEASE_AREA = "POLYGON((600100 150515,600300 150515,600300 150540,600100 150540,600100 150515))"


def write_release_areas(path, layers):
    from osgeo import ogr

    source = ogr.GetDriverByName("GPKG").CreateDataSource(path)
    for name, wkt in layers:
        layer = source.CreateLayer(name, geom_type=ogr.wkbPolygon)
        feature = ogr.Feature(layer.GetLayerDefn())
        feature.SetGeometry(ogr.CreateGeometryFromWkt(wkt))
        layer.CreateFeature(feature)
    source = None


def memory_release_area():
    layer = QgsVectorLayer("Polygon", "releases", "memory")
    feature = QgsFeature()
    feature.setGeometry(QgsGeometry.fromWkt(RELEASE_AREA))
    layer.dataProvider().addFeatures([feature])
    return layer


def write_objects_raster(path):
    with open(DEM) as dem:
        header = [next(dem) for _ in range(6)]
    with open(path, "w") as grid:
        grid.writelines(header)
        for row in range(320):
            values = ["1" if 200 <= row <= 210 and 100 <= col <= 140 else
                      "2" if 200 <= row <= 210 and 160 <= col <= 200 else "0" for col in range(260)]
            grid.write(" ".join(values) + "\n")


class OptionsOfNewerTumbraRuns(unittest.TestCase):
    """Runs with the options other parts of Tumbra add; each is skipped while
    the tumbra-run under test lacks its option."""

    def test_outputs_equal_a_direct_run(self):
        folder = scratch()
        two_layers = os.path.join(folder, "two_layers.gpkg")
        write_release_areas(two_layers, [("other", "POLYGON((600000 150000,600010 150000,600010 150010,600000 "
                                                   "150000))"), ("releases", RELEASE_AREA)])
        one_layer = os.path.join(folder, "release_area.gpkg")
        write_release_areas(one_layer, [("releases", RELEASE_AREA)])
        objects = os.path.join(folder, "objects.asc")
        write_objects_raster(objects)
        cases = [
            ("intensity", "--intensity",
             {"INTENSITY": True, "BLOCK_VOLUME": 2.0, "ROCK_DENSITY": 2600, "ENERGY_CLASSES": "30,300"},
             ["--intensity", "--block-volume", "2", "--rock-density", "2600", "--energy-classes", "30,300"]),
            ("release areas from a memory layer", "--start-layer", {"START": memory_release_area()},
             ["--start", one_layer]),
            ("the named layer of a GeoPackage", "--start-layer",
             {"START": QgsVectorLayer(two_layers + "|layername=releases", "releases", "ogr")},
             ["--start", two_layers, "--start-layer", "releases"]),
            ("objects at risk", "--objects", {"OBJECTS": objects}, ["--objects", objects]),
        ]
        for label, option, parameters, arguments in cases:
            with self.subTest(label):
                if not engine.supports(TUMBRA_RUN, option):
                    self.skipTest(f"this tumbra-run has no {option}")
                expected = os.path.join(scratch(), "direct")
                done = direct_run(DEFAULT_ARGUMENTS + ["--seed", "11"] + arguments, expected)
                self.assertEqual(done.returncode, 0, done.stderr)
                got = os.path.join(scratch(), "plugin")
                run_algorithm(dict({"DEM": DEM, "START": START, "SEED": "11", "OUTPUT": got}, **parameters))
                assert_same_files(self, expected, got)


# Stands in for a tumbra-run that knows the options of the newer parts:
# records its arguments and a copy of its start-cells file.
RECORDING_RUN = """#!/bin/sh
if [ "$1" = --help ]; then
    echo "--intensity --block-volume --rock-density --energy-classes --start-layer --start-where --objects"
    echo "--objects-layer --objects-id --hazard --release-frequency --return-periods --hazard-matrix"
    echo "--frequency-field --volume-field --forest --forest-field --forest-angle-max --forest-angle-min"
    echo "--forest-speed --forest-skip --barriers --barrier-capacity-field"
    exit 0
fi
printf '%s\\n' "$@" > "$(dirname "$0")/arguments"
while [ $# -gt 0 ]; do
    case "$1" in
        --start) cp "$2" "$(dirname "$0")/start_copy.${2##*.}" ;;
        --output) mkdir -p "$2" ;;
    esac
    shift
done
exit 0
"""


class OptionsPassedOnlyWhenSet(unittest.TestCase):
    """What reaches tumbra-run for the options of the newer parts, read from a
    stand-in named in the provider's settings."""

    def setUp(self):
        from qgis.core import QgsSettings

        self.folder = scratch()
        self.program = os.path.join(self.folder, "recording-run")
        with open(self.program, "w") as script:
            script.write(RECORDING_RUN)
        os.chmod(self.program, 0o755)
        self.key = "Processing/Configuration/" + engine.EXECUTABLE_SETTING
        QgsSettings().setValue(self.key, self.program)
        engine._help_cache.clear()

    def tearDown(self):
        from qgis.core import QgsSettings

        QgsSettings().remove(self.key)

    def arguments(self, parameters):
        run_algorithm(dict({"DEM": DEM, "START": START, "OUTPUT": os.path.join(scratch(), "out")}, **parameters))
        with open(os.path.join(self.folder, "arguments")) as recorded:
            return recorded.read().splitlines()

    def test_arguments(self):
        two_layers = os.path.join(self.folder, "two_layers.gpkg")
        write_release_areas(two_layers, [("other", RELEASE_AREA), ("releases", RELEASE_AREA)])
        objects = os.path.join(self.folder, "objects.asc")
        write_objects_raster(objects)
        newer = ["--intensity", "--block-volume", "--rock-density", "--energy-classes", "--start-layer",
                 "--start-where", "--objects", "--objects-layer", "--objects-id", "--hazard", "--release-frequency",
                 "--return-periods", "--hazard-matrix", "--frequency-field", "--volume-field", "--forest",
                 "--forest-field", "--forest-skip", "--barriers", "--barrier-capacity-field"]
        forest, barriers = (os.path.join(REPO, "examples", name) for name in ("forest.gpkg", "barriers.gpkg"))
        cases = [
            ("nothing newer set", {}, []),
            ("intensity with a volume", {"INTENSITY": True, "BLOCK_VOLUME": 2.5},
             ["--intensity", "--block-volume", "2.5"]),
            # The dialog passes the density it shows, which tumbra-run refuses without the intensity.
            ("rock density only with the intensity", {"ROCK_DENSITY": 2700, "ENERGY_CLASSES": "30,300"}, []),
            ("every intensity option", {"INTENSITY": True, "BLOCK_VOLUME": 1, "ROCK_DENSITY": 2650,
                                        "ENERGY_CLASSES": "30,300"},
             ["--block-volume", "1", "--rock-density", "2650", "--energy-classes", "30,300", "--intensity"]),
            ("a layer of a GeoPackage", {"START": QgsVectorLayer(two_layers + "|layername=releases", "r", "ogr")},
             ["--start-layer", "releases"]),
            ("the layer named by the parameter", {"START": two_layers, "START_LAYER": "other",
                                                  "START_WHERE": "fid = 1"},
             ["--start-layer", "other", "--start-where", "fid = 1"]),
            ("objects with an id field", {"OBJECTS": objects, "OBJECTS_ID": "code"},
             ["--objects", objects, "--objects-id", "code"]),
            ("the hazard map", {"INTENSITY": True, "HAZARD": True, "RELEASE_FREQUENCY": 0.01,
                                "RETURN_PERIODS": "10,50,200", "HAZARD_MATRIX": "332,221,111"},
             ["--intensity", "--hazard", "--release-frequency", "0.01", "--return-periods", "10,50,200",
              "--hazard-matrix", "332,221,111"]),
            ("return periods only with the hazard map", {"RETURN_PERIODS": "10,50,200"}, []),
            ("fields of the start layer", {"START": os.path.join(REPO, "examples", "release_areas.gpkg"),
                                           "FREQUENCY_FIELD": "frequency", "VOLUME_FIELD": "volume"},
             ["--frequency-field", "frequency", "--volume-field", "volume"]),
            ("forest and barriers, a field chosen", {"FOREST": forest, "BARRIERS": barriers, "FOREST_SKIP": 5,
                                                     "BARRIER_CAPACITY_FIELD": "capacity_kJ"},
             ["--forest", forest, "--forest-skip", "5", "--barriers", barriers, "--barrier-capacity-field",
              "capacity_kJ"]),
            ("forest numbers only with a forest", {"FOREST_SKIP": 5}, []),
        ]
        for label, parameters, expected in cases:
            with self.subTest(label):
                arguments = self.arguments(parameters)
                passed = []
                for i, word in enumerate(arguments):
                    if word in newer:
                        passed.append(word)
                        if word not in ("--intensity", "--hazard"):
                            passed.append(arguments[i + 1])
                self.assertEqual(sorted(passed), sorted(expected))

    def test_a_memory_layer_goes_to_a_temporary_geopackage(self):
        from osgeo import ogr

        arguments = self.arguments({"START": memory_release_area()})
        start = arguments[arguments.index("--start") + 1]
        self.assertTrue(start.endswith(".gpkg"), start)
        self.assertFalse(os.path.exists(start))
        copy = ogr.Open(os.path.join(self.folder, "start_copy.gpkg"))
        self.assertEqual(copy.GetLayerCount(), 1)
        features = [feature.GetGeometryRef().ExportToWkt() for feature in copy.GetLayer(0)]
        self.assertEqual(features, [RELEASE_AREA.replace("POLYGON((", "POLYGON ((")])


class RefusalsAndCancel(unittest.TestCase):
    def test_bad_parameters_give_tumbras_message(self):
        folder = scratch()
        other_grid = os.path.join(folder, "start_other_grid.asc")
        with open(other_grid, "w") as grid:
            grid.write("ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 2\nNODATA_value -9999\n1 0 0\n0 0 1\n")
        cases = [
            ("seed not a number", {"SEED": "seven"}, ["--seed", "seven"]),
            ("start cells on another grid", {"START": other_grid}, ["--start", other_grid]),
        ]
        for label, parameters, arguments in cases:
            with self.subTest(label):
                expected = direct_run(arguments, os.path.join(folder, "direct"))
                self.assertEqual(expected.returncode, 1)
                message = expected.stderr.strip().splitlines()[0].replace("Error: ", "")
                out = os.path.join(folder, label.replace(" ", "_"))
                with self.assertRaises(QgsProcessingException) as refused:
                    run_algorithm(dict({"DEM": DEM, "START": START, "OUTPUT": out}, **parameters))
                self.assertIn(message, str(refused.exception))
                self.assertFalse(os.path.exists(out))
                done = qgisProcess().run(dict({"DEM": DEM, "START": START, "OUTPUT": out}, **parameters))
                self.assertNotEqual(done.returncode, 0)
                self.assertIn(message, done.stdout + done.stderr)

    def test_out_of_range_settings_are_refused_by_qgis(self):
        for row in settings_table.SETTINGS:
            if "minimum" not in row or row.get("optional") or row["minimum"] <= 0:
                continue
            with self.subTest(row["name"]):
                with self.assertRaises(QgsProcessingException) as refused:
                    run_algorithm({"DEM": DEM, "START": START, row["parameter"]: row["minimum"] / 2 - 1,
                                   "OUTPUT": os.path.join(scratch(), "out")})
                self.assertIn(row["parameter"], str(refused.exception))

    def test_cancel_stops_the_run_and_leaves_nothing(self):
        out = os.path.join(scratch(), "cancelled")
        feedback = QgsProcessingFeedback()
        before = set(glob.glob(os.path.join(tempfile.gettempdir(), "tumbra-inputs-*")))
        timer = threading.Timer(1.0, feedback.cancel)
        timer.start()
        with self.assertRaises(QgsProcessingException) as stopped:
            run_algorithm({"DEM": DEM, "START": START, "SIMULATIONS": 200000, "SEED": "1", "OUTPUT": out}, feedback)
        timer.cancel()
        self.assertIn("cancelled: tumbra-run stopped and wrote no files", str(stopped.exception))
        self.assertFalse(os.path.exists(out))
        self.assertEqual(set(glob.glob(os.path.join(tempfile.gettempdir(), "tumbra-inputs-*"))), before)

    def test_a_missing_tumbra_run_is_named(self):
        from qgis.core import QgsSettings

        key = "Processing/Configuration/" + engine.EXECUTABLE_SETTING
        cases = [("not on PATH", "", "tumbra-run was not found"),
                 ("wrong path in the settings", "/nowhere/tumbra-run", "/nowhere/tumbra-run")]
        path = os.environ["PATH"]
        checkout_programs = engine.checkout_programs
        try:
            os.environ["PATH"] = "/nonexistent"
            # The plugin is imported from this checkout, whose build holds a tumbra-run.
            engine.checkout_programs = lambda: []
            for label, setting, message in cases:
                with self.subTest(label):
                    QgsSettings().setValue(key, setting)
                    with self.assertRaises(QgsProcessingException) as refused:
                        run_algorithm({"DEM": DEM, "START": START, "OUTPUT": os.path.join(scratch(), "x")})
                    self.assertIn(message, str(refused.exception))
        finally:
            os.environ["PATH"] = path
            engine.checkout_programs = checkout_programs
            QgsSettings().remove(key)


class FakeFeedback:
    def __init__(self, cancel_at=None):
        self.progress, self.texts, self.infos, self.warnings = [], [], [], []
        self.cancel_at = cancel_at

    def isCanceled(self):  # noqa: N802
        return self.cancel_at is not None and self.cancel_at in self.infos

    def setProgress(self, value):  # noqa: N802
        self.progress.append(value)

    def setProgressText(self, text):  # noqa: N802
        self.texts.append(text)

    def pushInfo(self, text):  # noqa: N802
        self.infos.append(text)

    def pushWarning(self, text):  # noqa: N802
        self.warnings.append(text)


# Stands in for a tumbra-run with progress lines: prints them, then waits for
# the stop signal when asked to, and exits as tumbra-run does on a stop.
FAKE_RUN = """#!/bin/sh
trap 'echo stopping; exit 2' INT
echo "progress 0 Reading inputs"
echo "progress 100 Reading inputs"
echo "progress 37 Simulating trajectories"
echo "Warning: a warning" >&2
echo "Error: an error" >&2
echo "plain message"
if [ "$1" = wait ]; then echo waiting; while :; do sleep 0.05; done; fi
echo "progress 100 Writing results"
exit 0
"""


class ProgressLines(unittest.TestCase):
    def setUp(self):
        self.program = os.path.join(scratch(), "fake-run")
        with open(self.program, "w") as script:
            script.write(FAKE_RUN)
        os.chmod(self.program, 0o755)

    def test_progress_lines_drive_the_bar_and_the_phase(self):
        feedback = FakeFeedback()
        code, errors, cancelled = engine.run([self.program], feedback)
        self.assertEqual((code, cancelled), (0, False))
        self.assertEqual(feedback.progress, [0, 100, 37, 100])
        self.assertEqual(feedback.texts, ["Reading inputs", "Simulating trajectories", "Writing results"])
        self.assertEqual(feedback.infos, ["plain message"])
        self.assertEqual(feedback.warnings, ["Warning: a warning"])
        self.assertEqual(errors, "Warning: a warning\nError: an error")

    def test_cancel_sends_the_stop_signal(self):
        feedback = FakeFeedback(cancel_at="waiting")
        code, errors, cancelled = engine.run([self.program, "wait"], feedback)
        self.assertEqual((code, cancelled), (2, True))
        self.assertIn("stopping", feedback.infos)

    def test_a_real_run_reports_progress_when_tumbra_run_can(self):
        if not engine.supports(TUMBRA_RUN, "--progress-lines"):
            self.skipTest("this tumbra-run has no --progress-lines")
        seen = []
        feedback = QgsProcessingFeedback()
        feedback.progressChanged.connect(seen.append)
        run_algorithm({"DEM": DEM, "START": START, "SEED": "1", "OUTPUT": os.path.join(scratch(), "p")}, feedback)
        self.assertGreater(len(set(seen)), 10)
        self.assertEqual(max(seen), 100)


class SettingsTable(unittest.TestCase):
    def test_the_plugin_rows_match_tumbra_runs_table(self):
        table = engine.settings_table(TUMBRA_RUN)
        if table is None:
            self.skipTest("this tumbra-run has no --settings-table")
        self.assertEqual(settings_table.differences_from(table), [])

    def test_differences_are_found(self):
        rows = [dict(row) for row in settings_table.SETTINGS if not row.get("optional")]
        by_option = {row["option"]: row for row in rows}
        cases = [
            ("same", lambda: None, []),
            ("default differs", lambda: by_option["--segment-length"].update(default=10),
             ["--segment-length: default"]),
            ("maximum differs", lambda: by_option["--max-angle"].update(maximum=89), ["--max-angle: maximum"]),
            ("choice renamed", lambda: by_option["--probability"].update(choices=["H", "M", "L"]),
             ["--probability: choices"]),
            ("row only in the table", lambda: rows.append({"option": "--new", "label": "New"}), ["--new (New)"]),
            ("row missing in the table", lambda: rows.remove(by_option["--fall-height"]), ["--fall-height"]),
            ("own parameter rows are not compared", lambda: rows.append({"option": "--seed", "label": "Seed"}), []),
        ]
        for label, change, expected in cases:
            with self.subTest(label):
                rows[:] = [dict(row) for row in settings_table.SETTINGS if not row.get("optional")]
                by_option.clear()
                by_option.update({row["option"]: row for row in rows})
                change()
                found = settings_table.differences_from({"settings": rows})
                self.assertEqual(len(found), len(expected), found)
                for start, line in zip(expected, found):
                    self.assertTrue(line.startswith(start), line)

    def test_parameters_carry_the_rows(self):
        algorithm = QgsApplication.processingRegistry().algorithmById(ALGORITHM)
        for row in settings_table.SETTINGS:
            with self.subTest(row["name"]):
                parameter = algorithm.parameterDefinition(row["parameter"])
                self.assertIsNotNone(parameter)
                self.assertIn(row["label"], parameter.description())
                if row["type"] in ("int", "double"):
                    self.assertEqual(parameter.minimum(), row.get("minimum", parameter.minimum()))
                    self.assertEqual(parameter.maximum(), row.get("maximum", parameter.maximum()))
                # The dialog shows each default as its value; only what has none starts unset.
                unset = row.get("field") is True  # a field of the start layer: none unless chosen
                self.assertEqual(parameter.defaultValue(), None if unset else row.get("default"))


class Styles(unittest.TestCase):
    def test_reach_probability_classes(self):
        owner = styles.reach_probability_shader()
        shader = owner.rasterShaderFunction()
        # Each class holds the values above the previous bound up to its own, as in the window's map.
        cases = [(0.0, None), (0.05, "#ffffb2"), (1.0, "#ffffb2"), (1.1, "#fed976"), (5.0, "#fed976"),
                 (10.0, "#feb24c"), (25.0, "#fd8d3c"), (25.1, "#f03b20"), (50.0, "#f03b20"), (50.1, "#bd0026"),
                 (100.0, "#bd0026")]
        for value, colour in cases:
            with self.subTest(value=value):
                ok, red, green, blue, alpha = shader.shade(value)
                self.assertTrue(ok)
                if colour is None:
                    self.assertEqual(alpha, 0)
                else:
                    self.assertEqual("#%02x%02x%02x" % (red, green, blue), colour)
                    self.assertEqual(alpha, 255)

    def test_a_style_beside_the_grid_wins(self):
        folder = os.path.join(scratch(), "run")
        self.assertEqual(direct_run(["--seed", "1", "--simulations", "5"], folder).returncode, 0)
        grid = os.path.join(folder, "Reach_prob.asc")
        # tumbra-run writes its own style beside the grid; this test writes its own.
        os.remove(os.path.join(folder, "Reach_prob.qml"))
        cases = [("no style file", None, "singlebandpseudocolor", "classes"),
                 ("a style file", "singlebandgray", "singlebandgray", os.path.join(folder, "Reach_prob.qml"))]
        for label, saved, renderer, how in cases:
            with self.subTest(label):
                if saved:
                    # A style unlike the built classes, so that its use shows.
                    layer = QgsRasterLayer(grid, "styled")
                    self.assertEqual(layer.renderer().type(), saved)
                    layer.saveNamedStyle(how)
                layer = QgsRasterLayer(grid, "Reach_prob")
                self.assertEqual(styles.apply_result_style(layer), how)
                self.assertEqual(layer.renderer().type(), renderer)

    def test_layers_take_their_place_in_the_group_in_any_loading_order(self):
        # (layers in the group, top first; the one loading; where it goes)
        cases = [([], "N", 0), (["N"], "Reach_prob", 0), (["Reach_prob", "N"], "Hazard_level", 1),
                 (["Reach_prob", "N"], "Velocity_max", 1), (["Reach_prob", "Height_max", "N"], "Reach_prob_30kJ", 1),
                 (["Reach_prob", "Reach_prob_30kJ", "N"], "Reach_prob_300kJ", 2),
                 (["Reach_prob", "Energy_max"], "trajectories", 0), (["trajectories", "N"], "barriers", 0),
                 (["Reach_prob", "N"], "Reach_prob_unprotected", 2), (["Reach_prob", "N"], "objects", 2)]
        for group, name, position in cases:
            with self.subTest(group=group, name=name):
                self.assertEqual(layout.insert_position(group, name), position)

    def test_a_full_intensity_run_loads_styled_with_the_reach_on_top(self):
        project = QgsProject.instance()
        project.clear()
        folder = os.path.join(scratch(), "loaded")
        context = QgsProcessingContext()
        context.setProject(project)
        parameters = {"DEM": DEM, "START": START, "SEED": "5", "SIMULATIONS": 2, "OUTPUT_FORMAT": 1,
                      "SAVE_TRAJECTORIES": True, "INTENSITY": True, "BLOCK_VOLUME": 2.0, "OUTPUT": folder}
        processing.runAndLoadResults(ALGORITHM, parameters, feedback=QgsProcessingFeedback(), context=context)
        groups = [node for node in project.layerTreeRoot().children() if node.name().startswith("Tumbra ")]
        self.assertEqual(len(groups), 1)
        names = [node.name() for node in groups[0].children()]
        self.assertEqual(names, ["trajectories_stopped_at_start", "trajectories", "Reach_prob", "Energy_max",
                                 "Reach_prob_30kJ", "Reach_prob_300kJ", "Height_max", "Velocity_max", "Height_mean",
                                 "N"])
        renderers = {"trajectories": "singleSymbol", "trajectories_stopped_at_start": "singleSymbol"}
        for node in groups[0].children():
            layer = node.layer()
            with self.subTest(layer.name()):
                self.assertTrue(layer.isValid())
                self.assertEqual(layer.renderer().type(), renderers.get(layer.name(), "singlebandpseudocolor"))
                if layer.name() in renderers:
                    self.assertIn(layer.renderer().symbol().color().alpha(), range(1, 256))
                else:
                    # Styled from the .qml beside the grid, the unreached cells transparent.
                    self.assertIsNotNone(styles.style_beside(layer.source()))
                    self.assertTrue(layer.renderer().rasterTransparency().transparentSingleValuePixelList())
                    self.assertTrue(node.isVisible())


class Installs(unittest.TestCase):
    def test_linked_and_copied_plugins_find_tumbra_run_off_path(self):
        # PATH without tumbra-run: the linked plugin follows its link to this checkout's build, the copy has its own.
        path = os.pathsep.join(folder for folder in os.environ["PATH"].split(os.pathsep)
                               if not os.path.isfile(os.path.join(folder, "tumbra-run")))
        for options in ([], ["--copy"]):
            with self.subTest(options=options):
                out = os.path.join(scratch(), "run")
                done = qgisProcess(*options, PATH=path).run({"DEM": DEM, "START": START, "SIMULATIONS": 2,
                                                             "OUTPUT": out})
                self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
                self.assertTrue(os.path.isfile(os.path.join(out, "Reach_prob.asc")))


class DialogWidgets(unittest.TestCase):
    """The widgets the algorithm's dialog shows for its layers, as the Processing plugin makes them."""

    def wrapper(self, name):
        from processing.gui.wrappers import WidgetWrapperFactory
        from qgis.PyQt.QtWidgets import QDialog

        parameter = QgsApplication.processingRegistry().algorithmById(ALGORITHM).parameterDefinition(name)
        self.dialog = QDialog()
        return WidgetWrapperFactory.create_wrapper(parameter, self.dialog)

    def test_no_layer_is_guessed(self):
        objects = os.path.join(REPO, "examples", "objects.gpkg")
        cases = [("the DEM of a project with one raster", "DEM", [DEM], DEM),
                 ("the DEM of a project with two rasters", "DEM", [DEM, START], None),
                 ("the start cells", "START", [objects, START], None)]
        for label, name, files, chosen in cases:
            with self.subTest(label):
                project = QgsProject.instance()
                project.clear()
                for path in files:
                    layer = (QgsVectorLayer(path, "v", "ogr") if path.endswith(".gpkg") else
                             QgsRasterLayer(path, os.path.basename(path)))
                    project.addMapLayer(layer)
                value = self.wrapper(name).value()
                self.assertEqual(project.mapLayer(value).source() if value else None, chosen)

    def test_names_offered_are_those_of_the_chosen_file_or_layer(self):
        folder = scratch()
        two_layers = os.path.join(folder, "two_layers.gpkg")
        write_release_areas(two_layers, [("other", RELEASE_AREA), ("releases", RELEASE_AREA)])
        one_layer = os.path.join(folder, "one_layer.gpkg")
        write_release_areas(one_layer, [("releases", RELEASE_AREA)])
        examples = os.path.join(REPO, "examples")
        # (the list, its parent, the parent's value, the names offered)
        cases = [("START_LAYER", "START", two_layers, ["", "other", "releases"]),
                 ("START_LAYER", "START", one_layer, [""]),
                 ("START_LAYER", "START", START, [""]),
                 ("FREQUENCY_FIELD", "START", os.path.join(examples, "release_areas.gpkg"),
                  ["", "frequency", "volume"]),
                 # QGIS's own field widget crashes QGIS on a raster parent.
                 ("FREQUENCY_FIELD", "START", START, [""]),
                 ("FOREST_FIELD", "FOREST", os.path.join(examples, "forest.gpkg"), ["", "forest"]),
                 ("OBJECTS_ID", "OBJECTS", os.path.join(examples, "objects.gpkg"), ["", "name", "kind"])]
        QgsProject.instance().clear()
        for name, parent, value, names in cases:
            with self.subTest(name=name, value=os.path.basename(value)):
                parent_wrapper, wrapper = self.wrapper(parent), self.wrapper(name)
                wrapper.postInitialize([parent_wrapper, wrapper])
                if hasattr(parent_wrapper, "setValue"):
                    parent_wrapper.setValue(value)
                else:  # QGIS's own widget
                    context = QgsProcessingContext()
                    self.widget = parent_wrapper.createWrappedWidget(context)
                    parent_wrapper.setParameterValue(value, context)
                self.assertEqual([wrapper.combo.itemText(i) for i in range(wrapper.combo.count())], names)


class Metadata(unittest.TestCase):
    def test_metadata_is_complete(self):
        parser = configparser.ConfigParser()
        parser.read(os.path.join(PLUGIN, "metadata.txt"), encoding="utf-8")
        general = parser["general"]
        for key in ("name", "qgisMinimumVersion", "description", "version", "author", "email", "repository",
                    "about"):
            with self.subTest(key):
                self.assertTrue(general.get(key, "").strip())
        self.assertEqual(general["hasProcessingProvider"], "yes")
        self.assertLessEqual(tuple(map(int, general["qgisMinimumVersion"].split("."))), (3, 22))
        self.assertTrue(os.path.isfile(os.path.join(PLUGIN, general["icon"])))


if __name__ == "__main__":
    if TUMBRA_RUN is None:
        sys.exit("tumbra-run is not on PATH: build it (cmake --build build --target tumbra-run) and add build/app.")
    unittest.main(verbosity=2)
