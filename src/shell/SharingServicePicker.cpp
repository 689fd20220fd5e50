#include "SharingServicePicker.h"

#include <QMenu>

SharingServicePicker::SharingServicePicker(SharingService::Item item, QObject *parent)
    : QObject(parent)
    , m_item(std::move(item))
{
    for (const QString &name :
         {SharingService::NameComposeEmail, SharingService::NameCopyToClipboard}) {
        if (auto service = SharingService::sharingServiceNamed(name))
            m_services.push_back(std::move(service));
    }
}

SharingServicePicker::~SharingServicePicker()
{
    delete m_menu;
}

void SharingServicePicker::showRelativeToRect(const QRect &rect, QWidget *view, Edge preferredEdge)
{
    if (!view)
        return;
    delete m_menu;
    m_menu = new QMenu(view);
    m_menu->setObjectName(QStringLiteral("sharingServicePicker"));
    for (const auto &service : m_services) {
        const SharingService *chosen = service.get();
        QAction *action = m_menu->addAction(service->title());
        action->setObjectName(service->name());
        connect(action, &QAction::triggered, this, [this, chosen] {
            emit didChooseSharingService(chosen);
            chosen->performWithItem(m_item);
        });
    }

    const QSize size = m_menu->sizeHint();
    QPoint origin;
    switch (preferredEdge) {
    case Edge::MaxY:
        origin = view->mapToGlobal(rect.topLeft()) - QPoint(0, size.height());
        break;
    case Edge::MinY:
        origin = view->mapToGlobal(rect.bottomLeft() + QPoint(0, 1));
        break;
    case Edge::MinX:
        origin = view->mapToGlobal(rect.topLeft()) - QPoint(size.width(), 0);
        break;
    case Edge::MaxX:
        origin = view->mapToGlobal(rect.topRight() + QPoint(1, 0));
        break;
    }
    m_menu->popup(origin);
}
