#include "UsageCounter.h"

#include "Document.h"
#include "MyViewController.h"
#include "Popover.h"
#include "UrlOpener.h"
#include "analytics/Tally.h"
#include "controls/CenterWindow.h"
#include "controls/HUDWindow.h"
#include "foundation/Bundle.h"
#include "foundation/UserDefaults.h"
#include "ui_Document.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QLabel>
#include <QMainWindow>

const QString UsageCounter::TotalFileKey = QStringLiteral("TotalFile");
const QString UsageCounter::RatingEventName = QStringLiteral("Open Quillmoor Rating");
const QString UsageCounter::BuyEventName =
    QStringLiteral("Open Quillmoor Buy Button from Alert Window");
const QUrl UsageCounter::StorePageURL(QStringLiteral("https://quillmoor.ferrowby.com/store"));

namespace {

// A matrix of the layout is a grid of buttons; selects the one at a cell.
void selectCell(QWidget *matrix, int row, int column)
{
    auto *grid = matrix ? qobject_cast<QGridLayout *>(matrix->layout()) : nullptr;
    QLayoutItem *item = grid ? grid->itemAtPosition(row, column) : nullptr;
    if (auto *button = item ? qobject_cast<QAbstractButton *>(item->widget()) : nullptr)
        button->setChecked(true);
}

void makeTextWhite(QLabel *label)
{
    if (!label)
        return;
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
}

QLabel *textLabelOf(QWidget *controller)
{
    auto *content = qobject_cast<MyViewController *>(controller);
    return content ? content->textLabel() : nullptr;
}

} // namespace

UsageCounter::UsageCounter(Document &document)
    : m_document(document)
{}

UsageCounter::~UsageCounter()
{
    delete m_iosPopover;
    delete m_pdfPopover;
}

void UsageCounter::registerFallbackValues()
{
    UserDefaults::standardUserDefaults()->registerDefaultsFromFile(
        Bundle::mainBundle().pathForResource(QStringLiteral("Defaults"), QStringLiteral("plist")));
}

qint32 UsageCounter::storedCount()
{
    registerFallbackValues();
    // Compared in its low 32 bits, signed.
    return static_cast<qint32>(UserDefaults::standardUserDefaults()->integerForKey(TotalFileKey));
}

void UsageCounter::awakeFromNib()
{
    Ui::Document *ui = m_document.ui();
    if (m_awake || !ui)
        return;
    m_awake = true;

    ui->animatesCheckbox->setChecked(true);
    selectCell(ui->popoverType, 0, 0);
    selectCell(ui->popoverPosition, 1, 0);
    // The content covers the detached window's title bar; keep the text
    // clear of it and of the close button.
    ui->detachedWindowViewController->setContentsMargins(18, 30, 18, 14);
    ui->detachedWindow->setContentView(ui->detachedWindowViewController->view());
    makeTextWhite(ui->detachedWindowViewController->textLabel());

    ui->ratePanel->setContentView(ui->ratePanelContent);
    ui->buyPanel->setContentView(ui->buyPanelContent);
    // The store buttons are the panels' default buttons (layouts cannot
    // hold a Return character).
    ui->rateButton->setKeyEquivalent(QStringLiteral("\r"));
    ui->buyButton->setKeyEquivalent(QStringLiteral("\r"));
    connect(ui->rateButton, &QAbstractButton::clicked, this, &UsageCounter::visitQuillmoorRating);
    connect(ui->buyButton, &QAbstractButton::clicked, this, &UsageCounter::visitQuillmoorBuy);
    connect(ui->rateLaterButton, &QAbstractButton::clicked, ui->ratePanel, &QWidget::hide);
    connect(ui->buyLaterButton, &QAbstractButton::clicked, ui->buyPanel, &QWidget::hide);
    connect(ui->iosPopoverButton, &QAbstractButton::clicked, this,
            [this, button = ui->iosPopoverButton] { showiOSPopoverAction(button); });
    connect(ui->proPopoverButton, &QAbstractButton::clicked, this,
            [this, button = ui->proPopoverButton] { showProPopoverAction(button); });
}

void UsageCounter::documentWindowsPrepared()
{
    awakeFromNib();
    getTotalLaunches();
}

void UsageCounter::loadAttemptEnded()
{
    addLaunches();
    showFirstRateAlert();
    showSecondRateAlert();
    showFirstBuyAlert();
    showSecondBuyAlert();
    showFinalBuyAlert();
}

