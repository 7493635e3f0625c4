#include "csvimport.h"

#include "csvrow.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <charconv>
#include <cmath>

namespace {

const int columnCount = 6;

// One CSV record (RFC 4180) from pos on; pos ends after its line break. False with a reason
// for a quote out of place or a quoted field that never ends.
bool nextRecord(
    const QByteArray& data, int* pos, int* lineBreaks, QList<QByteArray>* fields, QString* reason)
{
    fields->clear();
    QByteArray field;
    bool quoted = false;
    bool wasQuoted = false;
    int i = *pos;
    const int size = data.size();
    while (i < size) {
        const char c = data.at(i);
        if (quoted) {
            if (c == '"') {
                if (i + 1 < size && data.at(i + 1) == '"') {
                    field += '"';
                    i += 2;
                    continue;
                }
                quoted = false;
                ++i;
                continue;
            }
            if (c == '\n')
                ++*lineBreaks;
            field += c;
            ++i;
            continue;
        }
        if (c == '"') {
            if (!field.isEmpty() || wasQuoted) {
                *reason = QStringLiteral("a quote inside an unquoted field");
                return false;
            }
            quoted = wasQuoted = true;
            ++i;
        } else if (c == ',') {
            *fields << field;
            field.clear();
            wasQuoted = false;
            ++i;
        } else if (c == '\r' && i + 1 < size && data.at(i + 1) == '\n') {
            i += 2;
            break;
        } else if (c == '\n') {
            ++i;
            break;
        } else {
            if (wasQuoted) {
                *reason = QStringLiteral("text after a quoted field");
                return false;
            }
            field += c;
            ++i;
        }
    }
    if (quoted) {
        *reason = QStringLiteral("a quoted field that never ends");
        return false;
    }
    *fields << field;
    *pos = i;
    return true;
}

bool toText(const QByteArray& bytes, QString* text)
{
    *text = QString::fromUtf8(bytes);
    // Invalid UTF-8 turns into replacement characters, which do not turn back into the bytes.
    if (text->contains(QChar::ReplacementCharacter) && text->toUtf8() != bytes)
        return false;
    // The export puts an apostrophe before a cell a spreadsheet would run as a formula ("----",
    // the meter's no-reading text, among them); the cell's text is what follows it.
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    if (text->size() > 1 && text->at(0) == QLatin1Char('\'') && formulaStarts.contains(text->at(1)))
        text->remove(0, 1);
    return true;
}

bool digits(const QString& text, int from, int count, int* value)
{
    *value = 0;
    for (int i = from; i < from + count; ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        *value = *value * 10 + (c.unicode() - '0');
    }
    return true;
}

// "yyyy-MM-dd HH:mm:ss" with ".zzz" or without, a space or a T between date and time.
bool parseTime(const QString& text, QDateTime* dateTime)
{
    if (text.size() != 19 && text.size() != 23)
        return false;
    if (text.at(4) != QLatin1Char('-') || text.at(7) != QLatin1Char('-')
        || (text.at(10) != QLatin1Char(' ') && text.at(10) != QLatin1Char('T'))
        || text.at(13) != QLatin1Char(':') || text.at(16) != QLatin1Char(':'))
        return false;
    int year, month, day, hour, minute, second, ms = 0;
    if (!digits(text, 0, 4, &year) || !digits(text, 5, 2, &month) || !digits(text, 8, 2, &day)
        || !digits(text, 11, 2, &hour) || !digits(text, 14, 2, &minute)
        || !digits(text, 17, 2, &second))
        return false;
    if (text.size() == 23 && (text.at(19) != QLatin1Char('.') || !digits(text, 20, 3, &ms)))
        return false;
    const QDate date(year, month, day);
    const QTime time(hour, minute, second, ms);
    if (!date.isValid() || !time.isValid())
        return false;
    *dateTime = QDateTime(date, time);
    return dateTime->isValid();
}

bool parseIndex(const QString& text, int* index)
{
    if (text.isEmpty() || text.size() > 9)
        return false;
    return digits(text, 0, text.size(), index);
}

// The value as the meter link reads it from the same text: a decimal number with a point,
// blanks around it ignored; anything else is 0.
double parseValue(const QString& text)
{
    const QByteArray bytes = text.trimmed().toLatin1();
    const char* begin = bytes.constData();
    const char* end = begin + bytes.size();
    if (begin < end && *begin == '+')
        ++begin;
    double value = 0.0;
    const std::from_chars_result result = std::from_chars(begin, end, value);
    if (begin == end || result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        return 0.0;
    return value;
}

int stateOf(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed == QLatin1String("OL"))
        return DmmData::OverRange;
    if (trimmed == QLatin1String("-OL"))
        return DmmData::NegativeOverRange;
    if (trimmed == QLatin1String("----"))
        return DmmData::NoReading;
    return DmmData::Numeric;
}

int unitCodeOf(const QString& text)
{
    if (text == QLatin1String("m/S2"))
        return 1;
    if (text == QLatin1String("cm/s"))
        return 2;
    if (text == QLatin1String("mm"))
        return 4;
    return 0;
}

} // namespace

