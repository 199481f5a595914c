// The snapshot writer: checksums against published values, a tiny image
// byte for byte, and larger images decoded again by an inflater of our own.
#include <gtest/gtest.h>
#include <string.h>

#include "host_png.h"

namespace {

TEST(PngWriter, ChecksumsMatchKnownValues)
{
    const uint8_t* digits = reinterpret_cast<const uint8_t*>("123456789");
    const uint8_t* wiki = reinterpret_cast<const uint8_t*>("Wikipedia");
    std::vector<uint8_t> ones(100000, 0xFF);  // long enough for Adler-32's modulo to matter
    EXPECT_EQ(0xCBF43926u, Crc32(digits, 9));
    EXPECT_EQ(0u, Crc32(digits, 0));
    EXPECT_EQ(0x68C6CEC4u, Crc32(ones.data(), ones.size()));
    EXPECT_EQ(Crc32(digits, 9), Crc32(digits + 4, 5, Crc32(digits, 4)));
    EXPECT_EQ(0x11E60398u, Adler32(wiki, 9));
    EXPECT_EQ(1u, Adler32(wiki, 0));
    EXPECT_EQ(0x149A302Cu, Adler32(ones.data(), ones.size()));
}

TEST(PngWriter, TinyPaletteImageIsExactlyTheReferenceFile)
{
    Image image;
    image.width = 2;
    image.height = 2;
    image.pixels = {0xFF0000, 0x00FF00, 0x0000FF, 0xFF0000};
    const std::vector<uint8_t> expected = {
        0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
        0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x08, 0x03, 0x00, 0x00, 0x00, 0x45, 0x68, 0xFD, 0x16, 0x00, 0x00, 0x00,
        0x09, 0x50, 0x4C, 0x54, 0x45, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x2D, 0x4A, 0xCD, 0x8A,
        0x00, 0x00, 0x00, 0x11, 0x49, 0x44, 0x41, 0x54, 0x78, 0x01, 0x01, 0x06, 0x00, 0xF9, 0xFF, 0x00, 0x00, 0x01,
        0x00, 0x02, 0x00, 0x00, 0x0E, 0x00, 0x04, 0x53, 0xCF, 0x51, 0x58, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E,
        0x44, 0xAE, 0x42, 0x60, 0x82};
    EXPECT_EQ(expected, EncodePng(image, DeflateMode::Stored));
}

// Inflates the two block types the writer produces; false on anything else
// or on a malformed stream.
struct Inflater {
    const std::vector<uint8_t>& in;
    size_t bit = 0;
    bool bad = false;

    explicit Inflater(const std::vector<uint8_t>& data) : in(data) {}

    uint32_t Bits(int n)
    {
        uint32_t value = 0;
        for (int i = 0; i < n; ++i) {
            if (bit / 8 >= in.size()) {
                bad = true;
                return 0;
            }
            value |= ((in[bit / 8] >> (bit % 8)) & 1u) << i;
            ++bit;
        }
        return value;
    }
    uint32_t Code(int n)
    {
        uint32_t code = 0;
        for (int i = 0; i < n; ++i) code = (code << 1) | Bits(1);
        return code;
    }
    int FixedSymbol()
    {
        uint32_t code = Code(7);
        if (code <= 23) return 256 + code;
        code = (code << 1) | Bits(1);
        if (code >= 0x30 && code <= 0xBF) return code - 0x30;
        if (code >= 0xC0 && code <= 0xC7) return 280 + code - 0xC0;
        code = (code << 1) | Bits(1);
        return 144 + code - 0x190;
    }

