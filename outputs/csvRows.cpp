#include "outputs/csvRows.h"

QList<QStringList> csvRows(const QByteArray& text)
{
    QList<QStringList> rows;
    QStringList row;
    QByteArray field;
    bool quoted = false;
    bool rowHasContent = false;
    const auto endField = [&] {
        row << QString::fromUtf8(field);
        field.clear();
    };
    const auto endRow = [&] {
        if (rowHasContent) {
            endField();
            rows << row;
        }
        row.clear();
        field.clear();
        rowHasContent = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"')
                field += c;
            else if (i + 1 < text.size() && text[i + 1] == '"')
                field += text[++i];
            else
                quoted = false;
            continue;
        }
        if (c == '"') {
            quoted = true;
            rowHasContent = true;
        } else if (c == ',') {
            endField();
            rowHasContent = true;
        } else if (c == '\n') {
            endRow();
        } else if (c != '\r') {
            field += c;
            rowHasContent = true;
        }
    }
    endRow();
    return rows;
}
