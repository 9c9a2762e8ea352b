// The author's check on hand-made discs: one bad disc per kind of finding,
// built from a small disc that checks clean.
#include "author/disc_check.h"
#include "content/paths.h"
#include "media/plain_text.h"
#include "menu/form1_inside.h"
#include "tests/author/author_fixture.h"
#include "tests/fixture.h"
#include "tests/media/private_desktop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QVariant>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <ostream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tavelo::author {
namespace {

using test::Disc;

// Songs and player programs open with the private desktop's recorder.
const bool kDesktopApplied = (test::PrivateDesktop::ForThisProcess(), true);

std::string Summary(const CheckReport& r)
{
    std::string s;
    for (const Finding& f : r.findings)
        s += (SeverityName(f.severity) + QLatin1Char(' ') + f.code + QLatin1Char(' ') + f.path + QStringLiteral(": ") +
              f.message + QLatin1Char('\n'))
                 .toStdString();
    return s;
}

const Finding* Find(const CheckReport& r, const QString& code)
{
    for (const Finding& f : r.findings)
        if (f.code == code)
            return &f;
    return nullptr;
}

void ExpectClean(const CheckReport& r)
{
    EXPECT_EQ(r.Count(Severity::Error), 0) << Summary(r);
    EXPECT_EQ(r.Count(Severity::Warning), 0) << Summary(r);
}

TEST(DiscCheck, GoodDiscChecksCleanAndKitFilesAreNotUnused)
{
    Disc disc;
    test::WriteGoodDisc(disc);
    disc.Write(QStringLiteral("autorun.sh"), "#!/bin/sh\n");
    disc.Write(QStringLiteral("tavelo/bin/tavelo"), "x");
    const CheckReport r = CheckDisc(disc.Root());
    ExpectClean(r);
    EXPECT_FALSE(r.Has(QStringLiteral("unused-file"))) << Summary(r);
    EXPECT_EQ(r.slides, (QStringList{QStringLiteral("01 a"), QStringLiteral("02 b")}));
    ASSERT_EQ(r.catalogue.size(), 1u);
    EXPECT_EQ(r.catalogue[0].songs, QStringList{QStringLiteral("01 s")});
}

TEST(DiscCheck, DemoDiscChecksClean)
{
    const CheckReport r = CheckDisc(QStringLiteral(TAVELO_DEMO_DISC));
    ExpectClean(r);
    EXPECT_EQ(r.slides.size(), 5);
    EXPECT_EQ(r.catalogue.size(), 2u);
}

void WriteRawName(const Disc& disc, const QString& folder, const QByteArray& name)
{
    const QByteArray path = QFile::encodeName(disc.Path(folder)) + '/' + name;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
}

void Sparse(const Disc& disc, const QString& rel, qint64 size)
{
    disc.Write(rel, QByteArray());
    ASSERT_TRUE(QFile::resize(disc.Path(rel), size));
}

struct BadDisc {
    const char* name;
    std::function<void(Disc&)> spoil;
    Severity severity;
    const char* code;
    const char* path;  // nullptr: not checked
};

// CTest lists the cases by name.
void PrintTo(const BadDisc& c, std::ostream* os) { *os << c.name; }

class BadDiscs : public ::testing::TestWithParam<BadDisc> {};

TEST_P(BadDiscs, GiveTheirFinding)
{
    const BadDisc& c = GetParam();
    Disc disc;
    test::WriteGoodDisc(disc);
    c.spoil(disc);
    const CheckReport r = CheckDisc(disc.Root());
    // Qt cannot name (so cannot remove) a file whose name is not UTF-8.
    QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), disc.Root()});
    const Finding* f = Find(r, QString::fromLatin1(c.code));
    ASSERT_TRUE(f) << Summary(r);
    EXPECT_EQ(f->severity, c.severity) << Summary(r);
    if (c.path) {
        EXPECT_EQ(f->path, QString::fromUtf8(c.path));
    }
}

