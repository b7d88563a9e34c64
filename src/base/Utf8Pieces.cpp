#include "base/Utf8Pieces.h"

QString Utf8Pieces::Decode(QByteArrayView piece)
{
    const QByteArray bytes = m_carry + piece.toByteArray();
    m_carry.clear();
    QString out;
    out.reserve(bytes.size());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const uchar lead = uchar(bytes[i]);
        if (lead < 0x80) {
            out += QChar(lead);
            ++i;
            continue;
        }
        // Length, the bits of the lead, and the range of the second byte (no overlong
        // forms, no surrogates, nothing past U+10FFFF).
        int length = 0;
        char32_t code = 0;
        uchar low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, code = lead & 0x0F;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, code = lead & 0x07;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        }
        int k = 1;
        for (; k < length && i + k < n; ++k) {
            const uchar next = uchar(bytes[i + k]);
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF))
                break;
            code = (code << 6) | (next & 0x3F);
        }
        if (length > 0 && k == length) {
            out += QStringView(QChar::fromUcs4(code));
            i += length;
        } else if (length > 0 && i + k == n) {
            m_carry = bytes.mid(i); // valid so far: the rest comes with the next piece
            break;
        } else {
            out += QChar::ReplacementCharacter;
            i += k;
        }
    }
    return out;
}
