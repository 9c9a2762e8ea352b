// Reading a text where only POSIX can make a read fail after the open.
#include "base/errors.h"
#include "media/plain_text.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>

namespace tavelo {
namespace {

// A read that fails is an error, never a shorter text.
TEST(TextRead, AFailedReadIsAnErrorNeverAShorterText)
{
    const QTemporaryDir dir;
    const FileDescriptor folder(::open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_DIRECTORY));
    ASSERT_TRUE(folder);
    EXPECT_THROW(ReadWholeFile(folder), EReadError);
}

}  // namespace
}  // namespace tavelo
