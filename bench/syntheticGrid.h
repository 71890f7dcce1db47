#pragma once

#include <cstddef>

#include <QByteArray>
#include <QFile>
#include <QString>

// Writes an ESRI ASCII grid for a benchmark, in blocks of about 8 MB so that
// a grid of 10^8 cells needs little memory. `cellText(row, col, buffer)`
// prints one value into a buffer of 32 characters and returns its length.
template <typename CellText>
bool writeSyntheticGrid(const QString& path, int rows, int cols, int cellSize, CellText cellText)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray text = QStringLiteral("ncols %1\nnrows %2\nxllcorner 600000.0\nyllcorner 5100000.0\ncellsize %3\n"
                                     "NODATA_value -9999\n")
                          .arg(cols)
                          .arg(rows)
                          .arg(cellSize)
                          .toLatin1();
    char value[32];
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            text.append(value, static_cast<qsizetype>(cellText(r, c, value)));
            text += c + 1 < cols ? ' ' : '\n';
        }
        if (text.size() > (8 << 20)) {
            if (file.write(text) != text.size())
                return false;
            text.clear();
        }
    }
    return file.write(text) == text.size();
}
