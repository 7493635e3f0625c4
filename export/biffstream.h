#pragma once

#include <QByteArray>
#include <QString>

// The bytes of a BIFF8 workbook stream: little-endian fields grouped in records, each a 16-bit
// identifier and a 16-bit length before its data.
class BiffStream
{
public:
    // A record's data may not exceed this; longer data goes on in CONTINUE records.
    static constexpr int maxRecordData = 8224;

    void u8(quint8 v);
    void u16(quint16 v);
    void u32(quint32 v);
    void f64(double v);
    void bytes(const QByteArray& b);
    // Overwrites four bytes written earlier, for offsets known only later.
    void setU32At(int at, quint32 v);

    // Starts a record and returns where its length field is, for end().
    int begin(quint16 id);
    void end(int lengthAt);

    int size() const { return buffer.size(); }
    const QByteArray& data() const { return buffer; }

    // Whether every character fits into the one-byte (compressed) form.
    static bool fitsLatin1(const QString& s);
    // Characters in the BIFF8 form: one byte each when compressed, else UTF-16LE.
    static QByteArray encodeChars(const QString& s, bool compressed);

private:
    QByteArray buffer;
};
