// Compares a menu's drop shadow in a screenshot with the screen before the
// menu opened: every shadow pixel must be the pixel behind it darkened by
// the rule's percentage, within 1 a channel.
//   shadow_probe BEFORE.png AFTER.png X Y WIDTH HEIGHT [RATIO]
// X, Y, WIDTH and HEIGHT are the menu window's, in device pixels; RATIO is
// the device pixels per logical pixel. Prints the pixels checked and wrong.
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <cstdlib>

#include "chrome/ChromeLogic.h"

using namespace kotobane;

int main(int argc, char** argv)
{
    if (argc < 7) {
        std::fprintf(stderr, "usage: shadow_probe BEFORE.png AFTER.png X Y WIDTH HEIGHT [RATIO]\n");
        return 2;
    }
    const QImage before(QString::fromLocal8Bit(argv[1]));
    const QImage after(QString::fromLocal8Bit(argv[2]));
    const int x = std::atoi(argv[3]), y = std::atoi(argv[4]);
    const int ratio = argc > 7 ? std::atoi(argv[7]) : 1;
    const int width = std::atoi(argv[5]) / ratio, height = std::atoi(argv[6]) / ratio;
    if (before.isNull() || after.isNull() || ratio < 1) {
        std::fprintf(stderr, "shadow_probe: cannot read the screenshots\n");
        return 2;
    }
    int checked = 0, wrong = 0;
    for (const ShadowPixel& p : ShadowStrips(width, height)) {
        for (int dy = 0; dy < ratio; ++dy) {
            for (int dx = 0; dx < ratio; ++dx) {
                const QPoint at(x + p.x * ratio + dx, y + p.y * ratio + dy);
                const QRgb behind = before.pixel(at), shown = after.pixel(at);
                const auto off = [&](int b, int s) { return std::abs(Darken(b, p.percent) - s) > 1; };
                ++checked;
                if (off(qRed(behind), qRed(shown)) || off(qGreen(behind), qGreen(shown))
                    || off(qBlue(behind), qBlue(shown))) {
                    if (++wrong <= 5) {
                        std::fprintf(stderr, "at %d,%d (%d%%): behind %06x, shown %06x\n", at.x(), at.y(), p.percent,
                                     behind & 0xFFFFFF, shown & 0xFFFFFF);
                    }
                }
            }
        }
    }
    std::printf("%d checked, %d wrong\n", checked, wrong);
    return checked > 0 && wrong == 0 ? 0 : 1;
}
