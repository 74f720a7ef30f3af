#include "MetafileToSvg.h"

#include <QPoint>
#include <QString>
#include <QtGlobal>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <optional>

extern "C" {
#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>
}

namespace {

quint16 Word(const QByteArray& data, qsizetype at) { return quint16(uchar(data[at]) | (uchar(data[at + 1]) << 8)); }

void PutWord(QByteArray& out, int value)
{
    out += char(value & 0xFF);
    out += char((value >> 8) & 0xFF);
}

// A libwmf instance drawing to SVG, quiet about errors; null when it cannot be had.
wmfAPI* NewSvgApi()
{
    wmfAPI* api = nullptr;
    wmfAPI_Options options;
    std::memset(&options, 0, sizeof options);
    options.function = wmf_svg_function;
    const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    if (wmf_api_create(&api, flags, &options) != wmf_E_None) {
        if (api)
            wmf_api_destroy(api);
        return nullptr;
    }
    return api;
}

bool IsPlaceable(const QByteArray& data) { return data.size() >= 22 && Word(data, 0) == 0xCDD7 && Word(data, 2) == 0x9AC6; }

// Calls visit(offset, words, function) for each record of a WMF, in order, until it
// returns false or the records end (or stop making sense).
template <class Visit>
void ForEachRecord(const QByteArray& data, Visit visit)
{
    const qsizetype start = IsPlaceable(data) ? 22 : 0;
    if (data.size() < start + 18)
        return;
    qsizetype at = start + qsizetype(Word(data, start + 2)) * 2; // past the standard header
    while (at + 6 <= data.size()) {
        const quint32 words = quint32(Word(data, at)) | (quint32(Word(data, at + 2)) << 16);
        const quint16 function = Word(data, at + 4);
        if (words < 3 || function == 0 || qsizetype(words) > (data.size() - at) / 2 || !visit(at, words, function))
            return;
        at += qsizetype(words) * 2;
    }
}

// The records that set how logical units map to the device: map mode, window and
// viewport origins and extents, and their offsets and scalings.
bool IsMappingRecord(quint16 function)
{
    switch (function) {
    case 0x0103: // SETMAPMODE
    case 0x020B: // SETWINDOWORG
    case 0x020C: // SETWINDOWEXT
    case 0x020D: // SETVIEWPORTORG
    case 0x020E: // SETVIEWPORTEXT
    case 0x020F: // OFFSETVIEWPORTORG
    case 0x0211: // OFFSETWINDOWORG
    case 0x0410: // SCALEWINDOWEXT
    case 0x0412: // SCALEVIEWPORTEXT
        return true;
    default:
        return false;
    }
}

// The records that put something on the page.
bool IsDrawingRecord(quint16 function)
{
    switch (function) {
    case 0x0213: case 0x041B: case 0x0324: case 0x0325: case 0x0538: case 0x0418: case 0x0817:
    case 0x081A: case 0x0830: case 0x061C: case 0x0521: case 0x0A32: case 0x0922: case 0x0940:
    case 0x0B23: case 0x0B41: case 0x0F43: case 0x0D33: case 0x0228: case 0x012B: case 0x0429:
    case 0x061D: case 0x041F: case 0x0419: case 0x0548:
        return true;
    default:
        return false;
    }
}

// The frame a WMF declares, in its logical units: the placeable header's bounding box, or
// for a file without one its window origin and extent. Read from the file's own bytes;
// the header and the records have fixed layouts.
struct WmfFrame {
    bool found = false;
    int left = 0, top = 0, right = 0, bottom = 0;
    QByteArray mappingRecords; // the mapping in force where the drawing starts, as the file sets it
};

WmfFrame DeclaredFrame(const QByteArray& data)
{
    WmfFrame frame;
    if (IsPlaceable(data)) {
        frame.left = qint16(Word(data, 6));
        frame.top = qint16(Word(data, 8));
        frame.right = qint16(Word(data, 10));
        frame.bottom = qint16(Word(data, 12));
        frame.found = frame.right != frame.left && frame.bottom != frame.top;
    }
    // The first window origin and extent: (y, x) each.
    std::optional<QPoint> origin, extent;
    ForEachRecord(data, [&](qsizetype at, quint32 words, quint16 function) {
        if (IsDrawingRecord(function))
            return false;
        if (IsMappingRecord(function))
            frame.mappingRecords += data.mid(at, qsizetype(words) * 2);
        if ((function == 0x020B || function == 0x020C) && words >= 5) {
            std::optional<QPoint>& point = function == 0x020B ? origin : extent;
            if (!point)
                point = QPoint(qint16(Word(data, at + 8)), qint16(Word(data, at + 6)));
        }
        return true;
    });
    if (!frame.found && origin && extent && extent->x() != 0 && extent->y() != 0) {
        frame.found = true;
        frame.left = origin->x();
        frame.top = origin->y();
        frame.right = origin->x() + extent->x();
        frame.bottom = origin->y() + extent->y();
    }
    return frame;
}

// The file with every background mode set to opaque. The mode decides only what fills the
// gaps of hatches, styled lines and text; libwmf's drawing to SVG instead makes every fill
// half transparent where the mode is transparent, which files set routinely.
QByteArray WithOpaqueBackground(const QByteArray& data)
{
    QByteArray out = data;
    ForEachRecord(data, [&](qsizetype at, quint32 words, quint16 function) {
        if (function == 0x0102 && words >= 4) { // SETBKMODE
            out[at + 6] = char(2);                // OPAQUE
            out[at + 7] = char(0);
        }
        return true;
    });
    return out;
}

// The file with the mapping it sets up before drawing anything moved ahead of its other
// records. Windows converts a pen's width (and a font's height) from logical units when it
// draws; libwmf does so when the pen is made, under the mapping of that moment, so a pen
// made before the file sets its window came out many times too thin or too thick. Making
// pens and choosing colours do not depend on the mapping, so the order means nothing else.
// A saved or restored state ends what is moved.
QByteArray WithMappingFirst(const QByteArray& data)
{
    QByteArray mapping, rest;
    qsizetype first = -1, end = -1;
    bool moving = true;
    ForEachRecord(data, [&](qsizetype at, quint32 words, quint16 function) {
        if (first < 0)
            first = at;
        end = at + qsizetype(words) * 2;
        if (IsDrawingRecord(function) || function == 0x001E || function == 0x0127) // SAVEDC, RESTOREDC
            moving = false;
        (moving && IsMappingRecord(function) ? mapping : rest) += data.mid(at, qsizetype(words) * 2);
        return true;
    });
    if (first < 0 || mapping.isEmpty())
        return data;
    return data.left(first) + mapping + rest + data.mid(end);
}

// Where libwmf puts the declared frame among its own coordinates: the frame drawn as a
// rectangle with no pen in a small metafile of the same header and window, and measured.
bool FrameInDeviceUnits(const QByteArray& data, const WmfFrame& frame, wmfD_Rect& rect)
{
    QByteArray records = frame.mappingRecords;
    auto record = [&records](int function, std::initializer_list<int> params) {
        PutWord(records, int(3 + params.size()));
        PutWord(records, 0);
        PutWord(records, function);
        for (int p : params)
            PutWord(records, p);
    };
    record(0x02FA, {5, 0, 0, 0, 0});                                     // CREATEPENINDIRECT: no pen
    record(0x012D, {0});                                                 // SELECTOBJECT
    // A rectangle covers its right and bottom edges here, one logical unit more than the frame.
    record(0x041B, {frame.bottom - 1, frame.right - 1, frame.top, frame.left}); // RECTANGLE
    record(0x0000, {});                                                  // EOF
    QByteArray file = IsPlaceable(data) ? data.left(22) : QByteArray();
    PutWord(file, 1);
    PutWord(file, 9);
    PutWord(file, 0x0300);
    PutWord(file, int(((18 + records.size()) / 2) & 0xFFFF));
    PutWord(file, int(((18 + records.size()) / 2) >> 16));
    PutWord(file, 1);
    PutWord(file, 8);
    PutWord(file, 0);
    PutWord(file, 0);
    file += records;

    wmfAPI* api = NewSvgApi();
    if (!api)
        return false;
    const bool measured = wmf_mem_open(api, reinterpret_cast<unsigned char*>(file.data()), long(file.size())) == wmf_E_None &&
                          wmf_scan(api, 0, &rect) == wmf_E_None;
    wmf_api_destroy(api);
    return measured && rect.BR.x > rect.TL.x && rect.BR.y > rect.TL.y;
}

QByteArray WmfToSvg(const QByteArray& data, QString& error)
{
    wmfAPI* api = NewSvgApi();
    if (!api) {
        error = QStringLiteral("Metafile support could not be started");
        return {};
    }
    QByteArray input = WithMappingFirst(WithOpaqueBackground(data)); // also a writable buffer, as libwmf wants
    QByteArray svg;
    wmfD_Rect bbox;
    if (wmf_mem_open(api, reinterpret_cast<unsigned char*>(input.data()), long(input.size())) == wmf_E_None &&
        wmf_scan(api, 0, &bbox) == wmf_E_None) {
        wmf_svg_t* device = WMF_SVG_GetData(api);
        device->out = wmf_stream_create(api, nullptr); // to memory
        device->Description = const_cast<char*>("Lumivo");
        unsigned int width = 0, height = 0;
        wmf_display_size(api, &width, &height, 96, 96); // a screen's resolution
        // The picture is the frame the file declares, with the drawing in its place in it
        // (not the drawing's own extent stretched over the picture).
        const WmfFrame frame = DeclaredFrame(data);
        wmfD_Rect declared;
        if (frame.found && FrameInDeviceUnits(data, frame, declared)) {
            device->bbox = declared;
            // The size at a screen's 96 dots an inch: a placeable header says how many of
            // its units make an inch; otherwise libwmf's units are points.
            const int unitsPerInch = IsPlaceable(data) ? Word(data, 14) : 0;
            if (unitsPerInch > 0) {
                width = unsigned(qRound(std::abs(frame.right - frame.left) * 96.0 / unitsPerInch));
                height = unsigned(qRound(std::abs(frame.bottom - frame.top) * 96.0 / unitsPerInch));
            } else {
                width = unsigned(qRound((declared.BR.x - declared.TL.x) * 96.0 / 72.0));
                height = unsigned(qRound((declared.BR.y - declared.TL.y) * 96.0 / 72.0));
            }
        } else {
            device->bbox = bbox;
        }
        device->width = qMax(1u, width);
        device->height = qMax(1u, height);
        const bool played = wmf_play(api, 0, &bbox) == wmf_E_None;
        char* text = nullptr;
        unsigned long length = 0;
        wmf_stream_destroy(api, device->out, &text, &length);
        if (played && text)
            svg = QByteArray(text, qsizetype(length)); // the text belongs to libwmf, freed with it
    }
    wmf_api_destroy(api);
    if (svg.isEmpty())
        error = QStringLiteral("Metafile is not valid");
    return svg;
}

qint32 Int32(const QByteArray& data, qsizetype at)
{
    return qint32(quint32(uchar(data[at])) | (quint32(uchar(data[at + 1])) << 8) | (quint32(uchar(data[at + 2])) << 16) |
                  (quint32(uchar(data[at + 3])) << 24));
}

// The picture of an EMF is its header's frame (0.01 mm, on the reference device whose size
// the header gives in pixels and millimetres), wherever the drawing's bounds lie. libemf2svg
// sizes its picture by the bounds and moves the drawing by their top left; the frame is put
// over that as the picture's view.
QByteArray FramedEmfSvg(const QByteArray& svg, const QByteArray& emf)
{
    if (emf.size() < 88 || Int32(emf, 0) != 1)
        return svg;
    const qint32 boundsLeft = Int32(emf, 8), boundsTop = Int32(emf, 12);
    const qint32 frame[4] = {Int32(emf, 24), Int32(emf, 28), Int32(emf, 32), Int32(emf, 36)};
    const qint32 devicePx[2] = {Int32(emf, 72), Int32(emf, 76)}, deviceMm[2] = {Int32(emf, 80), Int32(emf, 84)};
    if (devicePx[0] <= 0 || devicePx[1] <= 0 || deviceMm[0] <= 0 || deviceMm[1] <= 0 || frame[2] <= frame[0] ||
        frame[3] <= frame[1])
        return svg;
    const double pxPerUnitX = devicePx[0] / (deviceMm[0] * 100.0), pxPerUnitY = devicePx[1] / (deviceMm[1] * 100.0);
    const double x = frame[0] * pxPerUnitX - boundsLeft, y = frame[1] * pxPerUnitY - boundsTop;
    const double width = (frame[2] - frame[0]) * pxPerUnitX, height = (frame[3] - frame[1]) * pxPerUnitY;
    if (!(width >= 1 && height >= 1 && width < 1e6 && height < 1e6))
        return svg;
    const qsizetype open = svg.indexOf("<svg");
    const qsizetype close = open < 0 ? -1 : svg.indexOf('>', open);
    if (close < 0)
        return svg;
    QByteArray tag = svg.mid(open, close - open);
    for (const char* attribute : {" width=\"", " height=\"", " viewBox=\""}) {
        const qsizetype at = tag.indexOf(attribute);
        if (at >= 0)
            tag.remove(at, tag.indexOf('"', at + qsizetype(qstrlen(attribute))) + 1 - at);
    }
    tag += QStringLiteral(" width=\"%1\" height=\"%2\" viewBox=\"%3 %4 %1 %2\"")
               .arg(width, 0, 'f', 4)
               .arg(height, 0, 'f', 4)
               .arg(x, 0, 'f', 4)
               .arg(y, 0, 'f', 4)
               .toLatin1();
    return svg.left(open) + tag + svg.mid(close);
}

QByteArray EmfToSvg(const QByteArray& data, QString& error)
{
    generatorOptions options;
    std::memset(&options, 0, sizeof options);
    options.nameSpace = const_cast<char*>("");
    options.svgDelimiter = true;
    options.emfplus = true;
    char* text = nullptr;
    size_t length = 0;
    QByteArray input = data;
    const int ok = emf2svg(input.data(), size_t(input.size()), &text, &length, &options);
    QByteArray svg = ok && text ? FramedEmfSvg(QByteArray(text, qsizetype(length)), data) : QByteArray();
    std::free(text);
    if (svg.isEmpty())
        error = QStringLiteral("Enhanced metafile is not valid");
    return svg;
}

} // namespace

