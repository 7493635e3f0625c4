#pragma once

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>

// Reads an .xlsx file with openpyxl (Debian's python3-openpyxl) through readxlsx.py and returns
// its JSON: {"sheetnames": [...], "sheets": [{"name", "kind", "max_row", "freeze", "columns",
// "rows": {"<r>": [{"type", "value", "format", "bold"}]}} or {"name", "kind": "chartsheet",
// "charts": [{"type", "series": [{"x", "y"}]}]}]}. A null object when the reader failed.
namespace XlsxReader {

inline QString python()
{
    // Debian's interpreter, which has the packaged openpyxl, before whatever else is on the path.
    return QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                             : QStringLiteral("python3");
}

inline bool available()
{
    QProcess process;
    process.start(python(), { QStringLiteral("-c"), QStringLiteral("import openpyxl") });
    return process.waitForFinished(30000) && process.exitCode() == 0;
}

inline QJsonObject read(const QString& path, int rows = 1000, QString* error = nullptr)
{
    QProcess process;
    process.start(python(), { QStringLiteral(READXLSX_SCRIPT), path, QString::number(rows) });
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        if (error)
            *error = QString::fromLocal8Bit(process.readAllStandardError());
        return QJsonObject();
    }
    return QJsonDocument::fromJson(process.readAllStandardOutput()).object();
}

inline QJsonObject sheet(const QJsonObject& book, const QString& name)
{
    for (const QJsonValue& s : book.value(QStringLiteral("sheets")).toArray()) {
        if (s.toObject().value(QStringLiteral("name")).toString() == name)
            return s.toObject();
    }
    return QJsonObject();
}

// Cell (row, column), both counted from 1 as the spreadsheet counts them.
inline QJsonObject cell(const QJsonObject& sheet, int row, int column)
{
    return sheet.value(QStringLiteral("rows"))
        .toObject()
        .value(QString::number(row))
        .toArray()
        .at(column - 1)
        .toObject();
}

inline QStringList sheetNames(const QJsonObject& book)
{
    QStringList names;
    for (const QJsonValue& v : book.value(QStringLiteral("sheetnames")).toArray())
        names << v.toString();
    return names;
}

} // namespace XlsxReader
