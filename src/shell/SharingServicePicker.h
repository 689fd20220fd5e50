#pragma once

#include "SharingService.h"

#include <QMenu>
#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

class QWidget;

// Lets the user choose how to share an item: a menu of the sharing
// services, anchored to a control.
class SharingServicePicker : public QObject
{
    Q_OBJECT
public:
    // The edge of the anchor rectangle the menu opens from.
    enum class Edge
    {
        MinX = 0,
        MinY = 1, // the bottom edge
        MaxX = 2,
        MaxY = 3, // the top edge
    };

    explicit SharingServicePicker(SharingService::Item item, QObject *parent = nullptr);
    ~SharingServicePicker() override;

    const SharingService::Item &item() const { return m_item; }
    // The services offered, in menu order.
    const std::vector<std::unique_ptr<SharingService>> &services() const { return m_services; }
    // The menu, once shown.
    QMenu *menu() const { return m_menu; }

    // Opens the menu beside `rect` (in `view`'s coordinates) on the edge
    // asked for, and returns at once; the chosen service does the rest.
    void showRelativeToRect(const QRect &rect, QWidget *view, Edge preferredEdge);

signals:
    void didChooseSharingService(const SharingService *service);

private:
    SharingService::Item m_item;
    std::vector<std::unique_ptr<SharingService>> m_services;
    QPointer<QMenu> m_menu;
};
