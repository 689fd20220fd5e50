#include "ShellTestSupport.h"

#include "foundation/Bundle.h"
#include "shell/AppDelegate.h"
#include "shell/RecentDrawings.h"
#include "viewer/Document.h"
#include "viewer/DocumentController.h"

#include <QDomDocument>
#include <QFile>
#include <QMainWindow>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// What another desktop program wrote: its own entry, and an element of a
// kind this program does not know.
const QByteArray OthersList = R"(<?xml version="1.0" encoding="UTF-8"?>
<xbel version="1.0"
      xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks"
      xmlns:mime="http://www.freedesktop.org/standards/shared-mime-info"
>
  <bookmark href="file:///home/someone/letter.odt" added="2024-03-01T10:00:00.123456Z" modified="2024-03-01T10:00:00.123456Z" visited="2024-03-01T10:00:00.123456Z">
    <info>
      <metadata owner="http://freedesktop.org">
        <mime:mime-type type="application/vnd.oasis.opendocument.text"/>
        <bookmark:groups><bookmark:group>Office</bookmark:group></bookmark:groups>
        <bookmark:applications>
          <bookmark:application name="Writer" exec="&apos;writer %u&apos;" modified="2024-03-01T10:00:00.123456Z" count="3"/>
        </bookmark:applications>
      </metadata>
    </info>
  </bookmark>
</xbel>
)";

class RecentDrawingsTest : public testing::Test
{
protected:
    QString listPath() const { return m_folder.filePath("data/recently-used.xbel"); }

