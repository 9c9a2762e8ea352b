// Names as Windows and the image's Joliet tree take them.
#include "author/other_systems.h"

#include <gtest/gtest.h>

namespace tavelo::author {
namespace {

TEST(OtherSystems, WindowsNames)
{
    using P = WindowsNameProblem;
    const struct {
        const char16_t* name;
        P problem;
    } cases[] = {
        {u"01 Маяк.mp3", P::None},
        {u"CON", P::DeviceName},
        {u"nul.txt", P::DeviceName},
        {u"Aux .tar.gz", P::DeviceName},
        {u"com7.jpg", P::DeviceName},
        {u"LPT0", P::DeviceName},
        {u"COM10.jpg", P::None},
        {u"CONSOLE.txt", P::None},
        {u"a.NUL", P::None},
        {u"what?.mp3", P::Character},
        {u"a<b", P::Character},
        {u"a\"b", P::Character},
        {u"a|b", P::Character},
        {u"tab\there", P::Character},
        {u"back\\slash", P::Character},
        {u"trailing.", P::TrailingDotOrSpace},
        {u"trailing ", P::TrailingDotOrSpace},
        {u".hidden", P::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WindowsProblemOf(QString::fromUtf16(c.name)), c.problem) << QString::fromUtf16(c.name).toStdString();
}

TEST(OtherSystems, JolietReplacesWhatItCannotHold)
{
    EXPECT_EQ(JolietName(QStringLiteral("Сон;1 a:b*c?d\\e\x01.mp3")), QStringLiteral("Сон_1 a_b_c_d_e_.mp3"));
    EXPECT_EQ(JolietName(QStringLiteral("<ok> \"|\".mp3")), QStringLiteral("<ok> \"|\".mp3"));
}

}  // namespace
}  // namespace tavelo::author
