#include "base/error_report.h"

#include "base/errors.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <new>

using namespace tavelo;

TEST(FinalMessage, FullStopRule)
{
    EXPECT_EQ(FinalMessage(QString()), QString());
    EXPECT_EQ(FinalMessage(QStringLiteral("Invalid index")), QStringLiteral("Invalid index."));
    EXPECT_EQ(FinalMessage(QStringLiteral("Done.")), QStringLiteral("Done."));
    EXPECT_EQ(FinalMessage(QStringLiteral("path: \"x\"")), QStringLiteral("path: \"x\""));
    for (const char* kept : {"a ", "a!", "a)", "a,", "a-"})
        EXPECT_EQ(FinalMessage(QString::fromUtf8(kept)), QString::fromUtf8(kept));
    for (const char* added : {"a/", "a:", "a?", "a9", "ошибка"})
        EXPECT_EQ(FinalMessage(QString::fromUtf8(added)), QString::fromUtf8(added) + QLatin1Char('.'));
}

namespace {
struct Recorder : ErrorReport {
    QStringList seen;
    void Report(const QString& m) override { seen << m; }
};
}  // namespace

TEST(Guarded, ReportsAndKeepsWhatTheHandlerChanged)
{
    Recorder rec;
    InstallErrorReport(&rec);
    int changed = 0;
    EXPECT_FALSE(Guarded([&] {
        changed = 1;
        throw EJPEG(QStringLiteral("JPEG error #53"));
    }));
    EXPECT_EQ(changed, 1);
    EXPECT_FALSE(Guarded([] { throw std::bad_alloc(); }));
    EXPECT_TRUE(Guarded([&] { changed = 2; }));
    InstallErrorReport(nullptr);
    EXPECT_EQ(rec.seen, (QStringList{QStringLiteral("JPEG error #53."), QStringLiteral("Out of memory.")}));
    EXPECT_EQ(changed, 2);
}
