#include "ui/layerChoice.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QThread>

#include "raster/vectorLayer.h"

namespace {

const char* fileProperty = "layersOfFile";

void showNames(QComboBox& layers, const QStringList& names)
{
    const QString typed = layers.currentText();
    layers.clear();
    layers.addItems(names);
    layers.setCurrentText(typed);
}

}  // namespace

void offerLayersOf(QComboBox* layers, const QString& file)
{
    if (layers->property(fileProperty).toString() == file)
        return;
    layers->setProperty(fileProperty, file);
    if (!isVectorFileName(file) || !QFileInfo(file).isFile()) {
        showNames(*layers, {});
        return;
    }
    const QPointer<QComboBox> target(layers);
    auto* reader = QThread::create([target, file] {
        const QStringList names = vectorLayerNames(file);
        QMetaObject::invokeMethod(QCoreApplication::instance(), [target, file, names] {
            if (target && target->property(fileProperty).toString() == file)
                showNames(*target, names);
        });
    });
    QObject::connect(reader, &QThread::finished, reader, &QObject::deleteLater);
    reader->start();
}
