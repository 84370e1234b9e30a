// JPEG strips of TIFF files through libjpeg. libjpeg reports fatal errors through a
// callback that must not return; it jumps back to a setjmp boundary in RunJob, a
// function that owns no C++ objects (all its state lives in the plain JpegJob record),
// and the C++ caller turns the failure into an exception.
#include "codecs/compression/TiffJpeg.h"

#include "codecs/core/CodecErrors.h"
#include "codecs/core/DecodeLimits.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include <jpeglib.h>

namespace tabulonix {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

struct JpegJob {
    const uint8_t* tables;
    size_t tablesSize;
    const uint8_t* src;
    size_t srcSize;
    int width, rows, components;
    bool colorTransform;
    uint8_t* dst;
    size_t rowBytes;
    uint64_t bufferBytes;
    uint64_t budget;
    int rowsDone;
    jpeg_decompress_struct cinfo;
    ErrorManager error;
    JSAMPROW row;
};

void ErrorExit(j_common_ptr cinfo)
{
    longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void Silent(j_common_ptr) {}

J_COLOR_SPACE SpaceOf(int components, bool colorTransform)
{
    switch (components) {
    case 1:
        return JCS_GRAYSCALE;
    case 3:
        return colorTransform ? JCS_YCbCr : JCS_RGB;
    case 4:
        return JCS_CMYK;
    default:
        return JCS_UNKNOWN;
    }
}

// Returns false when libjpeg failed or the strip does not match the picture.
bool RunJob(JpegJob* job)
{
    job->cinfo.err = jpeg_std_error(&job->error.pub);
    job->error.pub.error_exit = ErrorExit;
    job->error.pub.output_message = Silent;
    if (setjmp(job->error.jump)) {
        jpeg_destroy_decompress(&job->cinfo);
        return false;
    }
    jpeg_create_decompress(&job->cinfo);
    // Multi-scan strips keep every coefficient: their memory counts against the budget.
    job->cinfo.mem->max_memory_to_use =
        static_cast<long>(std::min<uint64_t>(job->bufferBytes, LONG_MAX));
    if (job->tablesSize > 0) {
        jpeg_mem_src(&job->cinfo, job->tables, static_cast<unsigned long>(job->tablesSize));
        jpeg_read_header(&job->cinfo, FALSE); // tables only
    }
    jpeg_mem_src(&job->cinfo, job->src, static_cast<unsigned long>(job->srcSize));
    if (jpeg_read_header(&job->cinfo, TRUE) != JPEG_HEADER_OK)
        longjmp(job->error.jump, 1);
    jpeg_decompress_struct* c = &job->cinfo;
    if (c->image_width != static_cast<JDIMENSION>(job->width) ||
        c->num_components != job->components ||
        static_cast<uint64_t>(c->image_width) * c->image_height > job->budget)
        longjmp(job->error.jump, 1);
    c->jpeg_color_space = SpaceOf(job->components, job->colorTransform);
    c->out_color_space = job->components == 3 ? JCS_RGB : c->jpeg_color_space;
    jpeg_start_decompress(c);
    if (c->output_components != job->components)
        longjmp(job->error.jump, 1);
    while (job->rowsDone < job->rows && c->output_scanline < c->output_height) {
        job->row = job->dst + job->rowBytes * static_cast<size_t>(job->rowsDone);
        if (jpeg_read_scanlines(c, &job->row, 1) != 1)
            break;
        ++job->rowsDone;
    }
    jpeg_abort_decompress(c);
    jpeg_destroy_decompress(c);
    return true;
}

} // namespace

int DecodeTIFFJPEG(const uint8_t* tables, size_t tablesSize, const uint8_t* src, size_t srcSize,
                   int width, int rows, int components, bool colorTransform, uint8_t* dst,
                   size_t rowBytes, const std::string& formatName, const DecodeLimits& limits)
{
    if (rows <= 0 || width <= 0 || rowBytes < static_cast<size_t>(width) * components ||
        SpaceOf(components, colorTransform) == JCS_UNKNOWN)
        throw EInvalidGraphic(FormatError(kCompressionError, formatName));
    static const uint8_t kEmpty[2] = {0, 0};
    auto job = std::make_unique<JpegJob>();
    std::memset(job.get(), 0, sizeof(JpegJob));
    job->tables = tablesSize ? tables : kEmpty;
    job->tablesSize = tablesSize;
    job->src = srcSize ? src : kEmpty;
    job->srcSize = srcSize;
    job->width = width;
    job->rows = rows;
    job->components = components;
    job->colorTransform = colorTransform;
    job->dst = dst;
    job->rowBytes = rowBytes;
    job->bufferBytes = limits.BufferBytes();
    job->budget = limits.pixels;
    if (!RunJob(job.get()))
        throw EInvalidGraphic(FormatError(kCompressionError, formatName));
    return job->rowsDone;
}

} // namespace tabulonix
