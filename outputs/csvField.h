#pragma once

#include <QByteArray>
#include <QString>

// A field of a CSV file as RFC 4180 has it: quoted when it holds a comma, a
// quote or a line break, its quotes doubled.
inline QByteArray csvField(const QString& text)
{
    QByteArray field = text.toUtf8();
    if (!field.contains(',') && !field.contains('"') && !field.contains('\n') && !field.contains('\r'))
        return field;
    field.replace("\"", "\"\"");
    return '"' + field + '"';
}
