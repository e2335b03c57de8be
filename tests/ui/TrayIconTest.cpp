#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPalette>

#include "window/CTrayIcon.h"

using namespace kotobane;

namespace {

// The colour every opaque pixel of the tray's 22-pixel picture has, or an
// invalid colour when they differ or there are few of them (a tile, not the
// one-colour glyph).
QColor GlyphColour(const QIcon& icon)
{
    const QImage image = icon.pixmap(22, 22).toImage().convertToFormat(QImage::Format_ARGB32);
    QColor colour;
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() != 255) {
                continue;
            }
            if (opaque++ > 0 && pixel != colour) {
                return {};
            }
            colour = pixel;
        }
    }
    return opaque > 40 ? colour : QColor();
}

}  // namespace

// The tray follows the application palette as it changes: the glyph in the
// text colour of a dark one, the program icon under a light one.
TEST(TrayIconTest, FollowsTheApplicationPalette)
{
    const QPalette saved = QApplication::palette();
    const QIcon program(QStringLiteral(":/icons/128.svg"));
    CTrayIcon tray;
    tray.Create(program, QStringLiteral("Get Reading"), {});

    struct Row {
        QColor window, text;
        bool glyph;
    } const rows[] = {
        {QColor(0x2B, 0x2B, 0x2B), QColor(0xF2, 0xF2, 0xF2), true},
        {QColor(0xEF, 0xEF, 0xEF), QColor(0x00, 0x00, 0x00), false},
        {QColor(0x00, 0x00, 0x40), QColor(0xFF, 0xFF, 0x7F), true},
        {QColor(0x80, 0x80, 0x80), QColor(0x00, 0x00, 0x00), false},
    };
    for (const Row& row : rows) {
        QPalette palette = saved;
        palette.setColor(QPalette::Window, row.window);
        palette.setColor(QPalette::WindowText, row.text);
        QApplication::setPalette(palette);
        const QIcon shown = tray.Icon()->icon();
        if (row.glyph) {
            EXPECT_EQ(GlyphColour(shown), row.text) << row.window.name().toStdString();
        } else {
            EXPECT_EQ(shown.cacheKey(), program.cacheKey()) << row.window.name().toStdString();
            EXPECT_FALSE(GlyphColour(shown).isValid());
        }
    }
    QApplication::setPalette(saved);
}
