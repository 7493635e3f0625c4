#include "itempropertiesdialog.h"

#include "ui_itempropertiesdialog.h"

#include <QLocale>
#include <QMessageBox>
#include <QPushButton>

#include <cmath>

ItemPropertiesDialog::ItemPropertiesDialog(
    const QString& itemName, const QString& unit, const ItemProperties& properties, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::ItemPropertiesDialog)
{
    ui->setupUi(this);
    ui->lblItemName->setText(itemName);
    ui->lblAlertUnit->setText(unit);
    ui->lblDangerUnit->setText(unit);

    ui->cbbMachineClass->addItem(tr("None (readings are not graded)"), SeverityZones::NoClass);
    for (SeverityZones::MachineClass c : SeverityZones::classes())
        ui->cbbMachineClass->addItem(SeverityZones::appliedName(c), c);
    ui->cbbMachineClass->setCurrentIndex(ui->cbbMachineClass->findData(properties.machineClass));
    if (properties.alertLevel)
        ui->leAlert->setText(QString::number(*properties.alertLevel));
    if (properties.dangerLevel)
        ui->leDanger->setText(QString::number(*properties.dangerLevel));
    ui->teNote->setPlainText(properties.note);

    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &ItemPropertiesDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(ui->cbbMachineClass, qOverload<int>(&QComboBox::currentIndexChanged), this,
        &ItemPropertiesDialog::showLimits);
    showLimits();
}

ItemPropertiesDialog::~ItemPropertiesDialog()
{
    delete ui;
}

void ItemPropertiesDialog::showLimits()
{
    const auto c = SeverityZones::MachineClass(ui->cbbMachineClass->currentData().toInt());
    if (c == SeverityZones::NoClass) {
        ui->lblLimits->setText(tr("Without a machine class the readings are not graded."));
        return;
    }
    const SeverityZones::Limits l = SeverityZones::limits(c);
    ui->lblLimits->setText(
        tr("Zone boundaries A/B, B/C, C/D: %1 / %2 / %3 mm/s RMS, for velocity readings (Vrms) in "
           "the 10-1kHz band.")
            .arg(l.ab)
            .arg(l.bc)
            .arg(l.cd));
}

bool ItemPropertiesDialog::parseLevel(const QString& text, std::optional<double>& level)
{
    const QString t = text.trimmed();
    level.reset();
    if (t.isEmpty())
        return true;
    bool ok = false;
    double v = QLocale::c().toDouble(t, &ok);
    if (!ok)
        v = QLocale().toDouble(t, &ok);
    // A decimal comma is what half the world types, whatever the system's locale says.
    if (!ok && !t.contains(QLatin1Char('.')))
        v = QLocale::c().toDouble(QString(t).replace(QLatin1Char(','), QLatin1Char('.')), &ok);
    if (!ok || !std::isfinite(v))
        return false;
    level = v;
    return true;
}

ItemProperties ItemPropertiesDialog::properties() const
{
    ItemProperties p;
    p.machineClass = SeverityZones::MachineClass(ui->cbbMachineClass->currentData().toInt());
    parseLevel(ui->leAlert->text(), p.alertLevel);
    parseLevel(ui->leDanger->text(), p.dangerLevel);
    p.note = ui->teNote->toPlainText().trimmed();
    return p;
}

void ItemPropertiesDialog::accept()
{
    std::optional<double> alert;
    std::optional<double> danger;
    QString problem;
    if (!parseLevel(ui->leAlert->text(), alert))
        problem = tr("The alert level \"%1\" is not a number.").arg(ui->leAlert->text());
    else if (!parseLevel(ui->leDanger->text(), danger))
        problem = tr("The danger level \"%1\" is not a number.").arg(ui->leDanger->text());
    else if (alert && danger && *danger <= *alert)
        problem = tr("The danger level must be above the alert level.");
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, QString(), problem);
        return;
    }
    QDialog::accept();
}
