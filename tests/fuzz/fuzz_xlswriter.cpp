// The workbook writer on arbitrary sheets, cell texts, counts and number formats. The stream it
// builds is walked record by record by an independent reader: every record within BIFF8's size
// limit, one BOUNDSHEET and one BOF..EOF block per sheet, and every cell back with its value.

#include "fuzzinput.h"

#include "xlswriter.h"

#include <QHash>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <map>
#include <utility>

namespace {

struct Record
{
    quint16 type;
    QByteArray data;
};

quint16 u16At(const QByteArray& b, int at)
{
    FUZZ_CHECK(at >= 0 && at + 2 <= b.size());
    return qFromLittleEndian<quint16>(b.constData() + at);
}

quint32 u32At(const QByteArray& b, int at)
{
    FUZZ_CHECK(at >= 0 && at + 4 <= b.size());
    return qFromLittleEndian<quint32>(b.constData() + at);
}

QVector<Record> records(const QByteArray& stream)
{
    QVector<Record> list;
    int at = 0;
    while (at < stream.size()) {
        FUZZ_CHECK(at + 4 <= stream.size());
        const quint16 type = u16At(stream, at);
        const quint16 length = u16At(stream, at + 2);
        FUZZ_CHECK(length <= 8224);
        FUZZ_CHECK(at + 4 + length <= stream.size());
        list.append({ type, stream.mid(at + 4, length) });
        at += 4 + length;
    }
    return list;
}

// The shared strings, read across the SST record and its CONTINUE records.
class SstReader
{
public:
    explicit SstReader(QVector<QByteArray> segments)
        : segments(std::move(segments))
    { }

    QStringList read(quint32& total)
    {
        total = u32();
        const quint32 unique = u32();
        QStringList strings;
        for (quint32 i = 0; i < unique; ++i)
            strings << string();
        FUZZ_CHECK(segment == segments.size() - 1 && pos == segments.last().size());
        return strings;
    }

private:
    // Header fields never straddle a record boundary.
    void needHeader(int bytes)
    {
        if (pos == segments.at(segment).size()) {
            FUZZ_CHECK(segment + 1 < segments.size());
            ++segment;
            pos = 0;
        }
        FUZZ_CHECK(pos + bytes <= segments.at(segment).size());
    }
    quint32 u32()
    {
        needHeader(4);
        const quint32 v = u32At(segments.at(segment), pos);
        pos += 4;
        return v;
    }
    QString string()
    {
        needHeader(3);
        int length = u16At(segments.at(segment), pos);
        quint8 flags = quint8(segments.at(segment).at(pos + 2));
        pos += 3;
        FUZZ_CHECK((flags & ~1) == 0); // no rich text, no extension
        QString s;
        while (length > 0) {
            if (pos == segments.at(segment).size()) {
                // The rest goes on in the next CONTINUE, which restates the character size.
                FUZZ_CHECK(segment + 1 < segments.size());
                ++segment;
                pos = 0;
                FUZZ_CHECK(!segments.at(segment).isEmpty());
                flags = quint8(segments.at(segment).at(0));
                FUZZ_CHECK((flags & ~1) == 0);
                pos = 1;
            }
            const QByteArray& seg = segments.at(segment);
            const int charSize = flags & 1 ? 2 : 1;
            const int take = std::min(length, (seg.size() - pos) / charSize);
            FUZZ_CHECK(take > 0);
            for (int i = 0; i < take; ++i) {
                s.append(QChar(
                    charSize == 2 ? u16At(seg, pos + 2 * i) : quint16(uchar(seg.at(pos + i)))));
            }
            pos += take * charSize;
            length -= take;
        }
        return s;
    }

