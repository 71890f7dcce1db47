#!/usr/bin/env python3
"""Writes examples/objects.gpkg: objects at risk on the bundled example slope.

A road across the valley floor where the farthest rocks stop and two
buildings at the talus foot just above it, in layer "objects" with the fields
name and kind.
The coordinates are those of examples/dem.asc, which has no coordinate
system, so the layer has none either. Running the script again writes the
same layer. Needs GDAL's Python bindings (Debian: python3-gdal).
"""
import os
import sys

try:
    from osgeo import gdal, ogr
except ImportError:
    sys.exit("GDAL's Python bindings are missing: install python3-gdal (Debian) and run this with that Python "
             "(/usr/bin/python3).")

# examples/dem.asc: 260 x 320 cells of 2 m from (600000, 150000); the talus
# foot lies 330 m south of the northern edge, at y = 150310.
WEST, NORTH = 600000.0, 150640.0

OBJECTS = [
    ("Valley road", "road",
     "LINESTRING (600000 150298, 600130 150300, 600260 150304, 600390 150300, 600520 150296)"),
    ("Barn", "building",
     "POLYGON ((600150 150312, 600174 150312, 600174 150328, 600150 150328, 600150 150312))"),
    ("House", "building",
     "POLYGON ((600330 150306, 600346 150306, 600346 150320, 600338 150326, 600330 150320, 600330 150306))"),
]


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples")
    path = os.path.join(folder, "objects.gpkg")
    gdal.UseExceptions()
    # A fixed date in the GeoPackage's tables, so that the file is the same on every run.
    gdal.SetConfigOption("OGR_CURRENT_DATE", "2026-01-01T00:00:00Z")
    if os.path.exists(path):
        os.remove(path)
    dataset = ogr.GetDriverByName("GPKG").CreateDataSource(path)
    layer = dataset.CreateLayer("objects", None, ogr.wkbUnknown)
    layer.CreateField(ogr.FieldDefn("name", ogr.OFTString))
    layer.CreateField(ogr.FieldDefn("kind", ogr.OFTString))
    for name, kind, wkt in OBJECTS:
        feature = ogr.Feature(layer.GetLayerDefn())
        feature.SetField("name", name)
        feature.SetField("kind", kind)
        feature.SetGeometry(ogr.CreateGeometryFromWkt(wkt))
        layer.CreateFeature(feature)
    dataset = None
    print("wrote", os.path.normpath(path))


if __name__ == "__main__":
    main()