QByteArray CsvImport::header()
{
    return QByteArrayLiteral("No.,Date/Time,Function,Value,Unit,Frequency(Hz)");
}

bool CsvImport::read(const QString& fileName, LoadedItem* item, QString* error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return false;
    }
    if (!parse(data, item, error))
        return false;
    item->record.name = QFileInfo(fileName).completeBaseName();
    return true;
}

bool CsvImport::parse(const QByteArray& data, LoadedItem* item, QString* error)
{
    int pos = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    int line = 1; // where the record being read starts
    int lineBreaks = 0; // inside quoted fields so far
    QList<QByteArray> fields;
    QString reason;
    auto refuse = [&](const QString& why) {
        *error = QStringLiteral("line %1: %2").arg(line).arg(why);
        return false;
    };
    if (pos >= data.size())
        return refuse(QStringLiteral("the file is empty"));
    if (!nextRecord(data, &pos, &lineBreaks, &fields, &reason))
        return refuse(reason);
    if (fields.join(',') != header())
        return refuse(QStringLiteral("this is not the header of a vibview CSV export"));

    std::vector<std::unique_ptr<DmmData>> readings;
    std::vector<int> numbers;
    for (int record = 2; pos < data.size(); ++record) {
        line = record + lineBreaks;
        if (!nextRecord(data, &pos, &lineBreaks, &fields, &reason))
            return refuse(reason);
        if (fields.size() == 1 && fields.first().isEmpty())
            return refuse(QStringLiteral("an empty line"));
        if (fields.size() != columnCount)
            return refuse(QStringLiteral("%1 fields where a reading has %2")
                              .arg(fields.size())
                              .arg(columnCount));
        QStringList texts;
        for (const QByteArray& field : fields) {
            QString text;
            if (!toText(field, &text))
                return refuse(QStringLiteral("text that is not UTF-8"));
            texts << CsvRow::unescaped(text);
        }
        int number = 0;
        if (!parseIndex(texts.at(0), &number))
            return refuse(QStringLiteral("\"%1\" is not a record number").arg(texts.at(0)));
        QDateTime dateTime;
        if (!parseTime(texts.at(1), &dateTime))
            return refuse(QStringLiteral("\"%1\" is not a date and time").arg(texts.at(1)));
        auto reading = std::make_unique<DmmData>();
        reading->setDateTime(dateTime);
        reading->setDetection(texts.at(2));
        reading->addValue(parseValue(texts.at(3)));
        reading->addText(texts.at(3));
        reading->setState(stateOf(texts.at(3)));
        reading->setUnit(unitCodeOf(texts.at(4)), texts.at(4));
        reading->setBand(texts.at(5));
        readings.push_back(std::move(reading));
        numbers.push_back(number);
    }
    if (readings.empty())
        return refuse(QStringLiteral("the file holds no readings"));

    // The table numbers live readings by row and stored ones by their record number: numbers
    // other than 1, 2, 3... are the meter's record numbers.
    bool byRow = true;
    for (size_t i = 0; i < numbers.size() && byRow; ++i)
        byRow = numbers[i] == int(i) + 1;
    if (!byRow) {
        for (size_t i = 0; i < readings.size(); ++i) {
            readings[i]->setFromStore(true);
            readings[i]->setStoreIndex(numbers[i]);
        }
    }
    item->record = ItemRecord();
    item->record.unit = readings.front()->unit().text;
    item->record.saved = true;
    item->readings = std::move(readings);
    return true;
}
