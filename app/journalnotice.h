#pragma once

#include <QFrame>

namespace Ui {
class JournalNotice;
}

// The bar above the views that offers to restore the readings of the last session and tells of
// journal faults. It never stops the user: the window goes on working while it is shown.
class JournalNotice : public QFrame
{
    Q_OBJECT

public:
    explicit JournalNotice(QWidget* parent = nullptr);
    ~JournalNotice() override;

    // Restore / Discard for these words; hidden again once either is chosen.
    void offerRestore(const QString& text);
    void withdrawOffer();
    // A fault, until the user closes it.
    void showProblem(const QString& text);

    QString offerText() const;
    QString problemText() const;

signals:
    void restoreRequested();
    void discardRequested();

private slots:
    void on_btnRestore_clicked();
    void on_btnDiscard_clicked();
    void on_btnDismiss_clicked();

private:
    void updateVisibility();

    Ui::JournalNotice* ui;
};
