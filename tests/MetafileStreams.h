#pragma once

// Small WMF and EMF files built record by record for tests: a red rectangle on a canvas of
// the given size.

#include <QByteArray>
#include <QtEndian>

namespace metatest {

inline void Put16(QByteArray& b, int v)
{
    b += char(v & 0xFF);
    b += char((v >> 8) & 0xFF);
}
inline void Put32(QByteArray& b, quint32 v)
{
    Put16(b, int(v & 0xFFFF));
    Put16(b, int(v >> 16));
}

// A WMF record: its size in words, its function, its parameters.
inline void WmfRecord(QByteArray& records, int function, std::initializer_list<int> params)
{
    Put32(records, quint32(3 + params.size()));
    Put16(records, function);
    for (int p : params)
        Put16(records, p);
}

// A WMF around the given records (which end with EOF): the standard header and, when
// withHeader, a placeable header of the given size in units of `inch` to the inch.
inline QByteArray WmfFile(const QByteArray& records, int width, int height, bool withHeader = true, int inch = 1440,
                          int objects = 1)
{
    quint32 largest = 0; // the longest record, in words
    for (qsizetype at = 0; at + 4 <= records.size();) {
        const quint32 words = qFromLittleEndian<quint32>(records.constData() + at);
        largest = qMax(largest, words);
        at += qMax<qsizetype>(3, words) * 2;
    }
    QByteArray header; // standard header, 9 words
    Put16(header, 1);
    Put16(header, 9);
    Put16(header, 0x0300);
    Put32(header, quint32((18 + records.size()) / 2));
    Put16(header, objects);
    Put32(header, largest);
    Put16(header, 0);
    QByteArray placeable;
    Put32(placeable, 0x9AC6CDD7);
    Put16(placeable, 0);
    Put16(placeable, 0);
    Put16(placeable, 0);
    Put16(placeable, width);
    Put16(placeable, height);
    Put16(placeable, inch); // units per inch
    Put32(placeable, 0);
    quint16 checksum = 0;
    for (int i = 0; i < 20; i += 2)
        checksum ^= quint16(uchar(placeable[i]) | (uchar(placeable[i + 1]) << 8));
    Put16(placeable, checksum);
    return QByteArray(withHeader ? placeable : QByteArray()) + header + records;
}

// A placeable WMF: header, window origin and extent, a red brush, a rectangle, the end.
// Without the placeable header (withHeader false) the window starts at (originX, originY).
inline QByteArray Wmf(int width, int height, bool withHeader = true, int originX = 0, int originY = 0)
{
    QByteArray records;
    WmfRecord(records, 0x020B, {originY, originX});     // SETWINDOWORG y, x
    WmfRecord(records, 0x020C, {height, width});        // SETWINDOWEXT y, x
    WmfRecord(records, 0x02FC, {0, 0x00FF, 0x0000, 0}); // CREATEBRUSHINDIRECT solid, red, no hatch
    WmfRecord(records, 0x012D, {0});                    // SELECTOBJECT 0
    WmfRecord(records, 0x041B, {originY + height / 2, originX + width / 2, originY + height / 4, originX + width / 4}); // RECTANGLE
    WmfRecord(records, 0x0000, {});                     // EOF
    return WmfFile(records, width, height, withHeader);
}

// An EMF: header, a red brush, a rectangle, the end. Sizes in device pixels. The frame
// covers the canvas; the bounds may start boundsFrom pixels before it, as some writers do.
inline QByteArray Emf(int width, int height, int boundsFrom = 0)
{
    QByteArray records;
    Put32(records, 39); // CREATEBRUSHINDIRECT
    Put32(records, 24);
    Put32(records, 1);  // handle 1
    Put32(records, 0);  // solid
    Put32(records, 0x000000FF); // red
    Put32(records, 0);
    Put32(records, 37); // SELECTOBJECT
    Put32(records, 12);
    Put32(records, 1);
    Put32(records, 43); // RECTANGLE
    Put32(records, 24);
    Put32(records, quint32(width / 4));
    Put32(records, quint32(height / 4));
    Put32(records, quint32(width / 2));
    Put32(records, quint32(height / 2));
    Put32(records, 14); // EOF
    Put32(records, 20);
    Put32(records, 0);
    Put32(records, 16);
    Put32(records, 20);

    QByteArray header;
    const quint32 headerSize = 108;
    Put32(header, 1);
    Put32(header, headerSize);
    for (quint32 v : {quint32(-boundsFrom), quint32(-boundsFrom), quint32(width - 1), quint32(height - 1)}) // bounds, pixels
        Put32(header, v);
    for (quint32 v : {0u, 0u, quint32(width * 100 / 4), quint32(height * 100 / 4)}) // frame, 0.01 mm
        Put32(header, v);
    Put32(header, 0x464D4520); // " EMF"
    Put32(header, 0x10000);
    Put32(header, quint32(headerSize + records.size()));
    Put32(header, 5); // records
    Put16(header, 2); // handles
    Put16(header, 0);
    Put32(header, 0); // description
    Put32(header, 0);
    Put32(header, 0); // palette entries
    Put32(header, quint32(width));  // device size, pixels
    Put32(header, quint32(height));
    Put32(header, quint32(width / 4)); // device size, millimetres
    Put32(header, quint32(height / 4));
    Put32(header, 0); // pixel format
    Put32(header, 0);
    Put32(header, 0); // OpenGL
    Put32(header, quint32(width * 1000 / 4)); // micrometres
    Put32(header, quint32(height * 1000 / 4));
    return header + records;
}

} // namespace metatest
