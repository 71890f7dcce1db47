<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE qgis PUBLIC 'http://mrcc.com/qgis.dtd' 'SYSTEM'>
<qgis version="3.22.0" styleCategories="AllStyleCategories">
    <pipe>
        <rasterrenderer type="singlebandpseudocolor" band="1" opacity="1" alphaBand="-1" nodataColor="" classificationMin="0.0072" classificationMax="72">
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
                <colorrampshader colorRampType="INTERPOLATED" classificationMode="1" clip="0" minimumValue="0.0072" maximumValue="72" labelPrecision="4">
                    <item value="0.0072" color="#ffffcc" alpha="255" label="up to 0.01 % of all trajectories"/>
                    <item value="0.072" color="#a1dab4" alpha="255" label="0.01 – 0.1 %"/>
                    <item value="0.72" color="#41b6c4" alpha="255" label="0.1 – 1 %"/>
                    <item value="7.199999999999999" color="#2c7fb8" alpha="255" label="1 – 10 %"/>
                    <item value="72" color="#253494" alpha="255" label="10 – 100 %"/>
                </colorrampshader>
            </rastershader>
        </rasterrenderer>
        <brightnesscontrast brightness="0" contrast="0" gamma="1"/>
        <rasterresampler maxOversampling="2"/>
    </pipe>
    <blendMode>0</blendMode>
</qgis>
