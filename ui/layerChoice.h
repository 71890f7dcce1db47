#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QComboBox;

// Offers the layer names of a vector file in an editable list, read off the
// window's thread (a large GeoJSON file is parsed whole to name its one
// layer); the typed text stays. For a file that is no vector file the list
// is emptied. Names read for a file the list no longer belongs to are dropped.
void offerLayersOf(QComboBox* layers, const QString& file);

// As offerLayersOf, the number fields (integer or real) of the file's layer
// `layer` (the first when empty) in each of the lists.
void offerNumberFieldsOf(const QList<QComboBox*>& lists, const QString& file, const QString& layer);

// The names of the number fields of a vector file's layer (the first when
// `layer` is empty) in their order; none when the file or layer cannot be opened.
QStringList vectorNumberFieldNames(const QString& file, const QString& layer);
