#include "../conversion/TestDrawings.h"

#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The build installed into a prefix of its own, once for all tests here.
class InstalledThumbnailer : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_prefix = new QTemporaryDir;
        QProcess install;
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(QStringLiteral(CMAKE_COMMAND),
                      {"--install", QStringLiteral(BUILD_DIR), "--prefix", s_prefix->path()});
        ASSERT_TRUE(install.waitForFinished(300000));
        ASSERT_EQ(install.exitCode(), 0) << install.readAll().toStdString();
    }
    static void TearDownTestSuite()
    {
        delete s_prefix;
        s_prefix = nullptr;
    }

    // The entry's keys, as a file manager reads them.
    static QMap<QString, QString> entry()
    {
        QFile file(s_prefix->filePath("share/thumbnailers/quillmoor.thumbnailer"));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
        QMap<QString, QString> keys;
        bool inGroup = false;
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            if (line.startsWith(QLatin1Char('[')))
                inGroup = line == QLatin1String("[Thumbnailer Entry]");
            else if (const qsizetype equals = line.indexOf(QLatin1Char('=')); inGroup && equals > 0)
                keys.insert(line.left(equals), line.mid(equals + 1));
        }
        return keys;
    }

    static QStringList entryCommand()
    {
        return entry().value("Exec").split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }

    static QTemporaryDir *s_prefix;
};

QTemporaryDir *InstalledThumbnailer::s_prefix = nullptr;

QStringList filesUnder(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    return files;
}

struct Thumbnailing
{
    int status = -1;
    QImage picture;
    QStringList homeFiles;
    QStringList temporaryFiles;
    QByteArray errors;
};

// Runs the entry's command as a file manager does: %i the drawing, %o the
// picture to write, %s its size; in a home of its own, with no display.
Thumbnailing run(const QStringList &command, const QString &prefix, const QString &input, int size,
                 const QMap<QString, QString> &settings = {})
{
    QTemporaryDir home;
    QTemporaryDir temporary;
    QTemporaryDir output;
    const QString picture = output.filePath("thumbnail.png");
    QStringList arguments;
    for (QString argument : command.mid(1)) {
        argument.replace("%i", input).replace("%o", picture).replace("%s", QString::number(size));
        arguments.append(argument);
    }
    QProcessEnvironment environment;
    environment.insert("PATH", prefix + "/bin:/usr/bin:/bin");
    environment.insert("HOME", home.path());
    environment.insert("TMPDIR", temporary.path());
    // Sanitizer builds keep their suppressions.
    const QProcessEnvironment own = QProcessEnvironment::systemEnvironment();
    for (const char *sanitizer : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
        if (own.contains(sanitizer))
            environment.insert(sanitizer, own.value(sanitizer));
    }
    for (auto it = settings.begin(); it != settings.end(); ++it)
        environment.insert(it.key(), it.value());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStandardPaths::findExecutable(command.first(), {prefix + "/bin"}), arguments);
    EXPECT_TRUE(process.waitForFinished(120000));
    return {process.exitCode(), QImage(picture), filesUnder(home.path()),
            filesUnder(temporary.path()), process.readAllStandardError()};
}

} // namespace

TEST_F(InstalledThumbnailer, DrawsTheFirstPageWithoutWindowOrRecord)
{
    EXPECT_EQ(entry().value("MimeType"), QStringLiteral("application/vnd.corel-draw;image/x-cmx;"));
    EXPECT_EQ(entry().value("TryExec"), QStringLiteral("quillmoor-thumbnailer"));
    const QStringList command = entryCommand();
    ASSERT_EQ(command.value(0), QStringLiteral("quillmoor-thumbnailer"));
    ASSERT_TRUE(command.contains("%i") && command.contains("%o") && command.contains("%s"));
    for (const QString &name :
         {QStringLiteral("x7_models-heart_part1.cdr"), QStringLiteral("cdr09_fas-dpd_ICON.cdr"),
          QStringLiteral("cmx_libreoffice_fdo63782-1.cmx")}) {
        SCOPED_TRACE(name.toStdString());
        const Thumbnailing result = run(command, s_prefix->path(), drawing(name), 256);
        ASSERT_EQ(result.status, 0) << result.errors.toStdString();
        ASSERT_FALSE(result.picture.isNull());
        EXPECT_EQ(std::max(result.picture.width(), result.picture.height()), 256);
        int ink = 0;
        for (int y = 0; y < result.picture.height(); ++y)
            for (int x = 0; x < result.picture.width(); ++x)
                ink += qGray(result.picture.pixel(x, y)) < 200;
        EXPECT_GT(ink, 256 * 256 / 100);
        // No settings (so no count of opened drawings), no analytics, no
        // caches; the drawing's images are gone.
        EXPECT_EQ(result.homeFiles, QStringList());
        EXPECT_EQ(result.temporaryFiles, QStringList());
    }
}

TEST_F(InstalledThumbnailer, FailsCleanlyOnFilesItCannotDraw)
{
    const QStringList command = entryCommand();
    for (const QString &path : {damagedFile("text_renamed.cdr"), damagedFile("empty.cdr"),
                                damagedFile("truncated30_riff_cdr13_pcbdesignDiya_10s5p.cdr")}) {
        SCOPED_TRACE(path.toStdString());
        const Thumbnailing result = run(command, s_prefix->path(), path, 128);
        EXPECT_NE(result.status, 0);
        EXPECT_TRUE(result.picture.isNull());
        EXPECT_FALSE(result.errors.isEmpty());
        EXPECT_EQ(result.temporaryFiles, QStringList());
    }
}

// The thumbnailer reads drawings through the installed parser, so a drawing
// that crashes libcdr costs a thumbnail and leaves nothing behind.
TEST_F(InstalledThumbnailer, FailsCleanlyWhenItsParserCrashes)
{
    const QStringList command = entryCommand();
    for (const char *mode : {"crash", "crash-after-image"}) {
        SCOPED_TRACE(mode);
        const Thumbnailing result =
            run(command, s_prefix->path(), drawing("v23_2021_corolDrow_zakaz.cdr"), 128,
                {{"QUILLMOOR_PARSER", QUILLMOOR_TEST_PARSER},
                 {"QUILLMOOR_PARSER_TEST_MODE", QString::fromLatin1(mode)}});
        EXPECT_EQ(result.status, 1);
        EXPECT_TRUE(result.picture.isNull());
        EXPECT_TRUE(result.errors.contains("The parser was stopped by signal 11 "))
            << result.errors.toStdString();
        EXPECT_EQ(result.temporaryFiles, QStringList());
        EXPECT_EQ(result.homeFiles, QStringList());
    }
}
