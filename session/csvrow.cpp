#include "csvrow.h"

#include "dmmdata.h"

#include <QDateTime>
#include <QLocale>

#include <cmath>

namespace {

bool isControl(QChar c)
{
    const ushort u = c.unicode();
    if (u == '\t' || u == '\n' || u == '\r')
        return false;
    return u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0);
}

bool isNumber(const QString& text)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text, &ok);
    return ok && std::isfinite(value);
}

// Spreadsheets run a cell that starts like this as a formula, with the user's rights.
bool looksLikeFormula(const QString& text)
{
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    return !text.isEmpty() && formulaStarts.contains(text.at(0)) && !isNumber(text);
}

} // namespace

QString CsvRow::field(const QString& text)
{
    QString cell = text;
    for (QChar& c : cell) {
        if (isControl(c))
            c = QChar(QChar::ReplacementCharacter);
    }
    if (looksLikeFormula(cell))
        cell.prepend(QLatin1Char('\''));

    if (!cell.contains(QLatin1Char(',')) && !cell.contains(QLatin1Char('"'))
        && !cell.contains(QLatin1Char('\n')) && !cell.contains(QLatin1Char('\r')))
        return cell;
    cell.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + cell + QLatin1Char('"');
}

QString CsvRow::unescaped(const QString& field)
{
    if (field.startsWith(QLatin1Char('\'')) && looksLikeFormula(field.mid(1)))
        return field.mid(1);
    return field;
}

QByteArray CsvRow::line(const QStringList& texts)
{
    QStringList fields;
    fields.reserve(texts.size());
    for (const QString& text : texts)
        fields << field(text);
    return fields.join(QLatin1Char(',')).toUtf8() + "\r\n";
}

QString CsvRow::time(const QDateTime& dateTime)
{
    return dateTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QStringList CsvRow::texts(const DmmData& reading, int number)
{
    return { QString::number(number), time(reading.dateTime()), reading.detection(),
        reading.text(0), reading.unit().text, reading.band() };
}
