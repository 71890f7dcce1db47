#include "outputs/qgisStyle.h"

#include <QLocale>
#include <QXmlStreamWriter>

#include "raster/smallOutputFile.h"

namespace {

QString number(double value) { return QString::number(value, 'g', QLocale::FloatingPointShortest); }

QString htmlColour(uint32_t argb) { return QStringLiteral("#%1").arg(argb & 0xffffffu, 6, 16, QLatin1Char('0')); }

// QGIS's own defaults for a min/max origin that is never recomputed: the
// stops hold fixed values, not statistics of the grid.
void writeMinMaxOrigin(QXmlStreamWriter& xml)
{
    xml.writeStartElement(QStringLiteral("minMaxOrigin"));
    xml.writeTextElement(QStringLiteral("limits"), QStringLiteral("None"));
    xml.writeTextElement(QStringLiteral("extent"), QStringLiteral("WholeRaster"));
    xml.writeTextElement(QStringLiteral("statAccuracy"), QStringLiteral("Estimated"));
    xml.writeTextElement(QStringLiteral("cumulativeCutLower"), QStringLiteral("0.02"));
    xml.writeTextElement(QStringLiteral("cumulativeCutUpper"), QStringLiteral("0.98"));
    xml.writeTextElement(QStringLiteral("stdDevFactor"), QStringLiteral("2"));
    xml.writeEndElement();
}

void writeColourRamp(QXmlStreamWriter& xml, const layerStyle& style)
{
    const double minimum = style.stops.empty() ? 0.0 : style.stops.front().value;
    const double maximum = style.stops.empty() ? 0.0 : style.stops.back().value;
    xml.writeStartElement(QStringLiteral("rastershader"));
    xml.writeStartElement(QStringLiteral("colorrampshader"));
    xml.writeAttribute(QStringLiteral("colorRampType"), style.kind == layerStyle::ramp::classes
                                                            ? QStringLiteral("DISCRETE")
                                                            : QStringLiteral("INTERPOLATED"));
    xml.writeAttribute(QStringLiteral("classificationMode"), QStringLiteral("1"));  // continuous: stops kept as given
    xml.writeAttribute(QStringLiteral("clip"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("minimumValue"), number(minimum));
    xml.writeAttribute(QStringLiteral("maximumValue"), number(maximum));
    xml.writeAttribute(QStringLiteral("labelPrecision"), QStringLiteral("4"));
    for (const styleStop& stop : style.stops) {
        xml.writeEmptyElement(QStringLiteral("item"));
        xml.writeAttribute(QStringLiteral("value"), number(stop.value));
        xml.writeAttribute(QStringLiteral("color"), htmlColour(stop.colour));
        xml.writeAttribute(QStringLiteral("alpha"), QString::number(stop.colour >> 24));
        xml.writeAttribute(QStringLiteral("label"), stop.label);
    }
    xml.writeEndElement();
    xml.writeEndElement();
}

}  // namespace

QByteArray qgisStyleText(const layerStyle& style)
{
    QByteArray text;
    QXmlStreamWriter xml(&text);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeDTD(QStringLiteral("<!DOCTYPE qgis PUBLIC 'http://mrcc.com/qgis.dtd' 'SYSTEM'>"));
    xml.writeStartElement(QStringLiteral("qgis"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("3.22.0"));
    xml.writeAttribute(QStringLiteral("styleCategories"), QStringLiteral("AllStyleCategories"));
    xml.writeStartElement(QStringLiteral("pipe"));

    xml.writeStartElement(QStringLiteral("rasterrenderer"));
    xml.writeAttribute(QStringLiteral("type"), QStringLiteral("singlebandpseudocolor"));
    xml.writeAttribute(QStringLiteral("band"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("opacity"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("alphaBand"), QStringLiteral("-1"));
    xml.writeAttribute(QStringLiteral("nodataColor"), QString());
    if (!style.stops.empty()) {
        xml.writeAttribute(QStringLiteral("classificationMin"), number(style.stops.front().value));
        xml.writeAttribute(QStringLiteral("classificationMax"), number(style.stops.back().value));
    }
    xml.writeStartElement(QStringLiteral("rasterTransparency"));
    xml.writeStartElement(QStringLiteral("singleValuePixelList"));
    xml.writeEmptyElement(QStringLiteral("pixelListEntry"));
    xml.writeAttribute(QStringLiteral("min"), number(style.transparentValue));
    xml.writeAttribute(QStringLiteral("max"), number(style.transparentValue));
    xml.writeAttribute(QStringLiteral("percentTransparent"), QStringLiteral("100"));
    xml.writeEndElement();
    xml.writeEndElement();
    writeMinMaxOrigin(xml);
    writeColourRamp(xml, style);
    xml.writeEndElement();  // rasterrenderer

    xml.writeEmptyElement(QStringLiteral("brightnesscontrast"));
    xml.writeAttribute(QStringLiteral("brightness"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("contrast"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("gamma"), QStringLiteral("1"));
    // Whole cells, as the window draws them: no smoothing between them.
    xml.writeEmptyElement(QStringLiteral("rasterresampler"));
    xml.writeAttribute(QStringLiteral("maxOversampling"), QStringLiteral("2"));
    xml.writeEndElement();  // pipe
    xml.writeTextElement(QStringLiteral("blendMode"), QStringLiteral("0"));
    xml.writeEndElement();  // qgis
    xml.writeEndDocument();
    return text;
}

writeOutcome writeQgisStyle(const outputTarget& target, const layerStyle& style, messageSink& sink)
{
    return writeSmallOutputFile(target, qgisStyleText(style), sink);
}
