"""Finding tumbra-run, asking it what it supports, and running it with its
progress fed to Processing and Cancel turned into its stop signal."""

import json
import os
import queue
import shutil
import signal
import subprocess
import sys
import threading

EXECUTABLE_SETTING = "TUMBRA_RUN"
_SETTING_KEY = "Processing/Configuration/" + EXECUTABLE_SETTING
_PROGRAM = "tumbra-run.exe" if sys.platform == "win32" else "tumbra-run"

# No console window flashing up on Windows for each call.
_NO_WINDOW = getattr(subprocess, "CREATE_NO_WINDOW", 0) if sys.platform == "win32" else 0

# Exit codes of tumbra-run.
COMPLETED, FAILED, STOPPED = 0, 1, 2


class EngineError(Exception):
    """A failure with a message meant for the user."""


def configured_path():
    try:
        from qgis.core import QgsSettings

        return (QgsSettings().value(_SETTING_KEY, "") or "").strip()
    except ImportError:
        return ""


def checkout_programs():
    """tumbra-run as a checkout builds it, for a plugin linked into QGIS's
    profile from that checkout (scripts/install-qgis-plugin without --copy):
    the link is followed to <checkout>/qgis/tumbra, and the program looked
    for in <checkout>/build/app."""
    real = os.path.dirname(os.path.realpath(__file__))
    if os.path.basename(os.path.dirname(real)) != "qgis":
        return []
    checkout = os.path.dirname(os.path.dirname(real))
    return [os.path.join(real, _PROGRAM), os.path.join(checkout, "build", "app", _PROGRAM)]


def _runnable(path):
    return os.path.isfile(path) and os.access(path, os.X_OK)


def find_executable():
    """The tumbra-run to use: the one named in the provider's settings, else
    one beside the plugin (or in its bin/ folder), else the build of the
    checkout the plugin is linked from, else the one on PATH."""
    configured = configured_path()
    if configured:
        if _runnable(configured):
            return configured
        raise EngineError(
            f'The tumbra-run program set in Processing > Options > Providers > Tumbra, "{configured}", '
            "does not exist or cannot be run. Correct the path there, or empty it to use tumbra-run from PATH."
        )
    here = os.path.dirname(os.path.abspath(__file__))
    for candidate in [os.path.join(here, _PROGRAM), os.path.join(here, "bin", _PROGRAM), *checkout_programs()]:
        if _runnable(candidate):
            return candidate
    on_path = shutil.which(_PROGRAM)
    if on_path:
        return on_path
    raise EngineError(
        "tumbra-run was not found: it is neither beside the plugin, nor built in the checkout the plugin is "
        "linked from (build/app), nor on PATH. Build or install Tumbra (cmake --install build), add the folder "
        "holding tumbra-run to PATH, or set its path in Processing > Options > Providers > Tumbra."
    )


_help_cache = {}


def help_text(executable):
    """tumbra-run's --help text, which names the options it knows (cached per
    program file and modification time)."""
    key = (executable, os.path.getmtime(executable))
    if key not in _help_cache:
        try:
            done = subprocess.run(
                [executable, "--help"],
                capture_output=True,
                text=True,
                encoding="utf-8",
                errors="replace",
                timeout=60,
                creationflags=_NO_WINDOW,
            )
        except (OSError, subprocess.TimeoutExpired) as error:
            raise EngineError(f"{executable} could not be started: {error}") from error
        _help_cache[key] = done.stdout
    return _help_cache[key]


def supports(executable, option):
    return any(word.startswith(option) and word.rstrip(",") == option for word in help_text(executable).split())


def settings_table(executable):
    """The parsed `tumbra-run --settings-table`, or None from a tumbra-run
    that has no such option."""
    if not supports(executable, "--settings-table"):
        return None
    done = subprocess.run(
        [executable, "--settings-table"],
        capture_output=True,
        text=True,
        encoding="utf-8",
        timeout=60,
        creationflags=_NO_WINDOW,
    )
    if done.returncode != 0:
        raise EngineError(f"{executable} --settings-table failed: {done.stderr.strip()}")
    return json.loads(done.stdout)


def _pump(stream, kind, lines):
    for line in iter(stream.readline, ""):
        lines.put((kind, line.rstrip("\r\n")))
    stream.close()
    lines.put((kind, None))


def _stop(process):
    # tumbra-run takes SIGINT as Ctrl-C: it stops, writes nothing, removes the
    # output folder it created and exits with 2.
    if sys.platform == "win32":
        process.terminate()
    else:
        process.send_signal(signal.SIGINT)


def run(command, feedback, placed=None):
    """Runs tumbra-run; progress lines move Processing's progress bar, other
    lines go to its log, and the paths of "file" lines (the files the run
    placed) to the list `placed` when one is given. Returns (exit code,
    stderr text, whether Cancel stopped it)."""
    try:
        process = subprocess.Popen(
            command,
            stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE,
            stderr=subprocess.PIPE,
            text=True,
            encoding="utf-8",
            errors="replace",
            bufsize=1,
            creationflags=_NO_WINDOW,
        )
    except OSError as error:
        raise EngineError(f"{command[0]} could not be started: {error}") from error
    lines = queue.Queue()
    readers = [
        threading.Thread(target=_pump, args=(process.stdout, "out", lines), daemon=True),
        threading.Thread(target=_pump, args=(process.stderr, "err", lines), daemon=True),
    ]
    for reader in readers:
        reader.start()
    errors = []
    open_streams = 2
    cancelled = False
    phase = [None]
    while open_streams:
        if feedback.isCanceled() and not cancelled:
            cancelled = True
            feedback.pushInfo("Cancel: asking tumbra-run to stop…")
            _stop(process)
        try:
            kind, line = lines.get(timeout=0.1)
        except queue.Empty:
            continue
        if line is None:
            open_streams -= 1
        elif kind == "err":
            # Every line comes back in a failure's message; warnings also show at once.
            errors.append(line)
            if not line.startswith("Error"):
                if hasattr(feedback, "pushWarning"):
                    feedback.pushWarning(line)
                else:
                    feedback.reportError(line, False)
        elif line.startswith("file ") and placed is not None:
            placed.append(line[len("file ") :].rstrip("\n"))
        else:
            _show(line, feedback, phase)
    code = process.wait()
    return code, "\n".join(errors), cancelled


def _show(line, feedback, phase):
    words = line.split(" ", 2)
    if len(words) >= 2 and words[0] == "progress":
        try:
            percent = float(words[1])
        except ValueError:
            feedback.pushInfo(line)
            return
        text = words[2] if len(words) > 2 else ""
        if text and text != phase[0]:
            phase[0] = text
            feedback.setProgressText(text)
        feedback.setProgress(percent)
    elif line.strip():
        feedback.pushInfo(line)
