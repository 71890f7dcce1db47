"""The simulation settings the algorithm offers, row for row as tumbra-run's
settings table lists them (`tumbra-run --settings-table`).

The rows are kept here, not read from tumbra-run at load time, so that the
algorithm still appears where tumbra-run is missing or older;
`differences_from` compares them with the table a tumbra-run prints, and the
plugin's tests fail on any difference.
"""

# Keys as in the table: name, label, unit, type, default, minimum, maximum,
# decimals, choices, values (a choice's command-line words), option. The
# plugin's own: "parameter" (the algorithm's parameter name, kept when the
# table renames a row, for the models and scripts that use it),
# "optional" (passed only when set: the rows the intensity and hazard
# options add), "field" (a field of the start layer, offered from its
# fields, or of the layer parameter it names) and "with" (passed only with
# that option or input, its default shown).
SETTINGS = [
    {
        "name": "numberOfSimulations",
        "parameter": "SIMULATIONS",
        "label": "Number of simulations",
        "unit": "",
        "type": "int",
        "default": 100,
        "minimum": 1,
        "maximum": 1000000,
        "option": "--simulations",
    },
    {
        "name": "segmentLength",
        "parameter": "SEGMENT_LENGTH",
        "label": "Segment length",
        "unit": "m",
        "type": "double",
        "default": 5,
        "minimum": 0.1,
        "maximum": 100,
        "decimals": 1,
        "option": "--segment-length",
    },
    {
        "name": "profileStep",
        "parameter": "PROFILE_STEP",
        "label": "Profile step",
        "unit": "m",
        "type": "double",
        "default": 1,
        "minimum": 0.01,
        "maximum": 99.99,
        "decimals": 2,
        "option": "--profile-step",
    },
    {
        "name": "maxDeviationAngle",
        "parameter": "MAX_ANGLE",
        "label": "Max deviation angle",
        "unit": "°",
        "type": "int",
        "default": 22,
        "minimum": 0,
        "maximum": 90,
        "option": "--max-angle",
    },
    {
        "name": "initialFallHeight",
        "parameter": "FALL_HEIGHT",
        "label": "Initial fall height",
        "unit": "m",
        "type": "double",
        "default": 0,
        "minimum": 0,
        "maximum": 1000,
        "decimals": 2,
        "option": "--fall-height",
    },
    {
        "name": "probabilityClass",
        "parameter": "PROBABILITY_CLASS",
        "label": "Risk acceptance",
        "unit": "",
        "type": "choice",
        "choices": ["High (log10⁻⁶)", "Medium (log10⁻⁴)", "Low (log10⁻²)"],
        "values": ["high", "medium", "low"],
        "default": 0,
        "option": "--probability",
    },
    {
        "name": "countCells",
        "parameter": "COUNT_CELLS",
        "label": "Cells counted",
        "unit": "",
        "type": "choice",
        "choices": ["Every cell a segment crosses", "Recorded points only"],
        "values": ["crossed", "points"],
        "default": 0,
        "option": "--count-cells",
    },
    {
        "name": "blockVolume",
        "parameter": "BLOCK_VOLUME",
        "label": "Block volume",
        "unit": "m³",
        "type": "double",
        "minimum": 0.001,
        "maximum": 100000,
        "decimals": 3,
        "option": "--block-volume",
        "optional": True,
    },
    {
        "name": "rockDensity",
        "parameter": "ROCK_DENSITY",
        "label": "Rock density",
        "unit": "kg/m³",
        "type": "double",
        "default": 2700,
        "minimum": 1,
        "maximum": 20000,
        "decimals": 0,
        "option": "--rock-density",
        "optional": True,
        "with": "--intensity",
    },
    {
        "name": "energyClasses",
        "parameter": "ENERGY_CLASSES",
        "label": "Energy class limits",
        "unit": "kJ",
        "type": "text",
        "default": "30,300",
        "option": "--energy-classes",
        "optional": True,
        "with": "--intensity",
    },
    {
        "name": "frequencyField",
        "parameter": "FREQUENCY_FIELD",
        "label": "Frequency field",
        "unit": "",
        "type": "text",
        "default": "",
        "option": "--frequency-field",
        "optional": True,
        "field": True,
    },
    {
        "name": "frequencyPerHaField",
        "parameter": "FREQUENCY_PER_HA_FIELD",
        "label": "Frequency per hectare field",
        "unit": "",
        "type": "text",
        "default": "",
        "option": "--frequency-per-ha-field",
        "optional": True,
        "field": True,
    },
    {
        "name": "volumeField",
        "parameter": "VOLUME_FIELD",
        "label": "Volume field",
        "unit": "",
        "type": "text",
        "default": "",
        "option": "--volume-field",
        "optional": True,
        "field": True,
    },
    {
        "name": "densityField",
        "parameter": "DENSITY_FIELD",
        "label": "Density field",
        "unit": "",
        "type": "text",
        "default": "",
        "option": "--density-field",
        "optional": True,
        "field": True,
    },
    {
        "name": "fallHeightField",
        "parameter": "FALL_HEIGHT_FIELD",
        "label": "Fall height field",
        "unit": "",
        "type": "text",
        "default": "",
        "option": "--fall-height-field",
        "optional": True,
        "field": True,
    },
    {
        "name": "releaseFrequency",
        "parameter": "RELEASE_FREQUENCY",
        "label": "Release frequency",
        "unit": "1/year",
        "type": "double",
        "minimum": 1e-09,
        "maximum": 1000000,
        "decimals": 6,
        "option": "--release-frequency",
        "optional": True,
    },
    {
        "name": "returnPeriods",
        "parameter": "RETURN_PERIODS",
        "label": "Return periods",
        "unit": "years",
        "type": "text",
        "default": "30,100,300",
        "option": "--return-periods",
        "optional": True,
        "with": "--hazard",
    },
    {
        "name": "hazardMatrix",
        "parameter": "HAZARD_MATRIX",
        "label": "Hazard matrix",
        "unit": "",
        "type": "text",
        "default": "333,322,211",
        "option": "--hazard-matrix",
        "optional": True,
        "with": "--hazard",
    },
    {
        "name": "forestField",
        "parameter": "FOREST_FIELD",
        "label": "Forest field",
        "unit": "",
        "type": "text",
        "default": "forest",
        "option": "--forest-field",
        "optional": True,
        "field": "FOREST",
        "with": "--forest",
    },
    {
        "name": "forestAngleMax",
        "parameter": "FOREST_ANGLE_MAX",
        "label": "Forest angle, largest",
        "unit": "°",
        "type": "double",
        "default": 10,
        "minimum": 0,
        "maximum": 45,
        "decimals": 1,
        "option": "--forest-angle-max",
        "optional": True,
        "with": "--forest",
    },
    {
        "name": "forestAngleMin",
        "parameter": "FOREST_ANGLE_MIN",
        "label": "Forest angle, least",
        "unit": "°",
        "type": "double",
        "default": 2,
        "minimum": 0,
        "maximum": 45,
        "decimals": 1,
        "option": "--forest-angle-min",
        "optional": True,
        "with": "--forest",
    },
    {
        "name": "forestSpeed",
        "parameter": "FOREST_SPEED",
        "label": "Forest speed",
        "unit": "m/s",
        "type": "double",
        "default": 30,
        "minimum": 0.1,
        "maximum": 100,
        "decimals": 1,
        "option": "--forest-speed",
        "optional": True,
        "with": "--forest",
    },
    {
        "name": "forestSkip",
        "parameter": "FOREST_SKIP",
        "label": "Forest skip",
        "unit": "m",
        "type": "double",
        "default": 0,
        "minimum": 0,
        "maximum": 1000,
        "decimals": 1,
        "option": "--forest-skip",
        "optional": True,
        "with": "--forest",
    },
    {
        "name": "barrierCapacityField",
        "parameter": "BARRIER_CAPACITY_FIELD",
        "label": "Barrier capacity field",
        "unit": "",
        "type": "text",
        "default": "capacity_kJ",
        "option": "--barrier-capacity-field",
        "optional": True,
        "field": "BARRIERS",
        "with": "--barriers",
    },
]

