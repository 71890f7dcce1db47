<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE qgis PUBLIC 'http://mrcc.com/qgis.dtd' 'SYSTEM'>
<qgis version="3.22.0" styleCategories="AllStyleCategories">
    <pipe>
        <rasterrenderer type="singlebandpseudocolor" band="1" opacity="1" alphaBand="-1" nodataColor="" classificationMin="5" classificationMax="inf">
            <rasterTransparency>
                <singleValuePixelList>
                    <pixelListEntry min="0" max="0" percentTransparent="100"/>
                </singleValuePixelList>
            </rasterTransparency>
            <minMaxOrigin>
                <limits>None</limits>
                <extent>WholeRaster</extent>
                <statAccuracy>Estimated</statAccuracy>
                <cumulativeCutLower>0.02</cumulativeCutLower>
                <cumulativeCutUpper>0.98</cumulativeCutUpper>
                <stdDevFactor>2</stdDevFactor>
            </minMaxOrigin>
            <rastershader>
                <colorrampshader colorRampType="DISCRETE" classificationMode="1" clip="0" minimumValue="5" maximumValue="inf" labelPrecision="4">
                    <item value="5" color="#ffffb2" alpha="255" label="0 – 5 m/s"/>
                    <item value="10" color="#fed976" alpha="255" label="5 – 10 m/s"/>
                    <item value="15" color="#feb24c" alpha="255" label="10 – 15 m/s"/>
                    <item value="20" color="#fd8d3c" alpha="255" label="15 – 20 m/s"/>
                    <item value="30" color="#f03b20" alpha="255" label="20 – 30 m/s"/>
                    <item value="inf" color="#bd0026" alpha="255" label="above 30 m/s"/>
                </colorrampshader>
            </rastershader>
        </rasterrenderer>
        <brightnesscontrast brightness="0" contrast="0" gamma="1"/>
        <rasterresampler maxOversampling="2"/>
    </pipe>
    <blendMode>0</blendMode>
</qgis>
