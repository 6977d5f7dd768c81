#include "charset.h"

#include <iconv.h>

#include <cstring>

namespace tessel {

namespace {

// Unicode (BMP) -> CP932 code: a single byte below 0x100, a lead and trail byte as
// (lead << 8 | trail), 0 where CP932 has no character. Built once from the system's CP932
// decoder, so the mapping is the platform's own and needs no table in the source.
struct Cp932Table {
    uint16_t code[0x10000] = {};

    Cp932Table()
    {
        iconv_t cd = iconv_open("UTF-32LE", "CP932");
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            return; // no decoder: every non-ASCII character becomes a reference
        }
        for (int b = 0; b < 0x80; ++b) {
            code[b] = static_cast<uint16_t>(b);
        }
        for (int b = 0xA1; b <= 0xDF; ++b) {
            add(cd, static_cast<uint16_t>(b));
        }
        // CP932 maps some characters twice. The encoder picks JIS X 0208 first, then the NEC
        // row 13, then the IBM extensions, and the NEC-selected IBM extensions last, so the
        // ranges are visited in that order and the first code for a character wins.
        auto rank = [](int lead) {
            if (lead == 0x87) {
                return 1;
            }
            if (lead >= 0xFA) {
                return 2;
            }
            if (lead == 0xED || lead == 0xEE) {
                return 3;
            }
            return 0;
        };
        for (int pass = 0; pass < 4; ++pass) {
            for (int lead = 0x81; lead <= 0xFC; ++lead) {
                if ((lead > 0x9F && lead < 0xE0) || rank(lead) != pass) {
                    continue;
                }
                for (int trail = 0x40; trail <= 0xFC; ++trail) {
                    if (trail != 0x7F) {
                        add(cd, static_cast<uint16_t>(lead << 8 | trail));
                    }
                }
            }
        }
        iconv_close(cd);
    }

    void add(iconv_t cd, uint16_t cp)
    {
        char in[2];
        size_t inLeft = 0;
        if (cp > 0xFF) {
            in[0] = static_cast<char>(cp >> 8);
            in[1] = static_cast<char>(cp & 0xFF);
            inLeft = 2;
        } else {
            in[0] = static_cast<char>(cp);
            inLeft = 1;
        }
        unsigned char out[8];
        char *ip = in;
        char *op = reinterpret_cast<char *>(out);
        size_t outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &ip, &inLeft, &op, &outLeft) == static_cast<size_t>(-1) ||
            sizeof out - outLeft != 4) {
            return;
        }
        const uint32_t u =
            out[0] | out[1] << 8 | out[2] << 16 | static_cast<uint32_t>(out[3]) << 24;
        if (u > 0x7F && u < 0x10000 && code[u] == 0) {
            code[u] = cp;
        }
    }
};

const Cp932Table &table()
{
    static const Cp932Table instance;
    return instance;
}

// Decodes one UTF-8 character at in[0..left). Returns its length, or 0 when the bytes are not
// a valid, shortest-form character (surrogates and values above U+10FFFF included).
size_t decodeUtf8(const unsigned char *in, size_t left, uint32_t &u)
{
    const unsigned char c = in[0];
    size_t n;
    uint32_t min;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2, u = c & 0x1F, min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3, u = c & 0x0F, min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4, u = c & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (left < n) {
        return 0;
    }
    for (size_t i = 1; i < n; ++i) {
        if ((in[i] & 0xC0) != 0x80) {
            return 0;
        }
        u = u << 6 | (in[i] & 0x3F);
    }
    if (u < min || u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) {
        return 0;
    }
    return n;
}

} // namespace

size_t utf8ToCp932(const char *text, size_t length, char *out, size_t capacity)
{
    const Cp932Table &map = table();
    const auto *in = reinterpret_cast<const unsigned char *>(text);
    size_t i = 0;
    size_t o = 0;
    while (i < length) {
        // ASCII runs are copied eight bytes at a time while they last.
        while (i + 8 <= length && o + 8 <= capacity) {
            uint64_t chunk;
            std::memcpy(&chunk, in + i, 8);
            if (chunk & 0x8080808080808080ULL) {
                break;
            }
            std::memcpy(out + o, &chunk, 8);
            i += 8;
            o += 8;
        }
        if (i >= length) {
            break;
        }
        const unsigned char c = in[i];
        if (c < 0x80) {
            if (o >= capacity) {
                break;
            }
            out[o++] = static_cast<char>(c);
            ++i;
            continue;
        }
        uint32_t u = 0;
        size_t n = 0;
        // Most text of the pages is three-byte characters: decoded here without a call.
        if ((c & 0xF0) == 0xE0 && i + 2 < length && (in[i + 1] & 0xC0) == 0x80 &&
            (in[i + 2] & 0xC0) == 0x80) {
            u = (c & 0x0Fu) << 12 | (in[i + 1] & 0x3Fu) << 6 | (in[i + 2] & 0x3Fu);
            if (u >= 0x800 && (u < 0xD800 || u > 0xDFFF)) {
                n = 3;
            }
        }
        if (n == 0) {
            n = decodeUtf8(in + i, length - i, u);
        }
        if (n == 0) {
            u = 0xFFFD;
            n = 1;
        }
        const uint16_t cp = u < 0x10000 ? map.code[u] : 0;
        if (cp > 0xFF) {
            if (o + 2 > capacity) {
                break;
            }
            out[o++] = static_cast<char>(cp >> 8);
            out[o++] = static_cast<char>(cp & 0xFF);
        } else if (cp != 0) {
            if (o + 1 > capacity) {
                break;
            }
            out[o++] = static_cast<char>(cp);
        } else {
            char ref[16];
            size_t r = sizeof ref;
            ref[--r] = ';';
            do {
                ref[--r] = static_cast<char>('0' + u % 10);
                u /= 10;
            } while (u != 0);
            ref[--r] = '#';
            ref[--r] = '&';
            const size_t len = sizeof ref - r;
            if (o + len > capacity) {
                break;
            }
            std::memcpy(out + o, ref + r, len);
            o += len;
        }
        i += n;
    }
    return o;
}

} // namespace tessel