void UsageCounter::getTotalLaunches()
{
    registerFallbackValues();
    const std::shared_ptr<UserDefaults> defaults = UserDefaults::standardUserDefaults();
    if (Ui::Document *ui = m_document.ui())
        ui->_totalConvertedFilesStatus->setText(defaults->stringForKey(TotalFileKey));
    defaults->synchronize();
}

void UsageCounter::addLaunches()
{
    registerFallbackValues();
    const std::shared_ptr<UserDefaults> defaults = UserDefaults::standardUserDefaults();
    // Take in what other running instances have counted meanwhile.
    defaults->synchronize();
    m_totalConvertedFiles = static_cast<qint32>(defaults->integerForKey(TotalFileKey) + 1);
    defaults->setInteger(m_totalConvertedFiles, TotalFileKey);
    if (Ui::Document *ui = m_document.ui())
        ui->_totalConvertedFilesStatus->setText(QString::number(m_totalConvertedFiles));
    defaults->synchronize();
}

void UsageCounter::showFirstRateAlert()
{
    if (storedCount() == 10)
        showPanel(ratePanel());
}

void UsageCounter::showSecondRateAlert()
{
    if (storedCount() == 70)
        showPanel(ratePanel());
}

void UsageCounter::showFirstBuyAlert()
{
    const qint32 count = storedCount();
    if (count == 100)
        showPanel(buyPanel());
    else if (count == 150)
        showPanel(ratePanel());
}

void UsageCounter::showSecondBuyAlert()
{
    const qint32 count = storedCount();
    if (count == 200)
        showPanel(buyPanel());
    else if (count == 250)
        showPanel(ratePanel());
}

void UsageCounter::showFinalBuyAlert()
{
    if (storedCount() >= 300)
        showPanel(buyPanel());
}

HUDWindow *UsageCounter::ratePanel() const
{
    return m_document.ui() ? m_document.ui()->ratePanel : nullptr;
}

HUDWindow *UsageCounter::buyPanel() const
{
    return m_document.ui() ? m_document.ui()->buyPanel : nullptr;
}

void UsageCounter::showPanel(HUDWindow *panel)
{
    if (!panel)
        return;
    // Not modal, and not taking the focus from the user's work; panels stay
    // on screen while the application is inactive.
    centerWindow(panel);
    panel->show();
    panel->raise();
}

void UsageCounter::visitQuillmoorRating()
{
    Tally::logCustomEventWithName(RatingEventName, {});
    UrlOpener::sharedOpener()->openURL(StorePageURL);
    if (HUDWindow *panel = ratePanel())
        panel->hide();
}

void UsageCounter::visitQuillmoorBuy()
{
    Tally::logCustomEventWithName(BuyEventName, {});
    UrlOpener::sharedOpener()->openURL(StorePageURL);
    if (HUDWindow *panel = buyPanel())
        panel->hide();
}

Popover *UsageCounter::makePopover(QWidget *content)
{
    auto *popover = new Popover(m_document.windowForSheet());
    popover->setContentViewController(content);
    popover->setAnimates(true);
    popover->setBehavior(Popover::Behavior::Transient);
    popover->setDelegate(this);
    return popover;
}

void UsageCounter::showiOSPopoverAction(QWidget *sender)
{
    Ui::Document *ui = m_document.ui();
    if (!ui || !sender)
        return;
    if (!m_iosPopover)
        m_iosPopover = makePopover(ui->popoverViewController->view());
    m_iosPopover->showRelativeToRect(sender->rect(), sender, Popover::Edge::MaxY);
}

void UsageCounter::showProPopoverAction(QWidget *sender)
{
    Ui::Document *ui = m_document.ui();
    if (!ui || !sender)
        return;
    if (!m_pdfPopover)
        m_pdfPopover = makePopover(ui->PropopoverViewController->view());
    m_pdfPopover->showRelativeToRect(sender->rect(), sender, Popover::Edge::MaxY);
}

void UsageCounter::popoverWillShow(Popover *popover)
{
    Ui::Document *ui = m_document.ui();
    if (!ui || popover->appearance() != Popover::Appearance::HUD)
        return;
    // Light text on the dark frame, for whichever popover is showing.
    makeTextWhite(ui->popoverViewController->textLabel());
    makeTextWhite(textLabelOf(popover->contentViewController()));
}

void UsageCounter::popoverDidClose(Popover *)
{
    // Both go, so that the next show makes fresh ones.
    for (QPointer<Popover> *field : {&m_iosPopover, &m_pdfPopover}) {
        if (*field)
            (*field)->deleteLater();
        *field = nullptr;
    }
}

QWidget *UsageCounter::detachableWindowForPopover(Popover *)
{
    Ui::Document *ui = m_document.ui();
    return ui ? ui->detachedWindow : nullptr;
}