QByteArray WithThinnestStroke(const QByteArray& svg, double minimum)
{
    // Both writers give widths as "stroke-width:N" in a style or as stroke-width="N".
    QByteArray out;
    out.reserve(svg.size());
    qsizetype from = 0;
    for (qsizetype at = svg.indexOf("stroke-width", from); at >= 0; at = svg.indexOf("stroke-width", from)) {
        qsizetype number = at + 12;
        while (number < svg.size() && (svg[number] == ':' || svg[number] == '=' || svg[number] == '"' || svg[number] == ' '))
            ++number;
        qsizetype after = number;
        while (after < svg.size() && (std::isdigit(uchar(svg[after])) || svg[after] == '.' || svg[after] == '-' ||
                                      svg[after] == 'e' || svg[after] == 'E' || svg[after] == '+'))
            ++after;
        bool ok = false;
        const double width = svg.mid(number, after - number).toDouble(&ok);
        out += svg.mid(from, number - from);
        out += ok && width < minimum ? QByteArray::number(minimum, 'f', 6) : svg.mid(number, after - number);
        from = after;
    }
    return out + svg.mid(from);
}

QByteArray MetafileToSvg(const QByteArray& data, TMetafileKind kind, QString& error)
{
    return kind == TMetafileKind::Wmf ? WmfToSvg(data, error) : EmfToSvg(data, error);
}