    QVector<QByteArray> segments;
    int segment = 0;
    int pos = 0;
};

QString text(FuzzInput& in)
{
    const uint8_t mode = in.byte();
    if (mode % 4 == 0) {
        // A long text of one repeated piece: past the cell limit and across CONTINUE records.
        const int length = in.u16();
        const QString piece = QStringLiteral("\u00e9x\u4e2d\u05d0");
        QString s;
        s.reserve(length);
        while (s.size() < length)
            s += piece.left(length - s.size());
        return mode & 4 ? s.toLatin1() : s;
    }
    const QByteArray raw = in.bytes(in.byte());
    if (mode % 4 == 1)
        return QString::fromLatin1(raw);
    QString s;
    for (int i = 0; i + 1 < raw.size(); i += 2)
        s.append(QChar(quint16(uchar(raw.at(i)) | (uchar(raw.at(i + 1)) << 8))));
    return s;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    QStringList formats { QStringLiteral("General") };
    const int formatCount = in.byte() % 4;
    for (int i = 0; i < formatCount; ++i)
        formats << text(in).left(255);

    QVector<XlsSheet> sheets(1 + in.byte() % 3);
    for (XlsSheet& sheet : sheets) {
        sheet.name = text(in).left(300);
        const uint8_t shape = in.byte();
        // Now and then more rows than a sheet takes, so the cut at the limit is exercised.
        const int rowCount = shape & 0x80 ? XlsWriter::maxRows + in.byte() : in.byte();
        sheet.rows.resize(rowCount);
        for (int r = 0; r < rowCount && !in.atEnd(); ++r) {
            const uint8_t rowShape = in.byte();
            if (rowShape & 0x40) {
                r += in.u16(); // skip ahead: sparse and past-the-limit rows
                if (r >= rowCount)
                    break;
            }
            const int columns = rowShape & 0x80 ? XlsWriter::maxColumns + 8 : rowShape % 8;
            sheet.rows[r].resize(columns);
            for (XlsCell& cell : sheet.rows[r]) {
                const uint8_t kind = in.byte();
                cell.type = XlsCell::Type(kind % 4);
                cell.format = int(in.byte() % (formats.size() + 2)) - 1;
                if (cell.type == XlsCell::Text) {
                    cell.text = text(in);
                } else if (cell.type == XlsCell::Number) {
                    const quint64 bits = quint64(in.u32()) << 32 | in.u32();
                    std::memcpy(&cell.number, &bits, sizeof cell.number);
                } else if (cell.type == XlsCell::Boolean) {
                    cell.number = kind & 0x80 ? 1.0 : 0.0;
                }
                if (in.atEnd())
                    break;
            }
        }
        sheet.columnWidths.resize(in.byte() % 4 == 0 ? XlsWriter::maxColumns + 2 : in.byte() % 8);
        for (int& width : sheet.columnWidths)
            width = in.u16();
    }

    const QByteArray stream = XlsWriter(formats).workbookStream(sheets);
    const QVector<Record> list = records(stream);
    FUZZ_CHECK(!list.isEmpty() && list.first().type == 0x0809);

    // Workbook globals up to the first EOF: the shared strings and one BOUNDSHEET per sheet.
    int i = 0;
    int boundSheets = 0;
    QVector<QByteArray> sstSegments;
    for (; i < list.size() && list.at(i).type != 0x000A; ++i) {
        if (list.at(i).type == 0x0085)
            ++boundSheets;
        if (list.at(i).type == 0x00FC) {
            sstSegments << list.at(i).data;
            for (int k = i + 1; k < list.size() && list.at(k).type == 0x003C; ++k)
                sstSegments << list.at(k).data;
        }
    }
    FUZZ_CHECK(i < list.size());
    FUZZ_CHECK(boundSheets == sheets.size());
    FUZZ_CHECK(sstSegments.size() >= 1);
    quint32 total = 0;
    const QStringList strings = SstReader(sstSegments).read(total);

    quint32 textCells = 0;
    for (int s = 0; s < sheets.size(); ++s) {
        ++i;
        FUZZ_CHECK(i < list.size() && list.at(i).type == 0x0809);
        std::map<std::pair<int, int>, const Record*> cells;
        for (++i; i < list.size() && list.at(i).type != 0x000A; ++i) {
            const Record& rec = list.at(i);
            if (rec.type == 0x0203 || rec.type == 0x00FD || rec.type == 0x0205) {
                const auto key = std::make_pair(int(u16At(rec.data, 0)), int(u16At(rec.data, 2)));
                FUZZ_CHECK(cells.emplace(key, &rec).second); // one record per cell
            }
        }
        FUZZ_CHECK(i < list.size());

        size_t expectedCells = 0;
        const XlsSheet& sheet = sheets.at(s);
        for (int r = 0; r < std::min(sheet.rows.size(), XlsWriter::maxRows); ++r) {
            for (int c = 0; c < std::min(sheet.rows.at(r).size(), XlsWriter::maxColumns); ++c) {
                const XlsCell& cell = sheet.rows.at(r).at(c);
                if (cell.type == XlsCell::Empty)
                    continue;
                ++expectedCells;
                const auto found = cells.find({ r, c });
                FUZZ_CHECK(found != cells.end());
                const Record& rec = *found->second;
                if (cell.type == XlsCell::Number) {
                    FUZZ_CHECK(rec.type == 0x0203 && rec.data.size() == 14);
                    FUZZ_CHECK(std::memcmp(rec.data.constData() + 6, &cell.number, 8) == 0);
                } else if (cell.type == XlsCell::Text) {
                    ++textCells;
                    FUZZ_CHECK(rec.type == 0x00FD && rec.data.size() == 10);
                    const quint32 index = u32At(rec.data, 6);
                    FUZZ_CHECK(index < quint32(strings.size()));
                    FUZZ_CHECK(strings.at(int(index)) == cell.text.left(XlsWriter::maxTextLength));
                } else {
                    FUZZ_CHECK(rec.type == 0x0205 && rec.data.size() == 8);
                    FUZZ_CHECK(rec.data.at(6) == (cell.number != 0.0 ? 1 : 0));
                }
            }
        }
        FUZZ_CHECK(cells.size() == expectedCells);
    }
    FUZZ_CHECK(i == list.size() - 1);
    // Only cells that made it into a sheet count as uses of a shared string.
    FUZZ_CHECK(total >= textCells);
    return 0;
}
