#include "chrome/ChromeLogic.h"

#include <algorithm>

namespace kotobane {

namespace {

// The hue function of the way back, x in degrees.
float HueToChannel(float m1, float m2, float x)
{
    constexpr float kSixtieth = 1.0f / 60.0f;
    if (x > 360.0f) {
        x -= 360.0f;
    } else if (x < 0.0f) {
        x += 360.0f;
    }
    if (x < 60.0f) {
        return m1 + (m2 - m1) * x * kSixtieth;
    }
    if (x < 180.0f) {
        return m2;
    }
    if (x < 240.0f) {
        return m1 + (m2 - m1) * (240.0f - x) * kSixtieth;
    }
    return m1;
}

}  // namespace

Colour HlsRoundTrip(Colour colour)
{
    constexpr float k510th = 1.0f / 510.0f;
    constexpr float k360th = 1.0f / 360.0f;
    constexpr float k255th = 1.0f / 255.0f;
    const int r = int(colour & 0xFF), g = int((colour >> 8) & 0xFF), b = int((colour >> 16) & 0xFF);
    const int max = std::max({r, g, b}), min = std::min({r, g, b});
    const float lightness = float(max + min) * k510th;
    float saturation = 0.0f, hue = 0.0f;
    if (max != min) {
        const float range = float(max - min);
        saturation = lightness <= 0.5f ? range / float(max + min) : range / float(510 - max - min);
        if (b == max) {
            hue = 60.0f * (4.0f + float(r - g) / range);
        } else if (g == max) {
            hue = 60.0f * (2.0f + float(b - r) / range);
        } else {
            hue = 60.0f * (6.0f + float(g - b) / range);
            if (hue > 360.0f) {
                hue -= 360.0f;
            }
        }
    }
    const int hueByte = int(hue * 255.0f * k360th);
    const int lightByte = int(lightness * 255.0f);
    const int satByte = int(saturation * 255.0f);

    if (satByte == 0) {
        return Colour(lightByte) | (Colour(lightByte) << 8) | (Colour(lightByte) << 16);
    }
    const float s = float(satByte) * k255th;
    const float l = float(lightByte) * k255th;
    const float m2 = l > 0.5f ? l + s - l * s : l * (1.0f + s);
    const float m1 = 2.0f * l - m2;
    const float h = float(hueByte) * 360.0f * k255th;
    const auto channel = [m1, m2](float x) {
        return Colour(std::clamp(int(255.0f * HueToChannel(m1, m2, x)), 0, 255));
    };
    return channel(h + 120.0f) | (channel(h) << 8) | (channel(h - 120.0f) << 16);
}

QList<ShadowPixel> ShadowStrips(int width, int height)
{
    QList<ShadowPixel> pixels;
    const auto percent = [](int a) { return 93 - 5 * a; };
    for (int i = 0; i <= width - 2; ++i) {
        const int j0 = i < 2 ? 2 - i : (i > width - 7 ? i - width + 7 : 0);
        const int j1 = i > width - 8 ? width - i - 4 : 4;
        for (int j = j0; j < j1; ++j) {
            int a = j;
            if (i == 0) {
                a = 0;
            } else if (i == 1) {
                a = j >= 2 ? 1 : 0;
            } else if (i == 2) {
                a = j >= 2 ? 2 : j;
            }
            pixels.append({i + 4, height - j - 1, percent(a)});
        }
    }
    for (int k = 0; k < kShadowWidth; ++k) {
        const int n = 2 - k;
        const int end = height - (k == 0 ? 2 : 1) - k - 4;
        for (int j = std::max(n, 0); j < end; ++j) {
            int a = k;
            if (j == 0) {
                a = 0;
            } else if (j == 1) {
                a = k >= 2 ? 1 : 0;
            } else if (j == 2) {
                a = n <= 0 ? 2 : k;
            }
            pixels.append({width - k - 1, j + 4, percent(a)});
        }
    }
    return pixels;
}

quint32 GrayIconPixel(quint32 argb)
{
    if ((argb & 0xFFFFFF) == 0) {
        return argb;
    }
    const long double r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    // The double constants in extended precision sum to just under 1, so a
    // neutral grey comes out one step darker.
    constexpr long double kGreen = 0.587, kBlue = 0.114, kRed = 0.299;  // double constants, widened
    const quint32 grey = quint32(kGreen * g + kBlue * b + kRed * r);
    return (argb & 0xFF000000u) | (grey << 16) | (grey << 8) | grey;
}

int MenuItemHeight(int fontHeight)
{
    return std::max(fontHeight + 2, 16) + 4;
}

quint32 MenuSeparatorValue(int fontHeight)
{
    return quint32(fontHeight / 2 + 2);
}

quint32 PackMenuItemData(int labelWidth, int acceleratorWidth, int itemHeight)
{
    return (quint32(labelWidth & 0xFFFF) << 16) | (quint32(acceleratorWidth & 0xFF) << 8) | quint32(itemHeight & 0xFF);
}

QSize MeasureMenuItem(quint32 itemData, int identifier)
{
    int height = int(itemData & 0xFF);
    const int label = int(itemData >> 16), accelerator = int((itemData >> 8) & 0xFF);
    const int width = height != 0 ? label + accelerator + 44 : label + 4;
    if (identifier == 0) {
        height = 5;
    }
    return QSize(width, height);
}

MenuText SplitMenuText(const QString& text)
{
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    if (tab < 0) {
        return {text, QString()};
    }
    return {text.left(tab), text.mid(tab + 1)};
}

QString LabelWithoutMnemonic(const QString& label)
{
    QString out = label;
    const qsizetype amp = out.indexOf(QLatin1Char('&'));
    if (amp >= 0) {
        out.remove(amp, 1);
    }
    return out;
}

int MenuCharToItem(const QStringList& labels, QChar character)
{
    const QChar wanted = character.toUpper();
    for (qsizetype item = 0; item < labels.size(); ++item) {
        const QString label = labels[item].toUpper();
        for (qsizetype pos = label.size() - 2; pos >= 0; --pos) {
            if (label[pos] == QLatin1Char('&') && label[pos + 1] == wanted
                && (pos == 0 || label[pos - 1] != QLatin1Char('&'))) {
                return int(item);
            }
        }
    }
    return -1;
}

}  // namespace kotobane
