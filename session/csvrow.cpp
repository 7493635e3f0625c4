#include "csvrow.h"

#include "dmmdata.h"
#include "timetext.h"

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

// Appends the field as field() writes it. Most texts are plain ASCII that needs neither quotes nor
// an apostrophe: those go in byte by byte, without the copies a million rows would make.
void appendField(QByteArray& out, const QString& text)
{
    const QChar* begin = text.constData();
    const QChar* end = begin + text.size();
    bool plain = !looksLikeFormula(text);
    for (const QChar* c = begin; plain && c != end; ++c) {
        const ushort u = c->unicode();
        plain = u >= 0x20 && u < 0x7F && u != ',' && u != '"';
    }
    if (!plain) {
        out += CsvRow::field(text).toUtf8();
        return;
    }
    for (const QChar* c = begin; c != end; ++c)
        out += char(c->unicode());
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
    QByteArray out;
    out.reserve(64);
    for (int i = 0; i < texts.size(); ++i) {
        if (i > 0)
            out += ',';
        appendField(out, texts.at(i));
    }
    out += "\r\n";
    return out;
}

QString CsvRow::time(const QDateTime& dateTime)
{
    QByteArray text;
    appendTime(text, dateTime);
    return QString::fromUtf8(text);
}

void CsvRow::appendTime(QByteArray& out, const QDateTime& dateTime)
{
    TimeText::append(out, dateTime, ' ');
}

QStringList CsvRow::texts(const DmmData& reading, int number)
{
    return { QString::number(number), time(reading.dateTime()), reading.detection(),
        reading.text(0), reading.unit().text, reading.band() };
}

void CsvRow::appendReading(QByteArray& out, const DmmData& reading, int number)
{
    TimeText::appendDigits(out, number, 1);
    out += ',';
    appendTime(out, reading.dateTime());
    for (const QString& text :
        { reading.detection(), reading.text(0), reading.unit().text, reading.band() }) {
        out += ',';
        appendField(out, text);
    }
    out += "\r\n";
}
