#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

// The rows of a CSV text as RFC 4180 writes them (csvField): fields split at
// commas outside quotes, a quoted field's doubled quotes made single, rows
// ended by CRLF or LF. A last row without its line end is kept; empty lines
// are none. The window reads a calibration.csv back through it.
QList<QStringList> csvRows(const QByteArray& text);
