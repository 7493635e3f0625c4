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
    const DeviceKind kind = deviceKind(path);
    if (kind == DeviceKind::Other)
        return Reason::NotSerialPort;
    if (kind != DeviceKind::Held && (!info.isReadable() || !info.isWritable()))
        return Reason::PermissionDenied;
    return Reason::Busy;
}

bool accessRuleInstalled()
{
    // Every folder udev reads rules from; the package installs below /usr, a local install below
    // /usr/local, an administrator may copy it to /etc.
    for (const char* folder : { "/etc/udev/rules.d", "/run/udev/rules.d",
             "/usr/local/lib/udev/rules.d", "/usr/lib/udev/rules.d", "/lib/udev/rules.d" }) {
        if (QFileInfo::exists(QLatin1String(folder) + QLatin1String("/60-vibview-meter.rules")))
            return true;
    }
    return false;
}

QString text(Reason reason, const QString& path)
{
    return text(reason, path, accessRuleInstalled());
}

QString text(Reason reason, const QString& path, bool ruleInstalled)
{
    switch (reason) {
    case Reason::NoPort:
        return tr("No meter port was found. Check that the meter is connected with its USB cable "
                  "and switched on.");
    case Reason::PermissionDenied: {
        // The rule grants access when the adapter appears, so one installed while the meter was
        // plugged in takes effect at the next plug-in; without it, group membership is the way.
        const QString rule = ruleInstalled
            ? tr("vibview's device rule gives the user logged in at this computer access to the "
                 "meter: unplug the meter and plug it in again so that the rule applies.")
            : tr("Installing the vibview package gives the user logged in at this computer access "
                 "to the meter.");
        const QString group = QFileInfo(path).group();
        if (group.isEmpty())
            return tr("Permission denied on %1.").arg(QDir::toNativeSeparators(path)) + ' ' + rule;
        return tr("Permission denied on %1.").arg(QDir::toNativeSeparators(path)) + ' ' + rule + ' '
            + tr("Or join the group \"%1\" that owns the port, then log in again.").arg(group);
    }
    case Reason::Busy:
        return tr("%1 is busy: another program is using it.").arg(QDir::toNativeSeparators(path));
    case Reason::NotSerialPort:
        return tr("%1 is not a serial port, so no meter can be reached through it.")
            .arg(QDir::toNativeSeparators(path));
    }
    return QString();
}

QString describe(const QString& portOverride)
{
    const QString path = meterPortPath(portOverride);
    return text(classify(path), path);
}

} // namespace OpenFailure
