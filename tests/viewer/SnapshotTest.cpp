#include "ViewerTestSupport.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
struct SnapshotRun
{
    int exitCode = -1;
    QString errors;
};

SnapshotRun snapshot(const QString &output, const QString &drawingPath)
{
    QProcess process;
    process.start(QStringLiteral(QUILLMOOR_EXECUTABLE),
                  {QStringLiteral("--snapshot"), output, drawingPath});
    process.waitForFinished(240000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardError())};
}
} // namespace

TEST(Snapshot, WritesPictureWithInkForRealDrawings)
{
    QTemporaryDir dir;
    for (const char *name :
         {"files/x7_models-heart_part1.cdr", "files/v20_2018_corolDrow_AAAAA.cdr",
          "files/v25_2024_Razoom-laser_map.cdr"}) {
        const QString output = dir.filePath(QStringLiteral("snapshot.png"));
        QFile::remove(output);
        const SnapshotRun run = snapshot(output, drawing(QString::fromLatin1(name)));
        EXPECT_EQ(run.exitCode, 0) << name << run.errors.toStdString();
        const QImage picture(output);
        ASSERT_FALSE(picture.isNull()) << name;
        EXPECT_GT(inkPixels(picture), 100) << name;
    }
}

TEST(Snapshot, DamagedDrawingGivesErrorAndNoPicture)
{
    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("snapshot.png"));
    const SnapshotRun run =
        snapshot(output, drawing("bad/truncated30_riff_cdr13_pcbdesignDiya_10s5p.cdr"));
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.errors.contains("newer version of CorelDRAW")) << run.errors.toStdString();
    EXPECT_FALSE(QFile::exists(output));
}
