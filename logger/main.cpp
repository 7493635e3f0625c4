#include "framecodec.h"
#include "logger.h"
#include "loggeroptions.h"
#include "signalwatcher.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    // A daemon that waits on a handful of descriptors: Qt's own event loop does less per wake-up
    // than the GLib one, which also wakes itself whenever a descriptor is watched or left alone.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    FrameCodec::pinTimeZone();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vibview-logger"));

    LoggerOptions options;
    QString message;
    switch (LoggerOptions::parse(QCoreApplication::arguments(), &options, &message)) {
    case LoggerOptions::Help:
        std::fputs(message.toLocal8Bit().constData(), stdout);
        return Logger::Clean;
    case LoggerOptions::Bad:
        std::fprintf(stderr, "vibview-logger: %s\nTry \"vibview-logger --help\".\n",
            message.toLocal8Bit().constData());
        return Logger::BadArguments;
    case LoggerOptions::Run:
        break;
    }

    // In place before anything is opened: a stop asked for while starting waits in its pipe.
    SignalWatcher watcher;
    Logger logger(options);
    const int code = logger.start();
    if (code != Logger::Clean)
        return code;
    QObject::connect(&watcher, &SignalWatcher::signalled, &logger, [&logger] { logger.stop(); });
    QObject::connect(&logger, &Logger::finished, &app, &QCoreApplication::exit);
    return QCoreApplication::exec();
}
