#include "modaldriver.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QInputDialog>
#include <QMenu>
#include <QTest>

ModalDriver::ModalDriver(QObject* parent)
    : QObject(parent)
{
    timer.setInterval(10);
    connect(&timer, &QTimer::timeout, this, &ModalDriver::poll);
}

ModalDriver::~ModalDriver() = default;

void ModalDriver::expect(Handler handler)
{
    handlers.append(std::move(handler));
    timer.start();
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

void ModalDriver::poll()
{
    if (handlers.isEmpty()) {
        timer.stop();
        return;
    }
    QWidget* widget = QApplication::activePopupWidget();
    if (!widget)
        widget = QApplication::activeModalWidget();
    if (!widget || !widget->isVisible())
        return;
    // The one just answered may still be on screen until its own loop returns.
    if (widget == lastWidget)
        return;
    lastWidget = widget;
    handled.append(describe(widget));
    Handler handler = handlers.takeFirst();
    handler(widget);
}
