#include "openfailure.h"

#include "mydmm.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace OpenFailure {

namespace {

    QString tr(const char* text)
    {
        return QCoreApplication::translate("Widget", text);
    }

    QString meterPortPath(const QString& portOverride)
    {
        if (!portOverride.isEmpty()) {
            if (QDir::isAbsolutePath(portOverride))
                return portOverride;
            return QSerialPortInfo(portOverride).systemLocation();
        }
        const auto ports = QSerialPortInfo::availablePorts();
        for (const QSerialPortInfo& info : ports) {
            if (info.hasVendorIdentifier() && info.hasProductIdentifier()
                && info.vendorIdentifier() == MyDmm::VendorId
                && info.productIdentifier() == MyDmm::ProductId)
                return info.systemLocation();
        }
        return QString();
    }

} // namespace

Reason classify(const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return Reason::NoPort;
    if (!info.isReadable() || !info.isWritable())
        return Reason::PermissionDenied;
    return Reason::Busy;
}

QString text(Reason reason, const QString& path)
{
    switch (reason) {
    case Reason::NoPort:
        return tr("No meter port was found. Check that the meter is connected with its USB cable "
                  "and switched on.");
    case Reason::PermissionDenied: {
        const QString group = QFileInfo(path).group();
        if (group.isEmpty())
            return tr("Permission denied on %1.").arg(QDir::toNativeSeparators(path));
        return tr("Permission denied on %1. Join the group \"%2\" that owns it, then log in again.")
            .arg(QDir::toNativeSeparators(path), group);
    }
    case Reason::Busy:
        return tr("%1 is busy: another program is using it.").arg(QDir::toNativeSeparators(path));
    }
    return QString();
}

QString describe(const QString& portOverride)
{
    const QString path = meterPortPath(portOverride);
    return text(classify(path), path);
}

} // namespace OpenFailure
