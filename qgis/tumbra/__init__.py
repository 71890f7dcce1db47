"""QGIS plugin that runs the Tumbra rockfall engine from the Processing toolbox."""


def classFactory(iface):  # noqa: N802 (the name QGIS looks for)
    from .plugin import TumbraPlugin

    return TumbraPlugin(iface)
