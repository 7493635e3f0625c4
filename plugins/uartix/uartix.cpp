#include "uartix.h"

#include "readthread.h"
#include "usbnotification.h"

#include <QApplication>
#include <QDebug>
#include <QPointer>

namespace {

// Buffers the library fills with a zero-terminated string, by string option.
constexpr int SerialBufferSize = 260;
constexpr int PathBufferSize = 512;

QString fromBuffer(const QByteArray& buffer)
{
    // Bounded by the buffer in case the library does not terminate the string.
    return QString::fromLocal8Bit(
        buffer.constData(), int(qstrnlen(buffer.constData(), uint(buffer.size()))));
}

} // namespace

Uartix::Uartix(QObject* parent)
    : SerialDev(parent)
{ }

Uartix::~Uartix()
{
    // Close first so that no reader thread outlives the object it posts to.
    close();
    closeUnclosed();
    delete notification;
    clearDevices();
}

void Uartix::init(const QString& libraryFile)
{
    // The open handle belongs to the binding about to be replaced, and so do handles that failed
    // to close: the new binding could not close them.
    close();
    closeUnclosed();
    unclosed.clear();

    this->libraryFile = libraryFile;
    delete notification;
    notification = nullptr;

    library.load(libraryFile);
    refreshDevices();

    // The notification window is a widget; a host without QApplication gets no hot-plug news.
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        notification = new USBNotification(this);
        notification->hide();
        QObject::connect(notification, SIGNAL(removed()), this, SLOT(slotUsbRemoved()));
        QObject::connect(notification, SIGNAL(arrival()), this, SLOT(slotUsbArrival()));
    }
}

bool Uartix::refreshDevices()
{
    if (isOpened())
        return false;

    clearDevices();
    if (!library.isBound())
        return false;

    HidUart::Dword count = 0;
    if (library.GetNumDevices(&count, BridgeVid, BridgePid) != HidUart::Success)
        return false;
    count = qMin(count, MaxDevices);

    for (HidUart::Dword number = 0; number < count; ++number) {
        QByteArray serial(SerialBufferSize, '\0');
        QByteArray path(PathBufferSize, '\0');
        library.GetString(
            number, BridgeVid, BridgePid, serial.data(), HidUartLibrary::SerialString);
        library.GetString(number, BridgeVid, BridgePid, path.data(), HidUartLibrary::PathString);

        auto entry = new DeviceEntry;
        entry->index = int(number);
        entry->serial = fromBuffer(serial);
        entry->path = fromBuffer(path);
        if (entry->serial.isEmpty() || entry->path.isEmpty()) {
            delete entry;
            continue;
        }
        devices.append(entry);
    }
    currentDevice = devices.value(0, nullptr);

    emit usbRefreshed(devices.size());
    return true;
}

int Uartix::deviceCount()
{
    return devices.size();
}

void Uartix::setUartConfig(
    const int& baudRate, const uchar& dataBits, const uchar& stopBits, const uchar& parity)
{
    this->baudRate = baudRate;
    this->dataBits = dataBits;
    this->stopBits = stopBits;
    this->parity = parity;
}

bool Uartix::open()
{
    if (isOpened() || devices.isEmpty() || !library.isBound())
        return false;

    closeUnclosed();
    DeviceEntry* entry = devices.first();
    HidUart::Device handle = nullptr;
    if (library.Open(&handle, HidUart::Dword(entry->index), entry->vid, entry->pid)
            != HidUart::Success
        || !handle)
        return false;

    // A device that refuses its line settings would deliver garbage, or block the host's thread.
    const bool configured = library.SetUartConfig(handle, HidUart::Dword(baudRate), dataBits,
                                parity, stopBits, flowControl)
            == HidUart::Success
        && library.SetTimeouts(handle, 0, 500) == HidUart::Success // never block on a read
        && library.FlushBuffers(handle, 1, 1) == HidUart::Success;
    if (!configured) {
        closeHandle(handle);
        return false;
    }
    device = handle;
    // A device reopened without a new enumeration must still be recognised when it is unplugged.
    currentDevice = entry;

    readThread = new ReadThread(this);
    if (!readThread->isRunning())
        readThread->start();

    setOpened(true);
    emit opened();
    return true;
}

void Uartix::close()
{
    const bool wasOpen = isOpened();
    if (wasOpen && device) {
        closeHandle(device);
        device = nullptr;
    }
    currentDevice = nullptr;
    stopReadThread();

    if (wasOpen) {
        setOpened(false);
        emit closed();
    }
}

void Uartix::closeHandle(HidUart::Device handle)
{
    if (library.Close(handle) != HidUart::Success)
        unclosed.append(handle);
}

void Uartix::closeUnclosed()
{
    if (!library.isBound())
        return;
    const QList<HidUart::Device> handles = unclosed;
    unclosed.clear();
    for (HidUart::Device handle : handles)
        closeHandle(handle);
}

void Uartix::stopReadThread()
{
    if (!readThread)
        return;
    readThread->requestStop();
    if (readThread->wait(3000)) {
        delete readThread;
    } else {
        qDebug() << "Failed to stop the ThreadTask.";
        // It no longer touches this object; let it delete itself once it has wound down, since
        // destroying a running thread ends the process.
        QObject::connect(readThread, &QThread::finished, readThread, &QObject::deleteLater);
        if (readThread->isFinished())
            delete readThread;
    }
    readThread = nullptr;
}

int Uartix::write(const QByteArray& data)
{
    if (!isOpened() || !device)
        return NotOpenStatus;
    QByteArray bytes = data; // the library takes a non-const buffer
    HidUart::Dword written = 0;
    return library.Write(device, reinterpret_cast<HidUart::Byte*>(bytes.data()),
        HidUart::Dword(bytes.size()), &written);
}

void Uartix::readData()
{
    // A receiver of read() that spins an event loop lets the next queued request in while the
    // last chunk is being delivered; skipping that poll leaves the bytes in the library for the
    // next one, in order.
    if (!device || delivering)
        return;

    QByteArray chunk(ReadChunk, '\0');
    HidUart::Dword count = 0;
    // With a 0 ms time-out a short read comes with the time-out status: that is no failure.
    const HidUart::Status status
        = library.Read(device, reinterpret_cast<HidUart::Byte*>(chunk.data()), ReadChunk, &count);
    const bool failed = status != HidUart::Success && status != HidUart::ReadTimedOut;
    if (count > 0) {
        chunk.truncate(int(qMin<HidUart::Dword>(count, ReadChunk)));
        {
            QMutexLocker locker(&readLock);
            readBuffer = chunk;
        }
        // Emitted with no lock held, and nothing of this object touched after it unless it
        // still exists: a receiver may delete it.
        const QPointer<Uartix> alive(this);
        delivering = true;
        emit read(chunk);
        if (!alive)
            return;
        delivering = false;
    }
    // A device that fails to read is gone or broken: polled on, it would fail ten times a second
    // for ever, and the host would never learn that it closed.
    if (failed)
        close();
}

bool Uartix::isOpened() const
{
    return openedFlag;
}

bool Uartix::connectSignal(
    const char* signal, const QObject* receiver, const char* method, bool connect)
{
    if (connect)
        return bool(QObject::connect(this, signal, receiver, method));
    return QObject::disconnect(this, signal, receiver, method);
}

void Uartix::slotUsbRemoved()
{
    close();
    emit removed();
}

void Uartix::slotUsbArrival()
{
    emit arrival();
}

void Uartix::clearDevices()
{
    currentDevice = nullptr;
    qDeleteAll(devices);
    devices.clear();
}
