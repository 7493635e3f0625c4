#include "metersimulator.h"

#include <QDate>
#include <QSocketNotifier>
#include <QTime>
#include <QtMath>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

int fromBcd(uchar byte, bool* ok)
{
    const int tens = byte >> 4;
    const int units = byte & 0x0F;
    if (tens > 9 || units > 9)
        *ok = false;
    return tens * 10 + units;
}

// The meter's display has five characters: drop decimals until the number fits, right-aligned.
QByteArray fieldText(double value, int decimals)
{
    for (int d = decimals; d >= 0; --d) {
        const QByteArray text = QByteArray::number(value, 'f', d);
        if (text.size() <= 5)
            return text.rightJustified(5, ' ');
    }
    return QByteArray::number(value, 'f', 0).left(5);
}

} // namespace

MeterSimulator::MeterSimulator(const SimOptions& options, QObject* parent)
    : QObject(parent)
    , options(options)
    , random(options.seed)
{
    liveTimer.setTimerType(Qt::PreciseTimer);
    connect(&liveTimer, &QTimer::timeout, this, &MeterSimulator::sendLive);
    watchTimer.setInterval(20);
    connect(&watchTimer, &QTimer::timeout, this, &MeterSimulator::watchClient);
}

MeterSimulator::~MeterSimulator()
{
    readNotifier.reset();
    writeNotifier.reset();
    if (master >= 0)
        ::close(master);
}

QString MeterSimulator::start()
{
    master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        error = QStringLiteral("cannot create a pseudo-terminal: %1").arg(qt_error_string(errno));
        return QString();
    }
    const QString path = QString::fromLocal8Bit(ptsname(master));

    // Raw mode on the port side, so nothing we send is echoed back or rewritten; the setting
    // stays with the terminal after this descriptor is closed. Closing it also puts the master
    // into its "no client" state, which is how we tell whether anyone listens.
    const int slave = ::open(ptsname(master), O_RDWR | O_NOCTTY);
    if (slave < 0) {
        error = QStringLiteral("cannot open %1: %2").arg(path, qt_error_string(errno));
        return QString();
    }
    termios settings;
    tcgetattr(slave, &settings);
    cfmakeraw(&settings);
    cfsetispeed(&settings, B19200);
    cfsetospeed(&settings, B19200);
    tcsetattr(slave, TCSANOW, &settings);
    ::close(slave);

    readNotifier = std::make_unique<QSocketNotifier>(master, QSocketNotifier::Read);
    readNotifier->setEnabled(false);
    connect(readNotifier.get(), &QSocketNotifier::activated, this, &MeterSimulator::readCommands);
    writeNotifier = std::make_unique<QSocketNotifier>(master, QSocketNotifier::Write);
    writeNotifier->setEnabled(false);
    connect(writeNotifier.get(), &QSocketNotifier::activated, this, &MeterSimulator::flush);

    watchTimer.start();
    if (options.periodMs > 0)
        liveTimer.start(options.periodMs);
    if (options.unplugAfterMs > 0)
        QTimer::singleShot(options.unplugAfterMs, this, &MeterSimulator::unplug);
    return path;
}

bool MeterSimulator::clientPresent() const
{
    // The master reports a hang-up while no process holds the port side open.
    pollfd fd { master, POLLIN, 0 };
    if (::poll(&fd, 1, 0) < 0)
        return false;
    return !(fd.revents & POLLHUP);
}

void MeterSimulator::watchClient()
{
    const bool present = clientPresent();
    if (present == clientConnected)
        return;
    clientConnected = present;
    // While nobody listens the master is always "readable" (with an error): stop watching it.
    readNotifier->setEnabled(present);
    if (!present) {
        writeNotifier->setEnabled(false);
        outgoing.clear();
        incoming.clear();
    }
    print(present ? QStringLiteral("client: connected") : QStringLiteral("client: disconnected"));
}

QByteArray MeterSimulator::sequenceText(const SimOptions& options, int index)
{
    double value = 0.0;
    switch (options.sequence) {
    case SimOptions::Sequence::Steady:
        return options.text.leftJustified(5, ' ', true);
    case SimOptions::Sequence::Ramp:
        value = options.from + options.step * index;
        break;
    case SimOptions::Sequence::Sine:
        value = options.offset
            + options.amplitude * qSin(2.0 * M_PI * index / qMax(1, options.cycle));
        break;
    }
    return fieldText(value, options.decimals);
}

QByteArray MeterSimulator::damaged(QByteArray frame, QString* note)
{
    if (options.badChecksumRate > 0 && random.generateDouble() < options.badChecksumRate) {
        frame[19] = char(frame.at(19) ^ 0x5A);
        note->append(QStringLiteral(" bad-checksum"));
    }
    if (options.garbageRate > 0 && random.generateDouble() < options.garbageRate) {
        QByteArray garbage(1 + int(random.bounded(8)), '\0');
        for (char& c : garbage)
            c = char(random.bounded(256));
        frame.prepend(garbage);
        note->append(QStringLiteral(" garbage"));
    }
    return frame;
}

void MeterSimulator::sendLive()
{
    if (!clientConnected)
        return;
    if (options.liveCount > 0 && liveSent >= options.liveCount) {
        liveTimer.stop();
        return;
    }
    SimReading reading = options.reading;
    reading.text = sequenceText(options, liveSent);
    reading.record = 0;
    if (options.flipUnit != 0 && liveSent % 2 == 1)
        reading.unit = options.flipUnit;
    QString note;
    QByteArray frame = damaged(SimFrames::readingFrame(SimFrames::Live, reading), &note);
    ++liveSent;
    if (options.badChecksumFrom > 0 && liveSent >= options.badChecksumFrom
        && !note.contains(QLatin1String(" bad-checksum"))) {
        // The checksum is the frame's last two bytes, whatever garbage went in front of it.
        frame[frame.size() - 1] = char(frame.at(frame.size() - 1) ^ 0x5A);
        note.append(QStringLiteral(" bad-checksum"));
    }
    queue(frame);
    if (!options.quiet)
        print(QStringLiteral("live: %1 %2%3")
                  .arg(liveSent)
                  .arg(QString::fromLatin1(reading.text), note));
}

