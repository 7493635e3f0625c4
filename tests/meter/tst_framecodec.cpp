#include "dmmdata.h"
#include "framecodec.h"

#include <QDateTime>
#include <QtTest>

#include <ctime>
#include <memory>

namespace {

const QByteArray liveExample = QByteArray::fromHex("abcd140031322e33343030303002010204080355");
const QByteArray storedExample = QByteArray::fromHex("abcd140120302e3530303132330400010101033d");

// Rewrites bytes of a reading frame and recomputes its checksum.
QByteArray patched(QByteArray frame, int offset, const QByteArray& bytes)
{
    frame.replace(offset, bytes.size(), bytes);
    int sum = 0;
    for (int i = 0; i < frame.size() - 2; ++i)
        sum += uchar(frame.at(i));
    frame[frame.size() - 2] = char((sum >> 8) & 0xFF);
    frame[frame.size() - 1] = char(sum & 0xFF);
    return frame;
}

QByteArray withType(const QByteArray& frame, int type)
{
    return patched(frame, 3, QByteArray(1, char(type)));
}

// All accepted frames, feeding the chunks one after another into one buffer.
QList<QByteArray> frameAll(
    const QList<QByteArray>& chunks, QByteArray* rest = nullptr, int* damaged = nullptr)
{
    QByteArray buffer;
    QList<QByteArray> frames;
    QByteArray frame;
    for (const QByteArray& chunk : chunks) {
        buffer.append(chunk);
        while (FrameCodec::takeFrame(buffer, frame, damaged))
            frames.append(frame);
    }
    if (rest)
        *rest = buffer;
    return frames;
}

QList<QByteArray> bytewise(const QByteArray& bytes)
{
    QList<QByteArray> chunks;
    for (char c : bytes)
        chunks.append(QByteArray(1, c));
    return chunks;
}

} // namespace

class FrameCodecTest : public QObject
{
    Q_OBJECT

private slots:
    void commandFrames_data();
    void commandFrames();
    void clockYearWraps();
    void decodesReading_data();
    void decodesReading();
    void unitTextCarriesOver();
    void stampsFixedOffset();
    void batteryLevel_data();
    void batteryLevel();
    void framing_data();
    void framing();
    void shortBufferWaits();
    void rejectsWhatIsNoReading_data();
    void rejectsWhatIsNoReading();
    void defaultRecord();
};

void FrameCodecTest::commandFrames_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("download 12") << FrameCodec::downloadPayload()
                                 << QByteArray::fromHex("aabb04313201cc");
    QTest::newRow("command 10") << FrameCodec::command10Payload()
                                << QByteArray::fromHex("aabb04313001ca");
    QTest::newRow("clock 2024-03-15 10:20:30")
        << FrameCodec::clockSetPayload(QDateTime(QDate(2024, 3, 15), QTime(10, 20, 30)))
        << QByteArray::fromHex("aabb0930240315102030023a");
    QTest::newRow("clock 2099-12-31 23:59:59")
        << FrameCodec::clockSetPayload(QDateTime(QDate(2099, 12, 31), QTime(23, 59, 59)))
        << QByteArray::fromHex("aabb0930991231235959034f");
    QTest::newRow("clock 2000-01-01 00:00:00")
        << FrameCodec::clockSetPayload(QDateTime(QDate(2000, 1, 1), QTime(0, 0, 0)))
        << QByteArray::fromHex("aabb093000010100000001a0");
    QTest::newRow("clock ignores milliseconds")
        << FrameCodec::clockSetPayload(QDateTime(QDate(2024, 3, 15), QTime(10, 20, 30, 999)))
        << QByteArray::fromHex("aabb0930240315102030023a");
    // Length byte wraps modulo 256 and the sum modulo 65536.
    QTest::newRow("long payload") << QByteArray(300, char(0xFF))
                                  << QByteArray::fromHex("aabb2e") + QByteArray(300, char(0xFF))
            + QByteArray::fromHex("2c67");
}

void FrameCodecTest::commandFrames()
{
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, frame);
    QCOMPARE(FrameCodec::commandFrame(payload).toHex(), frame.toHex());
}

void FrameCodecTest::clockYearWraps()
{
    // (year + 48) mod 256, then BCD: 2255 gives 255, i.e. 25 * 16 + 5.
    const QByteArray payload
        = FrameCodec::clockSetPayload(QDateTime(QDate(2255, 1, 1), QTime(0, 0)));
    QCOMPARE(uchar(payload.at(1)), uchar((25 * 16 + 5) & 0xFF));
    QCOMPARE(payload.size(), 7);
}

