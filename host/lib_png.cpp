#include <stdio.h>
#include <string.h>

#include <unordered_map>

#include "host_png.h"

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc)
{
    static uint32_t table[256];
    static bool ready = false;
    if (!ready) {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        ready = true;
    }
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint32_t Adler32(const uint8_t* data, size_t size, uint32_t adler)
{
    uint32_t a = adler & 0xFFFF, b = adler >> 16;
    for (size_t i = 0; i < size; ++i) {
        a = (a + data[i]) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

namespace {

// Deflate packs bits from the least significant end; Huffman codes go in
// from their most significant bit, so they are reversed before writing.
struct BitWriter {
    std::vector<uint8_t>* out;
    uint32_t buffer = 0;
    int count = 0;

    void Bits(uint32_t value, int n)
    {
        for (int i = 0; i < n; ++i) {
            buffer |= ((value >> i) & 1u) << count;
            if (++count == 8) {
                out->push_back(static_cast<uint8_t>(buffer));
                buffer = 0;
                count = 0;
            }
        }
    }
    void Code(uint32_t code, int n)
    {
        for (int i = n - 1; i >= 0; --i) Bits((code >> i) & 1u, 1);
    }
    void Flush()
    {
        if (count) out->push_back(static_cast<uint8_t>(buffer));
        buffer = 0;
        count = 0;
    }
};

void FixedLiteral(BitWriter* w, int symbol)
{
    if (symbol < 144) w->Code(0x30 + symbol, 8);
    else if (symbol < 256) w->Code(0x190 + symbol - 144, 9);
    else if (symbol < 280) w->Code(symbol - 256, 7);
    else w->Code(0xC0 + symbol - 280, 8);
}

const int LengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                            31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const int LengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const int DistanceBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,    65,    97,    129,
                              193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const int DistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

void FixedMatch(BitWriter* w, int length, int distance)
{
    int l = 28;
    while (LengthBase[l] > length) --l;
    FixedLiteral(w, 257 + l);
    w->Bits(length - LengthBase[l], LengthExtra[l]);
    int d = 29;
    while (DistanceBase[d] > distance) --d;
    w->Code(d, 5);
    w->Bits(distance - DistanceBase[d], DistanceExtra[d]);
}

void DeflateStored(const std::vector<uint8_t>& data, std::vector<uint8_t>* out)
{
    size_t pos = 0;
    do {
        size_t n = data.size() - pos;
        if (n > 65535) n = 65535;
        bool last = pos + n == data.size();
        out->push_back(last ? 1 : 0);  // BFINAL, BTYPE 00, padded to the byte
        out->push_back(static_cast<uint8_t>(n));
        out->push_back(static_cast<uint8_t>(n >> 8));
        out->push_back(static_cast<uint8_t>(~n));
        out->push_back(static_cast<uint8_t>(~n >> 8));
        out->insert(out->end(), data.begin() + pos, data.begin() + pos + n);
        pos += n;
    } while (pos < data.size());
}

// Greedy matching over a hash of three bytes with a short chain: screenshots
// are mostly long runs, which the first candidates already find.
void DeflateFixed(const std::vector<uint8_t>& data, std::vector<uint8_t>* out)
{
    const int Window = 32768, MaxLength = 258, MaxChain = 16, HashSize = 1 << 15;
    std::vector<int> head(HashSize, -1), previous(data.size(), -1);
    auto hashAt = [&](size_t i) {
        return ((data[i] << 10) ^ (data[i + 1] << 5) ^ data[i + 2]) & (HashSize - 1);
    };
    auto insert = [&](size_t i) {
        if (i + 2 >= data.size()) return;
        int h = hashAt(i);
        previous[i] = head[h];
        head[h] = static_cast<int>(i);
    };

    BitWriter w;
    w.out = out;
    w.Bits(1, 1);  // BFINAL: one block
    w.Bits(1, 2);  // BTYPE 01: fixed Huffman
    size_t i = 0;
    while (i < data.size()) {
        int bestLength = 0, bestDistance = 0;
        if (i + 2 < data.size()) {
            int candidate = head[hashAt(i)];
            size_t limit = data.size() - i < MaxLength ? data.size() - i : MaxLength;
            for (int chain = 0; candidate >= 0 && chain < MaxChain; ++chain) {
                int distance = static_cast<int>(i) - candidate;
                if (distance > Window) break;
                size_t n = 0;
                while (n < limit && data[candidate + n] == data[i + n]) ++n;
                if (static_cast<int>(n) > bestLength) {
                    bestLength = static_cast<int>(n);
                    bestDistance = distance;
                    if (n == limit) break;
                }
                candidate = previous[candidate];
            }
        }
        if (bestLength >= 3) {
            FixedMatch(&w, bestLength, bestDistance);
            for (int k = 0; k < bestLength; ++k) insert(i + k);
            i += bestLength;
        } else {
            FixedLiteral(&w, data[i]);
            insert(i);
            ++i;
        }
    }
    FixedLiteral(&w, 256);
    w.Flush();
}

void PutBigEndian(std::vector<uint8_t>* out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(value >> shift));
}

void PutChunk(std::vector<uint8_t>* png, const char type[4], const std::vector<uint8_t>& body)
{
    PutBigEndian(png, static_cast<uint32_t>(body.size()));
    size_t start = png->size();
    png->insert(png->end(), type, type + 4);
    png->insert(png->end(), body.begin(), body.end());
    PutBigEndian(png, Crc32(png->data() + start, png->size() - start));
}

}  // namespace

std::vector<uint8_t> ZlibCompress(const std::vector<uint8_t>& data, DeflateMode mode)
{
    std::vector<uint8_t> out = {0x78, 0x01};  // deflate, 32 KiB window, no dictionary
    if (mode == DeflateMode::Stored) DeflateStored(data, &out);
    else DeflateFixed(data, &out);
    PutBigEndian(&out, Adler32(data.data(), data.size()));
    return out;
}

std::vector<uint8_t> EncodePng(const Image& image, DeflateMode mode)
{
    std::unordered_map<uint32_t, int> index;
    std::vector<uint32_t> palette;
    for (uint32_t pixel : image.pixels) {
        if (index.count(pixel)) continue;
        if (palette.size() == 256) {
            palette.clear();
            break;
        }
        index[pixel] = static_cast<int>(palette.size());
        palette.push_back(pixel);
    }
    const bool indexed = !palette.empty() || image.pixels.empty();

    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(image.height) * (1 + image.width * (indexed ? 1 : 3)));
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);  // filter type None
        for (int x = 0; x < image.width; ++x) {
            uint32_t pixel = image.pixels[static_cast<size_t>(y) * image.width + x];
            if (indexed) {
                raw.push_back(static_cast<uint8_t>(index[pixel]));
            } else {
                raw.push_back(static_cast<uint8_t>(pixel >> 16));
                raw.push_back(static_cast<uint8_t>(pixel >> 8));
                raw.push_back(static_cast<uint8_t>(pixel));
            }
        }
    }

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutBigEndian(&header, static_cast<uint32_t>(image.width));
    PutBigEndian(&header, static_cast<uint32_t>(image.height));
    header.push_back(8);                // bit depth
    header.push_back(indexed ? 3 : 2);  // colour type: palette or RGB
    header.push_back(0);                // compression: deflate
    header.push_back(0);                // filter method
    header.push_back(0);                // no interlace
    PutChunk(&png, "IHDR", header);
    if (indexed) {
        if (palette.empty()) palette.push_back(0);
        std::vector<uint8_t> plte;
        for (uint32_t colour : palette) {
            plte.push_back(static_cast<uint8_t>(colour >> 16));
            plte.push_back(static_cast<uint8_t>(colour >> 8));
            plte.push_back(static_cast<uint8_t>(colour));
        }
        PutChunk(&png, "PLTE", plte);
    }
    PutChunk(&png, "IDAT", ZlibCompress(raw, mode));
    PutChunk(&png, "IEND", std::vector<uint8_t>());
    return png;
}

bool WritePngFile(const std::wstring& path, const Image& image, std::string* error)
{
    std::vector<uint8_t> png = EncodePng(image);
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file) {
        *error = "cannot create " + std::string(path.begin(), path.end());
        return false;
    }
    bool ok = fwrite(png.data(), 1, png.size(), file) == png.size();
    ok = fclose(file) == 0 && ok;
    if (!ok) *error = "cannot write " + std::string(path.begin(), path.end());
    return ok;
}

bool CaptureWindowImage(HWND window, Image* image, std::string* error)
{
    RECT rect;
    if (!GetWindowRect(window, &rect) || rect.right <= rect.left || rect.bottom <= rect.top) {
        *error = "the window has no area to capture";
        return false;
    }
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = memory && bitmap;
    if (ok) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != FALSE;
        GdiFlush();
        SelectObject(memory, old);
    }
    if (ok) {
        image->width = width;
        image->height = height;
        const uint32_t* source = static_cast<const uint32_t*>(bits);
        image->pixels.assign(source, source + static_cast<size_t>(width) * height);
        for (uint32_t& pixel : image->pixels) pixel &= 0xFFFFFF;
    } else {
        *error = "reading the screen failed";
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}
