#pragma once

#include <QString>

class QComboBox;

// Offers the layer names of a vector file in an editable list, read off the
// window's thread (a large GeoJSON file is parsed whole to name its one
// layer); the typed text stays. For a file that is no vector file the list
// is emptied. Names read for a file the list no longer belongs to are dropped.
void offerLayersOf(QComboBox* layers, const QString& file);
