#pragma once

#include <QString>

#include <memory>

// A way of sending text elsewhere: composing an e-mail that carries it in
// the user's mail program, or copying it to the clipboard.
class SharingService
{
public:
    // What is shared: rich text and its plain form.
    struct Item
    {
        QString plainText;
        QString html;
    };

    static inline const QString NameComposeEmail = QStringLiteral("com.ferrowby.share.email");
    static inline const QString NameCopyToClipboard =
        QStringLiteral("com.ferrowby.share.clipboard");

    // The service of that name; null for a name no service has.
    static std::unique_ptr<SharingService> sharingServiceNamed(const QString &name);

    QString name() const { return m_name; }
    QString title() const { return m_title; }
    // Hands the item to the service; false when the service could not take
    // it (no mail program, for instance).
    bool performWithItem(const Item &item) const;

private:
    SharingService(QString name, QString title);

    QString m_name;
    QString m_title;
};
