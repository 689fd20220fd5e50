#include "ExportPrompts.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ExportPrompts", text);
}

} // namespace

std::optional<DrawingExport::Options>
DialogExportPrompts::chooseOptions(QWidget *parent, int pageCount, int currentPage,
                                   const DrawingExport::Options &preset)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(tr("Export"));
    auto *layout = new QFormLayout(&dialog);

    auto *format = new QComboBox(&dialog);
    format->addItem(tr("PNG picture"), int(DrawingExport::Format::Png));
    format->addItem(tr("PDF document"), int(DrawingExport::Format::Pdf));
    format->addItem(tr("SVG drawing"), int(DrawingExport::Format::Svg));
    format->setCurrentIndex(format->findData(int(preset.format)));
    layout->addRow(tr("&Format:"), format);

    auto *current = new QRadioButton(
        tr("&Current page (%1 of %2)").arg(currentPage + 1).arg(pageCount), &dialog);
    auto *all = new QRadioButton(tr("&All pages"), &dialog);
    (preset.page ? current : all)->setChecked(true);
    auto *pages = new QVBoxLayout;
    pages->addWidget(current);
    pages->addWidget(all);
    layout->addRow(tr("Pages:"), pages);

    auto *resolution = new QSpinBox(&dialog);
    resolution->setRange(int(DrawingExport::MinimumDotsPerInch),
                         int(DrawingExport::MaximumDotsPerInch));
    resolution->setSuffix(tr(" dpi"));
    resolution->setValue(int(preset.dotsPerInch));
    layout->addRow(tr("&Resolution:"), resolution);
    const auto updateResolution = [format, resolution] {
        resolution->setEnabled(format->currentData().toInt() == int(DrawingExport::Format::Png));
    };
    QObject::connect(format, &QComboBox::currentIndexChanged, &dialog, updateResolution);
    updateResolution();

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addRow(buttons);

    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    DrawingExport::Options options = preset;
    options.format = DrawingExport::Format(format->currentData().toInt());
    options.page = current->isChecked() ? std::optional<int>(currentPage) : std::nullopt;
    options.dotsPerInch = resolution->value();
    return options;
}

QString DialogExportPrompts::chooseFile(QWidget *parent, const QString &suggestion,
                                        DrawingExport::Format format)
{
    const QString filter = format == DrawingExport::Format::Png   ? tr("PNG pictures (*.png)")
                           : format == DrawingExport::Format::Pdf ? tr("PDF documents (*.pdf)")
                                                                  : tr("SVG drawings (*.svg)");
    QFileDialog dialog(parent, tr("Export"), QFileInfo(suggestion).path(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(DrawingExport::suffix(format));
    dialog.selectFile(QFileInfo(suggestion).fileName());
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

bool DialogExportPrompts::confirmReplace(QWidget *parent, const QStringList &existing)
{
    QStringList names;
    for (const QString &path : existing)
        names.append(QFileInfo(path).fileName());
    return QMessageBox::question(parent, tr("Export"),
                                 tr("These files exist already. Replace them?\n\n%1")
                                     .arg(names.join(QLatin1Char('\n'))),
                                 QMessageBox::Yes | QMessageBox::Cancel,
                                 QMessageBox::Cancel) == QMessageBox::Yes;
}

bool DialogExportPrompts::choosePrinter(QWidget *parent, QPrinter &printer, int pageCount)
{
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(tr("Print"));
    dialog.setMinMax(1, pageCount);
    dialog.setOptions(QAbstractPrintDialog::PrintPageRange |
                      QAbstractPrintDialog::PrintCurrentPage | QAbstractPrintDialog::PrintToFile |
                      QAbstractPrintDialog::PrintShowPageSize);
    return dialog.exec() == QDialog::Accepted;
}

void DialogExportPrompts::showError(QWidget *parent, const QString &message)
{
    QMessageBox::warning(parent, tr("Export"), message);
}
