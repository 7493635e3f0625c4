#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

// Answers modal dialogs and pop-up menus from a timer, so a test can trigger an action that runs
// a nested event loop (QDialog::exec, QMessageBox, QInputDialog, QMenu::exec) without blocking.
// Answers are queued; each one is used for the next dialog or menu that appears.
class ModalDriver : public QObject
{
    Q_OBJECT

public:
    // What a handled dialog or menu showed.
    struct Seen
    {
        QString className;
        QString text; // message text, input label, or window title
        QString informativeText; // message boxes only
        QString value; // input dialogs: the proposed text
        QStringList actions; // menus: texts of the actions, separators left out
    };

    using Handler = std::function<void(QWidget*)>;

    explicit ModalDriver(QObject* parent = nullptr);
    ~ModalDriver() override;

    void expect(Handler handler);
    // Common answers.
    void acceptInput(const QString& text); // QInputDialog: types text and presses OK
    void rejectDialog(); // any dialog: Escape
    void acceptDialog(); // any dialog: accept()
    void clickButton(QMessageBox::StandardButton button); // QMessageBox
    void closeMenu(); // QMenu: closes it without choosing

    int pending() const { return handlers.size(); }
    // Drops the answers not used yet (for example when no dialog was expected to appear).
    void clearAnswers() { handlers.clear(); }
    // Waits until every queued answer has been used; false on timeout.
    bool waitAllAnswered(int timeoutMs = 5000);

    QList<Seen> seen() const { return handled; }
    Seen last() const { return handled.isEmpty() ? Seen() : handled.last(); }
    void clearSeen() { handled.clear(); }

    static Seen describe(QWidget* widget);

private:
    void poll();

    QTimer timer;
    QList<Handler> handlers;
    QList<Seen> handled;
    QPointer<QWidget> lastWidget;
};
