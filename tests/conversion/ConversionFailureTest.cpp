#include "TestDrawings.h"

#include "conversion/CDR2SVG.h"
#include "conversion/ConversionFailure.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

namespace {

struct Failure
{
    int code = 0;
    QString message;
    QString reason;
};

Failure convert(const QString &path)
{
    CDR2SVG converter(path);
    Error error;
    EXPECT_FALSE(converter.convertToSVG(&error)) << path.toStdString();
    return {error.code(), error.localizedDescription(), error.localizedFailureReason()};
}

// A RIFF file of the given form whose header declares `declared` bytes of
// content and which holds `present` bytes of noise after the header.
QString riffFile(const QTemporaryDir &dir, const QString &name, const QByteArray &form,
                 quint32 declared, int present)
{
    QByteArray bytes("RIFF");
    bytes.append(4, '\0');
    qToLittleEndian(declared, bytes.data() + 4);
    bytes.append(form);
    for (int i = 0; i < present; ++i)
        bytes.append(char((i * 37 + 11) & 0xff));
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

} // namespace

// The design's codes and messages stay; the reason names the file and the
// cause.
TEST(ConversionFailureTest, BadFilesNameTheFileAndTheCause)
{
    const QString newer = CDR2SVG::NewerVersionMessage;
    struct Case
    {
        QString path;
        Failure expected;
    };
    const Case cases[] = {
        {damagedFile("text_renamed.cdr"),
         {10, newer, "“text_renamed.cdr” is not a CorelDRAW drawing."}},
        {damagedFile("empty.cdr"), {10, newer, "“empty.cdr” is empty."}},
        {damagedFile("zip_random_member.cdr"),
         {10, newer, "“zip_random_member.cdr” is a zip archive that holds no CorelDRAW drawing."}},
        {damagedFile("truncated30_riff_cdr13_pcbdesignDiya_10s5p.cdr"),
         {11, newer,
          "“truncated30_riff_cdr13_pcbdesignDiya_10s5p.cdr” is truncated: it ends after 36465 of "
          "its 121550 bytes."}},
        {drawing("cmx_libreoffice_fdo63782-1.cmx"),
         {10, newer,
          "“cmx_libreoffice_fdo63782-1.cmx” is a CorelDRAW exchange (CMX) file, not a CorelDRAW "
          "drawing."}},
        {QStringLiteral("/nonexistent/drawing.cdr"), {10, newer, "“drawing.cdr” does not exist."}},
    };
    for (const Case &c : cases) {
        const Failure failure = convert(c.path);
        EXPECT_EQ(failure.code, c.expected.code) << c.path.toStdString();
        EXPECT_EQ(failure.message, c.expected.message);
        EXPECT_EQ(failure.reason, c.expected.reason);
    }
}

TEST(ConversionFailureTest, DamagedDrawingsAndUnknownVersionsAreToldApart)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    // Complete, of a version libcdr knows (X3), but with noise inside.
    const Failure damaged = convert(riffFile(dir, "noise.cdr", "CDRD", 4 + 4000, 4000));
    EXPECT_EQ(damaged.code, 11);
    EXPECT_EQ(damaged.reason,
              "“noise.cdr” is a CorelDRAW X3 drawing that libcdr could not read: the file is "
              "damaged, or libcdr cannot read drawings of this version.");

    // A version mark libcdr has no version for.
    const Failure unknown = convert(riffFile(dir, "future.cdr", "CDR0", 4 + 64, 64));
    EXPECT_EQ(unknown.code, 10);
    EXPECT_EQ(unknown.reason,
              "“future.cdr” was saved by a version of CorelDRAW that libcdr cannot read.");

    // Some other kind of RIFF file.
    const Failure sound = convert(riffFile(dir, "sound.cdr", "WAVE", 4 + 64, 64));
    EXPECT_EQ(sound.reason, "“sound.cdr” is not a CorelDRAW drawing.");

    // A zip-container drawing cut short loses the archive's directory.
    QFile whole(drawing("x7_dblab_test.cdr"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    QFile cut(dir.filePath("cut.cdr"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(whole.read(whole.size() / 2));
    cut.close();
    EXPECT_EQ(convert(cut.fileName()).reason, "“cut.cdr” is a damaged or truncated zip archive.");

    EXPECT_EQ(
        convert(dir.path()).reason,
        QStringLiteral("“%1” is a folder, not a drawing.").arg(QFileInfo(dir.path()).fileName()));
}

TEST(ConversionFailureTest, VersionNames)
{
    EXPECT_EQ(ConversionFailure::versionName(800), "CorelDRAW 8");
    EXPECT_EQ(ConversionFailure::versionName(1300), "CorelDRAW X3");
    EXPECT_EQ(ConversionFailure::versionName(1400), "CorelDRAW X4");
    EXPECT_EQ(ConversionFailure::versionName(2000), "CorelDRAW 2018");
    EXPECT_EQ(ConversionFailure::versionName(2500), "CorelDRAW 2023");
    EXPECT_EQ(ConversionFailure::versionName(2600), "");
    EXPECT_EQ(ConversionFailure::versionName(0), "");
}