    bool Run(size_t start, std::vector<uint8_t>* out)
    {
        static const int lengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
        static const int lengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                            2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
        static const int distBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,    25,
                                         33,   49,   65,   97,   129,  193,   257,   385,   513,   769,
                                         1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
        bit = start * 8;
        bool last = false;
        while (!last && !bad) {
            last = Bits(1) != 0;
            uint32_t type = Bits(2);
            if (type == 0) {
                bit = (bit + 7) / 8 * 8;
                size_t at = bit / 8;
                if (at + 4 > in.size()) return false;
                unsigned len = in[at] | (in[at + 1] << 8), nlen = in[at + 2] | (in[at + 3] << 8);
                if ((len ^ 0xFFFF) != nlen || at + 4 + len > in.size()) return false;
                out->insert(out->end(), in.begin() + at + 4, in.begin() + at + 4 + len);
                bit = (at + 4 + len) * 8;
            } else if (type == 1) {
                while (!bad) {
                    int symbol = FixedSymbol();
                    if (symbol < 256) {
                        out->push_back(static_cast<uint8_t>(symbol));
                        continue;
                    }
                    if (symbol == 256) break;
                    if (symbol > 285) return false;
                    int length = lengthBase[symbol - 257] + Bits(lengthExtra[symbol - 257]);
                    int d = Code(5);
                    if (d > 29) return false;
                    int extra = d < 4 ? 0 : d / 2 - 1;
                    size_t distance = distBase[d] + Bits(extra);
                    if (distance > out->size()) return false;
                    for (int k = 0; k < length; ++k) out->push_back((*out)[out->size() - distance]);
                }
            } else {
                return false;
            }
        }
        end = (bit + 7) / 8;
        return !bad;
    }
    size_t end = 0;
};

uint32_t BigEndian(const std::vector<uint8_t>& b, size_t at)
{
    return (uint32_t(b[at]) << 24) | (uint32_t(b[at + 1]) << 16) | (uint32_t(b[at + 2]) << 8) | b[at + 3];
}

// Decodes what EncodePng writes, checking every structural field on the way.
bool DecodePng(const std::vector<uint8_t>& png, Image* image, int* colourType, std::string* why)
{
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (png.size() < 8 || memcmp(png.data(), signature, 8) != 0) return *why = "signature", false;
    std::vector<uint8_t> idat, palette;
    std::vector<std::string> order;
    int depth = 0;
    for (size_t at = 8; at < png.size();) {
        if (at + 12 > png.size()) return *why = "truncated chunk", false;
        uint32_t length = BigEndian(png, at);
        std::string type(png.begin() + at + 4, png.begin() + at + 8);
        if (at + 12 + length > png.size()) return *why = "chunk " + type + " runs past the end", false;
        if (Crc32(png.data() + at + 4, length + 4) != BigEndian(png, at + 8 + length))
            return *why = "bad CRC in " + type, false;
        std::vector<uint8_t> body(png.begin() + at + 8, png.begin() + at + 8 + length);
        order.push_back(type);
        if (type == "IHDR") {
            image->width = BigEndian(body, 0);
            image->height = BigEndian(body, 4);
            depth = body[8];
            *colourType = body[9];
            if (body[10] || body[11] || body[12]) return *why = "IHDR methods", false;
        }
        if (type == "PLTE") palette = body;
        if (type == "IDAT") idat.insert(idat.end(), body.begin(), body.end());
        at += 12 + length;
    }
    if (order.front() != "IHDR" || order.back() != "IEND") return *why = "chunk order", false;
    if (depth != 8) return *why = "bit depth", false;
    if (idat.size() < 6 || ((idat[0] << 8) | idat[1]) % 31 != 0 || (idat[0] & 0x0F) != 8)
        return *why = "zlib header", false;
    std::vector<uint8_t> raw;
    Inflater inflater(idat);
    if (!inflater.Run(2, &raw)) return *why = "deflate data", false;
    if (inflater.end + 4 != idat.size() || Adler32(raw.data(), raw.size()) != BigEndian(idat, inflater.end))
        return *why = "Adler-32", false;
    const int bytes = *colourType == 3 ? 1 : 3;
    const size_t stride = 1 + static_cast<size_t>(image->width) * bytes;
    if (raw.size() != stride * image->height) return *why = "image data size", false;
    image->pixels.clear();
    for (int y = 0; y < image->height; ++y) {
        const uint8_t* row = raw.data() + y * stride;
        if (row[0] != 0) return *why = "filter type", false;
        for (int x = 0; x < image->width; ++x) {
            const uint8_t* p = row + 1 + x * bytes;
            if (bytes == 1) {
                if (3u * p[0] + 2 >= palette.size()) return *why = "index outside the palette", false;
                p = &palette[3 * p[0]];
            }
            image->pixels.push_back((uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2]);
        }
    }
    return true;
}

Image MakeImage(int width, int height, uint32_t (*colour)(int x, int y))
{
    Image image;
    image.width = width;
    image.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.pixels.push_back(colour(x, y));
    return image;
}

TEST(PngWriter, DecodesBackToTheSamePixels)
{
    struct Case {
        const char* what;
        Image image;
        int colourType;
    };
    const Case cases[] = {
        {"one pixel", MakeImage(1, 1, [](int, int) { return 0x123456u; }), 3},
        {"flat window", MakeImage(400, 210, [](int, int) { return 0xF0F0F0u; }), 3},
        {"frames and text", MakeImage(333, 97, [](int x, int y) {
             return (x % 37 == 0 || y % 11 == 0) ? 0x000000u : ((x * 7 + y * 3) % 19 < 3 ? 0x0000FFu : 0xFFFFFFu);
         }), 3},
        {"256 colours", MakeImage(256, 3, [](int x, int) { return static_cast<uint32_t>(x) * 0x010101u; }), 3},
        {"257 colours", MakeImage(257, 3, [](int x, int) { return static_cast<uint32_t>(x) * 0x00F1F1u; }), 2},
        {"noise", MakeImage(131, 67, [](int x, int y) {
             uint32_t h = static_cast<uint32_t>(x) * 2654435761u ^ static_cast<uint32_t>(y) * 40503u;
             return (h ^ (h >> 13)) & 0xFFFFFFu;
         }), 2},
    };
    for (const Case& c : cases) {
        for (DeflateMode mode : {DeflateMode::Stored, DeflateMode::Fixed}) {
            const char* modeName = mode == DeflateMode::Stored ? "stored" : "fixed";
            Image decoded;
            int colourType = -1;
            std::string why;
            ASSERT_TRUE(DecodePng(EncodePng(c.image, mode), &decoded, &colourType, &why))
                << c.what << ", " << modeName << ": " << why;
            EXPECT_EQ(c.colourType, colourType) << c.what << ", " << modeName;
            EXPECT_EQ(c.image.width, decoded.width) << c.what << ", " << modeName;
            EXPECT_EQ(c.image.height, decoded.height) << c.what << ", " << modeName;
            EXPECT_TRUE(c.image.pixels == decoded.pixels) << c.what << ", " << modeName << ": pixels differ";
        }
    }
}

TEST(PngWriter, CompressesAFlatWindowWell)
{
    Image flat = MakeImage(640, 400, [](int x, int y) { return (x == 0 || y == 0) ? 0x000000u : 0xF0F0F0u; });
    size_t size = EncodePng(flat).size();
    EXPECT_LT(size, 8000u) << "a flat 640 x 400 picture took " << size << " bytes";
}

}  // namespace
