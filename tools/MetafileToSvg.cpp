#include "MetafileToSvg.h"

#include <cstring>

extern "C" {
#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>
}

namespace {

QByteArray WmfToSvg(const QByteArray& data, QString& error)
{
    wmfAPI* api = nullptr;
    wmfAPI_Options options;
    std::memset(&options, 0, sizeof options);
    options.function = wmf_svg_function;
    const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    if (wmf_api_create(&api, flags, &options) != wmf_E_None) {
        if (api)
            wmf_api_destroy(api);
        error = QStringLiteral("Metafile support could not be started");
        return {};
    }
    QByteArray input = data; // libwmf wants a writable buffer
    QByteArray svg;
    wmfD_Rect bbox;
    if (wmf_mem_open(api, reinterpret_cast<unsigned char*>(input.data()), long(input.size())) == wmf_E_None &&
        wmf_scan(api, 0, &bbox) == wmf_E_None) {
        wmf_svg_t* device = WMF_SVG_GetData(api);
        device->out = wmf_stream_create(api, nullptr); // to memory
        device->Description = const_cast<char*>("Lumivo");
        device->bbox = bbox;
        unsigned int width = 0, height = 0;
        wmf_display_size(api, &width, &height, 96, 96); // a screen's resolution
        device->width = width;
        device->height = height;
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
    QByteArray svg = ok && text ? QByteArray(text, qsizetype(length)) : QByteArray();
    std::free(text);
    if (svg.isEmpty())
        error = QStringLiteral("Enhanced metafile is not valid");
    return svg;
}

} // namespace

QByteArray MetafileToSvg(const QByteArray& data, TMetafileKind kind, QString& error)
{
    return kind == TMetafileKind::Wmf ? WmfToSvg(data, error) : EmfToSvg(data, error);
}
