#!/usr/bin/env python3
"""Writes the vector layers of the bundled example slope, in examples/ (or
the folder given as the first argument):

- objects.gpkg, layer "objects" (polygons; fields name, kind): objects at
  risk where the farthest rocks stop, a road across the valley floor drawn as
  its 5 m carriageway and two buildings at the talus foot just above it;
- release_areas.gpkg, layer "release_areas" (polygons; name, frequency in
  events per year, volume in m3): the western and eastern halves of the cliff;
- forest.gpkg, layer "forest" (a polygon; forest, the index): a band of dense
  forest across the talus;
- barriers.gpkg, layer "barriers" (a line; capacity_kJ, name): a net above
  the road;
- observed_reach.gpkg, layer "observed_reach" (a polygon): a mapped reach
  drawn around a medium-probability run.

Every layer holds one geometry type and lies in the system of
examples/dem.asc, the Swiss LV03 grid (EPSG:21781). The objects are all
polygons so that one layer, and so one run, holds them all. Running the
script again writes the same layers. Needs GDAL's Python bindings (Debian:
python3-gdal).
"""
import os
import sys

try:
    from osgeo import gdal, ogr, osr
except ImportError:
    sys.exit("GDAL's Python bindings are missing: install python3-gdal (Debian) and run this with that Python "
             "(/usr/bin/python3).")

# examples/dem.asc: 260 x 320 cells of 2 m from (600000, 150000) to
# (600520, 150640); the talus foot lies 330 m south of the northern edge, at
# y = 150310, and the cliff band between y = 150500 and 150550.
EPSG = 21781


def road_strip(centre_line, half_width):
    """A polygon half_width north and south of a line running west to east."""
    north = [(x, y + half_width) for x, y in centre_line]
    south = [(x, y - half_width) for x, y in reversed(centre_line)]
    ring = north + south + north[:1]
    return "POLYGON ((" + ", ".join(f"{x:.10g} {y:.10g}" for x, y in ring) + "))"


VALLEY_ROAD = [(600000, 150298), (600130, 150300), (600260, 150304), (600390, 150300), (600520, 150296)]

OBSERVED_REACH = (
    "POLYGON ((600004 150543,600002 150527,600000 150515,600000 150503,600000 150491,600000 150479,"
    "600000 150467,600000 150455,600000 150443,600000 150431,600000 150419,600000 150407,600000 150395,"
    "600000 150383,600000 150371,600000 150359,600000 150347,600000 150335,600000 150323,600000 150311,"
    "600022 150299,600030 150297,600332 150297,600350 150299,600498 150311,600496 150323,600504 150335,"
    "600502 150347,600510 150359,600508 150371,600512 150383,600514 150395,600518 150407,600518 150419,"
    "600518 150431,600520 150443,600520 150455,600520 150467,600520 150479,600520 150491,600520 150503,"
    "600520 150515,600520 150527,600518 150543,600004 150543))"
)

# file and layer name, geometry type, fields (name, type), features (values, WKT)
LAYERS = [
    ("objects", ogr.wkbPolygon, [("name", ogr.OFTString), ("kind", ogr.OFTString)], [
        (("Valley road", "road"), road_strip(VALLEY_ROAD, 2.5)),
        (("Barn", "building"),
         "POLYGON ((600150 150312, 600174 150312, 600174 150328, 600150 150328, 600150 150312))"),
        (("House", "building"),
         "POLYGON ((600330 150306, 600346 150306, 600346 150320, 600338 150326, 600330 150320, 600330 150306))"),
    ]),
    ("release_areas", ogr.wkbPolygon,
     [("name", ogr.OFTString), ("frequency", ogr.OFTReal), ("volume", ogr.OFTReal)], [
         (("west cliff", 2.0, 2.0),
          "POLYGON ((600000 150508, 600260 150508, 600260 150546, 600000 150546, 600000 150508))"),
         (("east cliff", 0.5, 8.0),
          "POLYGON ((600260 150508, 600520 150508, 600520 150546, 600260 150546, 600260 150508))"),
     ]),
    ("forest", ogr.wkbPolygon, [("forest", ogr.OFTReal)], [
        ((0.8,), "POLYGON ((600000 150400, 600520 150400, 600520 150460, 600000 150460, 600000 150400))"),
    ]),
    ("barriers", ogr.wkbLineString, [("capacity_kJ", ogr.OFTReal), ("name", ogr.OFTString)], [
        ((500.0, "net above the road"), "LINESTRING (600010 150360, 600510 150360)"),
    ]),
    ("observed_reach", ogr.wkbPolygon, [], [
        ((), OBSERVED_REACH),
    ]),
]


def write_layer(folder, name, geometry_type, fields, features, system):
    path = os.path.join(folder, name + ".gpkg")
    if os.path.exists(path):
        os.remove(path)
    dataset = ogr.GetDriverByName("GPKG").CreateDataSource(path)
    layer = dataset.CreateLayer(name, system, geometry_type)
    for field_name, field_type in fields:
        layer.CreateField(ogr.FieldDefn(field_name, field_type))
    for values, wkt in features:
        feature = ogr.Feature(layer.GetLayerDefn())
        for (field_name, _), value in zip(fields, values):
            feature.SetField(field_name, value)
        geometry = ogr.CreateGeometryFromWkt(wkt)
        if ogr.GT_Flatten(geometry.GetGeometryType()) != geometry_type:
            sys.exit(f"{name}: a feature of another geometry type than the layer's")
        feature.SetGeometry(geometry)
        layer.CreateFeature(feature)
    dataset = None
    print("wrote", os.path.normpath(path))


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..",
                                                                 "examples")
    gdal.UseExceptions()
    # A fixed date in the GeoPackage's tables, so that the files are the same on every run.
    gdal.SetConfigOption("OGR_CURRENT_DATE", "2026-01-01T00:00:00Z")
    system = osr.SpatialReference()
    system.ImportFromEPSG(EPSG)
    for name, geometry_type, fields, features in LAYERS:
        write_layer(folder, name, geometry_type, fields, features, system)


if __name__ == "__main__":
    main()
