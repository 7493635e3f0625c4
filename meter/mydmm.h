#pragma once

#include "framecodec.h"
#include "hiddeviceinfo.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QString>

class DmmData;
class QTimer;
class USBPNPDetector;

// The single connection to the meter: finds and opens its serial port, frames and decodes what
// arrives, throttles live readings to the sampling interval and sends the meter's commands.
class MyDmm : public QObject
{
    Q_OBJECT

public:
    explicit MyDmm(QObject* parent = nullptr);
    ~MyDmm() override;

    // While it holds a port name or path, open() uses that port instead of searching by USB ids.
    static void setPortOverride(const QString& port);
    static QString portOverride();

    static constexpr quint16 VendorId = 6790; // 0x1A86
    static constexpr quint16 ProductId = 29987; // 0x7523
    // A meter that sends nothing but damaged frames for this long is worth a message.
    static constexpr int DamagedOnlyMs = 5000;

    bool sendFrame(QByteArray payload);
    bool isOpened() const { return linkOpen; }
    // Name of the open port as QSerialPort::portName gives it; empty while closed.
    QString portName() const;

    int sampleRate() const { return sampling.sampleRate; }
    void setSampleRate(int ms);
    int samplePoints() const { return sampling.samplePoints; }
    void setSamplePoints(int points) { sampling.samplePoints = points; }
    bool infinite() const { return sampling.infinite; }
    void setInfinite(bool on) { sampling.infinite = on; }
    bool skipRepeat() const { return sampling.skipRepeat; }
    void setSkipRepeat(bool on) { sampling.skipRepeat = on; }
    // How readings carry their time (local by default).
    void setStamp(FrameCodec::Stamp stamp) { timeStamp = stamp; }

    // Download counters: both reset when a download starts; the count grows with each stored
    // reading.
    int downloadTotal() const { return storeTotal; }
    int downloadCount() const { return storeCount; }

    // Frames dropped as damaged (a wrong checksum or length) since the link last opened.
    int damagedFrames() const { return damagedCount; }

public slots:
    virtual bool open();
    virtual void close();
    virtual void syncTime(const QDateTime& dt);
    virtual bool sendCommand10();
    virtual void downloadStore();
    virtual void handleFrame(const QByteArray& frame);

    void portReadyRead();
    void slotSerialDevRead(QByteArray data);
    void slotUSBRemoved(HIDDeviceInfo info);
    // A serial port appeared; passed on as deviceArrived, so that a reconnect can follow.
    void slotUSBArrived(HIDDeviceInfo info);

signals:
    void opened();
    void closed();
    void message(QString msg);
    void display(const DmmData* data);
    void displayStore(const DmmData* data);
    void storeNum(int total, int num);
    // The link closed by itself (its port was removed or failed), after closed().
    void connectionLost();
    // A serial port arrived (any port: the receiver decides whether it is the meter).
    void deviceArrived(HIDDeviceInfo info);
    // The count of damaged frames changed (it grows, and returns to 0 when the link opens).
    void damagedFramesChanged(int count);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    class PortUse;

    void portError(QSerialPort::SerialPortError error);
    void closeLost();
    void startSampleTimer();
    void stopSampleTimer();
    void resetLine();
    void noteDamaged(int count);
    void damagedOnlyTimeout();

    QByteArray receiveBuffer;
    QByteArray lastFrame;
    QString lastUnitText;
    FrameCodec::Stamp timeStamp = FrameCodec::Stamp::LocalTime;
    int storeTotal = 0;
    int storeCount = 0;
    int timerId = 0;
    bool sampleTick = true;
    struct Sampling
    {
        bool skipRepeat = false;
        int sampleRate = 1000;
        int samplePoints = 1000;
        bool infinite = true;
    } sampling;
    QSerialPort* port = nullptr;
    bool linkOpen = false;
    USBPNPDetector* detector = nullptr;
    // Calls into the port (its signals, reads, writes) under way; a port closed meanwhile is
    // kept in retiredPorts until the outermost one has returned.
    int portDepth = 0;
    QList<QSerialPort*> retiredPorts;
    int damagedCount = 0;
    // Runs from the first damaged frame after a good one; a good frame stops it.
    QTimer* damagedOnly = nullptr;
    bool damagedReported = false;
};
