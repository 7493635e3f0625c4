#include "metersimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

bool parseInt(const QCommandLineParser& parser, const QString& name, int low, int high, int* out)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int value = parser.value(name).toInt(&ok, 0);
    if (!ok || value < low || value > high) {
        std::fprintf(
            stderr, "metersim: --%s wants a number from %d to %d\n", qPrintable(name), low, high);
        return false;
    }
    *out = value;
    return true;
}

bool parseDouble(
    const QCommandLineParser& parser, const QString& name, double low, double high, double* out)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const double value = parser.value(name).toDouble(&ok);
    if (!ok || value < low || value > high) {
        std::fprintf(
            stderr, "metersim: --%s wants a number from %g to %g\n", qPrintable(name), low, high);
        return false;
    }
    *out = value;
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("metersim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays the vibration meter on a pseudo-terminal and prints its path."));
    parser.addHelpOption();
    const auto option = [&parser](const QString& name, const QString& help, const QString& value) {
        parser.addOption(QCommandLineOption(name, help, value));
    };
    option("period", "Milliseconds between live frames; 0 sends none (default 100).", "ms");
    option("live-count", "Stop after this many live frames; 0 for no limit (default 0).", "n");
    option("sequence", "Live values: steady, ramp or sine (default steady).", "kind");
    option("text", "Value text of the steady sequence, five characters (default 12.34).", "text");
    option("from", "First value of the ramp (default 0).", "value");
    option("step", "Step of the ramp per frame (default 0.01).", "value");
    option("amplitude", "Amplitude of the sine (default 5).", "value");
    option("offset", "Offset of the sine (default 0).", "value");
    option("cycle", "Frames per sine period (default 50).", "n");
    option("decimals", "Decimals of ramp and sine values (default 2).", "n");
    option("unit", "Unit code: 1 m/S2, 2 cm/s, 4 mm (default 2).", "code");
    option("detection", "Detection code: 1 Ap, 2 Dp-p, 4 Vrms (default 4).", "code");
    option("band", "Band code: 1 10-10kHz, 2 10-1kHz, 4 10-500Hz (default 2).", "code");
    option("battery", "Battery bits: 1, 2, 4 or 8 (default 8, full).", "bits");
    option("status", "Status nibble (default 0).", "bits");
    option("stored", "Stored frames sent in answer to \"12\" (default 10).", "n");
    option(
        "garbage", "Share of frames preceded by 1 to 8 garbage bytes, 0 to 1 (default 0).", "rate");
    option(
        "bad-checksum", "Share of frames sent with a wrong checksum, 0 to 1 (default 0).", "rate");
    option("unplug-after", "Close the terminal and exit after this many ms; 0 never (default 0).",
        "ms");
    option("flip-unit", "Every second live frame carries this unit code (default none).", "code");
    option("bad-checksum-from", "Live frames from this number on have a wrong checksum.", "n");
    option("pause-after", "A download pauses after this record (default none).", "n");
    option("pause-ms", "Length of that pause in ms (default 500).", "ms");
    option("stray-at", "Stray bytes go out before this stored record (default none).", "n");
    option("stray", "The stray bytes, in hexadecimal (default abcdff01).", "hex");
    option("unplug-after-stored",
        "Close the terminal and exit once the client has read this stored record.", "n");
    option("seed", "Seed of the garbage and checksum faults (default 1).", "n");
    parser.addOption(QCommandLineOption("quiet", "Do not print a line per live frame."));
    parser.process(app);

    SimOptions options;
    const QString sequence = parser.value("sequence");
    if (sequence == "ramp")
        options.sequence = SimOptions::Sequence::Ramp;
    else if (sequence == "sine")
        options.sequence = SimOptions::Sequence::Sine;
    else if (!sequence.isEmpty() && sequence != "steady") {
        std::fprintf(stderr, "metersim: --sequence wants steady, ramp or sine\n");
        return 2;
    }
    if (parser.isSet("text"))
        options.text = parser.value("text").toLatin1();
    options.strayBytes = QByteArray::fromHex("abcdff01");
    if (parser.isSet("stray")) {
        const QByteArray hex = parser.value("stray").toLatin1();
        options.strayBytes = QByteArray::fromHex(hex);
        if (options.strayBytes.isEmpty() || options.strayBytes.toHex() != hex.toLower()) {
            std::fprintf(stderr, "metersim: --stray wants bytes in hexadecimal\n");
            return 2;
        }
    }
    int seed = int(options.seed);
    const bool ok = parseInt(parser, "period", 0, 3600000, &options.periodMs)
        && parseInt(parser, "live-count", 0, 100000000, &options.liveCount)
        && parseDouble(parser, "from", -1e9, 1e9, &options.from)
        && parseDouble(parser, "step", -1e9, 1e9, &options.step)
        && parseDouble(parser, "amplitude", -1e9, 1e9, &options.amplitude)
        && parseDouble(parser, "offset", -1e9, 1e9, &options.offset)
        && parseInt(parser, "cycle", 1, 1000000, &options.cycle)
        && parseInt(parser, "decimals", 0, 4, &options.decimals)
        && parseInt(parser, "unit", 0, 255, &options.reading.unit)
        && parseInt(parser, "detection", 0, 255, &options.reading.detection)
        && parseInt(parser, "band", 0, 255, &options.reading.band)
        && parseInt(parser, "battery", 0, 255, &options.reading.batteryBits)
        && parseInt(parser, "status", 0, 255, &options.reading.status)
        && parseInt(parser, "stored", 0, 9999, &options.stored)
        && parseDouble(parser, "garbage", 0, 1, &options.garbageRate)
        && parseDouble(parser, "bad-checksum", 0, 1, &options.badChecksumRate)
        && parseInt(parser, "unplug-after", 0, 86400000, &options.unplugAfterMs)
        && parseInt(parser, "flip-unit", 0, 255, &options.flipUnit)
        && parseInt(parser, "bad-checksum-from", 0, 100000000, &options.badChecksumFrom)
        && parseInt(parser, "pause-after", 0, 9999, &options.pauseAfterStored)
        && parseInt(parser, "pause-ms", 0, 3600000, &options.pauseMs)
        && parseInt(parser, "stray-at", 0, 9999, &options.strayAtStored)
        && parseInt(parser, "unplug-after-stored", 0, 9999, &options.unplugAfterStored)
        && parseInt(parser, "seed", 0, 2147483647, &seed);
    if (!ok)
        return 2;
    options.seed = quint32(seed);
    options.quiet = parser.isSet("quiet");

    MeterSimulator simulator(options);
    QObject::connect(&simulator, &MeterSimulator::finished, &app, &QCoreApplication::exit);
    const QString path = simulator.start();
    if (path.isEmpty()) {
        std::fprintf(stderr, "metersim: %s\n", qPrintable(simulator.errorText()));
        return 1;
    }
    std::printf("port: %s\n", qPrintable(path));
    std::fflush(stdout);
    return app.exec();
}
