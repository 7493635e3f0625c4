#include "sessioncommands.h"

#include "csvimport.h"
#include "itemdata.h"
#include "itemjournal.h"
#include "itemtree.h"
#include "journal.h"
#include "recorder.h"
#include "sessionreader.h"
#include "sessionsaver.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include <algorithm>

namespace {

const QString sessionFilter = QStringLiteral("vibview session (*.vibview)");

QString programName()
{
    return QStringLiteral("vibview");
}

// Session files are SQLite files, which begin with this; anything else is read as CSV.
bool looksLikeSession(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) && file.read(16) == QByteArray("SQLite format 3", 16);
}

// The wait cursor while a whole session is read or written.
struct Busy
{
    Busy() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~Busy() { QApplication::restoreOverrideCursor(); }
};

} // namespace

SessionCommands::SessionCommands(
    QWidget* window, ItemTree* tree, Recorder* recorder, QObject* parent)
    : QObject(parent)
    , window(window)
    , tree(tree)
    , recorder(recorder)
    , sessionJournal(new Journal(programName()))
    , asker(&SessionCommands::askWithDialog)
{
    itemJournal = std::make_unique<ItemJournal>(tree, recorder, sessionJournal.get());
    if (window)
        window->installEventFilter(this);
    connect(sessionJournal.get(), &Journal::ready, this, &SessionCommands::journalReady);
    connect(sessionJournal.get(), &Journal::failed, this, [this](const QString& reason) {
        emit problem(tr("The recording journal %1 cannot be written: %2. Recording goes on in "
                        "memory only; save the session to keep its readings.")
                         .arg(QDir::toNativeSeparators(Journal::filePath()), reason));
    });
    connect(sessionJournal.get(), &Journal::recovered, this, [this](const QString& movedTo) {
        emit problem(tr("The recording journal was damaged. It was moved aside to %1 and a new "
                        "journal was started.")
                         .arg(QDir::toNativeSeparators(movedTo)));
    });
}

SessionCommands::~SessionCommands()
{
    itemJournal.reset();
    sessionJournal.reset();
}

void SessionCommands::start()
{
    sessionJournal->start();
}

bool SessionCommands::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window && event->type() == QEvent::Close)
        sessionJournal->endSession();
    return QObject::eventFilter(watched, event);
}

void SessionCommands::setFileNameAsker(FileNameAsker asker)
{
    this->asker = asker ? std::move(asker) : FileNameAsker(&SessionCommands::askWithDialog);
}

QString SessionCommands::askWithDialog(
    QWidget* parent, const QString& caption, const QString& filter, bool saving)
{
    return saving ? QFileDialog::getSaveFileName(parent, caption, QString(), filter)
                  : QFileDialog::getOpenFileName(parent, caption, QString(), filter);
}

QString SessionCommands::askFileName(const QString& caption, const QString& filter, bool saving)
{
    return asker(window, caption, filter, saving);
}

void SessionCommands::warn(const QString& text)
{
    QMessageBox::warning(window, QString(), text, QMessageBox::Ok);
}

void SessionCommands::journalReady(const PendingSession& found)
{
    pending = found;
    if (pending.isEmpty())
        return;
    emit restoreOffered(
        tr("The last session ended with %1 readings in %2 items that were not saved.")
            .arg(pending.readings)
            .arg(pending.items));
}

void SessionCommands::restore()
{
    if (pending.isEmpty())
        return;
    QString error;
    const Busy busy;
    if (!itemJournal->restore(pending.session, &error)) {
        emit problem(tr("The last session could not be restored: %1.").arg(error));
        return;
    }
    emit message(tr("%1 readings in %2 items of the last session were restored.")
                     .arg(pending.readings)
                     .arg(pending.items));
    pending = PendingSession();
    emit itemsAdded();
}

void SessionCommands::discard()
{
    if (pending.isEmpty())
        return;
    itemJournal->discard(pending.session);
    pending = PendingSession();
}

void SessionCommands::markSaved(const QList<const ItemData*>& items)
{
    for (const ItemData* item : items)
        itemJournal->markSaved(item);
}