    void writeList(const QByteArray &contents)
    {
        QDir().mkpath(m_folder.filePath("data"));
        QFile file(listPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

    QByteArray readList() const
    {
        QFile file(listPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // A drawing file of the test's own, so that it exists.
    QString drawingFile(const QString &name)
    {
        const QString path = m_folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return path;
    }

    QDomElement bookmarkFor(const QString &path) const
    {
        QDomDocument document;
        EXPECT_TRUE(document.setContent(readList(), true));
        const QString href = QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded());
        for (QDomElement bookmark = document.documentElement().firstChildElement("bookmark");
             !bookmark.isNull(); bookmark = bookmark.nextSiblingElement("bookmark"))
            if (bookmark.attribute("href") == href)
                return bookmark;
        return {};
    }

    QTemporaryDir m_folder;
};

QDomElement applicationElement(const QDomElement &bookmark)
{
    return bookmark.firstChildElement("info")
        .firstChildElement("metadata")
        .firstChildElement("applications")
        .firstChildElement("application");
}

} // namespace

TEST_F(RecentDrawingsTest, OpenedDrawingsJoinTheDesktopsListBesideOthers)
{
    writeList(OthersList);
    RecentDrawings recent(listPath());
    const QString first = drawingFile("first.cdr");
    const QString second = drawingFile("second exchange.CMX");
    ASSERT_TRUE(recent.add(first));
    ASSERT_TRUE(recent.add(second));
    ASSERT_TRUE(recent.add(first));

    // The latest first; the other program's file is not Quillmoor's.
    EXPECT_EQ(recent.drawings(), QStringList({first, second}));
    EXPECT_EQ(recent.drawings(1), QStringList{first});

    const QDomElement entry = bookmarkFor(first);
    ASSERT_FALSE(entry.isNull());
    EXPECT_FALSE(entry.attribute("added").isEmpty());
    EXPECT_TRUE(entry.attribute("modified").endsWith('Z'));
    const QDomElement metadata = entry.firstChildElement("info").firstChildElement("metadata");
    EXPECT_EQ(metadata.attribute("owner"), "http://freedesktop.org");
    EXPECT_EQ(metadata.firstChildElement("mime-type").attribute("type"),
              "application/vnd.corel-draw");
    const QDomElement application = applicationElement(entry);
    EXPECT_EQ(application.namespaceURI(), "http://www.freedesktop.org/standards/desktop-bookmarks");
    EXPECT_EQ(application.attribute("name"), QCoreApplication::applicationName());
    EXPECT_EQ(application.attribute("exec"), "'quillmoor %f'");
    EXPECT_EQ(application.attribute("count"), "2");
    EXPECT_EQ(applicationElement(bookmarkFor(second))
                  .parentNode()
                  .previousSiblingElement("mime-type")
                  .attribute("type"),
              "image/x-cmx");

    // The other program's entry is as it was.
    const QDomElement others = bookmarkFor("/home/someone/letter.odt");
    ASSERT_FALSE(others.isNull());
    EXPECT_EQ(others.attribute("modified"), "2024-03-01T10:00:00.123456Z");
    EXPECT_EQ(applicationElement(others).attribute("exec"), "'writer %u'");
    EXPECT_EQ(applicationElement(others).attribute("count"), "3");
    EXPECT_TRUE(readList().contains("<bookmark:group>Office</bookmark:group>"));
}

TEST_F(RecentDrawingsTest, ANewListIsTheUsersAloneAndDrawingsThatWentAreNotListed)
{
    RecentDrawings recent(listPath());
    const QString kept = drawingFile("kept.cdr");
    const QString removed = drawingFile("removed.cdr");
    ASSERT_TRUE(recent.add(removed));
    ASSERT_TRUE(recent.add(kept));
    EXPECT_EQ(QFile::permissions(listPath()) & 0x0077, QFileDevice::Permissions());
    ASSERT_TRUE(QFile::remove(removed));
    EXPECT_EQ(recent.drawings(), QStringList{kept});
}

TEST_F(RecentDrawingsTest, AListThatCannotBeReadIsNeverWrittenOver)
{
    const QByteArray damaged = "<xbel version=\"1.0\"><bookmark href=\"file:///a\">";
    writeList(damaged);
    RecentDrawings recent(listPath());
    EXPECT_FALSE(recent.add(drawingFile("a.cdr")));
    EXPECT_FALSE(recent.clear());
    EXPECT_EQ(recent.drawings(), QStringList());
    EXPECT_EQ(readList(), damaged);
}

TEST_F(RecentDrawingsTest, ClearingTakesOnlyQuillmoorOff)
{
    writeList(OthersList);
    RecentDrawings recent(listPath());
    const QString own = drawingFile("own.cdr");
    ASSERT_TRUE(recent.add(own));
    ASSERT_TRUE(recent.add("/home/someone/letter.odt"));
    ASSERT_TRUE(recent.clear());
    EXPECT_EQ(recent.drawings(), QStringList());
    EXPECT_TRUE(bookmarkFor(own).isNull());
    const QDomElement others = bookmarkFor("/home/someone/letter.odt");
    ASSERT_FALSE(others.isNull());
    EXPECT_EQ(applicationElement(others).attribute("name"), "Writer");
    EXPECT_TRUE(applicationElement(others).nextSiblingElement().isNull());
}

TEST_F(RecentDrawingsTest, TheFileMenuOpensRecentDrawingsAndSamplesStayOut)
{
    ShellRecording recording;
    const QByteArray previousData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", m_folder.filePath("data").toUtf8());
    {
        AppDelegate delegate;
        delegate.setAnalyticsStarter({});
        delegate.applicationDidFinishLaunching({});
        EXPECT_EQ(delegate.recentDrawings().path(), listPath());
        const QString drawing = corpusDrawing("x7_dblab_test.cdr");
        delegate.openDrawings({drawing});
        delegate.load1029();
        // The two convert side by side, and either page may load first:
        // both are watched from the start.
        const QList<Document *> open = delegate.documentController().documents();
        ASSERT_EQ(open.size(), 2);
        std::vector<std::unique_ptr<QSignalSpy>> pagesLoaded;
        for (Document *document : open)
            pagesLoaded.push_back(
                std::make_unique<QSignalSpy>(document, &Document::pageLoadFinished));
        for (const auto &loaded : pagesLoaded) {
            ASSERT_TRUE(!loaded->isEmpty() || loaded->wait(120000));
            EXPECT_TRUE(loaded->first().first().toBool());
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return !delegate.recentDrawings().drawings().isEmpty(); },
                                    120000));
        EXPECT_EQ(delegate.recentDrawings().drawings(),
                  QStringList{QFileInfo(drawing).absoluteFilePath()});

        QMenu *menu = delegate.recentMenu();
        emit menu->aboutToShow();
        ASSERT_GE(menu->actions().size(), 3);
        QAction *item = menu->actions().first();
        EXPECT_EQ(item->text(), "&1 x7_dblab_test.cdr");
        delegate.documentController().closeAllDocuments();
        deleteClosedDocuments();
        item->trigger();
        ASSERT_EQ(delegate.documentController().documents().size(), 1);
        EXPECT_EQ(delegate.documentController().documents().first()->fileURL().toLocalFile(),
                  QFileInfo(drawing).absoluteFilePath());

        // Each document window has the menu too.
        Document *document = delegate.documentController().documents().first();
        ASSERT_TRUE(waitForPage(*document));
        bool found = false;
        for (QMenu *submenu : document->windowForSheet()->findChildren<QMenu *>())
            found = found || submenu->title() == menu->title();
        EXPECT_TRUE(found);

        menu->actions().last()->trigger(); // Clear Menu
        EXPECT_EQ(delegate.recentDrawings().drawings(), QStringList());
        delegate.documentController().closeAllDocuments();
        deleteClosedDocuments();
    }
    qputenv("XDG_DATA_HOME", previousData);
}
