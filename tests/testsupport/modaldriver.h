#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>

// Answers modal dialogs and pop-up menus, so a test can trigger an action that runs a nested
// event loop (QDialog::exec, QMessageBox, QInputDialog, QMenu::exec) without blocking.
// Answers are queued; each one is used for the next dialog or menu that is shown, from inside
// that dialog's own event loop. An answered dialog that is still open a second later fails the
// running test at once and is closed, so that the test ends instead of hanging.
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

    // How long an answered dialog may stay on screen before the test fails.
    static constexpr int StuckMs = 1000;

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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void scheduleAnswer();
    void answerWaiting();
    void failIfStillOpen(const QPointer<QWidget>& widget);

    QList<Handler> handlers;
    QList<Seen> handled;
    // Shown and not answered yet, in the order they appeared.
    QList<QPointer<QWidget>> waiting;
    // Answered and not hidden since.
    QList<QPointer<QWidget>> answered;
    bool answerScheduled = false;
};
