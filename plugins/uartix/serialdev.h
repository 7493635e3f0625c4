#ifndef SERIALDEV_H
#define SERIALDEV_H

#include <QByteArray>
#include <QObject>

class ReadThread;

// A byte-stream device whose received bytes are pulled by a pacing thread.
class SerialDev : public QObject
{
    Q_OBJECT

public:
    explicit SerialDev(QObject* parent = nullptr);

    virtual bool open() = 0;
    virtual void close() = 0;
    virtual int write(const QByteArray& data) = 0;
    // Reads one chunk; the reader thread invokes it on the object's thread.
    Q_INVOKABLE virtual void readData() = 0;
    virtual bool isOpened() const = 0;
    virtual void setOpened(bool opened);

signals:
    void opened();
    void closed();
    void read(QByteArray data);

protected:
    bool openedFlag = false;
    ReadThread* readThread = nullptr;
};

#endif // SERIALDEV_H
