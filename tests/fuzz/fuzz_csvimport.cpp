// The CSV importer on arbitrary bytes: no crash, no hang; a refusal names its line; whatever it
// accepts, written out again as vibview's CSV, reads back the same.

#include "fuzzinput.h"

#include "csvimport.h"

#include <QStringList>

namespace {

QString field(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QByteArray write(const LoadedItem& item)
{
    QByteArray csv = CsvImport::header() + "\r\n";
    int row = 0;
    for (const auto& reading : item.readings) {
        ++row;
        const QStringList fields { QString::number(
                                       reading->fromStore() ? reading->storeIndex() : row),
            reading->dateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")),
            field(reading->detection()), field(reading->text(0)), field(reading->unit().text),
            field(reading->band()) };
        csv += fields.join(QLatin1Char(',')).toUtf8() + "\r\n";
    }
    return csv;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    LoadedItem item;
    QString error;
    if (!CsvImport::parse(bytes, &item, &error)) {
        FUZZ_CHECK(error.startsWith(QLatin1String("line ")));
        FUZZ_CHECK(item.readings.empty());
        return 0;
    }
    FUZZ_CHECK(!item.readings.empty());
    LoadedItem again;
    FUZZ_CHECK(CsvImport::parse(write(item), &again, &error));
    FUZZ_CHECK(again.readings.size() == item.readings.size());
    FUZZ_CHECK(again.record.unit == item.record.unit);
    for (size_t i = 0; i < item.readings.size(); ++i) {
        const DmmData& a = *item.readings[i];
        const DmmData& b = *again.readings[i];
        FUZZ_CHECK(a.dateTime() == b.dateTime());
        FUZZ_CHECK(a.texts() == b.texts() && a.values() == b.values());
        FUZZ_CHECK(a.state() == b.state());
        FUZZ_CHECK(a.fromStore() == b.fromStore() && a.storeIndex() == b.storeIndex());
        FUZZ_CHECK(a.unit().code == b.unit().code && a.unit().text == b.unit().text);
        FUZZ_CHECK(a.band() == b.band() && a.detection() == b.detection());
    }
    return 0;
}