void FrameCodecTest::decodesReading_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("fromStore");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("band");
    QTest::addColumn<int>("status"); // the four flags as a nibble
    QTest::addColumn<int>("unitCode");
    QTest::addColumn<QString>("unitText");
    QTest::addColumn<QString>("detection");
    QTest::addColumn<int>("battery");
    QTest::addColumn<int>("storeIndex");

    QTest::newRow("live example") << liveExample << false << "12.34" << 12.34 << 0 << "10-1kHz" << 1
                                  << 2 << "cm/s"
                                  << "Vrms" << 3 << 0;
    QTest::newRow("stored example")
        << storedExample << true << " 0.50" << 0.5 << 0 << "10-500Hz" << 0 << 1 << "m/S2"
        << "Ap" << 0 << 123;

    const auto value
        = [](const char* hex) { return patched(liveExample, 4, QByteArray::fromHex(hex)); };
    QTest::newRow("over range") << value("2020204f4c") << false << "    OL" << 0.0 << 1 << "10-1kHz"
                                << 1 << 2 << "cm/s"
                                << "Vrms" << 3 << 0;
    QTest::newRow("negative over range")
        << value("202d4f4c20") << false << "   -OL" << 0.0 << -1 << "10-1kHz" << 1 << 2 << "cm/s"
        << "Vrms" << 3 << 0;
    QTest::newRow("no reading") << value("2d2d2d2d2d") << false << "----" << 0.0 << 2 << "10-1kHz"
                                << 1 << 2 << "cm/s"
                                << "Vrms" << 3 << 0;
    QTest::newRow("negative number")
        << value("2d312e3233") << false << "-1.23" << -1.23 << 0 << "10-1kHz" << 1 << 2 << "cm/s"
        << "Vrms" << 3 << 0;
    QTest::newRow("NUL as blank") << value("00312e3233") << false << " 1.23" << 1.23 << 0
                                  << "10-1kHz" << 1 << 2 << "cm/s"
                                  << "Vrms" << 3 << 0;
    QTest::newRow("L at offset 9 alone") << patched(liveExample, 9, "L") << false << "    OL" << 0.0
                                         << 1 << "10-1kHz" << 1 << 2 << "cm/s"
                                         << "Vrms" << 3 << 0;
    QTest::newRow("lower-case l is a number")
        << value("20206f6c20") << false << "  ol " << 0.0 << 0 << "10-1kHz" << 1 << 2 << "cm/s"
        << "Vrms" << 3 << 0;
    QTest::newRow("single dash is a number")
        << value("20202d3120") << false << "  -1 " << -1.0 << 0 << "10-1kHz" << 1 << 2 << "cm/s"
        << "Vrms" << 3 << 0;
    QTest::newRow("plus sign") << value("2b312e3530") << false << "+1.50" << 1.5 << 0 << "10-1kHz"
                               << 1 << 2 << "cm/s"
                               << "Vrms" << 3 << 0;
    QTest::newRow("two points is no number")
        << value("312e322e33") << false << "1.2.3" << 0.0 << 0 << "10-1kHz" << 1 << 2 << "cm/s"
        << "Vrms" << 3 << 0;
    QTest::newRow("nan is no number")
        << value("206e616e20") << false << " nan " << 0.0 << 0 << "10-1kHz" << 1 << 2 << "cm/s"
        << "Vrms" << 3 << 0;
    QTest::newRow("blank field") << value("0000000000") << false << "     " << 0.0 << 0 << "10-1kHz"
                                 << 1 << 2 << "cm/s"
                                 << "Vrms" << 3 << 0;
    QTest::newRow("Latin-1 text") << value("20b5202020") << false << QStringLiteral(" \u00b5   ")
                                  << 0.0 << 0 << "10-1kHz" << 1 << 2 << "cm/s"
                                  << "Vrms" << 3 << 0;
    QTest::newRow("codes: status 5, ASCII unit 2, band 1, Ap, battery 3 bits")
        << patched(liveExample, 13, QByteArray::fromHex("01f5320103")) << false << "12.34" << 12.34
        << 0 << "10-10kHz" << 5 << 2 << "cm/s"
        << "Ap" << 1 << 0;
    QTest::newRow("unknown band and detection, high nibbles ignored")
        << patched(liveExample, 13, QByteArray::fromHex("33a0f4f3f0")) << false << "12.34" << 12.34
        << 0 << "" << 0 << 4 << "mm"
        << "" << 0 << 0;
    QTest::newRow("record 9999 from plain digits")
        << patched(storedExample, 9, QByteArray::fromHex("09090909")) << true << " 0.50" << 0.5 << 0
        << "10-500Hz" << 0 << 1 << "m/S2"
        << "Ap" << 0 << 9999;
    QTest::newRow("live frame ignores record digits")
        << patched(liveExample, 9, "1234") << false << "12.34" << 12.34 << 0 << "10-1kHz" << 1 << 2
        << "cm/s"
        << "Vrms" << 3 << 0;
}

