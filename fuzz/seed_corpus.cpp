// Builds the seed files byte by byte. stb_image_write supplies the deflate
// for PNG and the baseline JPEG encoder; everything else is written here
// from the formats' layouts, so each seed reaches a different decoder path:
// bit depths, palettes, interlacing, run-length packets, progressive scans,
// restart markers, header variants.
#include "seed_corpus.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#if defined(__GNUC__)
#  pragma GCC diagnostic push
#  pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#  pragma GCC diagnostic ignored "-Wunused-function"
#  pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#if defined(__GNUC__)
#  pragma GCC diagnostic pop
#endif

namespace imgfuzz {
namespace {

using Bytes = std::vector<unsigned char>;

struct Writer {
    Bytes bytes;

    void u8(unsigned value) { bytes.push_back(static_cast<unsigned char>(value & 0xFF)); }
    void le16(unsigned value) { u8(value); u8(value >> 8); }
    void le32(uint32_t value) { le16(value & 0xFFFF); le16(value >> 16); }
    void be16(unsigned value) { u8(value >> 8); u8(value); }
    void be32(uint32_t value) { be16(value >> 16); be16(value & 0xFFFF); }
    void text(const char *chars) { bytes.insert(bytes.end(), chars, chars + std::strlen(chars)); }
    void append(const Bytes &more) { bytes.insert(bytes.end(), more.begin(), more.end()); }
};

// A fixed pseudo-random byte stream, so seeds are the same on every run.
class Noise {
public:
    explicit Noise(unsigned seed) : state_(seed * 2654435761u + 12345u) {}
    unsigned next() { state_ = state_ * 1664525u + 1013904223u; return state_ >> 24; }
    unsigned below(unsigned limit) { return next() % limit; }
    Bytes bytes(size_t count)
    {
        Bytes out(count);
        for (auto &b : out)
            b = static_cast<unsigned char>(next());
        return out;
    }

private:
    uint32_t state_;
};

// Packs `count` values of `depth` bits (1, 2, 4 or 8), most significant first,
// each drawn below `limit`.
Bytes packed_indices(Noise &noise, int count, int depth, unsigned limit)
{
    Bytes out(static_cast<size_t>((count * depth + 7) / 8), 0);
    for (int i = 0; i < count; ++i) {
        const unsigned value = noise.below(limit);
        const int bit = i * depth;
        out[static_cast<size_t>(bit / 8)] |= static_cast<unsigned char>(value << (8 - depth - bit % 8));
    }
    return out;
}

// ---- PNG ----------------------------------------------------------------

uint32_t crc32(const unsigned char *data, size_t size)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void png_chunk(Writer &png, const char *type, const Bytes &data)
{
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.be32(static_cast<uint32_t>(data.size()));
    png.append(body);
    png.be32(crc32(body.data(), body.size()));
}

enum class Deflate { fixed_huffman, stored, raw_stored };

// A zlib stream (or, for raw_stored, a bare deflate stream) of `raw`.
Bytes deflate_stream(const Bytes &raw, Deflate kind)
{
    if (kind == Deflate::fixed_huffman) {
        int length = 0;
        unsigned char *z = stbi_zlib_compress(const_cast<unsigned char *>(raw.data()),
                                              static_cast<int>(raw.size()), &length, 8);
        Bytes out(z, z + length);
        STBIW_FREE(z);
        return out;
    }
    Writer z;
    if (kind == Deflate::stored) {
        z.u8(0x78);
        z.u8(0x01);
    }
    // Stored blocks of at most 100 bytes, so a seed has several.
    size_t offset = 0;
    do {
        const size_t block = std::min<size_t>(100, raw.size() - offset);
        z.u8(offset + block == raw.size() ? 1 : 0);
        z.le16(static_cast<unsigned>(block));
        z.le16(static_cast<unsigned>(~block & 0xFFFF));
        z.bytes.insert(z.bytes.end(), raw.begin() + static_cast<long>(offset),
                       raw.begin() + static_cast<long>(offset + block));
        offset += block;
    } while (offset < raw.size());
    if (kind == Deflate::stored) {
        uint32_t a = 1, b = 0;
        for (unsigned char c : raw) {
            a = (a + c) % 65521u;
            b = (b + a) % 65521u;
        }
        z.be32((b << 16) | a);
    }
    return z.bytes;
}

struct PngLayout {
    int width, height, colour_type, depth;
    bool interlaced = false;
    bool transparency = false;
    Deflate deflate = Deflate::fixed_huffman;
    bool apple = false; // a CgBI chunk first: raw deflate, BGR order
    bool empty_idat = false; // an IDAT chunk of length 0 before the data
};

Bytes make_png(const PngLayout &layout, unsigned seed)
{
    Noise noise(seed);
    static const int samples_of_type[] = {1, 0, 3, 1, 2, 0, 4};
    const int samples = samples_of_type[layout.colour_type];
    const bool paletted = layout.colour_type == 3;
    const unsigned palette_size = paletted ? (layout.depth == 8 ? 200u : 1u << layout.depth) : 0u;

    // Filtered scan lines; every filter type appears. Palette indices are kept
    // unfiltered so that each stays inside the palette.
    Bytes raw;
    struct Pass { int x0, y0, dx, dy; };
    static const Pass adam7[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                 {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    static const Pass whole[] = {{0, 0, 1, 1}};
    const Pass *passes = layout.interlaced ? adam7 : whole;
    const int pass_count = layout.interlaced ? 7 : 1;
    int row_number = 0;
    for (int p = 0; p < pass_count; ++p) {
        const int pass_width = (layout.width - passes[p].x0 + passes[p].dx - 1) / passes[p].dx;
        const int pass_height = (layout.height - passes[p].y0 + passes[p].dy - 1) / passes[p].dy;
        if (pass_width <= 0 || pass_height <= 0)
            continue;
        const size_t row_bytes = static_cast<size_t>((pass_width * samples * layout.depth + 7) / 8);
        for (int y = 0; y < pass_height; ++y, ++row_number) {
            raw.push_back(static_cast<unsigned char>(paletted ? 0 : row_number % 5));
            const Bytes row = paletted ? packed_indices(noise, pass_width, layout.depth, palette_size)
                                       : noise.bytes(row_bytes);
            raw.insert(raw.end(), row.begin(), row.end());
        }
    }

    Writer png;
    png.text("\x89PNG\r\n\x1a\n");
    if (layout.apple)
        png_chunk(png, "CgBI", {0x50, 0x00, 0x20, 0x06});
    Writer header;
    header.be32(static_cast<uint32_t>(layout.width));
    header.be32(static_cast<uint32_t>(layout.height));
    header.u8(static_cast<unsigned>(layout.depth));
    header.u8(static_cast<unsigned>(layout.colour_type));
    header.u8(0);
    header.u8(0);
    header.u8(layout.interlaced ? 1 : 0);
    png_chunk(png, "IHDR", header.bytes);
    png_chunk(png, "tEXt", Bytes{'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 's', 'e', 'e', 'd'});
    if (paletted)
        png_chunk(png, "PLTE", noise.bytes(palette_size * 3));
    if (layout.transparency) {
        if (paletted)
            png_chunk(png, "tRNS", noise.bytes(palette_size / 2));
        else
            png_chunk(png, "tRNS", noise.bytes(layout.colour_type == 2 ? 6 : 2));
    }
    // The image data split over several IDAT chunks.
    if (layout.empty_idat)
        png_chunk(png, "IDAT", {});
    const Bytes z = deflate_stream(raw, layout.deflate);
    for (size_t offset = 0; offset < z.size(); offset += 64)
        png_chunk(png, "IDAT",
                  Bytes(z.begin() + static_cast<long>(offset),
                        z.begin() + static_cast<long>(std::min(z.size(), offset + 64))));
    png_chunk(png, "IEND", {});
    return png.bytes;
}

// ---- JPEG ---------------------------------------------------------------

// Entropy-coded data: bits most significant first, 0xFF stuffed with 0x00,
// the last byte padded with ones.
class BitWriter {
public:
    explicit BitWriter(Bytes &out) : out_(out) {}
    void put(unsigned bits, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            byte_ = (byte_ << 1) | ((bits >> i) & 1u);
            if (++used_ == 8)
                emit();
        }
    }
    void flush()
    {
        while (used_ != 0)
            put(1, 1);
    }

private:
    void emit()
    {
        out_.push_back(static_cast<unsigned char>(byte_));
        if (byte_ == 0xFF)
            out_.push_back(0);
        byte_ = 0;
        used_ = 0;
    }
    Bytes &out_;
    unsigned byte_ = 0;
    int used_ = 0;
};

void jpeg_segment(Writer &jpeg, unsigned marker, const Bytes &body)
{
    jpeg.u8(0xFF);
    jpeg.u8(marker);
    jpeg.be16(static_cast<unsigned>(body.size() + 2));
    jpeg.append(body);
}

enum class JpegMode { progressive, baseline_with_restarts };

// A 16x8 JPEG, every component sampled 1x1, with one quantisation table and
// two tiny Huffman tables: DC categories 0-2 (codes 00, 01, 10) and AC
// symbols EOB and run 0 / size 1 (codes 00, 01). Each block gets a DC
// difference and one AC coefficient. Progressive: a DC first scan with
// successive approximation, its refinement, then one AC scan per component.
// Baseline: one interleaved scan with a restart marker after every MCU.
Bytes make_jpeg(int components, JpegMode mode, int adobe_transform)
{
    const int width = 16, height = 8, blocks = 2;
    Writer jpeg;
    jpeg.u8(0xFF);
    jpeg.u8(0xD8);
    if (adobe_transform >= 0) {
        Writer app14;
        app14.text("Adobe");
        app14.be16(100);
        app14.be16(0);
        app14.be16(0);
        app14.u8(static_cast<unsigned>(adobe_transform));
        jpeg_segment(jpeg, 0xEE, app14.bytes);
    } else {
        jpeg_segment(jpeg, 0xE0, Bytes{'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
    }
    Bytes quant(65, 2);
    quant[0] = 0;
    jpeg_segment(jpeg, 0xDB, quant);

    Writer frame;
    frame.u8(8);
    frame.be16(height);
    frame.be16(width);
    frame.u8(static_cast<unsigned>(components));
    for (int c = 0; c < components; ++c) {
        frame.u8(static_cast<unsigned>(c + 1));
        frame.u8(0x11);
        frame.u8(0);
    }
    jpeg_segment(jpeg, mode == JpegMode::progressive ? 0xC2 : 0xC0, frame.bytes);

    // Each table: class and id, the count of codes of each length 1-16 (here
    // all of length 2), the symbols.
    Writer huffman;
    huffman.u8(0x00);
    huffman.append(Bytes{0, 3});
    huffman.append(Bytes(14, 0));
    huffman.append(Bytes{0, 1, 2});
    huffman.u8(0x10);
    huffman.append(Bytes{0, 2});
    huffman.append(Bytes(14, 0));
    huffman.append(Bytes{0x00, 0x01});
    jpeg_segment(jpeg, 0xC4, huffman.bytes);

    auto scan_header = [&jpeg](std::initializer_list<int> ids, int start, int end, int high, int low) {
        Writer sos;
        sos.u8(static_cast<unsigned>(ids.size()));
        for (int id : ids) {
            sos.u8(static_cast<unsigned>(id));
            sos.u8(0x00);
        }
        sos.u8(static_cast<unsigned>(start));
        sos.u8(static_cast<unsigned>(end));
        sos.u8(static_cast<unsigned>((high << 4) | low));
        jpeg_segment(jpeg, 0xDA, sos.bytes);
    };
    std::initializer_list<int> all_ids[] = {{1}, {1, 2}, {1, 2, 3}, {1, 2, 3, 4}};
    const auto &ids = all_ids[components - 1];

    // DC difference of category (block + component) % 3: 0; +1; -2.
    auto dc = [](BitWriter &bits, int block, int component) {
        const unsigned category = static_cast<unsigned>((block + component) % 3);
        bits.put(category, 2);
        if (category == 1)
            bits.put(1, 1);
        else if (category == 2)
            bits.put(1, 2);
    };
    auto ac = [](BitWriter &bits) {
        bits.put(1, 2); // run 0, size 1
        bits.put(1, 1); // +1
        bits.put(0, 2); // end of block
    };

    if (mode == JpegMode::progressive) {
        scan_header(ids, 0, 0, 0, 1);
        {
            BitWriter bits(jpeg.bytes);
            for (int b = 0; b < blocks; ++b)
                for (int c = 0; c < components; ++c)
                    dc(bits, b, c);
            bits.flush();
        }
        scan_header(ids, 0, 0, 1, 0);
        {
            BitWriter bits(jpeg.bytes);
            for (int b = 0; b < blocks * components; ++b)
                bits.put(static_cast<unsigned>(b & 1), 1);
            bits.flush();
        }
        for (int c = 0; c < components; ++c) {
            scan_header({c + 1}, 1, 5, 0, 0);
            BitWriter bits(jpeg.bytes);
            for (int b = 0; b < blocks; ++b)
                ac(bits);
            bits.flush();
        }
    } else {
        jpeg_segment(jpeg, 0xDD, Bytes{0, 1}); // restart interval: one MCU
        scan_header(ids, 0, 63, 0, 0);
        for (int b = 0; b < blocks; ++b) {
            if (b > 0) {
                jpeg.u8(0xFF);
                jpeg.u8(static_cast<unsigned>(0xD0 + (b - 1) % 8));
            }
            BitWriter bits(jpeg.bytes);
            for (int c = 0; c < components; ++c) {
                dc(bits, b, c);
                ac(bits);
            }
            bits.flush();
        }
    }
    jpeg.u8(0xFF);
    jpeg.u8(0xD9);
    return jpeg.bytes;
}

void collect(void *context, void *data, int size)
{
    Bytes *out = static_cast<Bytes *>(context);
    const unsigned char *bytes = static_cast<const unsigned char *>(data);
    out->insert(out->end(), bytes, bytes + size);
}

// stb_image_write's baseline JPEG: quality 90 and below subsamples chroma 2x2.
Bytes stb_jpeg(int width, int height, int channels, int quality, unsigned seed)
{
    Noise noise(seed);
    const Bytes pixels = noise.bytes(static_cast<size_t>(width) * height * channels);
    Bytes out;
    stbi_write_jpg_to_func(collect, &out, width, height, channels, pixels.data(), quality);
    return out;
}

// ---- BMP ----------------------------------------------------------------

enum class BmpHeader { core12, info40, info40_bitfields, v5_124 };

// Rows bottom-up (top-down when `top_down`), each padded to four bytes.
// Paletted images get a full palette; OS/2 (core) files 3-byte entries.
Bytes make_bmp(int width, int height, int bpp, BmpHeader kind, bool top_down, unsigned seed)
{
    Noise noise(seed);
    const int header_size = kind == BmpHeader::core12 ? 12 : kind == BmpHeader::v5_124 ? 124 : 40;
    const int palette_entries = bpp <= 8 ? 1 << bpp : 0;
    const int entry_size = kind == BmpHeader::core12 ? 3 : 4;
    const int masks = kind == BmpHeader::info40_bitfields ? 12 : 0;
    const uint32_t offset = static_cast<uint32_t>(14 + header_size + masks + palette_entries * entry_size);
    const size_t row_bytes = static_cast<size_t>((width * bpp + 31) / 32 * 4);
    // stb_image reads four fewer entries than an OS/2 palette holds; indices
    // stay below that count so that every pixel has a colour.
    const unsigned index_limit =
        static_cast<unsigned>(kind == BmpHeader::core12 ? palette_entries - 4 : palette_entries);

    Writer bmp;
    bmp.text("BM");
    bmp.le32(static_cast<uint32_t>(offset + row_bytes * height));
    bmp.le32(0);
    bmp.le32(offset);
    bmp.le32(static_cast<uint32_t>(header_size));
    if (kind == BmpHeader::core12) {
        bmp.le16(static_cast<unsigned>(width));
        bmp.le16(static_cast<unsigned>(height));
        bmp.le16(1);
        bmp.le16(static_cast<unsigned>(bpp));
    } else {
        bmp.le32(static_cast<uint32_t>(width));
        bmp.le32(static_cast<uint32_t>(top_down ? -height : height));
        bmp.le16(1);
        bmp.le16(static_cast<unsigned>(bpp));
        bmp.le32(kind == BmpHeader::info40 ? 0 : 3); // BI_RGB or BI_BITFIELDS
        bmp.le32(static_cast<uint32_t>(row_bytes * height));
        bmp.le32(2835);
        bmp.le32(2835);
        bmp.le32(static_cast<uint32_t>(palette_entries));
        bmp.le32(0);
        if (kind == BmpHeader::info40_bitfields) { // 5-6-5
            bmp.le32(0xF800);
            bmp.le32(0x07E0);
            bmp.le32(0x001F);
        } else if (kind == BmpHeader::v5_124) { // 8-8-8-8 with alpha
            bmp.le32(0x00FF0000);
            bmp.le32(0x0000FF00);
            bmp.le32(0x000000FF);
            bmp.le32(0xFF000000);
            bmp.text("BGRs");             // colour space
            bmp.append(Bytes(48 + 16, 0)); // end points, gamma, intent, profile
        }
    }
    for (int i = 0; i < palette_entries; ++i) {
        const Bytes entry = noise.bytes(3);
        bmp.append(entry);
        if (entry_size == 4)
            bmp.u8(0);
    }
    for (int y = 0; y < height; ++y) {
        Bytes row = bpp <= 8 ? packed_indices(noise, width, bpp, index_limit) : noise.bytes(row_bytes);
        row.resize(row_bytes, 0);
        bmp.append(row);
    }
    return bmp.bytes;
}

// ---- TGA ----------------------------------------------------------------

// Image types: 1 colour-mapped, 2 true colour, 3 grey; +8 run-length
// encoded. Colour-mapped files carry a 24-bit map of 16 entries. Run-length
// data alternates a run of three copies with a raw packet of two pixels.
Bytes make_tga(int width, int height, int type, int bpp, bool top_left, unsigned seed)
{
    Noise noise(seed);
    const bool mapped = (type & 7) == 1;
    const bool rle = type >= 8;
    const int pixel_bytes = (bpp + 7) / 8;
    const char id[] = "seed";
    Writer tga;
    tga.u8(sizeof id - 1);
    tga.u8(mapped ? 1 : 0);
    tga.u8(static_cast<unsigned>(type));
    tga.le16(0);
    tga.le16(mapped ? 16 : 0);
    tga.u8(mapped ? 24 : 0);
    tga.le16(0);
    tga.le16(0);
    tga.le16(static_cast<unsigned>(width));
    tga.le16(static_cast<unsigned>(height));
    tga.u8(static_cast<unsigned>(bpp));
    tga.u8((top_left ? 0x20 : 0) | (bpp == 32 || (bpp == 16 && type % 8 == 3) ? 8 : 0));
    tga.text(id);
    if (mapped)
        tga.append(noise.bytes(16 * 3));

    auto pixel = [&]() { return mapped ? Bytes{static_cast<unsigned char>(noise.below(16))}
                                       : noise.bytes(static_cast<size_t>(pixel_bytes)); };
    const int count = width * height;
    if (!rle) {
        for (int i = 0; i < count; ++i)
            tga.append(pixel());
        return tga.bytes;
    }
    for (int done = 0; done < count;) {
        const int run = std::min(3, count - done);
        tga.u8(0x80u | static_cast<unsigned>(run - 1));
        tga.append(pixel());
        done += run;
        const int raw = std::min(2, count - done);
        if (raw > 0) {
            tga.u8(static_cast<unsigned>(raw - 1));
            for (int i = 0; i < raw; ++i)
                tga.append(pixel());
            done += raw;
        }
    }
    return tga.bytes;
}

// ---- GIF ----------------------------------------------------------------

struct GifLayout {
    int width, height;
    bool transparency = false; // graphic control extension
    bool interlaced = false;
    bool local_palette = false;
    bool second_frame = false;   // a smaller frame at an offset, after the first
};

// LZW-coded indices 0-3 (minimum code size 2): a clear code before every pair
// of literals keeps every code three bits wide.
Bytes gif_frame_data(Noise &noise, int pixels)
{
    Bytes data;
    uint32_t bits = 0;
    int bit_count = 0;
    auto emit = [&](uint32_t code) {
        bits |= code << bit_count;
        bit_count += 3;
        while (bit_count >= 8) {
            data.push_back(static_cast<unsigned char>(bits & 0xFF));
            bits >>= 8;
            bit_count -= 8;
        }
    };
    for (int i = 0; i < pixels; ++i) {
        if (i % 2 == 0)
            emit(4);
        emit(noise.below(4));
    }
    emit(5);
    if (bit_count > 0)
        data.push_back(static_cast<unsigned char>(bits & 0xFF));
    Bytes blocks{2};
    for (size_t offset = 0; offset < data.size(); offset += 255) {
        const size_t block = std::min<size_t>(255, data.size() - offset);
        blocks.push_back(static_cast<unsigned char>(block));
        blocks.insert(blocks.end(), data.begin() + static_cast<long>(offset),
                      data.begin() + static_cast<long>(offset + block));
    }
    blocks.push_back(0);
    return blocks;
}

Bytes make_gif(const GifLayout &layout, unsigned seed)
{
    Noise noise(seed);
    Writer gif;
    gif.text("GIF89a");
    gif.le16(static_cast<unsigned>(layout.width));
    gif.le16(static_cast<unsigned>(layout.height));
    gif.u8(0xF1); // global colour table of 4 entries
    gif.u8(0);
    gif.u8(0);
    gif.append(noise.bytes(4 * 3));
    // A looping application extension and a comment, both skipped.
    gif.append(Bytes{0x21, 0xFF, 11});
    gif.text("NETSCAPE2.0");
    gif.append(Bytes{3, 1, 0, 0, 0});
    gif.append(Bytes{0x21, 0xFE, 4, 's', 'e', 'e', 'd', 0});

    auto frame = [&](int left, int top, int width, int height) {
        if (layout.transparency)
            gif.append(Bytes{0x21, 0xF9, 4, 0x09, 10, 0, 2, 0}); // restore to background, colour 2 clear
        gif.u8(0x2C);
        gif.le16(static_cast<unsigned>(left));
        gif.le16(static_cast<unsigned>(top));
        gif.le16(static_cast<unsigned>(width));
        gif.le16(static_cast<unsigned>(height));
        gif.u8((layout.local_palette ? 0x81 : 0) | (layout.interlaced ? 0x40 : 0));
        if (layout.local_palette)
            gif.append(noise.bytes(4 * 3));
        gif.append(gif_frame_data(noise, width * height));
    };
    frame(0, 0, layout.width, layout.height);
    if (layout.second_frame)
        frame(1, 1, layout.width - 2, layout.height - 2);
    gif.u8(0x3B);
    return gif.bytes;
}

// ---- PSD ----------------------------------------------------------------

// RGB mode, `channels` planes of `depth` bits, raw or PackBits; every row
// starts with a repeat run and ends in a literal run.
Bytes make_psd(int width, int height, int channels, int depth, bool rle, unsigned seed)
{
    Noise noise(seed);
    Writer psd;
    psd.text("8BPS");
    psd.be16(1);
    psd.append(Bytes(6, 0));
    psd.be16(static_cast<unsigned>(channels));
    psd.be32(static_cast<uint32_t>(height));
    psd.be32(static_cast<uint32_t>(width));
    psd.be16(static_cast<unsigned>(depth));
    psd.be16(3);
    psd.be32(0); // colour mode data
    psd.be32(0); // image resources
    psd.be32(0); // layers and masks
    psd.be16(rle ? 1 : 0);
    if (!rle) {
        psd.append(noise.bytes(static_cast<size_t>(width) * height * channels * (depth / 8)));
        return psd.bytes;
    }
    const int repeat = width / 2, literal = width - repeat;
    const int row_size = 2 + 1 + literal;
    for (int row = 0; row < channels * height; ++row)
        psd.be16(static_cast<unsigned>(row_size));
    for (int row = 0; row < channels * height; ++row) {
        psd.u8(static_cast<unsigned>(257 - repeat));
        psd.u8(noise.next());
        psd.u8(static_cast<unsigned>(literal - 1));
        psd.append(noise.bytes(static_cast<size_t>(literal)));
    }
    return psd.bytes;
}

// ---- PIC ----------------------------------------------------------------

struct PicPacket {
    unsigned type;    // 0 uncompressed, 1 pure run, 2 mixed runs
    unsigned channels; // 0x80 red, 0x40 green, 0x20 blue, 0x10 alpha
};

int bits_set(unsigned mask)
{
    int count = 0;
    for (; mask != 0; mask &= mask - 1)
        ++count;
    return count;
}

Bytes make_pic(int width, int height, const std::vector<PicPacket> &packets, unsigned seed)
{
    Noise noise(seed);
    Writer pic;
    pic.be32(0x5380F634);
    pic.be32(0x40733333); // version 3.71 as a float
    Bytes comment(80, 0);
    std::memcpy(comment.data(), "seed", 4);
    pic.append(comment);
    pic.text("PICT");
    pic.be16(static_cast<unsigned>(width));
    pic.be16(static_cast<unsigned>(height));
    pic.be32(0x3F800000); // aspect ratio 1.0
    pic.be16(3);          // both fields
    pic.be16(0);
    for (size_t i = 0; i < packets.size(); ++i) {
        pic.u8(i + 1 < packets.size() ? 1 : 0);
        pic.u8(8);
        pic.u8(packets[i].type);
        pic.u8(packets[i].channels);
    }
    for (int y = 0; y < height; ++y) {
        for (const PicPacket &packet : packets) {
            const size_t value_size = static_cast<size_t>(bits_set(packet.channels));
            switch (packet.type) {
            case 0:
                pic.append(noise.bytes(value_size * width));
                break;
            case 1: // runs of up to three pixels
                for (int left = width; left > 0; left -= 3) {
                    pic.u8(static_cast<unsigned>(std::min(3, left)));
                    pic.append(noise.bytes(value_size));
                }
                break;
            default: { // a repeat run of half the row (long form on odd rows), the rest raw
                const int repeat = width / 2, raw = width - repeat;
                if (y % 2 == 1) {
                    pic.u8(128);
                    pic.be16(static_cast<unsigned>(repeat));
                } else {
                    pic.u8(static_cast<unsigned>(127 + repeat));
                }
                pic.append(noise.bytes(value_size));
                pic.u8(static_cast<unsigned>(raw - 1));
                pic.append(noise.bytes(value_size * raw));
                break;
            }
            }
        }
    }
    return pic.bytes;
}

// ---- HDR ----------------------------------------------------------------

// Flat RGBE pixels below 8 columns; from 8 on, each scan line in the
// run-length layout: a 2,2,width header and the four components in turn,
// each as a run of half the row followed by literals.
Bytes make_hdr(int width, int height, const char *magic, unsigned seed)
{
    Noise noise(seed);
    Writer hdr;
    hdr.text(magic);
    hdr.text("\n# seed\nFORMAT=32-bit_rle_rgbe\nEXPOSURE=1.0\n\n");
    hdr.text(("-Y " + std::to_string(height) + " +X " + std::to_string(width) + "\n").c_str());
    for (int y = 0; y < height; ++y) {
        if (width < 8) {
            for (int x = 0; x < width; ++x) {
                hdr.append(noise.bytes(3));
                hdr.u8(120 + noise.below(16)); // a modest exponent
            }
            continue;
        }
        hdr.append(Bytes{2, 2, static_cast<unsigned char>(width >> 8), static_cast<unsigned char>(width)});
        const int repeat = width / 2, literal = width - repeat;
        for (int component = 0; component < 4; ++component) {
            hdr.u8(static_cast<unsigned>(128 + repeat));
            hdr.u8(component == 3 ? 128 : noise.next());
            hdr.u8(static_cast<unsigned>(literal));
            for (int i = 0; i < literal; ++i)
                hdr.u8(component == 3 ? 120 + noise.below(16) : noise.next());
        }
    }
    return hdr.bytes;
}

// ---- PNM ----------------------------------------------------------------

Bytes make_pnm(int width, int height, char kind, int max_value, unsigned seed)
{
    Noise noise(seed);
    Writer pnm;
    const std::string header = std::string("P") + kind + "\n# seed\n" + std::to_string(width) + " " +
                               std::to_string(height) + "\n" + std::to_string(max_value) + "\n";
    pnm.text(header.c_str());
    const int samples = (kind == '6' ? 3 : 1) * width * height;
    for (int i = 0; i < samples; ++i) {
        const unsigned value = noise.below(static_cast<unsigned>(max_value) + 1);
        if (max_value > 255)
            pnm.be16(value);
        else
            pnm.u8(value);
    }
    return pnm.bytes;
}

} // namespace

std::vector<Seed> seed_corpus()
{
    std::vector<Seed> seeds;
    unsigned seed = 1;
    auto add = [&](const char *name, const char *extension, Bytes bytes, int width, int height) {
        seeds.push_back(Seed{name, extension, std::move(bytes), width, height});
        ++seed;
    };

    // PNG: every colour type and bit depth, palettes with and without
    // transparency, Adam7, stored deflate, Apple's CgBI variant and an empty
    // IDAT chunk.
    struct NamedPng { const char *name; PngLayout layout; };
    const NamedPng pngs[] = {
        {"png-grey-1bit", {13, 11, 0, 1}},
        {"png-grey-2bit", {13, 11, 0, 2}},
        {"png-grey-4bit", {13, 11, 0, 4}},
        {"png-grey-8bit-trns", {13, 11, 0, 8, false, true}},
        {"png-grey-16bit", {13, 11, 0, 16}},
        {"png-grey-alpha-8bit", {13, 11, 4, 8}},
        {"png-grey-alpha-16bit", {13, 11, 4, 16}},
        {"png-rgb-8bit", {13, 11, 2, 8}},
        {"png-rgb-8bit-trns", {13, 11, 2, 8, false, true}},
        {"png-rgb-16bit", {13, 11, 2, 16}},
        {"png-rgba-8bit", {13, 11, 6, 8}},
        {"png-rgba-16bit", {13, 11, 6, 16}},
        {"png-palette-1bit", {13, 11, 3, 1}},
        {"png-palette-2bit", {13, 11, 3, 2}},
        {"png-palette-4bit-trns", {13, 11, 3, 4, false, true}},
        {"png-palette-8bit", {13, 11, 3, 8}},
        {"png-palette-8bit-trns", {13, 11, 3, 8, false, true}},
        {"png-rgb-8bit-interlaced", {13, 11, 2, 8, true}},
        {"png-rgba-16bit-interlaced", {9, 10, 6, 16, true}},
        {"png-palette-4bit-interlaced", {13, 11, 3, 4, true}},
        {"png-grey-1bit-interlaced", {13, 11, 0, 1, true}},
        {"png-rgb-8bit-stored", {13, 11, 2, 8, false, false, Deflate::stored}},
        {"png-rgba-8bit-cgbi", {7, 5, 6, 8, false, false, Deflate::raw_stored, true}},
        {"png-grey-8bit-empty-idat", {7, 5, 0, 8, false, false, Deflate::fixed_huffman, false, true}},
    };
    for (const NamedPng &png : pngs)
        add(png.name, ".png", make_png(png.layout, seed), png.layout.width, png.layout.height);

    // JPEG: the baseline encoder of stb_image_write (with and without chroma
    // subsampling) and hand-made progressive and restart files
    // with one, three and four components (Adobe: CMYK, YCCK).
    add("jpeg-baseline-444", ".jpg", stb_jpeg(17, 9, 3, 95, seed), 17, 9);
    add("jpeg-baseline-420", ".jpg", stb_jpeg(17, 9, 3, 50, seed), 17, 9);
    add("jpeg-progressive-grey", ".jpg", make_jpeg(1, JpegMode::progressive, -1), 16, 8);
    add("jpeg-progressive-ycbcr", ".jpg", make_jpeg(3, JpegMode::progressive, -1), 16, 8);
    add("jpeg-progressive-cmyk", ".jpg", make_jpeg(4, JpegMode::progressive, 0), 16, 8);
    add("jpeg-restarts-ycbcr", ".jpg", make_jpeg(3, JpegMode::baseline_with_restarts, -1), 16, 8);
    add("jpeg-restarts-ycck", ".jpg", make_jpeg(4, JpegMode::baseline_with_restarts, 2), 16, 8);
    add("jpeg-restarts-rgb", ".jpg", make_jpeg(3, JpegMode::baseline_with_restarts, 0), 16, 8);

    // BMP: 1, 4, 8, 16 (5-5-5 and 5-6-5 bit fields), 24 and 32 bits, rows
    // top-down, the OS/2 header and the V5 header with an alpha mask.
    add("bmp-1bit", ".bmp", make_bmp(13, 7, 1, BmpHeader::info40, false, seed), 13, 7);
    add("bmp-4bit", ".bmp", make_bmp(13, 7, 4, BmpHeader::info40, false, seed), 13, 7);
    add("bmp-8bit", ".bmp", make_bmp(13, 7, 8, BmpHeader::info40, false, seed), 13, 7);
    add("bmp-16bit-555", ".bmp", make_bmp(13, 7, 16, BmpHeader::info40, false, seed), 13, 7);
    add("bmp-16bit-565", ".bmp", make_bmp(13, 7, 16, BmpHeader::info40_bitfields, false, seed), 13, 7);
    add("bmp-24bit", ".bmp", make_bmp(13, 7, 24, BmpHeader::info40, false, seed), 13, 7);
    add("bmp-24bit-top-down", ".bmp", make_bmp(13, 7, 24, BmpHeader::info40, true, seed), 13, 7);
    add("bmp-32bit", ".bmp", make_bmp(13, 7, 32, BmpHeader::info40, false, seed), 13, 7);
    add("bmp-32bit-v5-alpha", ".bmp", make_bmp(13, 7, 32, BmpHeader::v5_124, false, seed), 13, 7);
    add("bmp-24bit-os2", ".bmp", make_bmp(13, 7, 24, BmpHeader::core12, false, seed), 13, 7);
    add("bmp-8bit-os2", ".bmp", make_bmp(13, 7, 8, BmpHeader::core12, false, seed), 13, 7);

    // TGA: raw and run-length, true colour 16/24/32, grey with and without
    // alpha, colour-mapped; bottom-up and top-down.
    add("tga-rgb-raw", ".tga", make_tga(11, 6, 2, 24, false, seed), 11, 6);
    add("tga-rgba-raw-top-left", ".tga", make_tga(11, 6, 2, 32, true, seed), 11, 6);
    add("tga-rgb16-raw", ".tga", make_tga(11, 6, 2, 16, false, seed), 11, 6);
    add("tga-grey-raw", ".tga", make_tga(11, 6, 3, 8, false, seed), 11, 6);
    add("tga-grey-alpha-raw", ".tga", make_tga(11, 6, 3, 16, false, seed), 11, 6);
    add("tga-mapped-raw", ".tga", make_tga(11, 6, 1, 8, false, seed), 11, 6);
    add("tga-rgb-rle", ".tga", make_tga(11, 6, 10, 24, false, seed), 11, 6);
    add("tga-rgba-rle-top-left", ".tga", make_tga(11, 6, 10, 32, true, seed), 11, 6);
    add("tga-grey-rle", ".tga", make_tga(11, 6, 11, 8, false, seed), 11, 6);
    add("tga-mapped-rle", ".tga", make_tga(11, 6, 9, 8, false, seed), 11, 6);

    // GIF: plain, transparent, interlaced, local palette, two frames.
    struct NamedGif { const char *name; GifLayout layout; };
    const NamedGif gifs[] = {
        {"gif-plain", {9, 7}},
        {"gif-transparent-two-frames", {9, 7, true, false, false, true}},
        {"gif-interlaced-local-palette", {9, 11, false, true, true}},
    };
    for (const NamedGif &gif : gifs)
        add(gif.name, ".gif", make_gif(gif.layout, seed), gif.layout.width, gif.layout.height);

    // PSD: 3 and 4 channels, 8 and 16 bits, raw and PackBits, one channel.
    add("psd-rgb-raw-8bit", ".psd", make_psd(7, 5, 3, 8, false, seed), 7, 5);
    add("psd-rgba-rle-8bit", ".psd", make_psd(7, 5, 4, 8, true, seed), 7, 5);
    add("psd-rgba-raw-16bit", ".psd", make_psd(7, 5, 4, 16, false, seed), 7, 5);
    add("psd-one-channel-rle", ".psd", make_psd(7, 5, 1, 8, true, seed), 7, 5);

    // PIC: each packet type, with and without an alpha packet.
    add("pic-rgb-uncompressed", ".pic", make_pic(7, 5, {{0, 0xE0}}, seed), 7, 5);
    add("pic-rgb-pure-runs", ".pic", make_pic(7, 5, {{1, 0xE0}}, seed), 7, 5);
    add("pic-rgba-mixed-runs", ".pic", make_pic(8, 5, {{2, 0xE0}, {2, 0x10}}, seed), 8, 5);
    add("pic-rgba-split-packets", ".pic", make_pic(7, 5, {{0, 0x80}, {1, 0x60}, {2, 0x10}}, seed), 7, 5);

    // HDR: flat and run-length scan lines, both signatures.
    add("hdr-flat", ".hdr", make_hdr(6, 4, "#?RADIANCE", seed), 6, 4);
    add("hdr-rle", ".hdr", make_hdr(12, 4, "#?RGBE", seed), 12, 4);

    // PNM: grey and colour, 8 and 16 bits, a small maximum value.
    add("pnm-p5-8bit", ".pgm", make_pnm(7, 5, '5', 255, seed), 7, 5);
    add("pnm-p5-16bit", ".pgm", make_pnm(7, 5, '5', 65535, seed), 7, 5);
    add("pnm-p6-8bit", ".ppm", make_pnm(7, 5, '6', 255, seed), 7, 5);
    add("pnm-p6-16bit", ".ppm", make_pnm(7, 5, '6', 1023, seed), 7, 5);
    add("pnm-p6-max15", ".ppm", make_pnm(7, 5, '6', 15, seed), 7, 5);
    return seeds;
}

} // namespace imgfuzz
