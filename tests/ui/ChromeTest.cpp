#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "chrome/CFlatButton.h"
#include "chrome/CMenuXP.h"
#include "chrome/CRoundFrameEdit.h"
#include "chrome/ChromeLogic.h"
#include "settings/Colours.h"

using namespace kotobane;

namespace {

constexpr Colour kRest = 0x800000, kHover = 0xC64646, kBorder = 0x7FFFFF;

// An icon that fills its whole square, and one that fills only its top-left
// quarter, so that a picture tells which one is drawn and where.
QIcon Square(bool quarter)
{
    QPixmap pixmap(8, 8);
    pixmap.fill(Qt::transparent);
    QPainter(&pixmap).fillRect(quarter ? QRect(0, 0, 4, 4) : QRect(0, 0, 8, 8), Qt::black);
    return QIcon(pixmap);
}

// Three buttons in a row, the first one set up as the popup sets its own.
class FlatButtonTest : public ::testing::Test {
protected:
    FlatButtonTest()
    {
        for (int i = 0; i < 3; ++i) {
            buttons[i] = new CRoundedFlatButton(&parent);
            buttons[i]->setGeometry(20 * i, 0, 20, 20);
            buttons[i]->setFocusPolicy(Qt::TabFocus);
        }
        b = buttons[0];
        b->setIconSize(QSize(8, 8));
        b->SetIcon(Square(false), Square(true));
        b->SetColor(0, kHover, false);
        b->SetColor(2, kRest, false);
        b->SetColor(4, kRest, false);
        b->borderColour = kBorder;
        b->SetIconColor(kBorder);
        b->SetRounded(true, true);
        parent.resize(60, 20);
        parent.show();
        QApplication::processEvents();
    }
    void Move(QPoint at, Qt::MouseButtons held = Qt::NoButton)
    {
        QMouseEvent move(QEvent::MouseMove, at, b->mapToGlobal(at), Qt::NoButton, held, Qt::NoModifier);
        QApplication::sendEvent(b, &move);
    }
    Colour At(int x, int y) { return FromQColor(b->grab().toImage().pixelColor(x, y)); }

