<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE qgis PUBLIC 'http://mrcc.com/qgis.dtd' 'SYSTEM'>
<qgis version="3.22.0" styleCategories="AllStyleCategories">
    <pipe>
        <rasterrenderer type="singlebandpseudocolor" band="1" opacity="1" alphaBand="-1" nodataColor="" classificationMin="29.999999999999996" classificationMax="inf">
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
                <colorrampshader colorRampType="DISCRETE" classificationMode="1" clip="0" minimumValue="29.999999999999996" maximumValue="inf" labelPrecision="4">
                    <item value="29.999999999999996" color="#ffffb2" alpha="255" label="below 30 kJ"/>
                    <item value="299.99999999999994" color="#fea044" alpha="255" label="30 – 300 kJ"/>
                    <item value="inf" color="#bd0026" alpha="255" label="300 kJ and more"/>
                </colorrampshader>
            </rastershader>
        </rasterrenderer>
        <brightnesscontrast brightness="0" contrast="0" gamma="1"/>
        <rasterresampler maxOversampling="2"/>
    </pipe>
    <blendMode>0</blendMode>
</qgis>