# Keys whose values must agree with the table's.
COMPARED_KEYS = ("label", "unit", "type", "default", "minimum", "maximum", "decimals", "choices", "values")

# Table rows the algorithm offers through parameters of its own (inputs,
# outputs, run options) rather than as settings rows.
OWN_PARAMETER_OPTIONS = {
    "--dem",
    "--start",
    "--output",
    "--format",
    "--seed",
    "--threads",
    "--save-trajectories",
    "--report",
    "--overwrite",
    "--intensity",
    "--hazard",
    "--start-layer",
    "--start-where",
    "--objects",
    "--objects-layer",
    "--objects-id",
    "--forest",
    "--barriers",
    # The calibration's rows: options of a calibrating run, not of this algorithm.
    "--observed",
    "--observed-layer",
    "--calibrate",
    "--calibrate-by",
    "--map",
    "--map-colour",
}

# The calibration algorithm's own parameters.
OWN_PARAMETER_OPTIONS |= {"--observed", "--observed-layer", "--study-area", "--calibrate", "--calibrate-by"}


def _same(a, b):
    if isinstance(a, (int, float)) and isinstance(b, (int, float)) and not isinstance(a, bool):
        return abs(float(a) - float(b)) <= 1e-9 * max(1.0, abs(float(a)))
    return a == b


def differences_from(table):
    """Lines naming each way the rows here differ from a parsed settings table
    ({"settings": [...]}); empty when they agree."""
    rows = {row.get("option"): row for row in table.get("settings", [])}
    ours = {row["option"]: row for row in SETTINGS}
    found = []
    for option, row in rows.items():
        if option in OWN_PARAMETER_OPTIONS:
            continue
        if option not in ours:
            found.append(f"{option} ({row.get('label')}) is in tumbra-run's table but not in the plugin")
            continue
        for key in COMPARED_KEYS:
            # A whole number has no decimals to compare.
            if key == "decimals" and row.get("type") == "int":
                continue
            if key in row or key in ours[option]:
                if not _same(ours[option].get(key), row.get(key)):
                    found.append(f"{option}: {key} is {ours[option].get(key)!r} here, {row.get(key)!r} in tumbra-run")
    for option, row in ours.items():
        if option not in rows and not row.get("optional"):
            found.append(f"{option} ({row['label']}) is in the plugin but not in tumbra-run's table")
    return found