    QWidget parent;
    CRoundedFlatButton* buttons[3] = {};
    CRoundedFlatButton* b = nullptr;
};

TEST_F(FlatButtonTest, PaintsRestHoverAndPressedStates)
{
    // At rest: the background colour and the out icon, centred.
    EXPECT_EQ(At(2, 10), kRest);
    EXPECT_EQ(At(7, 7), kBorder);
    EXPECT_EQ(At(12, 12), kRest);
    // Hovered: the rounded box in the hover colour with the border, the in icon.
    Move(QPoint(10, 10));
    ASSERT_TRUE(b->Hover());
    EXPECT_EQ(At(2, 10), kHover);
    EXPECT_EQ(At(10, 0), kBorder);
    EXPECT_NE(At(0, 0), kBorder);  // the corner is rounded off
    EXPECT_EQ(At(12, 12), kBorder);
    // Pressed: the in icon one pixel right and down.
    b->setDown(true);
    EXPECT_EQ(At(6, 6), kHover);
    EXPECT_EQ(At(14, 14), kBorder);
    b->setDown(false);
    // Square corners when not rounded.
    b->SetRounded(false, true);
    EXPECT_EQ(At(0, 0), kBorder);
}

TEST_F(FlatButtonTest, HoverEndsOnLeaveFocusLossAndDisableAndNotWithAButtonHeld)
{
    Move(QPoint(10, 10), Qt::LeftButton);
    EXPECT_FALSE(b->Hover());  // a drag that enters does not light it
    const std::function<void()> endings[] = {
        [this] { Move(QPoint(30, 10)); },
        [this] {
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(b, &leave);
        },
        [this] {
            QFocusEvent out(QEvent::FocusOut);
            QApplication::sendEvent(b, &out);
        },
        [this] { b->setEnabled(false); },
    };
    for (const auto& end : endings) {
        b->setEnabled(true);
        Move(QPoint(10, 10));
        ASSERT_TRUE(b->Hover());
        end();
        EXPECT_FALSE(b->Hover());
    }
}

TEST_F(FlatButtonTest, DisablingMovesTheFocusToTheNextTabStop)
{
    buttons[2]->setFocus();
    b->setEnabled(false);
    EXPECT_TRUE(buttons[1]->hasFocus());  // also when it did not have the focus
    // Disabled, the icon is embossed instead of drawn in the icon colour.
    EXPECT_NE(At(7, 7), kBorder);
}

TEST_F(FlatButtonTest, ColourIndexAboveFiveIsRefusedAndDoubleClicksCountTwice)
{
    EXPECT_EQ(b->SetColor(6, 0xFFFFFF, true), 3);
    EXPECT_EQ(b->SetColor(5, 0xFFFFFF, true), 0);
    EXPECT_EQ(b->SetColor(0x105, 0x123456, false), 0);  // only the low 8 bits count
    EXPECT_EQ(b->ColorAt(5), 0x123456u);
    QSignalSpy clicks(b, &QPushButton::clicked);
    QTest::mouseClick(b, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
    // A fast double click as the window system reports it.
    const QPoint at(10, 10);
    for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                            QEvent::MouseButtonRelease}) {
        const bool down = type != QEvent::MouseButtonRelease;
        QMouseEvent event(type, at, b->mapToGlobal(at), Qt::LeftButton, down ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(b, &event);
    }
    EXPECT_EQ(clicks.count(), 3);
}

TEST(CMenuXPTest, ItemsTakeTheMeasuredGeometryInsideFrameAndShadow)
{
    Settings settings;
    CMenuXP menu(settings, false);
    QAction* first = menu.addAction(QStringLiteral("&Get text"));
    menu.addSeparator();
    QAction* history = menu.addAction(QStringLiteral("&History"));
    menu.setDefaultAction(first);
    menu.popup(QPoint(100, 100));
    QApplication::processEvents();
    QFont bold = menu.font();
    bold.setBold(true);
    const int label = QFontMetrics(bold).horizontalAdvance(QStringLiteral("Get text"));
    const int height = MenuItemHeight(menu.fontMetrics().height());
    EXPECT_EQ(menu.ItemSize(false), QSize(label + 44, height));
    EXPECT_EQ(menu.ItemSize(true), QSize(44, 5));
    const QRect a = menu.actionGeometry(first), s = menu.actionGeometry(menu.actions()[1]),
                h = menu.actionGeometry(history);
    EXPECT_EQ(a.topLeft(), QPoint(CMenuXP::kFrameWidth, CMenuXP::kFrameWidth));
    EXPECT_EQ(a.height(), height);
    EXPECT_EQ(s.height(), 5);
    EXPECT_EQ(h.top(), a.height() + 5 + CMenuXP::kFrameWidth);
    EXPECT_EQ(menu.width(), label + 44 + 2 * CMenuXP::kFrameWidth + kShadowWidth);
    EXPECT_EQ(menu.height(), 2 * height + 5 + 2 * CMenuXP::kFrameWidth + kShadowWidth);

    // The frame, the image strip and the item area in the settings' colours.
    const QImage picture = menu.grab().toImage();
    EXPECT_EQ(FromQColor(picture.pixelColor(0, 10)), settings.BorderColor);
    EXPECT_EQ(FromQColor(picture.pixelColor(1, 10)), HlsRoundTrip(settings.Background));
    EXPECT_EQ(FromQColor(picture.pixelColor(3 + 10, h.center().y())), HlsRoundTrip(settings.Background));
    EXPECT_EQ(FromQColor(picture.pixelColor(3 + 26, h.top() + 1)), HlsRoundTrip(ShiftColour(settings.Background, 23)));

    // A typed letter chooses its item by the mnemonic rule, and the menu's
    // run returns it.
    menu.hide();
    QTimer::singleShot(50, &menu, [&menu] { QTest::keyClick(&menu, Qt::Key_H); });
    EXPECT_EQ(menu.Exec(QPoint(100, 100)), history);
    EXPECT_FALSE(menu.isVisible());
}

TEST(CRoundFrameEditTest, OutlineAndFieldFollowTheSettingsAtTheNextPaint)
{
    Settings settings;
    QWidget parent;
    parent.setAutoFillBackground(true);
    parent.setPalette(QPalette(Qt::black));
    CRoundFrameEdit box(settings, &parent);
    box.setGeometry(0, 0, 80, 24);
    parent.show();
    const auto at = [&box](int x, int y) { return FromQColor(box.grab().toImage().pixelColor(x, y)); };
    EXPECT_EQ(at(40, 0), settings.BorderColor);
    EXPECT_EQ(at(40, 23), settings.BorderColor);
    EXPECT_EQ(at(70, 12), ShiftColour(settings.Background, 70));
    EXPECT_NE(at(0, 0), settings.BorderColor);  // RoundEdit 7: the corner is cut
    settings.RoundEdit = 0;
    settings.BorderColor = 0x00FF00;
    settings.Background = 0x202020;
    EXPECT_EQ(at(0, 0), 0x00FF00u);
    EXPECT_EQ(at(70, 12), ShiftColour(0x202020, 70));
}

}  // namespace
