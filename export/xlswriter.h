#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// One cell of a worksheet as it goes into the file.
struct XlsCell
{
    enum Type { Empty, Number, Text, Boolean };
    Type type = Empty;
    double number = 0.0; // also 0/1 for Boolean
    QString text;
    int format = 0; // index into the writer's number formats; 0 is "General"
};

struct XlsSheet
{
    QString name;
    QVector<QVector<XlsCell>> rows; // rows[r][c], both from 0
    QVector<int> columnWidths; // in 1/256 of a character; 0 keeps the default width
};

// Writes an .xls workbook: BIFF8 records in the "Workbook" stream of an OLE2 compound
// file. The records are ours; the compound-file container comes from libgsf.
class XlsWriter
{
public:
    static constexpr int maxRows = 65536;
    static constexpr int maxColumns = 256;
    static constexpr int maxTextLength = 32767;

    // numberFormats[0] must be "General"; a cell's format indexes this list.
    explicit XlsWriter(
        const QStringList& numberFormats = QStringList { QStringLiteral("General") });

    QByteArray workbookStream(const QVector<XlsSheet>& sheets) const;
    bool write(const QString& fileName, const QVector<XlsSheet>& sheets);
    QString errorString() const { return error; }

private:
    QStringList formats;
    QString error;
};
