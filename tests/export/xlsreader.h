#pragma once

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTest>

// Reads an .xls file with xlrd (Debian's python3-xlrd) through readxls.py and returns its JSON:
// {"sheets": [{"name", "nrows", "ncols", "rows": {"<r>": [{"type", "value", "format"}]},
// "widths": {"<c>": width}}]}. A null object when the reader failed.
inline QJsonObject readXls(const QString& path, int rows = 1000, QString* error = nullptr)
{
    // Debian's interpreter, which has the packaged xlrd, before whatever else is on the path.
    QString python = QStringLiteral("/usr/bin/python3");
    if (!QFile::exists(python))
        python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    QProcess process;
    process.start(python, { QStringLiteral(READXLS_SCRIPT), path, QString::number(rows) });
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        if (error)
            *error = QString::fromLocal8Bit(process.readAllStandardError());
        return QJsonObject();
    }
    return QJsonDocument::fromJson(process.readAllStandardOutput()).object();
}

inline bool xlrdAvailable()
{
    QProcess process;
    process.start(QFile::exists(QStringLiteral("/usr/bin/python3"))
            ? QStringLiteral("/usr/bin/python3")
            : QStringLiteral("python3"),
        { QStringLiteral("-c"), QStringLiteral("import xlrd") });
    return process.waitForFinished(30000) && process.exitCode() == 0;
}
