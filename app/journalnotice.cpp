#include "journalnotice.h"

#include "ui_journalnotice.h"

JournalNotice::JournalNotice(QWidget* parent)
    : QFrame(parent)
    , ui(new Ui::JournalNotice)
{
    ui->setupUi(this);
    updateVisibility();
}

JournalNotice::~JournalNotice()
{
    delete ui;
}

void JournalNotice::offerRestore(const QString& text)
{
    ui->lblRestore->setText(text);
    updateVisibility();
}

void JournalNotice::withdrawOffer()
{
    ui->lblRestore->clear();
    updateVisibility();
}

void JournalNotice::showProblem(const QString& text)
{
    ui->lblProblem->setText(text);
    updateVisibility();
}

QString JournalNotice::offerText() const
{
    return ui->lblRestore->text();
}

QString JournalNotice::problemText() const
{
    return ui->lblProblem->text();
}

void JournalNotice::on_btnRestore_clicked()
{
    withdrawOffer();
    emit restoreRequested();
}

void JournalNotice::on_btnDiscard_clicked()
{
    withdrawOffer();
    emit discardRequested();
}

void JournalNotice::on_btnDismiss_clicked()
{
    ui->lblProblem->clear();
    updateVisibility();
}

void JournalNotice::updateVisibility()
{
    const bool offer = !ui->lblRestore->text().isEmpty();
    const bool problem = !ui->lblProblem->text().isEmpty();
    ui->lblRestore->setVisible(offer);
    ui->btnRestore->setVisible(offer);
    ui->btnDiscard->setVisible(offer);
    ui->lblProblem->setVisible(problem);
    ui->btnDismiss->setVisible(problem);
    setVisible(offer || problem);
}
