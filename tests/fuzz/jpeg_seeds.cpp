// Writes the JPEG fuzzer's seed files into the folder given: small pictures of
// every kind a disc may carry, made with the tests' encoder. Rebuild the seed
// corpus with
//   jpeg_fuzz_seeds /tmp/seeds && jpeg_fuzz -merge=1 tests/fuzz/corpus/jpeg /tmp/seeds
#include "fixtures/jpeg_codec.h"

#include <QDir>
#include <QFile>

#include <cstdio>

using namespace tavelo::test;

namespace {

struct Seed {
    const char* name;
    Pixels pixels;
    EncodeOptions options;
    int keepBytes = 0;  // cut the file short after this many bytes when set
};

EncodeOptions Progressive()
{
    EncodeOptions o;
    o.progressive = true;
    return o;
}

EncodeOptions Arithmetic(bool progressive)
{
    EncodeOptions o;
    o.arithmetic = true;
    o.progressive = progressive;
    return o;
}

EncodeOptions Cmyk(bool adobe, bool ycck)
{
    EncodeOptions o;
    o.adobe = adobe;
    o.ycck = ycck;
    return o;
}

EncodeOptions Restarts()
{
    EncodeOptions o;
    o.restartRows = 1;
    return o;
}

EncodeOptions Full444()
{
    EncodeOptions o;
    o.subsample = false;
    o.quality = 50;
    return o;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    const Seed seeds[] = {
        {"baseline", Photo(32, 24, 3), {}},
        {"baseline444", Photo(24, 17, 3), Full444()},
        {"progressive", Photo(32, 24, 3), Progressive()},
        {"grey", Photo(24, 16, 1), {}},
        {"grey_progressive", Photo(17, 9, 1), Progressive()},
        {"cmyk_adobe", Photo(16, 16, 4), Cmyk(true, false)},
        {"cmyk_plain", Photo(16, 8, 4), Cmyk(false, false)},
        {"ycck", Photo(16, 16, 4), Cmyk(true, true)},
        {"arithmetic", Photo(24, 16, 3), Arithmetic(false)},
        {"arithmetic_progressive", Photo(16, 16, 3), Arithmetic(true)},
        {"restarts", Photo(40, 32, 3), Restarts()},
        {"strip", Photo(100, 1, 3), {}},
        {"truncated", Photo(48, 48, 3), {}, 900},
        {"truncated_progressive", Photo(48, 48, 3), Progressive(), 1100},
    };
    for (const Seed& seed : seeds) {
        QByteArray bytes = EncodeJpeg(seed.pixels, seed.options);
        if (seed.keepBytes > 0 && seed.keepBytes < bytes.size())
            bytes.truncate(seed.keepBytes);
        QFile file(folder + QLatin1Char('/') + QLatin1String(seed.name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", seed.name);
            return 1;
        }
    }
    return 0;
}
