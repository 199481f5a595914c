// PNG snapshots without an image library: CRC-32, Adler-32, a small deflate
// (stored blocks, or fixed-Huffman blocks with LZ77 matches) and the chunks.
#pragma once
#include <windows.h>
#include <stdint.h>

#include <string>
#include <vector>

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);
uint32_t Adler32(const uint8_t* data, size_t size, uint32_t adler = 1);

enum class DeflateMode {
    Stored,  // no compression: the bytes as they are, in blocks of at most 65535
    Fixed,   // LZ77 matches coded with the fixed Huffman tables
};

// A zlib stream (header, deflate data, Adler-32) of `data`.
std::vector<uint8_t> ZlibCompress(const std::vector<uint8_t>& data, DeflateMode mode);

// An image as 0x00RRGGBB values, row by row from the top.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

// A palette image (8-bit indices) when the picture has at most 256 colours,
// otherwise 24-bit colour; every scan line unfiltered.
std::vector<uint8_t> EncodePng(const Image& image, DeflateMode mode = DeflateMode::Fixed);
bool WritePngFile(const std::wstring& path, const Image& image, std::string* error);

// What is on the screen inside the window's outer rectangle, read back from
// the screen DC (the window must be visible and uncovered).
bool CaptureWindowImage(HWND window, Image* image, std::string* error);