void FrameCodecTest::decodesReading()
{
    QFETCH(QByteArray, frame);
    QString lastUnit;
    const QDateTime before = QDateTime::currentDateTime();
    std::unique_ptr<DmmData> data(FrameCodec::decodeReading(frame, lastUnit));
    QVERIFY(data);
    QTEST(data->fromStore(), "fromStore");
    QTEST(data->text(0), "text");
    QTEST(data->value(0), "value");
    QTEST(data->state(), "state");
    QTEST(data->band(), "band");
    const int status = int(data->status0()) | int(data->status1()) << 1 | int(data->status2()) << 2
        | int(data->status3()) << 3;
    QTEST(status, "status");
    QTEST(data->unit().code, "unitCode");
    QTEST(data->unit().text, "unitText");
    QTEST(data->detection(), "detection");
    QTEST(data->battery(), "battery");
    QTEST(data->storeIndex(), "storeIndex");
    // One value and one text only; the readers fall back beyond them.
    QCOMPARE(data->values().size(), 1);
    QCOMPARE(data->texts().size(), 1);
    QCOMPARE(data->value(1), 0.0);
    QCOMPARE(data->text(1), QStringLiteral("0.0"));
    QCOMPARE(data->text(-1), QStringLiteral("0.0"));
    QVERIFY(data->dateTime() >= before.addSecs(-1));
    QVERIFY(data->dateTime() <= QDateTime::currentDateTime());
    QCOMPARE(data->parent(), nullptr);
}

void FrameCodecTest::stampsFixedOffset()
{
    // A zone whose offset is not whole hours, so that a wrong offset cannot pass for a right one;
    // the one before comes back when the test ends, however it ends.
    struct Zone
    {
        const bool wasSet = qEnvironmentVariableIsSet("TZ");
        const QByteArray before = qgetenv("TZ");
        explicit Zone(const char* name)
        {
            qputenv("TZ", name);
            tzset();
        }
        ~Zone()
        {
            if (wasSet)
                qputenv("TZ", before);
            else
                qunsetenv("TZ");
            tzset();
        }
    } zone("Asia/Kolkata");
    QString lastUnit;
    const QDateTime before = QDateTime::currentDateTime();
    const std::unique_ptr<DmmData> data(
        FrameCodec::decodeReading(liveExample, lastUnit, FrameCodec::Stamp::FixedOffset));
    const QDateTime after = QDateTime::currentDateTime();
    QVERIFY(data);
    const QDateTime time = data->dateTime();
    QCOMPARE(time.timeSpec(), Qt::OffsetFromUTC);
    QCOMPARE(time.offsetFromUtc(), 19800);
    QVERIFY(time >= before && time <= after);
    // The wall-clock time is the zone's, as a local time would show it.
    const auto wall = [](const QDateTime& t) { return QDateTime(t.date(), t.time(), Qt::UTC); };
    QVERIFY(wall(time) >= wall(before) && wall(time) <= wall(after));
}

void FrameCodecTest::unitTextCarriesOver()
{
    QString lastUnit;
    const QByteArray mm = patched(liveExample, 15, QByteArray::fromHex("04"));
    const QByteArray unknown = patched(liveExample, 15, QByteArray::fromHex("00"));

    std::unique_ptr<DmmData> first(FrameCodec::decodeReading(unknown, lastUnit));
    QCOMPARE(first->unit().code, 0);
    QCOMPARE(first->unit().text, QString()); // nothing recognised yet

    std::unique_ptr<DmmData> second(FrameCodec::decodeReading(mm, lastUnit));
    QCOMPARE(second->unit().text, QStringLiteral("mm"));

    std::unique_ptr<DmmData> third(FrameCodec::decodeReading(unknown, lastUnit));
    QCOMPARE(third->unit().code, 0);
    QCOMPARE(third->unit().text, QStringLiteral("mm"));
    QCOMPARE(lastUnit, QStringLiteral("mm"));
    QCOMPARE(second->unit().text, QStringLiteral("mm")); // earlier records keep their copy
}

