<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE qgis PUBLIC 'http://mrcc.com/qgis.dtd' 'SYSTEM'>
<qgis version="3.22.0" styleCategories="AllStyleCategories">
    <pipe>
        <rasterrenderer type="singlebandpseudocolor" band="1" opacity="1" alphaBand="-1" nodataColor="" classificationMin="1" classificationMax="100">
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
                <colorrampshader colorRampType="DISCRETE" classificationMode="1" clip="0" minimumValue="1" maximumValue="100" labelPrecision="4">
                    <item value="1" color="#ffffb2" alpha="255" label="0 – 1 %"/>
                    <item value="5" color="#fed976" alpha="255" label="1 – 5 %"/>
                    <item value="10" color="#feb24c" alpha="255" label="5 – 10 %"/>
                    <item value="25" color="#fd8d3c" alpha="255" label="10 – 25 %"/>
                    <item value="50" color="#f03b20" alpha="255" label="25 – 50 %"/>
                    <item value="100" color="#bd0026" alpha="255" label="50 – 100 %"/>
                </colorrampshader>
            </rastershader>
        </rasterrenderer>
        <brightnesscontrast brightness="0" contrast="0" gamma="1"/>
        <rasterresampler maxOversampling="2"/>
    </pipe>
    <blendMode>0</blendMode>
</qgis>
