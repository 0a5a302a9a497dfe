// SPDX-License-Identifier: Apache-2.0
// Checks that each PNG named on the command line holds a picture: it loads, is at least
// 64 x 32 pixels and has more than one colour (a blank grab is a single colour).
//
//   panelflasher_png_check FILE.png...
#include <QGuiApplication>
#include <QImage>
#include <QSet>

#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE.png...\n", argv[0]);
        return 2;
    }
    int bad = 0;
    for (int i = 1; i < argc; ++i) {
        const QImage image(QString::fromLocal8Bit(argv[i]));
        QSet<QRgb> colours;
        for (int y = 0; y < image.height() && colours.size() < 1000; ++y)
            for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
        const bool ok =
            !image.isNull() && image.width() >= 64 && image.height() >= 32 && colours.size() > 1;
        std::printf("%s: %s, %dx%d, %s%lld colours\n", argv[i], ok ? "ok" : "BLANK OR MISSING",
                    image.width(), image.height(), colours.size() >= 1000 ? "at least " : "",
                    static_cast<long long>(colours.size()));
        if (!ok) ++bad;
    }
    return bad == 0 ? 0 : 1;
}
