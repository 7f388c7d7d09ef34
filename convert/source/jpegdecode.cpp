#include "jpegheader.h"

#include "decodemessages.h"

#include <formats.h>

#include <QSysInfo>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

namespace Convert {
namespace Reading {

namespace {

// libjpeg's error manager, extended with what its callbacks learn. A fatal
// error leaves through longjmp; every warning is kept and judged.
struct JpegErrors
{
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    QStringList *messages;
    bool endsEarly = false; // the memory source ran out and made up an end marker
    bool corrupt = false; // libjpeg called the data damaged
    QString detail; // its words for the damage
    char fatal[JMSG_LENGTH_MAX];
};

JpegErrors *errorsOf(j_common_ptr cinfo)
{
    return reinterpret_cast<JpegErrors *>(cinfo->err);
}

extern "C" void onFatal(j_common_ptr cinfo)
{
    JpegErrors *errors = errorsOf(cinfo);
    (*cinfo->err->format_message)(cinfo, errors->fatal);
    std::longjmp(errors->jump, 1);
}

extern "C" void onMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return; // trace output
    JpegErrors *errors = errorsOf(cinfo);
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    const QString message = QString::fromLatin1(text);
    // libjpeg itself prints only the first warning; each one is judged.
    if (cinfo->err->num_warnings++ == 0)
        errors->messages->append(message);
    if (cinfo->err->msg_code == JWRN_JPEG_EOF)
        errors->endsEarly = true;
    if (saysCorrupt(message) && !errors->corrupt) {
        errors->corrupt = true;
        errors->detail = message;
    }
}

// The smallest scale n / 8 whose output still covers wanted in both sides
// (8 / 8 when wanted is not smaller than the image).
void chooseScale(jpeg_decompress_struct *cinfo, QSize wanted)
{
    cinfo->scale_denom = 8;
    for (unsigned n = 1; n <= 8; ++n) {
        cinfo->scale_num = n;
        jpeg_calc_output_dimensions(cinfo);
        if (int(cinfo->output_width) >= wanted.width()
            && int(cinfo->output_height) >= wanted.height())
            return;
    }
}

// Decodes into *image as Qt's JPEG handler does with its defaults (quality
// 75: the accurate integer DCT and fancy upsampling, libjpeg's defaults):
// grey as Format_Grayscale8, colour as Format_RGB32, and CMYK, which
// Adobe's files store inverted, as R = C * K / 255 and so on. libjpeg-turbo
// writes colour rows in the QImage's byte order itself.
// Everything between setjmp() and the last libjpeg call is here: no object
// with a destructor lives in this frame. The rows of a CMYK image pass
// through cmyk, allocated by the caller.
bool runLibjpeg(jpeg_decompress_struct *cinfo, JpegErrors *errors, const QByteArray &data,
                QSize wanted, QImage *image, std::vector<uchar> *cmyk)
{
    if (setjmp(errors->jump))
        return false;
    jpeg_create_decompress(cinfo);
    cinfo->mem->max_memory_to_use = long(DecodeBudgetBytes);
    jpeg_mem_src(cinfo, reinterpret_cast<const unsigned char *>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    jpeg_read_header(cinfo, TRUE);
    if (wanted.width() > 0 && wanted.height() > 0
        && (wanted.width() < int(cinfo->image_width) || wanted.height() < int(cinfo->image_height)))
        chooseScale(cinfo, wanted);
    QImage::Format format = QImage::Format_Invalid;
    if (cinfo->num_components == 1 && cinfo->out_color_space == JCS_GRAYSCALE) {
        format = QImage::Format_Grayscale8;
    } else if (cinfo->out_color_space == JCS_RGB) {
        cinfo->out_color_space =
            QSysInfo::ByteOrder == QSysInfo::LittleEndian ? JCS_EXT_BGRX : JCS_EXT_XRGB;
        format = QImage::Format_RGB32;
    } else if (cinfo->out_color_space == JCS_CMYK) {
        format = QImage::Format_RGB32;
    } else {
        std::snprintf(errors->fatal, sizeof errors->fatal, "unsupported colour space %d",
                      int(cinfo->jpeg_color_space));
        return false;
    }
    jpeg_calc_output_dimensions(cinfo);
    *image = QImage(int(cinfo->output_width), int(cinfo->output_height), format);
    if (image->isNull()) {
        std::snprintf(errors->fatal, sizeof errors->fatal, "the image could not be allocated");
        return false;
    }
    // Rows of Format_Grayscale8 have padding that libjpeg does not write.
    if (format == QImage::Format_Grayscale8)
        std::memset(image->bits(), 0, size_t(image->sizeInBytes()));
    const bool fromCmyk = cinfo->out_color_space == JCS_CMYK;
    if (fromCmyk)
        cmyk->resize(size_t(cinfo->output_width) * 4);
    jpeg_start_decompress(cinfo);
    uchar *const bits = image->bits();
    const qsizetype stride = image->bytesPerLine();
    while (cinfo->output_scanline < cinfo->output_height) {
        uchar *line = bits + qsizetype(cinfo->output_scanline) * stride;
        JSAMPROW row = fromCmyk ? cmyk->data() : line;
        if (jpeg_read_scanlines(cinfo, &row, 1) != 1)
            break;
        if (fromCmyk) {
            const uchar *in = cmyk->data();
            auto *out = reinterpret_cast<QRgb *>(line);
            for (unsigned x = 0; x < cinfo->output_width; ++x, in += 4) {
                const int k = in[3];
                out[x] = qRgb(k * in[0] / 255, k * in[1] / 255, k * in[2] / 255);
            }
        }
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

} // namespace

ConvertResult decodeJpeg(const DecodeInput &input, QImage *image)
{
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    QStringList messages;
    errors.messages = &messages;
    errors.fatal[0] = '\0';
    cinfo.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = onFatal;
    errors.manager.emit_message = onMessage;
    QImage decoded;
    std::vector<uchar> cmyk;
    const bool ok = runLibjpeg(&cinfo, &errors, input.data, input.wanted, &decoded, &cmyk);
    jpeg_destroy_decompress(&cinfo);

    const QString fatal = QString::fromLatin1(errors.fatal);
    if (!fatal.isEmpty())
        messages.append(fatal);
    ConvertResult result;
    if (errors.endsEarly)
        result = ConvertResult::corrupt(input.path, QStringLiteral("the data ends early"));
    else if (errors.corrupt)
        result = ConvertResult::corrupt(input.path, errors.detail);
    else if (!ok && saysCorrupt(fatal))
        result = ConvertResult::corrupt(input.path, fatal);
    else if (!ok)
        result = ConvertResult::notDecodable(input.path, fatal);
    result.addNotes(messages);
    if (result.ok())
        *image = std::move(decoded);
    return result;
}

ConvertResult checkEmbeddedJpeg(const QByteArray &data, const QString &path)
{
    const QString problem = checkJpegStructure(data);
    if (!problem.isEmpty())
        return ConvertResult::corrupt(path, problem);
    return ConvertResult::success();
}

} // namespace Reading
} // namespace Convert
