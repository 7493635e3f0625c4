// vibview with the meter simulator attached: starts metersim on a pseudo-terminal, points the
// meter link at it and shows the same window as vibview. Arguments go to metersim unchanged.

#include "framecodec.h"
#include "mydmm.h"
#include "widget.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QTextStream>

namespace {

QString metersimProgram()
{
    const QString beside
        = QDir(QCoreApplication::applicationDirPath()).filePath("../tools/metersim/metersim");
    if (QFileInfo(beside).isExecutable())
        return QFileInfo(beside).canonicalFilePath();
#ifdef METERSIM_PATH
    return QStringLiteral(METERSIM_PATH);
#else
    return QString();
#endif
}

} // namespace

int main(int argc, char* argv[])
{
    FrameCodec::pinTimeZone();
    QApplication app(argc, argv);

    QStringList simArguments = app.arguments().mid(1);
    if (simArguments.isEmpty())
        // A machine in good order whose vibration wanders: 1.5 to 5.5 mm/s RMS, so that grading
        // and alarm levels have something to show.
        simArguments = QStringList { "--sequence", "sine", "--offset", "0.35", "--amplitude", "0.2",
            "--cycle", "120", "--period", "250", "--quiet" };

    QProcess sim;
    sim.setProcessChannelMode(QProcess::SeparateChannels);
    sim.setReadChannel(QProcess::StandardOutput);
    sim.start(metersimProgram(), simArguments);
    QString port;
    if (sim.waitForStarted(5000)) {
        while (port.isEmpty() && sim.waitForReadyRead(5000)) {
            while (sim.canReadLine()) {
                const QString line = QString::fromLocal8Bit(sim.readLine()).trimmed();
                if (line.startsWith("port: ")) {
                    port = line.mid(6);
                    break;
                }
            }
        }
    }
    if (port.isEmpty()) {
        QTextStream(stderr) << "vibview-demo: the meter simulator did not start: "
                            << sim.errorString() << '\n'
                            << QString::fromLocal8Bit(sim.readAllStandardError());
        QMessageBox::critical(nullptr, QString(), "The meter simulator could not be started.");
        return 1;
    }
    QTextStream(stdout) << "meter simulator on " << port << '\n';

    // Pass on what the simulator reports (clock commands, downloads) as it happens.
    QObject::connect(&sim, &QProcess::readyReadStandardOutput, &sim, [&sim] {
        QTextStream out(stdout);
        out << sim.readAllStandardOutput();
        out.flush();
    });

    MyDmm::setPortOverride(port);
    int result = 0;
    {
        Widget w;
        w.show();
        result = app.exec();
    }
    sim.terminate();
    if (!sim.waitForFinished(2000))
        sim.kill();
    return result;
}
