#include "dlgexport.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QRadioButton>
#include <QVBoxLayout>

dlgExport::dlgExport(QWidget* parent)
    : QDialog(parent)
{
    setupUi();
    connect(buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // The radio button slots follow the on_<object>_<signal> convention.
    QMetaObject::connectSlotsByName(this);

    kind = Table;
    rbTable->setChecked(true);
    rbPdf->hide();
}

dlgExport::~dlgExport() = default;

int dlgExport::exportKind() const
{
    return kind;
}

void dlgExport::on_rbTable_toggled(bool checked)
{
    if (checked)
        kind = Table;
}

void dlgExport::on_rbChart_toggled(bool checked)
{
    if (checked)
        kind = Chart;
}

void dlgExport::on_rbPdf_toggled(bool checked)
{
    if (checked)
        kind = Pdf;
}

void dlgExport::on_rbCsv_toggled(bool checked)
{
    if (checked)
        kind = Csv;
}

void dlgExport::setupUi()
{
    setObjectName(QStringLiteral("dlgExport"));
    resize(264, 148);

    gridLayout_2 = new QGridLayout(this);
    gridLayout_2->setObjectName(QStringLiteral("gridLayout_2"));

    verticalLayout = new QVBoxLayout();
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    // -1 keeps the style's default for the other three sides.
    verticalLayout->setContentsMargins(6, -1, -1, -1);

    rbTable = new QRadioButton(this);
    rbTable->setObjectName(QStringLiteral("rbTable"));
    verticalLayout->addWidget(rbTable);

    rbChart = new QRadioButton(this);
    rbChart->setObjectName(QStringLiteral("rbChart"));
    verticalLayout->addWidget(rbChart);

    rbPdf = new QRadioButton(this);
    rbPdf->setObjectName(QStringLiteral("rbPdf"));
    verticalLayout->addWidget(rbPdf);

    rbCsv = new QRadioButton(this);
    rbCsv->setObjectName(QStringLiteral("rbCsv"));
    verticalLayout->addWidget(rbCsv);

    gridLayout_2->addLayout(verticalLayout, 0, 0, 1, 1);

    buttonBox = new QDialogButtonBox(this);
    buttonBox->setObjectName(QStringLiteral("buttonBox"));
    buttonBox->setOrientation(Qt::Horizontal);
    buttonBox->setStandardButtons(QDialogButtonBox::Cancel | QDialogButtonBox::Ok);
    gridLayout_2->addWidget(buttonBox, 1, 0, 1, 1);

    retranslateUi();
}

void dlgExport::retranslateUi()
{
    setWindowTitle(QString());
    rbTable->setText(tr("Table(XLS)"));
    rbChart->setText(tr("Chart(JPG)"));
    rbPdf->setText(tr("PDF"));
    rbCsv->setText(tr("Table(CSV)"));
}
