#include "xlswriter.h"

#include "biffstream.h"
#include "sstwriter.h"
#include "targetfile.h"

#include <QHash>

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include <algorithm>

namespace {

// Record identifiers of the BIFF8 records we write.
enum : quint16 {
    recEof = 0x000A,
    recDateMode = 0x0022,
    recFont = 0x0031,
    recWindow1 = 0x003D,
    recCodePage = 0x0042,
    recDefColWidth = 0x0055,
    recColInfo = 0x007D,
    recBoundSheet = 0x0085,
    recXf = 0x00E0,
    recLabelSst = 0x00FD,
    recDimensions = 0x0200,
    recNumber = 0x0203,
    recBoolErr = 0x0205,
    recWindow2 = 0x023E,
    recStyle = 0x0293,
    recFormat = 0x041E,
    recBof = 0x0809,
};

// The first 16 XF records are the style XFs 0..14 and the default cell XF 15.
constexpr int defaultCellXf = 15;
constexpr int firstCustomFormat = 164;

// A string with a 16-bit length, as in FORMAT and SST.
void unicodeString(BiffStream& st, const QString& s)
{
    const bool compressed = BiffStream::fitsLatin1(s);
    st.u16(quint16(s.size()));
    st.u8(compressed ? 0x00 : 0x01);
    st.bytes(BiffStream::encodeChars(s, compressed));
}

// A string with an 8-bit length, as in FONT and BOUNDSHEET.
void shortUnicodeString(BiffStream& st, const QString& s)
{
    const bool compressed = BiffStream::fitsLatin1(s);
    st.u8(quint8(s.size()));
    st.u8(compressed ? 0x00 : 0x01);
    st.bytes(BiffStream::encodeChars(s, compressed));
}

void bof(BiffStream& st, quint16 type)
{
    const int at = st.begin(recBof);
    st.u16(0x0600); // BIFF8
    st.u16(type);
    st.u16(0x0DBB); // build identifier
    st.u16(0x07CC); // build year
    st.u32(0); // file history flags
    st.u32(0x0006); // lowest version that can read all records
    st.end(at);
}

void eof(BiffStream& st)
{
    st.end(st.begin(recEof));
}

void xf(BiffStream& st, quint16 font, quint16 format, bool style, quint8 usedAttributes)
{
    const int at = st.begin(recXf);
    st.u16(font);
    st.u16(format);
    st.u16(style ? 0xFFF5 : 0x0001); // locked; a style XF has no parent (0xFFF)
    st.u8(0x20); // aligned to the bottom
    st.u8(0); // no rotation
    st.u8(0); // no indent, no shrink
    st.u8(usedAttributes);
    st.u32(0); // no borders
    st.u32(0);
    st.u16(0x20C0); // default pattern colours
    st.end(at);
}

quint16 builtInFormat(const QString& format)
{
    if (format.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
        return 0;
    if (format == QLatin1String("0"))
        return 1;
    if (format == QLatin1String("0.00"))
        return 2;
    if (format == QLatin1String("@"))
        return 49;
    return 0xFFFF;
}

} // namespace

XlsWriter::XlsWriter(const QStringList& numberFormats)
    : formats(numberFormats)
{
    if (formats.isEmpty())
        formats << QStringLiteral("General");
}

QByteArray XlsWriter::workbookStream(const QVector<XlsSheet>& sheets) const
{
    // Shared strings in order of first use.
    QStringList strings;
    QHash<QString, quint32> stringIndex;
    quint32 textCells = 0;
    for (const XlsSheet& sheet : sheets) {
        for (const auto& row : sheet.rows) {
            for (const XlsCell& cell : row) {
                if (cell.type != XlsCell::Text)
                    continue;
                ++textCells;
                const QString text = cell.text.left(maxTextLength);
                if (!stringIndex.contains(text)) {
                    stringIndex.insert(text, quint32(strings.size()));
                    strings << text;
                }
            }
        }
    }

    // Format codes: built-in ones keep their number, the others get 164 and up.
    QVector<quint16> formatCodes;
    QVector<int> customFormats;
    for (int i = 0; i < formats.size(); ++i) {
        quint16 code = builtInFormat(formats.at(i));
        if (code == 0xFFFF) {
            code = quint16(firstCustomFormat + customFormats.size());
            customFormats << i;
        }
        formatCodes << code;
    }
    // Cell XF of format i: 15 for General, 15 + i for the others.
    auto xfOf = [&](int format) -> quint16 {
        if (format <= 0 || format >= formats.size())
            return defaultCellXf;
        return quint16(defaultCellXf + format);
    };

    BiffStream st;
    bof(st, 0x0005);
    {
        const int at = st.begin(recCodePage);
        st.u16(1200); // strings are UTF-16
        st.end(at);
    }
    {
        const int at = st.begin(recWindow1);
        st.u16(0);
        st.u16(0);
        st.u16(0x37E0); // window size in twips
        st.u16(0x2100);
        st.u16(0x0038); // show scroll bars and sheet tabs
        st.u16(0); // active sheet
        st.u16(0); // first visible tab
        st.u16(1); // selected sheets
        st.u16(0x0258); // tab bar width ratio
        st.end(at);
    }
    {
        const int at = st.begin(recDateMode);
        st.u16(0); // dates count from 1900
        st.end(at);
    }
    // Font index 4 does not exist in BIFF, so five records give the indexes 0..3 and 5.
    for (int i = 0; i < 5; ++i) {
        const int at = st.begin(recFont);
        st.u16(200); // 10 points in twips
        st.u16(0);
        st.u16(0x7FFF); // automatic colour
        st.u16(400); // normal weight
        st.u16(0);
        st.u8(0);
        st.u8(0);
        st.u8(0);
        st.u8(0);
        shortUnicodeString(st, QStringLiteral("Arial"));
        st.end(at);
    }
    for (int i : customFormats) {
        const int at = st.begin(recFormat);
        st.u16(formatCodes.at(i));
        unicodeString(st, formats.at(i));
        st.end(at);
    }
    xf(st, 0, 0, true, 0x00);
    for (int i = 1; i < defaultCellXf; ++i)
        xf(st, 0, 0, true, 0xF4);
    xf(st, 0, 0, false, 0x00);
    for (int i = 1; i < formats.size(); ++i)
        xf(st, 0, formatCodes.at(i), false, 0x04);
    {
        const int at = st.begin(recStyle);
        st.u16(0x8000); // built-in style on XF 0
        st.u8(0); // "Normal"
        st.u8(0xFF);
        st.end(at);
    }
    QVector<int> sheetOffsetAt;
    for (const XlsSheet& sheet : sheets) {
        const int at = st.begin(recBoundSheet);
        sheetOffsetAt << st.size();
        st.u32(0); // stream offset of the sheet's BOF, filled in below
        st.u8(0); // visible
        st.u8(0); // worksheet
        shortUnicodeString(st, sheet.name.left(31));
        st.end(at);
    }
    SstWriter(st).write(strings, textCells);
    eof(st);

    for (int s = 0; s < sheets.size(); ++s) {
        const XlsSheet& sheet = sheets.at(s);
        st.setU32At(sheetOffsetAt.at(s), quint32(st.size()));
        bof(st, 0x0010);
        {
            const int at = st.begin(recDefColWidth);
            st.u16(8);
            st.end(at);
        }
        for (int c = 0; c < sheet.columnWidths.size() && c < maxColumns; ++c) {
            const int width = sheet.columnWidths.at(c);
            if (width <= 0)
                continue;
            const int at = st.begin(recColInfo);
            st.u16(quint16(c));
            st.u16(quint16(c));
            st.u16(quint16(std::min(width, 255 * 256)));
            st.u16(defaultCellXf);
            st.u16(0);
            st.u16(0);
            st.end(at);
        }

        const int rowCount = std::min(sheet.rows.size(), maxRows);
        int firstRow = -1, lastRow = -1, firstCol = maxColumns, lastCol = -1;
        for (int r = 0; r < rowCount; ++r) {
            const auto& row = sheet.rows.at(r);
            for (int c = 0; c < row.size() && c < maxColumns; ++c) {
                // Formats of empty cells are not kept, so they do not count either.
                if (row.at(c).type == XlsCell::Empty)
                    continue;
                if (firstRow < 0)
                    firstRow = r;
                lastRow = r;
                firstCol = std::min(firstCol, c);
                lastCol = std::max(lastCol, c);
            }
        }
        {
            const int at = st.begin(recDimensions);
            st.u32(firstRow < 0 ? 0 : quint32(firstRow));
            st.u32(firstRow < 0 ? 0 : quint32(lastRow + 1));
            st.u16(firstRow < 0 ? 0 : quint16(firstCol));
            st.u16(firstRow < 0 ? 0 : quint16(lastCol + 1));
            st.u16(0);
            st.end(at);
        }
        for (int r = 0; r < rowCount; ++r) {
            const auto& row = sheet.rows.at(r);
            for (int c = 0; c < row.size() && c < maxColumns; ++c) {
                const XlsCell& cell = row.at(c);
                const quint16 cellXf = xfOf(cell.format);
                switch (cell.type) {
                case XlsCell::Number: {
                    const int at = st.begin(recNumber);
                    st.u16(quint16(r));
                    st.u16(quint16(c));
                    st.u16(cellXf);
                    st.f64(cell.number);
                    st.end(at);
                    break;
                }
                case XlsCell::Text: {
                    const int at = st.begin(recLabelSst);
                    st.u16(quint16(r));
                    st.u16(quint16(c));
                    st.u16(cellXf);
                    st.u32(stringIndex.value(cell.text.left(maxTextLength)));
                    st.end(at);
                    break;
                }
                case XlsCell::Boolean: {
                    const int at = st.begin(recBoolErr);
                    st.u16(quint16(r));
                    st.u16(quint16(c));
                    st.u16(cellXf);
                    st.u8(cell.number != 0.0 ? 1 : 0);
                    st.u8(0); // a boolean, not an error
                    st.end(at);
                    break;
                }
                case XlsCell::Empty:
                    break;
                }
            }
        }
        {
            const int at = st.begin(recWindow2);
            // Gridlines, headers, zeros, outline symbols, automatic grid colour; the first sheet
            // is the selected and shown one.
            st.u16(s == 0 ? 0x06B6 : 0x00B6);
            st.u16(0);
            st.u16(0);
            st.u32(64);
            st.u16(0);
            st.u16(0);
            st.u32(0);
            st.end(at);
        }
        eof(st);
    }
    return st.data();
}

bool XlsWriter::write(const QString& fileName, const QVector<XlsSheet>& sheets)
{
    error.clear();
    for (const XlsSheet& sheet : sheets) {
        if (sheet.rows.size() > maxRows) {
            error = QStringLiteral("A sheet holds at most %1 rows.").arg(maxRows);
            return false;
        }
    }
    const QByteArray stream = workbookStream(sheets);

    static const bool gsfReady = [] {
        gsf_init();
        return true;
    }();
    Q_UNUSED(gsfReady);

    // The container is built in memory and saved as a whole, so a failed save leaves
    // neither a half-written workbook nor a damaged earlier file behind.
    GsfOutput* sink = gsf_output_memory_new();
    GsfOutfile* ole = gsf_outfile_msole_new(sink);
    GsfOutput* workbook = gsf_outfile_new_child(ole, "Workbook", FALSE);
    bool ok = workbook
        && gsf_output_write(
            workbook, size_t(stream.size()), reinterpret_cast<const guint8*>(stream.constData()));
    if (workbook) {
        ok = gsf_output_close(workbook) && ok;
        g_object_unref(workbook);
    }
    ok = gsf_output_close(GSF_OUTPUT(ole)) && ok;
    g_object_unref(ole);
    QByteArray container;
    if (ok && gsf_output_is_closed(sink)) {
        container = QByteArray(
            reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink))),
            int(gsf_output_size(sink)));
    } else if (ok) {
        ok = gsf_output_close(sink);
        if (ok)
            container = QByteArray(
                reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink))),
                int(gsf_output_size(sink)));
    }
    g_object_unref(sink);
    if (!ok || container.isEmpty()) {
        error = QStringLiteral("Cannot build the compound file.");
        return false;
    }

    // Replaced as a whole or not at all; a device in the file's place is written in place.
    return TargetFile::writeWhole(fileName, container, &error);
}
