#include "ui/layerChoice.h"

#include <functional>

#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QThread>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include "raster/gdalSession.h"
#include "raster/vectorLayer.h"

namespace {

const char* sourceProperty = "namesOfSource";

void showNames(QComboBox& list, const QStringList& names)
{
    const QString typed = list.currentText();
    list.clear();
    list.addItems(names);
    list.setCurrentText(typed);
}

// Fills the lists with what `read` gives, read on a thread of its own, once
// for each `source`; names read for a source the lists have since left are dropped.
void offerNames(const QList<QComboBox*>& lists, const QString& file, const QString& source,
                std::function<QStringList()> read)
{
    if (lists.isEmpty() || lists.first()->property(sourceProperty).toString() == source)
        return;
    for (QComboBox* list : lists)
        list->setProperty(sourceProperty, source);
    if (!isVectorFileName(file) || !QFileInfo(file).isFile()) {
        for (QComboBox* list : lists)
            showNames(*list, {});
        return;
    }
    QList<QPointer<QComboBox>> targets;
    for (QComboBox* list : lists)
        targets << list;
    auto* reader = QThread::create([targets, source, read = std::move(read)] {
        const QStringList names = read();
        QMetaObject::invokeMethod(QCoreApplication::instance(), [targets, source, names] {
            for (const QPointer<QComboBox>& target : targets)
                if (target && target->property(sourceProperty).toString() == source)
                    showNames(*target, names);
        });
    });
    QObject::connect(reader, &QThread::finished, reader, &QObject::deleteLater);
    reader->start();
}

}  // namespace

void offerLayersOf(QComboBox* layers, const QString& file)
{
    offerNames({layers}, file, file, [file] { return vectorLayerNames(file); });
}

void offerNumberFieldsOf(const QList<QComboBox*>& lists, const QString& file, const QString& layer)
{
    offerNames(lists, file, file + QLatin1Char('\n') + layer,
               [file, layer] { return vectorNumberFieldNames(file, layer); });
}

QStringList vectorNumberFieldNames(const QString& file, const QString& layer)
{
    initialiseGdal();
    const gdalErrorCapture quiet;  // an unreadable file offers no names and says nothing
    const GDALDatasetUniquePtr dataset(GDALDataset::Open(file.toUtf8().constData(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    if (!dataset)
        return {};
    OGRLayer* const opened =
        layer.isEmpty() ? dataset->GetLayer(0) : dataset->GetLayerByName(layer.toUtf8().constData());
    if (!opened)
        return {};
    QStringList names;
    const OGRFeatureDefn* const definition = opened->GetLayerDefn();
    for (int i = 0; i < definition->GetFieldCount(); ++i) {
        const OGRFieldDefn* const field = definition->GetFieldDefn(i);
        const OGRFieldType type = field->GetType();
        if (type == OFTInteger || type == OFTInteger64 || type == OFTReal)
            names << QString::fromUtf8(field->GetNameRef());
    }
    return names;
}
