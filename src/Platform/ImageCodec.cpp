#include "Platform/ImageCodec.h"

#include <QBuffer>
#include <QHash>
#include <QImageWriter>

#include <openjpeg.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

QByteArray encodeWithQt(const QImage& image, const char* format)
{
    QByteArray out;
    QBuffer buffer(&out);
    if (!buffer.open(QIODevice::WriteOnly))
        return {};
    QImageWriter writer(&buffer, format);
    if (!writer.write(image))
        return {};
    buffer.close();
    return out;
}

// ---------------------------------------------------------------- GIF ----

struct Palette {
    std::array<QRgb, 256> colours {};
    int transparentIndex = -1;
};

// Writes variable-length LZW codes least significant bit first into the
// GIF's data sub-blocks of at most 255 bytes.
class GifBitWriter {
public:
    explicit GifBitWriter(QByteArray& out)
        : m_out(out)
    {
    }

    void put(unsigned code, int bits)
    {
        m_acc |= static_cast<uint32_t>(code) << m_nbits;
        m_nbits += bits;
        while (m_nbits >= 8) {
            pushByte(static_cast<char>(m_acc & 0xff));
            m_acc >>= 8;
            m_nbits -= 8;
        }
    }

    void finish()
    {
        if (m_nbits > 0)
            pushByte(static_cast<char>(m_acc & 0xff));
        m_acc = 0;
        m_nbits = 0;
        flushBlock();
        m_out.append('\0'); // block terminator
    }

private:
    void pushByte(char byte)
    {
        m_block[m_blockLen++] = byte;
        if (m_blockLen == 255)
            flushBlock();
    }

    void flushBlock()
    {
        if (m_blockLen == 0)
            return;
        m_out.append(static_cast<char>(m_blockLen));
        m_out.append(m_block, m_blockLen);
        m_blockLen = 0;
    }

    QByteArray& m_out;
    uint32_t m_acc = 0;
    int m_nbits = 0;
    char m_block[255] {};
    int m_blockLen = 0;
};

// LZW of 8-bit indices as GIF wants it (minimum code size 8, codes up to 12
// bits, a clear code whenever the table is full). The string table is an
// open-addressing hash of (prefix code, next index) -> code; a generation
// number empties it in constant time on each clear.
void writeGifLzw(QByteArray& out, const std::vector<uint8_t>& indices)
{
    constexpr int kMinCodeSize = 8;
    constexpr unsigned kClear = 1u << kMinCodeSize;
    constexpr unsigned kEnd = kClear + 1;
    constexpr unsigned kMaxCodes = 4096;
    constexpr unsigned kTableSize = 8192; // power of two, twice the codes

    out.append(static_cast<char>(kMinCodeSize));
    GifBitWriter bits(out);

    struct Slot {
        uint32_t key = 0;
        uint16_t code = 0;
        uint32_t generation = 0;
    };
    std::vector<Slot> table(kTableSize);
    uint32_t generation = 1;
    unsigned nextCode = kEnd + 1;
    int codeSize = kMinCodeSize + 1;

    bits.put(kClear, codeSize);
    if (indices.empty()) {
        bits.put(kEnd, codeSize);
        bits.finish();
        return;
    }

    unsigned prefix = indices[0];
    for (size_t i = 1; i < indices.size(); ++i) {
        const unsigned next = indices[i];
        const uint32_t key = (prefix << 8) | next;
        uint32_t slot = (key * 2654435761u) >> (32 - 13);
        bool found = false;
        while (table[slot].generation == generation) {
            if (table[slot].key == key) {
                found = true;
                break;
            }
            slot = (slot + 1) & (kTableSize - 1);
        }
        if (found) {
            prefix = table[slot].code;
            continue;
        }
        bits.put(prefix, codeSize);
        if (nextCode < kMaxCodes) {
            // The decoder widens its codes once its table reaches the
            // current limit; it lags one code behind us.
            if (nextCode == (1u << codeSize))
                ++codeSize;
            table[slot] = Slot { key, static_cast<uint16_t>(nextCode), generation };
            ++nextCode;
        } else {
            bits.put(kClear, codeSize);
            ++generation;
            nextCode = kEnd + 1;
            codeSize = kMinCodeSize + 1;
        }
        prefix = next;
    }
    bits.put(prefix, codeSize);
    bits.put(kEnd, codeSize);
    bits.finish();
}

// Nearest entry of the fixed palette: indices 0-215 are the 6x6x6 cube,
// 216-254 a grey ramp between the cube's greys, 255 stays free for
// transparency.
constexpr int kCubeLevels[6] = { 0, 51, 102, 153, 204, 255 };

int nearestCubeLevel(int v)
{
    return (v + 25) / 51;
}

