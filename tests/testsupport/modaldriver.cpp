#include "modaldriver.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QInputDialog>
#include <QMenu>
#include <QTest>
#include <QTimer>

namespace {

// A window the driver answers: a modal dialog or a pop-up menu.
bool isAnswerable(QWidget* widget)
{
    return widget->isWindow() && (widget->isModal() || qobject_cast<QMenu*>(widget));
}

QWidget* topModal()
{
    QWidget* widget = QApplication::activePopupWidget();
    if (!widget)
        widget = QApplication::activeModalWidget();
    return widget && widget->isVisible() ? widget : nullptr;
}

QString windowName(QWidget* widget)
{
    return QStringLiteral("%1 \"%2\"")
        .arg(QString::fromLatin1(widget->metaObject()->className()), widget->windowTitle());
}

void dismiss(QWidget* widget)
{
    if (auto* dialog = qobject_cast<QDialog*>(widget))
        dialog->reject();
    // Hiding also ends the nested loop of a dialog that refuses to be rejected.
    if (widget->isVisible())
        widget->hide();
}

} // namespace

ModalDriver::ModalDriver(QObject* parent)
    : QObject(parent)
{
    // Sees every widget of the application being shown or hidden.
    qApp->installEventFilter(this);
    // One already on screen is answered like one that appears later.
    if (QWidget* open = topModal())
        waiting.append(open);
}

ModalDriver::~ModalDriver() = default;

void ModalDriver::expect(Handler handler)
{
    handlers.append(std::move(handler));
    if (!waiting.isEmpty())
        scheduleAnswer();
}

void ModalDriver::acceptInput(const QString& text)
{
    expect([text](QWidget* w) {
        if (auto* input = qobject_cast<QInputDialog*>(w)) {
            input->setTextValue(text);
            input->accept();
        } else if (auto* dialog = qobject_cast<QDialog*>(w)) {
            dialog->reject();
        }
    });
}

void ModalDriver::rejectDialog()
{
    expect([](QWidget* w) {
        if (auto* dialog = qobject_cast<QDialog*>(w))
            dialog->reject();
        else
            w->close();
    });
}

void ModalDriver::acceptDialog()
{
    expect([](QWidget* w) {
        if (auto* dialog = qobject_cast<QDialog*>(w))
            dialog->accept();
        else
            w->close();
    });
}

void ModalDriver::clickButton(QMessageBox::StandardButton button)
{
    expect([button](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (box && box->button(button))
            box->button(button)->click();
        else
            w->close();
    });
}

void ModalDriver::closeMenu()
{
    expect([](QWidget* w) { w->close(); });
}

bool ModalDriver::waitAllAnswered(int timeoutMs)
{
    return QTest::qWaitFor([this] { return handlers.isEmpty(); }, timeoutMs);
}

ModalDriver::Seen ModalDriver::describe(QWidget* widget)
{
    Seen seen;
    seen.className = QString::fromLatin1(widget->metaObject()->className());
    seen.text = widget->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(widget)) {
        seen.text = box->text();
        seen.informativeText = box->informativeText();
    } else if (auto* input = qobject_cast<QInputDialog*>(widget)) {
        seen.text = input->labelText();
        seen.value = input->textValue();
    } else if (auto* menu = qobject_cast<QMenu*>(widget)) {
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator())
                seen.actions << action->text();
        }
    }
    return seen;
}

bool ModalDriver::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::Show || type == QEvent::Hide) && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (type == QEvent::Hide) {
            waiting.removeAll(widget);
            answered.removeAll(widget);
        } else if (isAnswerable(widget)) {
            waiting.append(widget);
            scheduleAnswer();
        }
    }
    return QObject::eventFilter(watched, event);
}

void ModalDriver::scheduleAnswer()
{
    if (answerScheduled)
        return;
    answerScheduled = true;
    // Queued: a dialog is shown before its event loop runs, and only that loop can end it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            answerScheduled = false;
            answerWaiting();
        },
        Qt::QueuedConnection);
}

void ModalDriver::answerWaiting()
{
    while (!handlers.isEmpty() && !waiting.isEmpty()) {
        const QPointer<QWidget> widget = waiting.takeFirst();
        if (!widget || !widget->isVisible())
            continue;
        handled.append(describe(widget));
        answered.append(widget);
        QTimer::singleShot(StuckMs, this, [this, widget] { failIfStillOpen(widget); });
        const Handler handler = handlers.takeFirst();
        handler(widget);
    }
}

void ModalDriver::failIfStillOpen(const QPointer<QWidget>& widget)
{
    if (!widget || !answered.contains(widget) || !widget->isVisible())
        return;
    answered.removeAll(widget);
    QString message = QStringLiteral("%1 is still open %2 ms after it was answered")
                          .arg(windowName(widget))
                          .arg(StuckMs);
    // Whatever was opened on top of it has to go first, or its nested loop never returns.
    QStringList above;
    for (int i = 0; i < 16; ++i) {
        QWidget* top = topModal();
        if (!top || top == widget)
            break;
        above << windowName(top);
        dismiss(top);
    }
    if (!above.isEmpty())
        message += QStringLiteral(", under %1").arg(above.join(QStringLiteral(", ")));
    QTest::qFail(qPrintable(message), __FILE__, __LINE__);
    dismiss(widget);
}
