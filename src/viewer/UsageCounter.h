#pragma once

#include "Popover.h"
#include "PopoverDelegate.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class Document;
class HUDWindow;
class QWidget;

// The count of drawings the application has tried to load, kept across
// runs in the user defaults under "TotalFile", shown in a document's status
// field; the rating and buy panels that certain counts bring up; and the
// mobile-edition and Pro popovers of the same window. One per document,
// working on the objects of the document's window layout.
class UsageCounter : public QObject, public PopoverDelegate
{
    Q_OBJECT
public:
    static const QString TotalFileKey;
    static const QString RatingEventName;
    static const QString BuyEventName;
    // The product's store page, opened by both panels' buttons.
    static const QUrl StorePageURL;

    explicit UsageCounter(Document &document);
    // Frees the popovers while the window their content comes from exists.
    ~UsageCounter() override;

    // The count after this document's load attempt; 0 before it.
    qint32 totalConvertedFiles() const { return m_totalConvertedFiles; }
    Popover *iosPopover() const { return m_iosPopover; }
    Popover *pdfPopover() const { return m_pdfPopover; }

    // Prepares the layout's panels, popover contents and buttons; once.
    void awakeFromNib();
    void getTotalLaunches();
    void addLaunches();
    void showFirstRateAlert();
    void showSecondRateAlert();
    void showFirstBuyAlert();
    void showSecondBuyAlert();
    void showFinalBuyAlert();

    void popoverWillShow(Popover *popover) override;
    void popoverDidClose(Popover *popover) override;
    QWidget *detachableWindowForPopover(Popover *popover) override;

public slots:
    // The document's windows are ready (the document window still hidden).
    void documentWindowsPrepared();
    // A load attempt has ended, successfully or not: counts it and shows
    // the panel the new count calls for, if any.
    void loadAttemptEnded();

    void visitQuillmoorRating();
    void visitQuillmoorBuy();
    void showiOSPopoverAction(QWidget *sender);
    void showProPopoverAction(QWidget *sender);

private:
    // The fallback values are registered afresh before every use.
    static void registerFallbackValues();
    static qint32 storedCount();
    void showPanel(HUDWindow *panel);
    HUDWindow *ratePanel() const;
    HUDWindow *buyPanel() const;
    Popover *makePopover(QWidget *content);

    Document &m_document;
    qint32 m_totalConvertedFiles = 0;
    QPointer<Popover> m_iosPopover;
    QPointer<Popover> m_pdfPopover;
    bool m_awake = false;
};