bool SessionCommands::saveTo(const QString& fileName, QString* error)
{
    QList<ItemData*> items = tree->liveItems();
    ItemData* store = tree->storeItem();
    if (store && store->readingCount() > 0)
        items << store;

    SessionSaver saver(fileName);
    SessionWriter* writer = saver.open();
    if (!writer) {
        *error = saver.errorString();
        return false;
    }
    const QDateTime now = QDateTime::currentDateTime();
    const qint64 session = writer->beginSession(now, programName());
    bool written = session != 0;
    int position = 0;
    for (const ItemData* item : qAsConst(items)) {
        if (!written)
            break;
        ItemRecord record;
        record.name = item->name();
        record.type = item->type();
        record.unit = item->unitText();
        record.properties = item->properties().toJson();
        record.saved = true;
        const qint64 id = writer->addItem(session, record, ++position);
        written = id != 0;
        for (const DmmData* reading : item->readings()) {
            if (!written)
                break;
            written = writer->appendReading(id, ReadingRecord::of(*reading));
        }
    }
    written = written && writer->endSession(session, now);
    if (!written) {
        *error = writer->errorString();
        return false;
    }
    if (!saver.commit()) {
        *error = saver.errorString();
        return false;
    }
    for (const ItemData* item : qAsConst(items))
        itemJournal->markSaved(item);
    return true;
}

bool SessionCommands::importFrom(const QString& fileName, bool sessionsOnly, QString* error)
{
    std::vector<LoadedItem> loaded;
    if (looksLikeSession(fileName)) {
        SessionReader reader;
        if (!reader.open(fileName) || !reader.readAll(&loaded)) {
            *error = reader.errorString();
            return false;
        }
        // The meter's memory comes back as a live item; an empty one is nothing to add.
        loaded.erase(std::remove_if(loaded.begin(), loaded.end(),
                         [](const LoadedItem& item) {
                             return item.record.type == ItemRecord::StoreData
                                 && item.readings.empty();
                         }),
            loaded.end());
    } else if (sessionsOnly) {
        *error = QFileInfo(fileName).exists() ? tr("it is not a vibview session")
                                              : tr("it does not exist");
        return false;
    } else {
        LoadedItem item;
        if (!CsvImport::read(fileName, &item, error))
            return false;
        loaded.push_back(std::move(item));
    }
    int readings = 0;
    for (LoadedItem& item : loaded) {
        readings += int(item.readings.size());
        itemJournal->addLoaded(std::move(item));
    }
    emit message(tr("%1 readings in %2 items were added from %3.")
                     .arg(readings)
                     .arg(loaded.size())
                     .arg(QDir::toNativeSeparators(fileName)));
    emit itemsAdded();
    return true;
}

void SessionCommands::saveSession()
{
    QString fileName = askFileName(tr("Save the session."), sessionFilter, true);
    if (fileName.isEmpty())
        return;
    const QFileInfo chosen(fileName);
    if (chosen.suffix().isEmpty() && !chosen.exists())
        fileName += QStringLiteral(".vibview");
    QString error;
    bool saved = false;
    {
        const Busy busy;
        saved = saveTo(fileName, &error);
    }
    if (!saved) {
        warn(tr("The session could not be saved to %1: %2.")
                 .arg(QDir::toNativeSeparators(fileName), error));
        return;
    }
    emit message(tr("The session was saved to %1.").arg(QDir::toNativeSeparators(fileName)));
}

void SessionCommands::openSession()
{
    const QString fileName = askFileName(tr("Open a session."), sessionFilter, false);
    if (fileName.isEmpty())
        return;
    QString error;
    bool added = false;
    {
        const Busy busy;
        added = importFrom(fileName, true, &error);
    }
    if (!added)
        warn(tr("The session %1 cannot be opened: %2.")
                 .arg(QDir::toNativeSeparators(fileName), error));
}

void SessionCommands::importFile()
{
    const QString fileName = askFileName(tr("Import a session or a CSV file."),
        tr("vibview session or CSV file (*.vibview *.csv);;All files (*)"), false);
    if (fileName.isEmpty())
        return;
    QString error;
    bool added = false;
    {
        const Busy busy;
        added = importFrom(fileName, false, &error);
    }
    if (!added)
        warn(tr("The file %1 cannot be imported: %2.")
                 .arg(QDir::toNativeSeparators(fileName), error));
}
