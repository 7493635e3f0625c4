// The session reader on arbitrary bytes as a .vibview file: no crash, no hang; whatever it
// accepts, saved again by the session writer, reads back the same.

#include "fuzzinput.h"

#include "readingrecord.h"
#include "sessionreader.h"
#include "sessionsaver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>

namespace {

// Lives until the process ends: destroying it among the other statics would outlive Qt's own.
QCoreApplication* application = nullptr;

QString describe(const LoadedItem& item)
{
    QString text = item.record.name + '|' + QString::number(item.record.type) + '|'
        + item.record.unit + '|'
        + QString::fromUtf8(QJsonDocument(item.record.properties).toJson(QJsonDocument::Compact));
    for (const auto& reading : item.readings) {
        const DmmData& d = *reading;
        QStringList values;
        for (double value : d.values())
            values << QString::number(value, 'g', 17);
        text += QStringLiteral("\n%1 %2 %3 [%4] [%5] %6 %7 %8 %9 %10 %11 %12 %13")
                    .arg(d.dateTime().isValid() ? d.dateTime().toMSecsSinceEpoch() : -1)
                    .arg(d.dateTime().isValid() ? d.dateTime().offsetFromUtc() : 0)
                    .arg(int(d.dateTime().isValid()))
                    .arg(values.join(','), d.texts().join('|'))
                    .arg(d.state())
                    .arg(int(d.fromStore()))
                    .arg(d.storeIndex())
                    .arg(d.unit().code)
                    .arg(d.unit().text, d.band(), d.detection())
                    .arg(ReadingRecord::statusBits(d) * 10 + d.battery());
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Qt finds its SQLite driver through the application object.
    application = new QCoreApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString folder = QDir::temp().filePath(
        QStringLiteral("fuzz_sessionreader-%1").arg(QCoreApplication::applicationPid()));
    QDir().mkpath(folder);
    const QString input = QDir(folder).filePath(QStringLiteral("input.vibview"));
    const QString saved = QDir(folder).filePath(QStringLiteral("saved.vibview"));
    {
        QFile file(input);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size));
    }
    std::vector<LoadedItem> loaded;
    {
        SessionReader reader;
        if (!reader.open(input) || !reader.readAll(&loaded)) {
            FUZZ_CHECK(!reader.errorString().isEmpty());
            FUZZ_CHECK(loaded.empty());
            QDir(folder).removeRecursively();
            return 0;
        }
    }

    {
        SessionSaver saver(saved);
        SessionWriter* writer = saver.open();
        FUZZ_CHECK(writer);
        const qint64 session = writer->beginSession(QDateTime::currentDateTime(), "fuzz");
        int position = 0;
        for (const LoadedItem& item : loaded) {
            const qint64 id = writer->addItem(session, item.record, ++position);
            FUZZ_CHECK(id != 0);
            for (const auto& reading : item.readings)
                FUZZ_CHECK(writer->appendReading(id, ReadingRecord::of(*reading)));
        }
        FUZZ_CHECK(saver.commit());
    }
    std::vector<LoadedItem> again;
    {
        SessionReader reader;
        FUZZ_CHECK(reader.open(saved) && reader.readAll(&again));
    }
    FUZZ_CHECK(again.size() == loaded.size());
    for (size_t i = 0; i < loaded.size(); ++i)
        FUZZ_CHECK(describe(again[i]) == describe(loaded[i]));
    QDir(folder).removeRecursively();
    return 0;
}
