#pragma once

// Metafiles to SVG: WMF through libwmf's SVG back end, EMF through libemf2svg. Both
// libraries are unsafe on damaged files, so this runs only inside the helper process.

#include <QByteArray>
#include <QString>

enum class TMetafileKind { Wmf, Emf };

// The SVG text of a metafile, or an empty array with error set.
QByteArray MetafileToSvg(const QByteArray& data, TMetafileKind kind, QString& error);

// The SVG with every stroke at least minimum wide (in the SVG's units): a metafile's pen is
// never drawn thinner than one pixel of the device, however thin the file makes it.
QByteArray WithThinnestStroke(const QByteArray& svg, double minimum);
