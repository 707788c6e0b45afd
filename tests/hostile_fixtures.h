// Small image files that once made stb_image crash, abort or return memory
// it never wrote, each named after its fault. Built in memory, so the test
// suite and any program that replays or mutates them (a fuzzer's seed
// corpus) share the same bytes without committing binary files.
//
//   pic_truncated_packets     PIC, 3 channels, pixel data ends after one pixel:
//                             the decoder converted a freed (NULL) buffer.
//   pic_broken_packet_header  PIC whose packet header ends early, before the
//                             channel count is known: a conversion to 0
//                             channels (an assertion in builds without NDEBUG).
//   tga_truncated_raw         uncompressed TGA holding one of its three rows:
//                             the other rows came from uninitialised heap.
//   hdr_truncated_flat        flat HDR holding 5 of its 8 pixels (and two bytes
//                             of the sixth): the rest came from uninitialised stack.
//   bmp_short_palette         8-bit BMP with a 2-entry palette and indices 2 and
//                             255: their colours came from uninitialised stack.
//   bmp_top_down              24-bit BMP stored top row first (height -2): the
//                             header query gave a negative height.
#ifndef IMGRESIZE_HOSTILE_FIXTURES_H
#define IMGRESIZE_HOSTILE_FIXTURES_H

#include <cstddef>
#include <string>
#include <vector>

struct HostileFixture {
    const char *name;      // the fault it shows, also a file name stem
    const char *extension; // with its dot, e.g. ".pic"
    std::vector<unsigned char> bytes;
};

namespace hostile {

using Bytes = std::vector<unsigned char>;

inline void put16le(Bytes &bytes, unsigned value)
{
    bytes.push_back(static_cast<unsigned char>(value & 0xFF));
    bytes.push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
}

inline void put32le(Bytes &bytes, unsigned value)
{
    put16le(bytes, value & 0xFFFF);
    put16le(bytes, value >> 16);
}

inline void put16be(Bytes &bytes, unsigned value)
{
    bytes.push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
    bytes.push_back(static_cast<unsigned char>(value & 0xFF));
}

inline void append(Bytes &bytes, const Bytes &tail)
{
    bytes.insert(bytes.end(), tail.begin(), tail.end());
}

// A PIC file of width x height: the 104-byte header, then `body` (the packet
// headers, four bytes each, and the pixel data).
inline Bytes pic(unsigned width, unsigned height, const Bytes &body)
{
    Bytes bytes = {0x53, 0x80, 0xF6, 0x34};
    bytes.resize(88, 0); // version and comment
    append(bytes, {'P', 'I', 'C', 'T'});
    put16be(bytes, width);
    put16be(bytes, height);
    append(bytes, {0x3F, 0x80, 0x00, 0x00}); // aspect ratio 1.0
    put16be(bytes, 3);                       // fields: full frame
    put16be(bytes, 0);                       // padding
    append(bytes, body);
    return bytes;
}

// An uncompressed 24-bit TGA stored top row first; `bgr` is the pixel data
// as stored (blue, green, red), which may stop short of width x height pixels.
inline Bytes tga_raw24(unsigned width, unsigned height, const Bytes &bgr)
{
    Bytes bytes = {0, 0, 2, 0, 0, 0, 0, 0}; // no id, no colour map, true colour
    put16le(bytes, 0);                      // origin
    put16le(bytes, 0);
    put16le(bytes, width);
    put16le(bytes, height);
    bytes.push_back(24);   // bits per pixel
    bytes.push_back(0x20); // top row first
    append(bytes, bgr);
    return bytes;
}

// A Radiance HDR of width x height with flat pixels (what widths below 8
// always use): `rgbe` is 4 bytes per pixel and may stop short.
inline Bytes hdr_flat(unsigned width, unsigned height, const Bytes &rgbe)
{
    const std::string header = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y " +
                               std::to_string(height) + " +X " + std::to_string(width) + "\n";
    Bytes bytes(header.begin(), header.end());
    append(bytes, rgbe);
    return bytes;
}

// A BMP with a 40-byte information header. `palette` holds red, green, blue
// per entry; `rows` holds each stored row's pixel bytes (indices or blue,
// green, red) in file order, padded here to 4 bytes. A negative
// `stored_height` marks the first stored row as the top one.
inline Bytes bmp(unsigned width, int stored_height, unsigned bits, const Bytes &palette,
                 const std::vector<Bytes> &rows)
{
    const size_t entries = palette.size() / 3;
    const unsigned offset = static_cast<unsigned>(14 + 40 + 4 * entries);
    Bytes pixels;
    for (const Bytes &row : rows) {
        append(pixels, row);
        pixels.resize((pixels.size() + 3) / 4 * 4, 0);
    }
    Bytes bytes = {'B', 'M'};
    put32le(bytes, static_cast<unsigned>(offset + pixels.size()));
    put32le(bytes, 0);
    put32le(bytes, offset);
    put32le(bytes, 40);
    put32le(bytes, width);
    put32le(bytes, static_cast<unsigned>(stored_height));
    put16le(bytes, 1); // planes
    put16le(bytes, bits);
    put32le(bytes, 0); // no compression
    put32le(bytes, static_cast<unsigned>(pixels.size()));
    put32le(bytes, 2835); // 72 dpi
    put32le(bytes, 2835);
    put32le(bytes, static_cast<unsigned>(entries));
    put32le(bytes, 0);
    for (size_t i = 0; i < entries; ++i)
        append(bytes, {palette[3 * i + 2], palette[3 * i + 1], palette[3 * i], 0});
    append(bytes, pixels);
    return bytes;
}

} // namespace hostile

inline std::vector<HostileFixture> hostile_fixtures()
{
    using hostile::Bytes;
    const Bytes white_rgbe = {128, 128, 128, 129}; // 1.0 in each channel
    Bytes five_and_a_bit;
    for (int i = 0; i < 5; ++i)
        hostile::append(five_and_a_bit, white_rgbe);
    hostile::append(five_and_a_bit, {128, 128});

    return {
        // A packet header (not chained, 8 bits, uncompressed, channels red,
        // green and blue), then the first of four pixels.
        {"pic_truncated_packets", ".pic", hostile::pic(2, 2, {0, 8, 0, 0xE0, 10, 20, 30})},
        // A packet header that ends after "chained" and the bit count.
        {"pic_broken_packet_header", ".pic", hostile::pic(2, 2, {1, 8})},
        {"tga_truncated_raw", ".tga",
         hostile::tga_raw24(3, 3, {30, 20, 10, 60, 50, 40, 90, 80, 70})},
        {"hdr_truncated_flat", ".hdr", hostile::hdr_flat(4, 2, five_and_a_bit)},
        {"bmp_short_palette", ".bmp",
         hostile::bmp(4, 1, 8, {10, 20, 30, 40, 50, 60}, {{0, 1, 2, 255}})},
        {"bmp_top_down", ".bmp",
         hostile::bmp(3, -2, 24, {},
                      {{30, 20, 10, 60, 50, 40, 90, 80, 70},
                       {3, 2, 1, 6, 5, 4, 9, 8, 7}})},
    };
}

#endif