QRgb fixedGrey(int i)
{
    // 39 greys evenly between 0 and 255, skipping none; duplicates with the
    // cube's greys are harmless.
    const int g = (i + 1) * 255 / 40;
    return qRgb(g, g, g);
}

uint8_t nearestFixed(QRgb c)
{
    const int r = qRed(c), g = qGreen(c), b = qBlue(c);
    const int ri = nearestCubeLevel(r), gi = nearestCubeLevel(g), bi = nearestCubeLevel(b);
    const int dr = r - kCubeLevels[ri], dg = g - kCubeLevels[gi], db = b - kCubeLevels[bi];
    int best = ri * 36 + gi * 6 + bi;
    int bestDist = dr * dr + dg * dg + db * db;
    const int lum = (r + g + b) / 3;
    // Greys near the mean are the only candidates worth checking.
    int gi0 = std::clamp(lum * 40 / 255 - 1, 0, 38);
    for (int k = std::max(0, gi0 - 1); k <= std::min(38, gi0 + 1); ++k) {
        const int v = qRed(fixedGrey(k));
        const int d = (r - v) * (r - v) + (g - v) * (g - v) + (b - v) * (b - v);
        if (d < bestDist) {
            bestDist = d;
            best = 216 + k;
        }
    }
    return static_cast<uint8_t>(best);
}

bool isTransparent(QRgb c)
{
    return qAlpha(c) < 128;
}

} // namespace

QByteArray ImageCodec::encodeGIF(const QImage& source)
{
    if (source.isNull() || source.width() > 0xffff || source.height() > 0xffff)
        return {};
    const QImage img = source.convertToFormat(QImage::Format_ARGB32);
    const int w = img.width();
    const int h = img.height();

    // Gather the distinct opaque colours, giving up past 255 of them.
    Palette palette;
    QHash<QRgb, uint8_t> exact;
    bool anyTransparent = false;
    bool fitsExactly = true;
    for (int y = 0; y < h && fitsExactly; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            if (isTransparent(row[x])) {
                anyTransparent = true;
                continue;
            }
            const QRgb opaque = row[x] | 0xff000000u;
            if (exact.contains(opaque))
                continue;
            if (exact.size() == 255) {
                fitsExactly = false;
                break;
            }
            const auto index = static_cast<uint8_t>(exact.size());
            exact.insert(opaque, index);
            palette.colours[index] = opaque;
        }
    }
    if (fitsExactly) {
        if (anyTransparent) {
            palette.transparentIndex = static_cast<int>(exact.size());
            palette.colours[palette.transparentIndex] = qRgb(0, 0, 0);
        }
    } else {
        exact.clear();
        for (int i = 0; i < 216; ++i)
            palette.colours[i] = qRgb(kCubeLevels[i / 36], kCubeLevels[(i / 6) % 6], kCubeLevels[i % 6]);
        for (int k = 0; k < 39; ++k)
            palette.colours[216 + k] = fixedGrey(k);
        palette.colours[255] = qRgb(0, 0, 0);
        palette.transparentIndex = 255;
    }

    std::vector<uint8_t> indices;
    indices.reserve(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int y = 0; y < h; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const QRgb c = row[x];
            if (isTransparent(c) && palette.transparentIndex >= 0)
                indices.push_back(static_cast<uint8_t>(palette.transparentIndex));
            else if (fitsExactly)
                indices.push_back(exact.value(c | 0xff000000u));
            else
                indices.push_back(nearestFixed(c));
        }
    }

    QByteArray out;
    auto put16 = [&out](int v) {
        out.append(static_cast<char>(v & 0xff));
        out.append(static_cast<char>((v >> 8) & 0xff));
    };
    out.append("GIF89a", 6);
    // Logical screen: global colour table of 256 entries, 8-bit resolution.
    put16(w);
    put16(h);
    out.append(static_cast<char>(0xf7));
    out.append('\0'); // background colour index
    out.append('\0'); // no pixel aspect ratio
    for (QRgb c : palette.colours) {
        out.append(static_cast<char>(qRed(c)));
        out.append(static_cast<char>(qGreen(c)));
        out.append(static_cast<char>(qBlue(c)));
    }
    if (palette.transparentIndex >= 0 && anyTransparent) {
        // Graphic control extension: no disposal, no delay, transparent index.
        out.append("\x21\xf9\x04\x01\x00\x00", 6);
        out.append(static_cast<char>(palette.transparentIndex));
        out.append('\0');
    }
    // Image descriptor: the whole screen, no local table, not interlaced.
    out.append('\x2c');
    put16(0);
    put16(0);
    put16(w);
    put16(h);
    out.append('\0');
    writeGifLzw(out, indices);
    out.append('\x3b');
    return out;
}

// ---------------------------------------------------------- JPEG 2000 ----

