#include "exportfilename.h"

#include <QFileInfo>
#include <QRegularExpression>

QString ExportFileName::suggested(
    const QString& itemName, const QDateTime& when, const QString& extension)
{
    // Item names are typed freely; a path separator or a colon would make the name a path.
    QString base = itemName.trimmed();
    static const QRegularExpression unsafe(QStringLiteral("[\\\\/:*?\"<>|\\x00-\\x1f]"));
    base.replace(unsafe, QStringLiteral("_"));
    if (base.isEmpty())
        base = QStringLiteral("Export");
    return QStringLiteral("%1 %2.%3")
        .arg(base, when.toString(QStringLiteral("yyyy-MM-dd hhmm")), extension);
}

QString ExportFileName::completed(const QString& typed, const QString& extension)
{
    if (typed.isEmpty())
        return typed;
    // A folder-like name ("dir/") has no file name to complete; the writer reports the failure.
    const QString suffix = QFileInfo(typed).suffix().toLower();
    if (knownExtensions().contains(suffix))
        return typed;
    return typed + QLatin1Char('.') + extension;
}

QStringList ExportFileName::knownExtensions()
{
    return { QStringLiteral("xls"), QStringLiteral("xlsx"), QStringLiteral("jpg"),
        QStringLiteral("jpeg"), QStringLiteral("pdf"), QStringLiteral("csv") };
}