void FrameCodecTest::batteryLevel_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("level");
    const int expected[16] = { 0, 0, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3 };
    for (int bits = 0; bits < 16; ++bits)
        QTest::addRow("bits %d", bits) << bits << expected[bits];
    QTest::newRow("high nibble ignored") << 0xF1 << 0;
}

void FrameCodecTest::batteryLevel()
{
    QFETCH(int, bits);
    QFETCH(int, level);
    QCOMPARE(FrameCodec::batteryLevel(bits), level);
    QString lastUnit;
    std::unique_ptr<DmmData> data(
        FrameCodec::decodeReading(patched(liveExample, 17, QByteArray(1, char(bits))), lastUnit));
    QCOMPARE(data->battery(), level);
}

void FrameCodecTest::framing_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<QByteArray>("rest");
    QTest::addColumn<int>("damaged");

    const QByteArray live = liveExample;
    const QByteArray stored = storedExample;
    QByteArray badSum = live;
    badSum[19] = char(badSum.at(19) ^ 1);
    const QByteArray other = QByteArray::fromHex("abcd0802aabb02e7"); // type 2
    const QByteArray strayLength = QByteArray::fromHex("abcdff01");

    QTest::newRow("one frame") << QList<QByteArray> { live } << QList<QByteArray> { live }
                               << QByteArray() << 0;
    QTest::newRow("two frames in one chunk, in order")
        << QList<QByteArray> { live + stored } << QList<QByteArray> { live, stored } << QByteArray()
        << 0;
    QTest::newRow("split 3 then 17") << QList<QByteArray> { live.left(3), live.mid(3) }
                                     << QList<QByteArray> { live } << QByteArray() << 0;
    QTest::newRow("byte by byte") << bytewise(live + stored + live)
                                  << QList<QByteArray> { live, stored, live } << QByteArray() << 0;
    QTest::newRow("chunks across frame borders")
        << QList<QByteArray> { live.left(7), live.mid(7) + stored.left(15), stored.mid(15) + live }
        << QList<QByteArray> { live, stored, live } << QByteArray() << 0;
    QTest::newRow("incomplete frame waits") << QList<QByteArray> { live + stored.left(12) }
                                            << QList<QByteArray> { live } << stored.left(12) << 0;
    QTest::newRow("other frame type framed, any length")
        << QList<QByteArray> { other + live } << QList<QByteArray> { other, live } << QByteArray()
        << 0;
    QTest::newRow("bad checksum, then good frame")
        << QList<QByteArray> { badSum + live } << QList<QByteArray> { live } << QByteArray() << 1;
    QTest::newRow("two bad checksums, byte by byte")
        << bytewise(badSum + badSum + stored) << QList<QByteArray> { stored } << QByteArray() << 2;
    QTest::newRow("garbage before a good frame")
        << QList<QByteArray> { QByteArray::fromHex("0102ab03") + live }
        << QList<QByteArray> { live } << QByteArray() << 0;
    QTest::newRow("garbage between frames, byte by byte")
        << bytewise(live + QByteArray::fromHex("cdab00abab") + stored)
        << QList<QByteArray> { live, stored } << QByteArray() << 0;
    QTest::newRow("garbage ending in a lone AB keeps it")
        << QList<QByteArray> { QByteArray::fromHex("0011223344ab"), live.mid(1) }
        << QList<QByteArray> { live } << QByteArray() << 0;
    QTest::newRow("garbage without header is dropped")
        << QList<QByteArray> { QByteArray::fromHex("00112233445566") } << QList<QByteArray> {}
        << QByteArray() << 0;
    QTest::newRow("length too small, then good frame")
        << QList<QByteArray> { QByteArray::fromHex("abcd0500") + live }
        << QList<QByteArray> { live } << QByteArray() << 1;
    QTest::newRow("length zero, then good frame")
        << QList<QByteArray> { QByteArray::fromHex("abcd00") + live } << QList<QByteArray> { live }
        << QByteArray() << 1;
    // A reading frame is 20 bytes: a damaged length byte is rejected once the type byte is in,
    // so the frames behind it are not held back until 255 bytes have come.
    QTest::newRow("bad length byte, then good frames")
        << QList<QByteArray> { patched(live, 2, QByteArray::fromHex("30")).left(20) + live + stored
               + live }
        << QList<QByteArray> { live, stored, live } << QByteArray() << 1;
    QByteArray many;
    for (int i = 0; i < 13; ++i)
        many += (i % 2 ? stored : live);
    QList<QByteArray> manyFrames;
    for (int i = 0; i < 13; ++i)
        manyFrames.append(i % 2 ? stored : live);
    QByteArray longLength = live;
    longLength[2] = char(0xFF);
    QTest::newRow("length 255 over 13 good frames")
        << QList<QByteArray> { longLength, many } << manyFrames << QByteArray() << 1;
    QTest::newRow("stray header with length 255 before a stored frame")
        << QList<QByteArray> { strayLength + stored, stored.left(10), stored.mid(10) }
        << QList<QByteArray> { stored, stored } << QByteArray() << 1;
    QTest::newRow("stray header judged without waiting")
        << QList<QByteArray> { strayLength } << QList<QByteArray> {} << QByteArray() << 1;
    QTest::newRow("header without its type waits")
        << QList<QByteArray> { strayLength.left(3) } << QList<QByteArray> {} << strayLength.left(3)
        << 0;
}

