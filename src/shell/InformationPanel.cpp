#include "InformationPanel.h"

#include "ViewLayer.h"

#include <QEvent>

const QColor InformationPanel::White = QColor::fromRgbF(1.0, 1.0, 1.0);
const QColor InformationPanel::Grey = QColor::fromRgbF(0.5, 0.5, 0.5);
const QColor InformationPanel::Dark = QColor::fromRgbF(0.24, 0.24, 0.24, 0.96);
const QColor InformationPanel::Black = QColor::fromRgbF(0.0, 0.0, 0.0);

namespace {

const QString BorderLayerName = QStringLiteral("borderLayer");
const QString FillContainerName = QStringLiteral("fillContainer");

// Keeps the shown view covering its container as the container resizes.
class FillContainer : public QObject
{
public:
    FillContainer(QWidget *view, QWidget *container)
        : QObject(view)
        , m_view(view)
        , m_container(container)
    {
        setObjectName(FillContainerName);
        container->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_container && event->type() == QEvent::Resize && m_view &&
            m_view->parentWidget() == m_container)
            m_view->setGeometry(m_container->rect());
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<QWidget> m_view;
    QPointer<QWidget> m_container;
};

} // namespace

InformationPanel::InformationPanel(QWidget *placeHolderView, QColor background, QColor border)
    : m_placeHolderView(placeHolderView)
    , m_background(background)
    , m_border(border)
{}

void InformationPanel::showView(QWidget *view)
{
    if (!view || view == m_activeView || !m_placeHolderView)
        return;
    if (m_activeView) {
        m_activeView->hide();
        m_activeView->setParent(m_activeViewHome ? m_activeViewHome.data()
                                                 : m_placeHolderView.data());
    }
    QWidget *home = view->parentWidget();
    m_activeViewHome = home == m_placeHolderView ? nullptr : home;
    view->setParent(m_placeHolderView);
    view->setGeometry(m_placeHolderView->rect());
    // One follower per view, for the container it is in now.
    qDeleteAll(view->findChildren<QObject *>(FillContainerName, Qt::FindDirectChildrenOnly));
    new FillContainer(view, m_placeHolderView);
    view->show();

    ViewLayer::backingLayer(view)->setBackgroundColor(m_background);
    // The border reaches one point beyond the left, right and top edges and
    // lies on the bottom edge. A view shown again keeps its one border.
    auto *border = view->findChild<ViewLayer *>(BorderLayerName, Qt::FindDirectChildrenOnly);
    if (!border) {
        border = new ViewLayer(view, QMargins(1, 1, 1, 0));
        border->setObjectName(BorderLayerName);
    }
    border->setBorderColor(m_border);
    border->setBorderWidth(1.0);
    border->raise();

    m_activeView = view;
}
