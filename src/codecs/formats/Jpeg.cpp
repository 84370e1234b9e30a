#include "codecs/formats/Jpeg.h"

#include "codecs/core/DecodeLimits.h"
#include "codecs/surface/Canvas.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
// The inverse-transform hook (struct jpeg_inverse_dct), to transform only the blocks a
// sample needs.
#include <jpegint.h>
}

namespace tabulonix {

// The JPEG library reports fatal errors through a callback that must not return. It is C
// code, so a C++ exception must not pass through it: the callback long-jumps back to the
// step function that called into the library. Those step functions own no C++ objects
// (only plain data), so nothing with a destructor is skipped; the C++ callers turn the
// recorded message code into an EJPEG afterwards.
namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void ErrorExit(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

void IgnoreMessage(j_common_ptr, int) {}
void IgnoreOutput(j_common_ptr) {}

void InitErrors(ErrorManager& err)
{
    jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.emit_message = IgnoreMessage; // warnings (premature end included) are ignored
    err.pub.output_message = IgnoreOutput;
}

// ---- reading from memory; running out of data ends the input with a made-up EOI ----

const JOCTET kFakeEOI[2] = {0xFF, JPEG_EOI};

void SourceInit(j_decompress_ptr) {}
boolean SourceFill(j_decompress_ptr cinfo)
{
    cinfo->src->next_input_byte = kFakeEOI;
    cinfo->src->bytes_in_buffer = 2;
    return TRUE;
}
void SourceSkip(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr* src = cinfo->src;
    while (static_cast<size_t>(count) > src->bytes_in_buffer) {
        count -= static_cast<long>(src->bytes_in_buffer);
        SourceFill(cinfo);
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<size_t>(count);
}
void SourceTerm(j_decompress_ptr) {}

// ---- writing into a growing malloc buffer (released by the caller) ----

struct MemoryDestination {
    jpeg_destination_mgr pub;
    JOCTET* buffer;
    size_t capacity;
    size_t used; // bytes complete when the compression has finished
};

void DestInit(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    dest->capacity = 64 * 1024;
    dest->buffer = static_cast<JOCTET*>(std::malloc(dest->capacity));
    if (!dest->buffer)
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = dest->capacity;
}
boolean DestEmpty(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    size_t grown = dest->capacity * 2;
    auto* bigger = static_cast<JOCTET*>(std::realloc(dest->buffer, grown));
    if (!bigger)
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 1);
    dest->buffer = bigger;
    dest->pub.next_output_byte = bigger + dest->capacity; // the whole old buffer was full
    dest->pub.free_in_buffer = grown - dest->capacity;
    dest->capacity = grown;
    return TRUE;
}
void DestTerm(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    dest->used = dest->capacity - dest->pub.free_in_buffer;
}

// ---- decoding ----

// The blocks of each component that a sample reads, the library's own inverse transforms,
// which run for those blocks only, and where the transform of each component's current
// iMCU row started: the library transforms an iMCU row's blocks from the top block row
// down, each block row `DCT_scaled_size` output rows below the one before.
struct NeededBlocks {
    inverse_DCT_method_ptr transform[MAX_COMPONENTS];
    std::vector<uint8_t> columns[MAX_COMPONENTS]; // one flag per block column
    std::vector<uint8_t> rows[MAX_COMPONENTS];    // one flag per block row
    JDIMENSION iMCURow[MAX_COMPONENTS];
    JSAMPARRAY topRow[MAX_COMPONENTS];
};

struct DecodeState {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    jpeg_source_mgr src;
    bool created;
    NeededBlocks* blocks; // set while sampling
};

struct HeaderInfo {
    int width, height, components;
    bool grayscale, multiScan;
};

struct DecodeParams {
    int scale;
    bool smoothing, grayscale, eightBit, bestSpeed;
};

template <class State> int MessageCode(const State& s)
{
    return s.err.pub.msg_code;
}

// Step functions: true on success; after false the message code tells why.
bool DecodeOpen(DecodeState* s, const uint8_t* data, size_t size, uint64_t memoryBudget,
                HeaderInfo* info)
{
    InitErrors(s->err);
    s->cinfo.err = &s->err.pub;
    if (setjmp(s->err.jump))
        return false;
    jpeg_create_decompress(&s->cinfo);
    s->created = true;
    // Multi-scan files keep every coefficient in memory: that counts against the budget too
    // (the library refuses what would need more, having no backing store).
    s->cinfo.mem->max_memory_to_use = static_cast<long>(std::min<uint64_t>(memoryBudget, LONG_MAX));
    s->src.init_source = SourceInit;
    s->src.fill_input_buffer = SourceFill;
    s->src.skip_input_data = SourceSkip;
    s->src.resync_to_restart = jpeg_resync_to_restart;
    s->src.term_source = SourceTerm;
    s->src.next_input_byte = data;
    s->src.bytes_in_buffer = size;
    s->cinfo.src = &s->src;
    jpeg_read_header(&s->cinfo, TRUE);
    info->width = static_cast<int>(s->cinfo.image_width);
    info->height = static_cast<int>(s->cinfo.image_height);
    info->components = s->cinfo.num_components;
    info->grayscale = s->cinfo.jpeg_color_space == JCS_GRAYSCALE;
    info->multiScan = jpeg_has_multiple_scans(&s->cinfo) != 0;
    return true;
}

bool DecodeStart(DecodeState* s, const DecodeParams* p)
{
    if (setjmp(s->err.jump))
        return false;
    jpeg_decompress_struct& c = s->cinfo;
    c.scale_num = 1;
    c.scale_denom = static_cast<unsigned>(p->scale);
    c.do_block_smoothing = p->smoothing ? TRUE : FALSE;
    if (p->grayscale)
        c.out_color_space = JCS_GRAYSCALE;
    else if (c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK)
        c.out_color_space = JCS_CMYK; // made RGB by hand: the library has no such conversion
    if (p->eightBit || c.out_color_space == JCS_GRAYSCALE) {
        c.quantize_colors = TRUE;
        c.desired_number_of_colors = 236;
    }
#ifdef JCS_EXTENSIONS
    // The same samples, delivered in the surface's blue, green, red order.
    else if (c.out_color_space == JCS_RGB)
        c.out_color_space = JCS_EXT_BGR;
#endif
    if (p->bestSpeed) {
        c.dct_method = JDCT_IFAST;
        c.two_pass_quantize = FALSE;
        c.dither_mode = JDITHER_ORDERED;
    }
    jpeg_calc_output_dimensions(&c);
    return true;
}

bool DecodeBegin(DecodeState* s)
{
    if (setjmp(s->err.jump))
        return false;
    jpeg_start_decompress(&s->cinfo);
    return true;
}

// One pixel of library samples as blue, green, red. CMYK is made RGB by hand: Adobe writes
// it inverted, and the colour is the ink's complement times black.
inline void ToBgr(const jpeg_decompress_struct& c, const uint8_t* in, uint8_t* out)
{
    if (c.out_color_components == 4) {
        unsigned cc = in[0], m = in[1], y = in[2], k = in[3];
        if (!c.saw_Adobe_marker) {
            cc = 255 - cc, m = 255 - m, y = 255 - y, k = 255 - k;
        }
        out[0] = static_cast<uint8_t>((y * k + 127) / 255);
        out[1] = static_cast<uint8_t>((m * k + 127) / 255);
        out[2] = static_cast<uint8_t>((cc * k + 127) / 255);
        return;
    }
#ifdef JCS_EXTENSIONS
    if (c.out_color_space == JCS_EXT_BGR) {
        std::memcpy(out, in, 3);
        return;
    }
#endif
    out[0] = in[2];
    out[1] = in[1];
    out[2] = in[0];
}

// Reads every row into `pixels` (top-down, `stride` bytes apart): indices for quantised
// output, else blue, green, red triples. `scratch` holds one row of library samples.
bool DecodeRows(DecodeState* s, uint8_t* pixels, size_t stride, uint8_t* scratch, JSAMPROW* rows)
{
    if (setjmp(s->err.jump))
        return false;
    jpeg_decompress_struct& c = s->cinfo;
    const unsigned width = c.output_width;
    bool direct = c.quantize_colors;
#ifdef JCS_EXTENSIONS
    direct = direct || c.out_color_space == JCS_EXT_BGR;
#endif
    if (direct) {
        for (JDIMENSION y = 0; y < c.output_height; ++y)
            rows[y] = pixels + stride * y;
        while (c.output_scanline < c.output_height)
            jpeg_read_scanlines(&c, rows + c.output_scanline, c.output_height - c.output_scanline);
        return true;
    }
    const int step = c.out_color_components;
    while (c.output_scanline < c.output_height) {
        uint8_t* out = pixels + stride * c.output_scanline;
        JSAMPROW row = scratch;
        jpeg_read_scanlines(&c, &row, 1);
        for (unsigned x = 0; x < width; ++x)
            ToBgr(c, scratch + step * x, out + 3 * x);
    }
    return true;
}

// Stands in for the library's inverse transform while sampling: a block no sampled pixel
// reads is filled with mid-grey instead of transformed. The upsamplers and the colour
// conversion still run over those blocks, but no sampled pixel depends on them.
void TransformNeededBlock(j_decompress_ptr cinfo, jpeg_component_info* component,
                          JCOEFPTR coefficients, JSAMPARRAY output, JDIMENSION column)
{
    NeededBlocks& blocks = *static_cast<DecodeState*>(cinfo->client_data)->blocks;
    const int ci = component->component_index;
    const auto size = static_cast<JDIMENSION>(component->DCT_scaled_size);
    if (blocks.iMCURow[ci] != cinfo->output_iMCU_row) { // the first block of a new iMCU row
        blocks.iMCURow[ci] = cinfo->output_iMCU_row;
        blocks.topRow[ci] = output;
    }
    // Were a block ever above the first one, its row would be out of range: transformed.
    const size_t blockRow =
        size_t{cinfo->output_iMCU_row} * static_cast<size_t>(component->v_samp_factor) +
        static_cast<size_t>(output - blocks.topRow[ci]) / size;
    const size_t blockColumn = column / size;
    const std::vector<uint8_t>& columns = blocks.columns[ci];
    const std::vector<uint8_t>& rows = blocks.rows[ci];
    if ((blockColumn < columns.size() && !columns[blockColumn]) ||
        (blockRow < rows.size() && !rows[blockRow])) {
        static constexpr JSAMPLE kGrey[DCTSIZE] = {CENTERJSAMPLE, CENTERJSAMPLE, CENTERJSAMPLE,
                                                   CENTERJSAMPLE, CENTERJSAMPLE, CENTERJSAMPLE,
                                                   CENTERJSAMPLE, CENTERJSAMPLE};
        if (size == DCTSIZE) // the usual size: eight single stores
            for (JDIMENSION r = 0; r < DCTSIZE; ++r)
                std::memcpy(output[r] + column, kGrey, DCTSIZE);
        else
            for (JDIMENSION r = 0; r < size; ++r)
                std::memset(output[r] + column, CENTERJSAMPLE, size);
        return;
    }
    blocks.transform[ci](cinfo, component, coefficients, output, column);
}

// Flags the blocks, along one direction of a component, that the output positions `at`
// read: the component sample under each and, where the triangle upsamplers stretch the
// component (its scale is below the full one), its neighbours on either side. Blocks past
// the picture's edge (an MCU's dummy blocks) have no flag and are always transformed.
void FlagNeeded(std::vector<uint8_t>& flags, int64_t blocks, int64_t size, int64_t scale,
                int64_t fullScale, const int* at, int count)
{
    flags.assign(static_cast<size_t>(blocks), 0);
    const int64_t last = blocks * size - 1;
    const int64_t reach = scale == fullScale ? 0 : 1; // a full-size component is copied
    for (int i = 0; i < count; ++i) {
        const int64_t sample = at[i] * scale / fullScale;
        for (int64_t x = std::max<int64_t>(sample - reach, 0); x <= std::min(sample + reach, last);
             ++x)
            flags[static_cast<size_t>(x / size)] = 1;
    }
}

// Flags, for every component, the blocks that the sampled columns and rows read, then
// routes the inverse transforms through TransformNeededBlock. Called after the
// decompression has started, when the transforms of the output pass are chosen.
void RestrictTransforms(DecodeState* s, NeededBlocks& blocks, const int* columns, int width,
                        const int* rows, int height)
{
    jpeg_decompress_struct& c = s->cinfo;
    const int64_t fullWidth = int64_t{c.max_h_samp_factor} * c.min_DCT_scaled_size;
    const int64_t fullHeight = int64_t{c.max_v_samp_factor} * c.min_DCT_scaled_size;
    for (int ci = 0; ci < c.num_components; ++ci) {
        jpeg_component_info& component = c.comp_info[ci];
        const int64_t size = component.DCT_scaled_size;
        FlagNeeded(blocks.columns[ci], component.width_in_blocks, size,
                   int64_t{component.h_samp_factor} * size, fullWidth, columns, width);
        FlagNeeded(blocks.rows[ci], component.height_in_blocks, size,
                   int64_t{component.v_samp_factor} * size, fullHeight, rows, height);
        blocks.iMCURow[ci] = ~JDIMENSION{0};
        blocks.topRow[ci] = nullptr;
        blocks.transform[ci] = c.idct->inverse_DCT[ci];
        c.idct->inverse_DCT[ci] = TransformNeededBlock;
    }
    c.client_data = s;
    s->blocks = &blocks;
}

struct SampleParams {
    const int* columns; // source column of each output column
    int width;
    const int* rows; // source row of each output row, never decreasing
    int height;
    uint8_t* pixels; // top-down blue, green, red rows, `stride` bytes apart
    size_t stride;
    uint8_t* scratch; // one row of library samples
};

// Reads only the source rows the output needs and skips the others, which the library then
// entropy-decodes without transforming them. Everything after the last needed row is
// skipped too, up to the last row, so that damaged data fails as a full decode would.
bool DecodeSampledRows(DecodeState* s, const SampleParams* p)
{
    if (setjmp(s->err.jump))
        return false;
    jpeg_decompress_struct& c = s->cinfo;
    const int step = c.out_color_components;
    JSAMPROW row = p->scratch;
    for (int j = 0; j < p->height;) {
        const auto wanted = static_cast<JDIMENSION>(p->rows[j]);
        if (wanted > c.output_scanline)
            jpeg_skip_scanlines(&c, wanted - c.output_scanline);
        jpeg_read_scanlines(&c, &row, 1);
        uint8_t* out = p->pixels + p->stride * static_cast<size_t>(j);
        for (int i = 0; i < p->width; ++i)
            ToBgr(c, p->scratch + step * p->columns[i], out + 3 * i);
        for (++j; j < p->height && p->rows[j] == p->rows[j - 1]; ++j)
            std::memcpy(p->pixels + p->stride * static_cast<size_t>(j), out,
                        3 * static_cast<size_t>(p->width));
    }
    if (c.output_scanline + 1 < c.output_height)
        jpeg_skip_scanlines(&c, c.output_height - 1 - c.output_scanline);
    if (c.output_scanline < c.output_height)
        jpeg_read_scanlines(&c, &row, 1);
    return true;
}

bool DecodeFinish(DecodeState* s)
{
    if (setjmp(s->err.jump))
        return false;
    jpeg_finish_decompress(&s->cinfo);
    return true;
}

// Releases the library's objects whatever state the steps left them in.
struct DecodeGuard {
    DecodeState& s;
    ~DecodeGuard()
    {
        if (s.created)
            jpeg_destroy_decompress(&s.cinfo);
    }
};

[[noreturn]] void Fail(int code)
{
    throw EJPEG(Format("JPEG error #%d", static_cast<long long>(code)));
}

HeaderInfo ReadHeader(const ByteBuffer& bytes, const DecodeLimits& limits)
{
    DecodeState s{};
    DecodeGuard guard{s};
    HeaderInfo info{};
    if (!DecodeOpen(&s, bytes.data(), bytes.size(), limits.BufferBytes(), &info))
        Fail(MessageCode(s));
    return info;
}

// ---- encoding ----

struct EncodeState {
    jpeg_compress_struct cinfo;
    ErrorManager err;
    MemoryDestination dest;
    bool created;
};

struct EncodeParams {
    int width, height, quality;
    bool grayscale, progressive;
    const uint8_t* pixels; // top-down 24-bit rows, blue, green, red
    size_t stride;
    uint8_t* scratch; // one row of red, green, blue samples
};

bool EncodeAll(EncodeState* s, const EncodeParams* p)
{
    InitErrors(s->err);
    s->cinfo.err = &s->err.pub;
    if (setjmp(s->err.jump))
        return false;
    jpeg_create_compress(&s->cinfo);
    s->created = true;
    jpeg_compress_struct& c = s->cinfo;
    s->dest.pub.init_destination = DestInit;
    s->dest.pub.empty_output_buffer = DestEmpty;
    s->dest.pub.term_destination = DestTerm;
    c.dest = &s->dest.pub;
    c.image_width = static_cast<JDIMENSION>(p->width);
    c.image_height = static_cast<JDIMENSION>(p->height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, p->quality, TRUE);
    if (p->grayscale)
        jpeg_set_colorspace(&c, JCS_GRAYSCALE);
    if (p->progressive)
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        const uint8_t* in = p->pixels + p->stride * c.next_scanline;
        for (int x = 0; x < p->width; ++x) {
            p->scratch[3 * x] = in[3 * x + 2];
            p->scratch[3 * x + 1] = in[3 * x + 1];
            p->scratch[3 * x + 2] = in[3 * x];
        }
        JSAMPROW row = p->scratch;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    return true;
}

struct EncodeGuard {
    EncodeState& s;
    ~EncodeGuard()
    {
        if (s.created)
            jpeg_destroy_compress(&s.cinfo);
        std::free(s.dest.buffer);
    }
};

} // namespace

TJPEGImage::TJPEGImage() : data_(std::make_shared<TJPEGData>()) {}
TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::NewData()
{
    data_ = std::make_shared<TJPEGData>();
}

int TJPEGImage::Width() const
{
    if (bitmap_)
        return bitmap_->Width();
    int s = std::max(Scale, 1);
    return (data_->width + s - 1) / s;
}

int TJPEGImage::Height() const
{
    if (bitmap_)
        return bitmap_->Height();
    int s = std::max(Scale, 1);
    return (data_->height + s - 1) / s;
}

void TJPEGImage::SetWidth(int)
{
    throw EInvalidGraphicOperation("Cannot change the size of a JPEG image");
}
void TJPEGImage::SetHeight(int)
{
    throw EInvalidGraphicOperation("Cannot change the size of a JPEG image");
}

bool TJPEGImage::IsEmpty() const
{
    bool noData = data_->bytes.empty();
    bool noPixels = !bitmap_ || bitmap_->IsEmpty();
    return noData && noPixels;
}

void TJPEGImage::ReadStream(TStream& stream)
{
    auto fresh = std::make_shared<TJPEGData>();
    stream.ReadRemaining(fresh->bytes);
    fresh->present = true;
    bool multiScan = false;
    if (!fresh->bytes.empty()) {
        HeaderInfo info = ReadHeader(fresh->bytes, Limits());
        fresh->width = info.width;
        fresh->height = info.height;
        fresh->grayscale = info.grayscale;
        multiScan = info.multiScan;
    }
    data_ = std::move(fresh);
    bitmap_.reset();
    ProgressiveScans = multiScan;
    Changed();
}

namespace {

DecodeParams ParamsOf(const TJPEGImage& image)
{
    DecodeParams params{};
    params.scale = (image.Scale == 2 || image.Scale == 4 || image.Scale == 8) ? image.Scale : 1;
    params.smoothing = image.Smoothing;
    params.grayscale = image.Grayscale;
    params.eightBit = image.PixelFormat == jf8Bit;
    params.bestSpeed = image.Performance == jpBestSpeed;
    return params;
}

// Reads the header and sets the decoder up; the output size is then known and checked.
void OpenDecoder(DecodeState& s, const ByteBuffer& bytes, const DecodeParams& params,
                 const DecodeLimits& limits)
{
    HeaderInfo info{};
    if (!DecodeOpen(&s, bytes.data(), bytes.size(), limits.BufferBytes(), &info))
        Fail(MessageCode(s));
    if (!DecodeStart(&s, &params))
        Fail(MessageCode(s));
    // Only grey or colour indices, RGB and CMYK become pixels; frames with other component
    // counts are refused before the library writes any row.
    const int components = s.cinfo.out_color_components;
    const bool handled =
        s.cinfo.quantize_colors
            ? (components == 1 || components == 3)
            : (components == 3 || (components == 4 && s.cinfo.out_color_space == JCS_CMYK));
    if (!handled)
        Fail(JERR_CONVERSION_NOTIMPL);
    CheckPixelBudget(limits, s.cinfo.output_width, s.cinfo.output_height,
                     "JPEG error #" + std::to_string(JERR_IMAGE_TOO_BIG));
}

} // namespace

void TJPEGImage::DIBNeeded() const
{
    if (bitmap_ || data_->bytes.empty())
        return;
    DecodeState s{};
    DecodeGuard guard{s};
    OpenDecoder(s, data_->bytes, ParamsOf(*this), Limits());
    const int width = static_cast<int>(s.cinfo.output_width);
    const int height = static_cast<int>(s.cinfo.output_height);
    const bool indexed = s.cinfo.quantize_colors != 0;
    const int components = s.cinfo.out_color_components;
    if (!DecodeBegin(&s))
        Fail(MessageCode(s));

    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetLimits(Limits());
    bitmap->NewImage(width, height, indexed ? pf8bit : pf24bit, false); // every row is decoded
    std::vector<uint8_t> scratch(static_cast<size_t>(width) * static_cast<size_t>(components));
    std::vector<JSAMPROW> rows(static_cast<size_t>(height));
    if (!DecodeRows(&s, bitmap->Row(0), bitmap->RowSize(), scratch.data(), rows.data()))
        Fail(MessageCode(s));
    if (indexed) {
        std::vector<RGBQuad> table(static_cast<size_t>(s.cinfo.actual_number_of_colors));
        const bool grey = s.cinfo.out_color_components == 1;
        for (size_t i = 0; i < table.size(); ++i) {
            uint8_t r = s.cinfo.colormap[0][i];
            uint8_t g = grey ? r : s.cinfo.colormap[1][i];
            uint8_t b = grey ? r : s.cinfo.colormap[2][i];
            table[i] = RGBQuad{b, g, r, 0};
        }
        TPalette palette = table;
        bitmap->SetColorTable(table);
        bitmap->SetPalette(palette);
    }
    DecodeFinish(&s); // the pixels are complete; trailing trouble is not an error
    bitmap_ = std::move(bitmap);
}

bool TJPEGImage::NearestSample(int width, int height, TBitmap& sample) const
{
    if (bitmap_ || data_->bytes.empty() || width <= 0 || height <= 0)
        return false;
    DecodeState s{};
    DecodeGuard guard{s};
    OpenDecoder(s, data_->bytes, ParamsOf(*this), Limits());
    const int sourceWidth = static_cast<int>(s.cinfo.output_width);
    const int sourceHeight = static_cast<int>(s.cinfo.output_height);
    // Quantised output is dithered from row to row, so it needs every row; a sample as large
    // as the picture saves nothing.
    if (s.cinfo.quantize_colors || int64_t{width} * height >= int64_t{sourceWidth} * sourceHeight)
        return false;
    std::vector<int> columns(static_cast<size_t>(width)), rows(static_cast<size_t>(height));
    for (int i = 0; i < width; ++i)
        columns[static_cast<size_t>(i)] = NearestSourceIndex(i, width, sourceWidth);
    for (int j = 0; j < height; ++j)
        rows[static_cast<size_t>(j)] = NearestSourceIndex(j, height, sourceHeight);
    if (!DecodeBegin(&s))
        Fail(MessageCode(s));
    NeededBlocks blocks;
    RestrictTransforms(&s, blocks, columns.data(), width, rows.data(), height);

    sample.NewImage(width, height, pf24bit, false); // every row is written
    std::vector<uint8_t> scratch(static_cast<size_t>(sourceWidth) *
                                 static_cast<size_t>(s.cinfo.out_color_components));
    SampleParams p{columns.data(),   width,         rows.data(), height, sample.Row(0),
                   sample.RowSize(), scratch.data()};
    if (!DecodeSampledRows(&s, &p))
        Fail(MessageCode(s));
    DecodeFinish(&s);
    return true;
}

void TJPEGImage::Encode()
{
    if (!bitmap_)
        DIBNeeded(); // re-encoding a read picture keeps its content
    Compress(bitmap_.get());
}

void TJPEGImage::EncodeFrom(const TBitmap& pixels)
{
    Compress(&pixels); // before the bitmap goes: `pixels` may be that bitmap
    bitmap_.reset();
    Changed();
}

void TJPEGImage::Compress(const TBitmap* source)
{
    NewData();
    data_->present = true;
    if (!source || source->Width() == 0 || source->Height() == 0)
        return;
    // 24-bit pixels are compressed where they are, others through a 24-bit copy.
    TBitmap converted;
    if (source->PixelFormat() != pf24bit) {
        converted = *source;
        converted.SetPixelFormat(pf24bit);
        source = &converted;
    }
    data_->width = source->Width();
    data_->height = source->Height();

    EncodeState s{};
    EncodeGuard guard{s};
    std::vector<uint8_t> scratch(static_cast<size_t>(source->Width()) * 3);
    EncodeParams p{};
    p.width = source->Width();
    p.height = source->Height();
    p.quality = std::clamp(Quality, 1, 100);
    p.grayscale = Grayscale;
    p.progressive = ProgressiveScans;
    p.pixels = source->ConstRow(0);
    p.stride = source->RowSize();
    p.scratch = scratch.data();
    if (!EncodeAll(&s, &p))
        Fail(MessageCode(s));
    data_->bytes.assign(s.dest.buffer, s.dest.buffer + s.dest.used);
    data_->grayscale = Grayscale;
}

void TJPEGImage::WriteStream(TStream& stream)
{
    if (!data_->present)
        Encode();
    stream.Write(data_->bytes.data(), data_->bytes.size());
}

void TJPEGImage::Paint(TCanvas& canvas, const TRect& rect)
{
    DIBNeeded();
    if (bitmap_)
        canvas.DrawScaled(rect, bitmap_.get());
}

void TJPEGImage::AssignFrom(const TGraphic& source)
{
    if (&source == this)
        return;
    if (auto* jpeg = dynamic_cast<const TJPEGImage*>(&source)) {
        data_ = jpeg->data_;
        bitmap_ = jpeg->bitmap_ ? std::make_unique<TBitmap>(*jpeg->bitmap_) : nullptr;
        Quality = jpeg->Quality;
        ProgressiveScans = jpeg->ProgressiveScans;
        Grayscale = jpeg->Grayscale;
        Changed();
        return;
    }
    if (auto* bitmap = dynamic_cast<const TBitmap*>(&source)) {
        NewData();
        bitmap_ = std::make_unique<TBitmap>(*bitmap);
        Changed();
        return;
    }
    AssignError(source);
}

bool TJPEGImage::AssignTo(TGraphic& target) const
{
    auto* bitmap = dynamic_cast<TBitmap*>(&target);
    if (!bitmap)
        return false;
    DIBNeeded();
    if (bitmap_)
        bitmap->AssignFrom(*bitmap_);
    else
        bitmap->AssignFrom(TBitmap());
    return true;
}

} // namespace tabulonix
