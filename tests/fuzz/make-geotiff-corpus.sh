#!/bin/sh
# Makes the GeoTIFF seed corpus of fuzz_geoTiffReader (tests/fuzz/corpus-geotiff)
# with GDAL's command-line tools: small files of each kind a run may meet.
set -e
cd "$(dirname "$0")/corpus-geotiff"
create() { gdal_create -q -of GTiff "$@"; }
create -outsize 5 4 -bands 1 -ot Float32 -burn 812.5 -a_srs EPSG:2056 -a_ullr 2600000 1200008 2600010 1200000 north_up_float.tif
create -outsize 5 4 -bands 1 -ot Byte -burn 1 -a_nodata 255 -a_ullr 600000 150008 600010 150000 start_byte_nodata.tif
gdal_translate -q -a_ullr 600000 150000 600010 150008 north_up_float.tif south_up.tif
create -outsize 4 3 -bands 3 -ot Int16 -burn 7 -a_srs EPSG:21781 -a_ullr 0 6 8 0 three_bands.tif
create -outsize 4 3 -bands 1 -ot CFloat32 -burn 2 -a_ullr 0 6 8 0 complex.tif
create -outsize 40 30 -bands 1 -ot Float32 -burn 100 -co TILED=YES -co BLOCKXSIZE=16 -co BLOCKYSIZE=16 \
    -co COMPRESS=DEFLATE -co PREDICTOR=3 -a_ullr 0 60 80 0 tiled_deflate.tif
create -outsize 3 2 -bands 1 -ot Float32 -burn 1 no_geotransform.tif
create -outsize 3 2 -bands 1 -ot Float64 -burn -9999 -a_nodata -9999 -a_ullr 0 4 6 0 all_nodata.tif
create -outsize 3 2 -bands 1 -ot Float32 -burn 1 -a_nodata nan -a_ullr 0 4 6 0 nan_nodata.tif
rm -f ./*.aux.xml