const auto rm = [](const char* rel) {
    return [rel](Disc& d) { ASSERT_TRUE(QFile::remove(d.Path(QString::fromUtf8(rel)))); };
};
const auto rmdir = [](const char* rel) {
    return [rel](Disc& d) { ASSERT_TRUE(QDir(d.Path(QString::fromUtf8(rel))).removeRecursively()); };
};
const auto write = [](const char* rel, const char* bytes = "x") {
    return [rel, bytes](Disc& d) { d.Write(QString::fromUtf8(rel), bytes); };
};
const auto symlink = [](const char* rel, const QString& target) {
    return [rel, target](Disc& d) {
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(d.Path(QString::fromUtf8(rel)))),
                  0);
    };
};
// A song with its lyrics, the song's place taken by make.
const auto song = [](const char* name, std::function<void(const QByteArray&)> make) {
    return [name, make](Disc& d) {
        d.Write(QStringLiteral("text/A/%1.txt").arg(QString::fromUtf8(name)), "la");
        make(QFile::encodeName(d.Path(QStringLiteral("sound/A/%1.mp3").arg(QString::fromUtf8(name)))));
    };
};

// Folders nested under rel until their path passes the system's limit.
void DeepFolders(Disc& d, const QString& rel)
{
    d.MakeDir(rel);
    int fd = ::open(QFile::encodeName(d.Path(rel)).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    const std::string name(250, 'd');
    for (int level = 0; level * 251 < PATH_MAX + 251; ++level) {
        ASSERT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
        const int child = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(child, 0);
        fd = child;
    }
    ::close(fd);
}

INSTANTIATE_TEST_SUITE_P(
    , BadDiscs,
    ::testing::Values(
        BadDisc{"MissingFolder", rmdir("help"), Severity::Error, "missing-folder", "help"},
        BadDisc{"FileForFolder",
                [](Disc& d) {
                    rmdir("about disk")(d);
                    d.Write(QStringLiteral("about disk"), "x");
                },
                Severity::Error, "not-a-folder", "about disk"},
        BadDisc{"FolderForFile",
                [](Disc& d) {
                    rm("help/help.txt")(d);
                    d.MakeDir(QStringLiteral("help/help.txt"));
                },
                Severity::Error, "not-a-file", "help/help.txt"},
        BadDisc{"MissingText", rm("about disk/about.txt"), Severity::Error, "missing-file", "about disk/about.txt"},
        BadDisc{"EmptyText", write("help/help.txt", ""), Severity::Warning, "text-empty", "help/help.txt"},
        BadDisc{"BrokenSlide", write("picture/03 c.jpg", "not a picture"), Severity::Error, "picture-unreadable",
                "picture/03 c.jpg"},
        BadDisc{"NoSlides",
                [](Disc& d) {
                    rm("picture/01 a.jpg")(d);
                    rm("picture/02 b.jpg")(d);
                },
                Severity::Error, "no-pictures", "picture"},
        BadDisc{"InvisibleSlide", [](Disc& d) { d.WriteJpeg(QStringLiteral("picture/03 strip.jpg"), 1, 1000); },
                Severity::Warning, "picture-invisible", "picture/03 strip.jpg"},
        BadDisc{"GroupPhotoNotFirst",
                [](Disc& d) {
                    ASSERT_TRUE(QFile::rename(d.Path(QStringLiteral("about group/00 photo.jpg")),
                                              d.Path(QStringLiteral("about group/photo.jpg"))));
                },
                Severity::Error, "page-picture-not-first", "about group/about.txt"},
        BadDisc{"EmptyPlayerFolderPicture",
                [](Disc& d) {
                    rmdir("player")(d);
                    d.MakeDir(QStringLiteral("player"));
                },
                Severity::Error, "page-picture-missing", "player"},
        BadDisc{"StrayFileInSound", write("sound/readme.txt"), Severity::Error, "sound-stray-file", "sound/readme.txt"},
        BadDisc{"EmptyAlbum", [](Disc& d) { d.MakeDir(QStringLiteral("sound/B")); }, Severity::Warning, "album-empty",
                "sound/B"},
        BadDisc{"TextTheViewRefuses",
                [](Disc& d) { d.Write(QStringLiteral("help/help.txt"), QByteArray(300000, '\n')); }, Severity::Error,
                "text-unreadable", "help/help.txt"},
        BadDisc{"MissingLyrics", rm("text/A/01 s.txt"), Severity::Error, "lyrics-missing", "text/A/01 s.txt"},
        BadDisc{"OrphanLyrics", write("text/A/01 z.txt", "la"), Severity::Warning, "lyrics-orphan", "text/A/01 z.txt"},
        BadDisc{"SongNotMp3",
                [](Disc& d) {
                    d.Write(QStringLiteral("sound/A/02 t.wav"), "RIFF");
                    d.Write(QStringLiteral("text/A/02 t.txt"), "la");
                },
                Severity::Error, "song-missing", "sound/A/02 t.wav"},
        BadDisc{"PlayerMissing", rm("player/player.exe"), Severity::Error, "player-missing", "player/player.exe"},
        BadDisc{"CaseClash", [](Disc& d) { d.WriteJpeg(QStringLiteral("picture/01 A.jpg"), 8, 8); }, Severity::Warning,
                "case-clash", "picture/01 A.jpg"},
        BadDisc{"QuestionMarkBeforeDigit", [](Disc& d) { d.WriteJpeg(QStringLiteral("picture/?3 c.jpg"), 8, 8); },
                Severity::Warning, "question-mark-name", "picture/?3 c.jpg"},
        BadDisc{"NameNotUtf8", [](Disc& d) { WriteRawName(d, QStringLiteral("about disk"), "\xC0\xFF.txt"); },
                Severity::Warning, "name-not-utf8", nullptr},
        BadDisc{"BackslashInName", [](Disc& d) { WriteRawName(d, QStringLiteral("about disk"), "a\\b.txt"); },
                Severity::Warning, "backslash-name", "about disk/a\\b.txt"},
        BadDisc{"WindowsDeviceName",
                [](Disc& d) {
                    d.Write(QStringLiteral("sound/A/Aux.mp3"), test::Mp3Bytes());
                    d.Write(QStringLiteral("text/A/Aux.txt"), "la");
                },
                Severity::Error, "windows-device-name", "sound/A/Aux.mp3"},
        BadDisc{"WindowsCharacterInAnUnusedFile", write("about disk/a|b.doc"), Severity::Warning,
                "windows-character", "about disk/a|b.doc"},
        BadDisc{"JolietReplacesASemicolon", [](Disc& d) { d.WriteJpeg(QStringLiteral("picture/03 a;b.jpg"), 8, 8); },
                Severity::Warning, "joliet-name", "picture/03 a;b.jpg"},
        BadDisc{"JolietCutsALongName",
                [](Disc& d) { d.WriteJpeg(QStringLiteral("picture/%1.jpg").arg(QString(110, QLatin1Char('x'))), 8, 8); },
                Severity::Warning, "joliet-name-too-long", nullptr},
        BadDisc{"WindowsPathTooLong",
                [](Disc& d) {
                    const QString deep = QStringLiteral("about disk/") + QString(90, QLatin1Char('a')) +
                                         QLatin1Char('/') + QString(90, QLatin1Char('b'));
                    d.Write(deep + QLatin1Char('/') + QString(90, QLatin1Char('c')), "x");
                },
                Severity::Warning, "windows-path-too-long", nullptr},
        BadDisc{"HiddenName", write("picture/.thumbs.jpg"), Severity::Note, "hidden-name", "picture/.thumbs.jpg"},
        BadDisc{"UnusedFile", write("about disk/notes.doc"), Severity::Note, "unused-file", "about disk/notes.doc"},
        BadDisc{"NeedsDvd", [](Disc& d) { Sparse(d, QStringLiteral("about disk/big.bin"), qint64(800) * 1000 * 1000); },
                Severity::Note, "too-big-for-cd", ""},
        BadDisc{"TooBigForDvd",
                [](Disc& d) { Sparse(d, QStringLiteral("about disk/big.bin"), qint64(5) * 1000 * 1000 * 1000); },
                Severity::Warning, "too-big-for-dvd", ""},
        BadDisc{"FifoSong", song("02 f", [](const QByteArray& p) { ASSERT_EQ(::mkfifo(p.constData(), 0644), 0); }),
                Severity::Error, "special-file", "sound/A/02 f.mp3"},
        BadDisc{"EmptySong", song("02 e", [](const QByteArray& p) { ASSERT_TRUE(QFile(QFile::decodeName(p)).open(QIODevice::WriteOnly)); }),
                Severity::Warning, "song-empty", "sound/A/02 e.mp3"},
        BadDisc{"FolderNamedAsSong",
                [](Disc& d) {
                    d.Write(QStringLiteral("sound/A/02 x"), test::Mp3Bytes());
                    d.Write(QStringLiteral("text/A/02 x.txt"), "la");
                    d.MakeDir(QStringLiteral("sound/A/02 x.mp3"));
                },
                Severity::Error, "not-a-file", "sound/A/02 x.mp3"},
        BadDisc{"PictureFolderLoop",
                [](Disc& d) {
                    rmdir("picture")(d);
                    symlink("picture", QStringLiteral("picture"))(d);
                },
                Severity::Error, "folder-unreadable", "picture"},
        BadDisc{"LinkOutOfTheDisc", symlink("about disk/elsewhere.txt", QDir::tempPath()), Severity::Warning,
                "symlink-outside", "about disk/elsewhere.txt"},
        BadDisc{"PathPastTheLimit", [](Disc& d) { DeepFolders(d, QStringLiteral("about disk/deep")); },
                Severity::Warning, "path-too-long", nullptr}),
    [](const ::testing::TestParamInfo<BadDisc>& info) { return std::string(info.param.name); });

TEST(DiscCheck, ErrorsCarryTheMenusOwnMessage)
{
    Disc disc;
    test::WriteGoodDisc(disc);
    disc.Write(QStringLiteral("picture/03 c.jpg"), "not a picture");
    QFile::remove(disc.Path(QStringLiteral("text/A/01 s.txt")));
    const CheckReport r = CheckDisc(disc.Root());
    const Finding* picture = Find(r, QStringLiteral("picture-unreadable"));
    const Finding* lyrics = Find(r, QStringLiteral("lyrics-missing"));
    ASSERT_TRUE(picture && lyrics) << Summary(r);
    EXPECT_TRUE(picture->message.endsWith(QStringLiteral("JPEG error #53."))) << picture->message.toStdString();
    EXPECT_TRUE(lyrics->message.contains(
        QStringLiteral("Cannot open file \"%1/text/A/01 s.txt\". No such file or directory.").arg(disc.Root())))
        << lyrics->message.toStdString();
}

TEST(DiscCheck, NotesTheEncodingEachTextIsReadIn)
{
    Disc disc;
    test::WriteGoodDisc(disc);
    disc.Write(QStringLiteral("about group/about.txt"), "{\\rtf1 Hello}");
    disc.Write(QStringLiteral("about disk/about.txt"), QByteArray("\xFF\xFEH\0i\0", 6));
    disc.Write(QStringLiteral("help/help.txt"), "\xcf\xf0\xe8\xe2\xe5\xf2");  // "Привет" in Windows-1251
    const CheckReport r = CheckDisc(disc.Root());
    QMap<QString, QString> encodings;
    for (const Finding& f : r.findings)
        if (f.code == QLatin1String("text-encoding"))
            encodings[f.path] = f.message;
    EXPECT_TRUE(encodings.value(QStringLiteral("about group/about.txt")).endsWith(QStringLiteral("read as RTF.")));
    EXPECT_TRUE(
        encodings.value(QStringLiteral("about disk/about.txt")).contains(QStringLiteral("UTF-16 little-endian")));
    EXPECT_TRUE(encodings.value(QStringLiteral("help/help.txt")).contains(QStringLiteral("Windows-1251")));
    EXPECT_TRUE(encodings.value(QStringLiteral("text/A/01 s.txt")).contains(QStringLiteral("ASCII")));
}

TEST(DiscCheck, BoxSizesAreTheWindows)
{
    TForm1::Options options;
    options.runFormCreate = false;
    TForm1 window(options);
    const TForm1::Inside ui(window);
    EXPECT_EQ(ui.Image1->size(), QSize(kImage1Box.width, kImage1Box.height));
    EXPECT_EQ(ui.Image2->size(), QSize(kImage2Box.width, kImage2Box.height));
}

TEST(DiscCheck, LinkOutOfTheDiscNamesItsTarget)
{
    Disc disc;
    test::WriteGoodDisc(disc);
    symlink("about disk/elsewhere", QDir::tempPath())(disc);
    const Finding* f = Find(CheckDisc(disc.Root()), QStringLiteral("symlink-outside"));
    ASSERT_TRUE(f);
    EXPECT_TRUE(f->message.contains(QFileInfo(QDir::tempPath()).canonicalFilePath())) << f->message.toStdString();
}

// A budget smaller than any picture lets each decode alone: nothing waits
// for ever, and every picture is still checked.
TEST(DiscCheck, PicturesDecodeWithinAnyMemoryBudget)
{
    Disc disc;
    test::WriteGoodDisc(disc);
    disc.Write(QStringLiteral("picture/03 c.jpg"), "not a picture");
    disc.WriteJpeg(QStringLiteral("picture/04 d.jpg"), 1, 1000);
    CheckOptions tight;
    tight.threads = 4;
    tight.memoryBudget = 1;
    const CheckReport bounded = CheckDisc(disc.Root(), tight);
    const CheckReport free = CheckDisc(disc.Root());
    EXPECT_EQ(Summary(bounded), Summary(free));
    EXPECT_TRUE(bounded.Has(QStringLiteral("picture-unreadable")) && bounded.Has(QStringLiteral("picture-invisible")))
        << Summary(bounded);
}

// Names that would forge a line, reach the terminal or are not UTF-8, as slides.
struct HostileName {
    const char* label;
    QByteArray bytes;
    const char* shown;  // in the text report
};

void PrintTo(const HostileName& c, std::ostream* os) { *os << c.label; }

class HostileNames : public ::testing::TestWithParam<HostileName> {};

TEST_P(HostileNames, ReachTheReportsEscaped)
{
    const HostileName& c = GetParam();
    Disc disc;
    test::WriteGoodDisc(disc);
    QFile jpeg(disc.Path(QStringLiteral("picture/01 a.jpg")));
    ASSERT_TRUE(jpeg.open(QIODevice::ReadOnly));
    WriteRawName(disc, QStringLiteral("picture"), c.bytes + ".jpg");
    const QByteArray slide = QFile::encodeName(disc.Path(QStringLiteral("picture"))) + '/' + c.bytes + ".jpg";
    const int fd = ::open(slide.constData(), O_WRONLY);
    const QByteArray picture = jpeg.readAll();
    ASSERT_EQ(::write(fd, picture.constData(), static_cast<size_t>(picture.size())), picture.size());
    ::close(fd);
    const CheckReport r = CheckDisc(disc.Root());
    QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), disc.Root()});

    const QString text = ReportText(r);
    EXPECT_TRUE(text.contains(QString::fromUtf8(c.shown))) << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("\nResult:")), 1) << text.toStdString();
    for (QChar ch : text)
        ASSERT_TRUE(ch == QLatin1Char('\n') || ch.unicode() >= 0x20) << text.toStdString();

    const QByteArray json = ReportJson(r);
    EXPECT_TRUE(IsValidUtf8(json)) << json.toStdString();
    EXPECT_FALSE(json.contains("\\udc")) << json.toStdString();
    const QJsonObject root = QJsonDocument::fromJson(json).object();
    const QJsonArray slides = root.value(QStringLiteral("slides")).toArray();
    const QJsonValue bytes = root.value(QStringLiteral("slides_bytes"));
    const bool utf8 = IsValidUtf8(c.bytes);
    ASSERT_EQ(bytes.isUndefined(), utf8) << json.toStdString();
    const qsizetype at = slides.toVariantList().indexOf(DisplayName(DecodeName(c.bytes)));
    ASSERT_GE(at, 0) << json.toStdString();
    if (!utf8)
        EXPECT_EQ(QByteArray::fromPercentEncoding(bytes.toArray().at(at).toString().toLatin1()), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    , HostileNames,
    ::testing::Values(HostileName{"ForgedLine", "03\nResult: 0 error(s)", "03\\nResult: 0 error(s)"},
                      HostileName{"TerminalTitle", "03 \x1b]0;owned\x07", "03 \\x1b]0;owned\\x07"},
                      HostileName{"Latin1", "03 caf\xe9", "03 caf\xef\xbf\xbd"}),
    [](const ::testing::TestParamInfo<HostileName>& info) { return std::string(info.param.label); });

TEST(DiscCheck, MissingFolderCannotBeChecked)
{
    EXPECT_THROW(CheckDisc(QStringLiteral("/nonexistent/tavelo-disc")), CheckFailure);
}

}  // namespace
}  // namespace tavelo::author
