#include "QMLinkTable.h"

namespace {

// The maker's site; each product has a host of its own under it.
QUrl site(const char *address)
{
    return QUrl(QString::fromLatin1(address));
}

} // namespace

const QList<QMLinkTable::Link> &QMLinkTable::links()
{
    static const QList<Link> table = {
        {QStringLiteral("gotoWebsiteQuillmoor"), QStringLiteral("Open Quillmoor Web Page"),
         site("https://quillmoor.ferrowby.com/")},
        {QStringLiteral("gotoQuillmooriOS"), QStringLiteral("Open iOS Appstore Page"),
         site("https://quillmoor.ferrowby.com/ios/store")},
        {QStringLiteral("buyProVersion"), QStringLiteral("Open Inkwarden Appstore Page"),
         site("https://inkwarden.ferrowby.com/store")},
        {QStringLiteral("visitFeedback"), QStringLiteral("Open Feedback Page"),
         site("https://www.ferrowby.com/feedback")},
        {QStringLiteral("visitCDRResources"), QStringLiteral("Open CDR Resources"),
         site("https://vectors.ferrowby.com/free-vector-graphics")},
        {QStringLiteral("visitQuillmoor2"), QStringLiteral("Open Quillmoor 2 Appstore Page"),
         site("https://quillmoor2.ferrowby.com/store")},
        {QStringLiteral("visitQuillmoor3"), QStringLiteral("Open Quillmoor 3 Web Page"),
         site("https://quillmoor3.ferrowby.com/")},
        {QStringLiteral("visitHowToOpenCorel"), QStringLiteral("Open How to open Corel Page"),
         site("https://www.ferrowby.com/articles/open-coreldraw-files-on-linux")},
        {QStringLiteral("goTwitter"), QStringLiteral("Open Twitter"),
         site("https://twitter.com/ferrowby")},
        {QStringLiteral("goFacebook"), QStringLiteral("Open Facebook"),
         site("https://www.facebook.com/ferrowby")},
        {QStringLiteral("goFAQ"), QStringLiteral("Open FAQ"),
         site("https://quillmoor.ferrowby.com/faq")},
        {QStringLiteral("goEbonmere"), QStringLiteral("Open Ebonmere Appstore Page"),
         site("https://ebonmere.ferrowby.com/store")},
        {QStringLiteral("goLayrook"), QStringLiteral("Open Layrook Appstore Page"),
         site("https://layrook.ferrowby.com/store")},
        {QStringLiteral("goTallowmere"), QStringLiteral("Open Tallowmere Appstore Page"),
         site("https://tallowmere.ferrowby.com/store")},
    };
    return table;
}

std::optional<QMLinkTable::Link> QMLinkTable::linkForAction(const QString &action)
{
    for (const Link &link : links()) {
        if (link.action == action)
            return link;
    }
    return std::nullopt;
}

QUrl QMLinkTable::websiteURL()
{
    return site("https://quillmoor.ferrowby.com/");
}

QUrl QMLinkTable::legalURL()
{
    return site("https://quillmoor.ferrowby.com/legal");
}