namespace {

struct MemoryStream {
    QByteArray data;
    qint64 pos = 0;
};

OPJ_SIZE_T streamWrite(void* buffer, OPJ_SIZE_T bytes, void* user)
{
    auto* s = static_cast<MemoryStream*>(user);
    const qint64 end = s->pos + static_cast<qint64>(bytes);
    if (end > s->data.size())
        s->data.resize(end);
    std::memcpy(s->data.data() + s->pos, buffer, bytes);
    s->pos = end;
    return bytes;
}

OPJ_OFF_T streamSkip(OPJ_OFF_T bytes, void* user)
{
    auto* s = static_cast<MemoryStream*>(user);
    if (s->pos + bytes < 0)
        return -1;
    s->pos += bytes;
    return bytes;
}

OPJ_BOOL streamSeek(OPJ_OFF_T offset, void* user)
{
    auto* s = static_cast<MemoryStream*>(user);
    if (offset < 0)
        return OPJ_FALSE;
    s->pos = offset;
    return OPJ_TRUE;
}

void quietHandler(const char*, void*) { }

} // namespace

QByteArray ImageCodec::encodeJPEG2000(const QImage& source)
{
    if (source.isNull())
        return {};
    const QImage img = source.convertToFormat(QImage::Format_RGBA8888);
    const int w = img.width();
    const int h = img.height();
    const bool withAlpha = img.hasAlphaChannel() && [&img, w, h] {
        for (int y = 0; y < h; ++y) {
            const uchar* row = img.constScanLine(y);
            for (int x = 0; x < w; ++x)
                if (row[4 * x + 3] != 0xff)
                    return true;
        }
        return false;
    }();
    const int numComps = withAlpha ? 4 : 3;

    opj_image_cmptparm_t params[4];
    std::memset(params, 0, sizeof params);
    for (int c = 0; c < numComps; ++c) {
        params[c].dx = 1;
        params[c].dy = 1;
        params[c].w = static_cast<OPJ_UINT32>(w);
        params[c].h = static_cast<OPJ_UINT32>(h);
        params[c].prec = 8;
        params[c].sgnd = 0;
    }
    opj_image_t* image = opj_image_create(static_cast<OPJ_UINT32>(numComps), params, OPJ_CLRSPC_SRGB);
    if (!image)
        return {};
    image->x0 = 0;
    image->y0 = 0;
    image->x1 = static_cast<OPJ_UINT32>(w);
    image->y1 = static_cast<OPJ_UINT32>(h);
    if (withAlpha)
        image->comps[3].alpha = 1;
    for (int y = 0; y < h; ++y) {
        const uchar* row = img.constScanLine(y);
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < numComps; ++c)
                image->comps[c].data[static_cast<size_t>(y) * w + x] = row[4 * x + c];
    }

    opj_cparameters_t cparams;
    opj_set_default_encoder_parameters(&cparams);
    cparams.tcp_numlayers = 1;
    cparams.tcp_rates[0] = 0; // lossless
    cparams.cp_disto_alloc = 1;
    cparams.tcp_mct = numComps >= 3 ? 1 : 0;
    // The smallest resolution level must keep at least one pixel.
    int levels = 1;
    while (levels < cparams.numresolution && (std::min(w, h) >> levels) > 0)
        ++levels;
    cparams.numresolution = levels;

    QByteArray result;
    opj_codec_t* codec = opj_create_compress(OPJ_CODEC_JP2);
    if (codec) {
        opj_set_error_handler(codec, quietHandler, nullptr);
        opj_set_warning_handler(codec, quietHandler, nullptr);
        opj_set_info_handler(codec, quietHandler, nullptr);
        MemoryStream memory;
        opj_stream_t* stream = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_FALSE);
        if (stream) {
            opj_stream_set_user_data(stream, &memory, nullptr);
            opj_stream_set_write_function(stream, streamWrite);
            opj_stream_set_skip_function(stream, streamSkip);
            opj_stream_set_seek_function(stream, streamSeek);
            const bool ok = opj_setup_encoder(codec, &cparams, image) && opj_start_compress(codec, image, stream)
                && opj_encode(codec, stream) && opj_end_compress(codec, stream);
            opj_stream_destroy(stream);
            if (ok)
                result = memory.data;
        }
        opj_destroy_codec(codec);
    }
    opj_image_destroy(image);
    return result;
}

QByteArray ImageCodec::encode(const QImage& image, Format format)
{
    if (image.isNull())
        return {};
    switch (format) {
    case Format::TIFF:
        return encodeWithQt(image, "tiff");
    case Format::BMP:
        return encodeWithQt(image, "bmp");
    case Format::GIF:
        return encodeGIF(image);
    case Format::JPEG:
        return encodeWithQt(image, "jpeg");
    case Format::JPEG2000:
        return encodeJPEG2000(image);
    case Format::PNG:
        return encodeWithQt(image, "png");
    }
    return {};
}
