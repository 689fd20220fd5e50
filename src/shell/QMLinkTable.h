#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// Every address the shell sends the user to, in one place: the link
// commands of the application menu with the event each records, and the
// two pages the About window opens.
class QMLinkTable
{
public:
    struct Link
    {
        QString action;    // the command, as the menu names it
        QString eventName; // recorded before the address opens
        QUrl url;
    };

    static const QList<Link> &links();
    // The link of a command; nothing for a command that opens no address.
    static std::optional<Link> linkForAction(const QString &action);

    // The product's web page, and its page listing the libraries it uses.
    static QUrl websiteURL();
    static QUrl legalURL();
};