void FrameCodecTest::framing()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QByteArray>, frames);
    QFETCH(QByteArray, rest);
    QByteArray left;
    int damaged = 0;
    const QList<QByteArray> got = frameAll(chunks, &left, &damaged);
    QCOMPARE(got.size(), frames.size());
    for (int i = 0; i < got.size(); ++i)
        QCOMPARE(got.at(i).toHex(), frames.at(i).toHex());
    QCOMPARE(left.toHex(), rest.toHex());
    QTEST(damaged, "damaged");
    // Counting is optional and changes nothing.
    QCOMPARE(frameAll(chunks).size(), frames.size());
}

void FrameCodecTest::shortBufferWaits()
{
    // Fewer than five bytes are never judged: garbage stays until the fifth byte arrives.
    QByteArray buffer = QByteArray::fromHex("01020304");
    QByteArray frame;
    QVERIFY(!FrameCodec::takeFrame(buffer, frame));
    QCOMPARE(buffer, QByteArray::fromHex("01020304"));
    buffer.append('\x05');
    QVERIFY(!FrameCodec::takeFrame(buffer, frame));
    QVERIFY(buffer.isEmpty());
}

void FrameCodecTest::rejectsWhatIsNoReading_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("reading type, 21 bytes")
        << patched(liveExample + 'x', 2, QByteArray::fromHex("15"));
    QTest::newRow("reading type, 8 bytes") << QByteArray::fromHex("abcd0800313201e3");
    QTest::newRow("type 2") << withType(liveExample, 2);
    QTest::newRow("type 0x80") << withType(liveExample, 0x80);
}

void FrameCodecTest::rejectsWhatIsNoReading()
{
    QFETCH(QByteArray, frame);
    QString lastUnit = QStringLiteral("mm");
    QCOMPARE(FrameCodec::decodeReading(frame, lastUnit), nullptr);
    QCOMPARE(lastUnit, QStringLiteral("mm"));
}

void FrameCodecTest::defaultRecord()
{
    DmmData data;
    QVERIFY(!data.dateTime().isValid());
    QVERIFY(data.values().isEmpty());
    QVERIFY(data.texts().isEmpty());
    QCOMPARE(data.state(), 0);
    QCOMPARE(data.fromStore(), false);
    QCOMPARE(data.storeIndex(), 0);
    QCOMPARE(data.unit().code, 0);
    QVERIFY(data.unit().text.isEmpty());
    QVERIFY(data.band().isEmpty());
    QVERIFY(data.detection().isEmpty());
    QVERIFY(!data.status0() && !data.status1() && !data.status2() && !data.status3());
    QCOMPARE(data.battery(), 0);
    QCOMPARE(data.value(0), 0.0);
    QCOMPARE(data.text(0), QStringLiteral("0.0"));
}

QTEST_GUILESS_MAIN(FrameCodecTest)
#include "tst_framecodec.moc"
