#pragma once

#include "export/DrawingExport.h"

#include <QString>
#include <QStringList>

#include <optional>

class QPrinter;
class QWidget;

// The questions that exporting and printing put to the user. Dialogs by
// default; tests answer them instead.
class ExportPrompts
{
public:
    virtual ~ExportPrompts() = default;

    // Format, pages and resolution; nothing when cancelled. `currentPage`
    // counts from 0.
    virtual std::optional<DrawingExport::Options>
    chooseOptions(QWidget *parent, int pageCount, int currentPage,
                  const DrawingExport::Options &preset) = 0;
    // Where to write; empty when cancelled.
    virtual QString chooseFile(QWidget *parent, const QString &suggestion,
                               DrawingExport::Format format) = 0;
    // Whether the files may be replaced.
    virtual bool confirmReplace(QWidget *parent, const QStringList &existing) = 0;
    // The system's print dialog, set to print pages 1 to `pageCount`;
    // false when cancelled.
    virtual bool choosePrinter(QWidget *parent, QPrinter &printer, int pageCount) = 0;
    virtual void showError(QWidget *parent, const QString &message) = 0;
};

class DialogExportPrompts : public ExportPrompts
{
public:
    std::optional<DrawingExport::Options>
    chooseOptions(QWidget *parent, int pageCount, int currentPage,
                  const DrawingExport::Options &preset) override;
    QString chooseFile(QWidget *parent, const QString &suggestion,
                       DrawingExport::Format format) override;
    bool confirmReplace(QWidget *parent, const QStringList &existing) override;
    bool choosePrinter(QWidget *parent, QPrinter &printer, int pageCount) override;
    void showError(QWidget *parent, const QString &message) override;
};