void MeterSimulator::sendStored(int first, int last)
{
    if (!clientConnected)
        return;
    for (int record = first; record <= last; ++record) {
        if (record == options.strayAtStored) {
            queue(options.strayBytes);
            print(QStringLiteral("stray: %1 before record %2")
                      .arg(QString::fromLatin1(options.strayBytes.toHex()))
                      .arg(record));
        }
        SimReading reading = options.reading;
        reading.record = record;
        reading.text = fieldText(record * 0.5, 2);
        QString note;
        queue(damaged(SimFrames::readingFrame(SimFrames::Stored, reading), &note));
    }
}

int MeterSimulator::unreadByClient() const
{
    // The bytes waiting in the terminal's input queue, seen through a descriptor of our own on
    // the port side (it shares the queue with the client's).
    const int slave = ::open(ptsname(master), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slave < 0)
        return 0;
    int waiting = 0;
    if (::ioctl(slave, FIONREAD, &waiting) != 0)
        waiting = 0;
    ::close(slave);
    return waiting;
}

void MeterSimulator::unplugWhenRead()
{
    // Pulled while the client is busy with what it has just read: once all is written and the
    // terminal's queue has begun to empty. (Written bytes reach that queue a little later, so a
    // queue that stays empty for a few looks means the client was quicker than us.)
    const int unread = clientConnected ? unreadByClient() : 0;
    const bool begunReading = peakUnread > 0 && unread < peakUnread;
    if (outgoing.isEmpty() && (begunReading || (unread == 0 && ++emptyLooks >= 10))) {
        unplug();
        return;
    }
    if (outgoing.isEmpty())
        peakUnread = qMax(peakUnread, unread);
    QTimer::singleShot(1, this, &MeterSimulator::unplugWhenRead);
}

void MeterSimulator::queue(const QByteArray& bytes)
{
    outgoing.append(bytes);
    flush();
}

void MeterSimulator::flush()
{
    while (!outgoing.isEmpty()) {
        const ssize_t written = ::write(master, outgoing.constData(), size_t(outgoing.size()));
        if (written > 0) {
            outgoing.remove(0, int(written));
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        break;
    }
    // A full terminal buffer: wait until the client has read some of it.
    writeNotifier->setEnabled(!outgoing.isEmpty() && clientConnected);
}

void MeterSimulator::readCommands()
{
    char chunk[256];
    for (;;) {
        const ssize_t count = ::read(master, chunk, sizeof chunk);
        if (count > 0) {
            incoming.append(chunk, int(count));
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno == EIO)
            watchClient(); // the client went away
        break;
    }
    QByteArray payload;
    for (;;) {
        const SimFrames::CommandResult result = SimFrames::takeCommand(incoming, payload);
        if (result == SimFrames::CommandResult::NeedMore)
            break;
        if (result == SimFrames::CommandResult::BadFrame)
            print(
                QStringLiteral("command: bad frame %1").arg(QString::fromLatin1(payload.toHex())));
        else
            handleCommand(payload);
    }
}

void MeterSimulator::handleCommand(const QByteArray& payload)
{
    if (payload == "12") {
        print(QStringLiteral("download: %1 stored frames").arg(options.stored));
        int last = options.stored;
        if (options.pauseAfterStored > 0 && options.pauseAfterStored < last)
            last = options.pauseAfterStored;
        if (options.unplugAfterStored > 0 && options.unplugAfterStored < last)
            last = options.unplugAfterStored;
        sendStored(1, last);
        if (options.unplugAfterStored > 0 && last == options.unplugAfterStored) {
            unplugWhenRead();
        } else if (last < options.stored) {
            print(QStringLiteral("pause: after %1").arg(last));
            QTimer::singleShot(options.pauseMs, this, [this, last] {
                print(QStringLiteral("resume: from %1").arg(last + 1));
                sendStored(last + 1, options.stored);
            });
        }
        return;
    }
    if (payload == "10") {
        print(QStringLiteral("command: 10"));
        return;
    }
    if (payload.size() == 7 && payload.at(0) == '0') {
        bool ok = true;
        const auto byte = [&payload](int i) { return uchar(payload.at(i)); };
        const int year = 2000 + fromBcd(byte(1), &ok);
        const QDate date(year, fromBcd(byte(2), &ok), fromBcd(byte(3), &ok));
        const QTime time(fromBcd(byte(4), &ok), fromBcd(byte(5), &ok), fromBcd(byte(6), &ok));
        if (ok && date.isValid() && time.isValid())
            print(QStringLiteral("clock: %1 %2")
                      .arg(date.toString(QStringLiteral("yyyy-MM-dd")),
                          time.toString(QStringLiteral("HH:mm:ss"))));
        else
            print(QStringLiteral("clock: invalid %1").arg(QString::fromLatin1(payload.toHex())));
        return;
    }
    print(QStringLiteral("command: unknown %1").arg(QString::fromLatin1(payload.toHex())));
}

void MeterSimulator::unplug()
{
    liveTimer.stop();
    watchTimer.stop();
    readNotifier.reset();
    writeNotifier.reset();
    if (master >= 0)
        ::close(master);
    master = -1;
    print(QStringLiteral("unplugged"));
    emit finished(0);
}

void MeterSimulator::print(const QString& line)
{
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
