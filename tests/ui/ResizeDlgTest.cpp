#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSizeGrip>

#include "history/CResizeDlg.h"

using namespace kotobane;

namespace {

// A window built like the reading window: a text area and a button to its right.
class Window : public CResizeDlg {
public:
    Window()
    {
        text = new QWidget(this);
        text->setGeometry(7, 7, 200, 100);
        button = new QWidget(this);
        button->setGeometry(214, 7, 75, 23);
        resize(300, 140);
        InitResizeBase();
        AddAnchor(text, 1014, Stretch, Stretch, Stretch, Stretch);
        AddAnchor(button, 1002, Move, Move, Keep, Keep);
        show();
        QCoreApplication::processEvents();
    }

    void ResizeTo(int w, int h)
    {
        resize(w, h);
        QCoreApplication::processEvents();
    }

    QSizeGrip* Grip() const { return findChild<QSizeGrip*>(); }

    QWidget* text;
    QWidget* button;
};

TEST(ResizeDlg, ControlsAndGripFollowTheSize)
{
    Window w;
    ASSERT_NE(w.Grip(), nullptr);
    EXPECT_EQ(w.Grip()->geometry().bottomRight(), w.rect().bottomRight());
    EXPECT_TRUE(w.Grip()->isVisible());

    w.ResizeTo(340, 170);
    EXPECT_EQ(w.size(), QSize(340, 170));
    EXPECT_EQ(w.text->geometry(), QRect(7, 7, 240, 130));
    EXPECT_EQ(w.button->geometry(), QRect(254, 7, 75, 23));
    EXPECT_EQ(w.Grip()->geometry().bottomRight(), w.rect().bottomRight());

    w.ResizeTo(320, 150);
    EXPECT_EQ(w.text->geometry(), QRect(7, 7, 220, 110));
    EXPECT_EQ(w.button->geometry(), QRect(234, 7, 75, 23));
    EXPECT_EQ(w.Grip()->geometry().bottomRight(), w.rect().bottomRight());

    w.HideSizeGrip();
    EXPECT_FALSE(w.Grip()->isVisible());
}

TEST(ResizeDlg, InitialSizeIsTheSmallestAndLocksHoldTheMinimum)
{
    Window w;
    w.ResizeTo(200, 100);
    EXPECT_EQ(w.size(), QSize(300, 140));
    EXPECT_EQ(w.text->geometry(), QRect(7, 7, 200, 100));

    w.SetResizable(0, 1);
    w.ResizeTo(400, 200);
    EXPECT_EQ(w.size(), QSize(300, 200));

    w.SetResizable(1, 0);
    w.ResizeTo(400, 250);
    EXPECT_EQ(w.size(), QSize(400, 140));
    EXPECT_EQ(w.button->geometry(), QRect(314, 7, 75, 23));
}

}  // namespace
