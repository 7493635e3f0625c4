#include "biffstream.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

void BiffStream::u8(quint8 v)
{
    buffer.append(char(v));
}

void BiffStream::u16(quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    buffer.append(b, 2);
}

void BiffStream::u32(quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    buffer.append(b, 4);
}

void BiffStream::f64(double v)
{
    quint64 bits;
    std::memcpy(&bits, &v, sizeof bits);
    char b[8];
    qToLittleEndian(bits, b);
    buffer.append(b, 8);
}

void BiffStream::bytes(const QByteArray& b)
{
    buffer.append(b);
}

void BiffStream::setU32At(int at, quint32 v)
{
    qToLittleEndian(v, buffer.data() + at);
}

int BiffStream::begin(quint16 id)
{
    u16(id);
    u16(0);
    return buffer.size() - 2;
}

void BiffStream::end(int lengthAt)
{
    const quint16 length = quint16(buffer.size() - lengthAt - 2);
    qToLittleEndian(length, buffer.data() + lengthAt);
}

bool BiffStream::fitsLatin1(const QString& s)
{
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c.unicode() < 0x100; });
}

QByteArray BiffStream::encodeChars(const QString& s, bool compressed)
{
    QByteArray out;
    if (compressed) {
        out.reserve(s.size());
        for (QChar c : s)
            out.append(char(c.unicode()));
    } else {
        out.resize(s.size() * 2);
        for (int i = 0; i < s.size(); ++i)
            qToLittleEndian(s.at(i).unicode(), out.data() + 2 * i);
    }
    return out;
}
