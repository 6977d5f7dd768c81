#include "core/encoding.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <array>
#include <utility>
#include <vector>

// Qt's ICU-backed converter answers to "CP932" with IBM's table for code page 943. It agrees
// with Windows' CP932 on every double-byte code, but swaps the control bytes 0x1A, 0x1C and
// 0x7F and knows none of CP932's best-fit mappings. So the bytes 0x00 .. 0x7F and the
// half-width katakana are converted here, and ICU only fills the double-byte tables.

namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr char kUnmappable = '?';
constexpr const char *kCodec = "CP932";

bool isLead(uint8_t b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool isTrail(uint8_t b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

bool isKatakana(uint8_t b)
{
    return b >= 0xA1 && b <= 0xDF;
}

// Characters outside CP932 that Windows writes as a look-alike CP932 code (best fit), as the
// system's own conversion does for text pasted from elsewhere.
constexpr std::array<std::pair<char16_t, uint16_t>, 7> kBestFit = {{
    {0x00A2, 0x8191}, // cent sign
    {0x00A3, 0x8192}, // pound sign
    {0x00AC, 0x81CA}, // not sign
    {0x2014, 0x815C}, // em dash
    {0x2016, 0x8161}, // double vertical line
    {0x2212, 0x817C}, // minus sign
    {0x301C, 0x8160}, // wave dash
}};

// One double-byte code as ICU reads it, or U+FFFD when the code has no character.
char16_t decodePairWithIcu(uint8_t lead, uint8_t trail)
{
    const char bytes[2] = {char(lead), char(trail)};
    QStringDecoder decoder(kCodec, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(QByteArrayView(bytes, 2));
    if (decoder.hasError() || text.size() != 1 || text.at(0).unicode() < 0x80)
        return kReplacement;
    return text.at(0).unicode();
}

// The double-byte part of CP932 as two tables, built once from ICU: asking ICU per character
// costs a converter each time, far too slow for a thousand result records.
struct Tables {
    // Indexed by (lead << 8) | trail; U+FFFD where the code has no character.
    std::vector<char16_t> decode = std::vector<char16_t>(0x10000, kReplacement);
    // Indexed by the character; 0 where CP932 has no double-byte code for it. Where several
    // codes read as one character, this holds the one Windows writes.
    std::vector<uint16_t> encode = std::vector<uint16_t>(0x10000, 0);

    Tables()
    {
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!isLead(uint8_t(lead)))
                continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                if (isTrail(uint8_t(trail)))
                    decode[(lead << 8) | trail] = decodePairWithIcu(uint8_t(lead), uint8_t(trail));
            }
        }
        for (const char16_t c : decode) {
            if (c == kReplacement || encode[c] != 0)
                continue;
            QStringEncoder encoder(kCodec, QStringEncoder::Flag::Stateless);
            const QByteArray bytes = encoder.encode(QStringView(&c, 1));
            if (!encoder.hasError() && bytes.size() == 2 && isLead(uint8_t(bytes[0])))
                encode[c] = uint16_t((uint8_t(bytes[0]) << 8) | uint8_t(bytes[1]));
        }
        for (const auto &[from, to] : kBestFit)
            encode[from] = to;
    }
};

const Tables &tables()
{
    static const Tables t;
    return t;
}

// Appends the CP932 form of one character that is not ASCII; false when CP932 has none.
bool encodeWide(char16_t c, QByteArray &out)
{
    if (c >= 0xFF61 && c <= 0xFF9F) {
        out.append(char(0xA1 + (c - 0xFF61)));
        return true;
    }
    const uint16_t code = tables().encode[c];
    if (code == 0)
        return false;
    out.append(char(code >> 8));
    out.append(char(code & 0xFF));
    return true;
}

} // namespace

QString fromCp932(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const uint8_t b = uint8_t(bytes[i]);
        if (b < 0x80) {
            text.append(QChar(char16_t(b)));
        } else if (isKatakana(b)) {
            text.append(QChar(char16_t(0xFF61 + (b - 0xA1))));
        } else if (isLead(b) && i + 1 < n && isTrail(uint8_t(bytes[i + 1]))) {
            text.append(QChar(tables().decode[(b << 8) | uint8_t(bytes[i + 1])]));
            ++i;
        } else {
            // A stray byte, or a lead byte without its trail: the next byte starts afresh.
            text.append(QChar(kReplacement));
        }
    }
    return text;
}

QByteArray toCp932(const QString &text, bool *lossless)
{
    QByteArray out;
    out.reserve(text.size() * 2);
    bool whole = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x80) {
            out.append(char(c));
            continue;
        }
        // A character outside the basic plane has no CP932 form: its surrogate pair becomes
        // one "?".
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text.at(i + 1).unicode()))
            ++i;
        else if (encodeWide(c, out))
            continue;
        out.append(kUnmappable);
        whole = false;
    }
    if (lossless)
        *lossless = whole;
    return out;
}

bool fitsCp932(const QString &text)
{
    bool lossless = true;
    toCp932(text, &lossless);
    return lossless;
}

QString readCp932Field(const char *field, int width)
{
    if (!field || width <= 0)
        return QString();
    qsizetype len = 0;
    while (len < width && field[len] != '\0')
        ++len;
    return fromCp932(QByteArrayView(field, len));
}

bool writeCp932Field(const QString &text, char *field, int width)
{
    if (!field || width <= 0)
        return false;
    bool lossless = true;
    const QByteArray bytes = toCp932(text, &lossless);
    // Walk whole characters so a cut never leaves half of a double-byte code behind.
    qsizetype keep = 0;
    while (keep < bytes.size()) {
        const qsizetype step = isLead(uint8_t(bytes[keep])) && keep + 1 < bytes.size() ? 2 : 1;
        if (keep + step > width - 1)
            break;
        keep += step;
    }
    std::copy(bytes.constData(), bytes.constData() + keep, field);
    field[keep] = '\0';
    return lossless && keep == bytes.size();
}

QString leftWhole(const QString &text, qsizetype n)
{
    if (n >= text.size())
        return text;
    if (n <= 0)
        return QString();
    if (text.at(n - 1).isHighSurrogate())
        --n;
    return text.left(n);
}
