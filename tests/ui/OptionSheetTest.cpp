#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "fakes/FakeDesktop.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeSpeech.h"
#include "settings/Autostart.h"
#include "settings/COptionSheet.h"
#include "settings/CPageGer.h"
#include "settings/CPageHistory.h"
#include "settings/CPageIME.h"
#include "settings/CPageSpeech.h"
#include "settings/Colours.h"
#include "settings/FontMapping.h"

using namespace kotobane;
using namespace kotobane::test;
using ::testing::ElementsAre;

namespace {

// Every field a page can write, for comparing before and after.
QString Dump(const Settings& s)
{
    QString out;
    QTextStream t(&out);
    t << s.Background << ' ' << s.TextColor << ' ' << s.BorderColor << ' ' << s.keylayout << ' ' << s.Days << ' '
      << s.DispOnStart << ' ' << s.AutoDispHis << ' ' << FormatDateTime(s.Clock) << ' '
      << (s.TextFont ? s.TextFont->ToBytes().toHex() : "none") << ' ' << s.Speech.EnableSpeech << ' ' << s.Speech.Voice
      << ' ' << s.Speech.Volume << ' ' << s.Speech.Rate << ' ' << s.Speech.AudioFormat << ' ' << s.Speech.AudioOutput;
    for (const HotKeyEntry& e : s.HotKeys) {
        t << ' ' << int(e.modifiers) << '/' << e.virtualKey << '/' << e.valid;
    }
    return out;
}

class OptionSheetTest : public ::testing::Test {
protected:
    OptionSheetTest() : ui(log), speech(log)
    {
        s.HotKeys = {{QStringLiteral("Get Text"), StoredModifiers::Control, 123, 0, true}};
        s.keylayout = QStringLiteral("E0010411");
        s.TextFont = DefaultLogFont();
        s.Clock = ParseTime(QStringLiteral("10:00:00"));
        s.Speech = {true, QStringLiteral("espeak ja"), 80, 3, 0, QStringLiteral("Null Output")};
        speech.ready = true;
        catalog = {{QStringLiteral("E0010411"), QStringLiteral("MeCab IPADIC (Japanese)")},
                   {QStringLiteral("E0010804"), QStringLiteral("Pinyin (Simp_Chinese)")},
                   {QStringLiteral("4090409"), QStringLiteral("4090409 (English)")}};
    }

    COptionSheet& Sheet()
    {
        if (!sheet) {
            sheet = std::make_unique<COptionSheet>(OptionSheetServices{s, catalog, speech, ui, hotKeys});
        }
        return *sheet;
    }
    template <typename Page>
    Page* Show(int index)
    {
        EXPECT_TRUE(Sheet().SetActivePage(index));
        return static_cast<Page*>(Sheet().Page(index));
    }
    void VisitAll()
    {
        for (int i = 0; i < COptionSheet::PageCount; ++i) {
            Sheet().SetActivePage(i);
        }
    }
    QStringList BoxTexts() const
    {
        QStringList texts;
        for (const auto& [text, type] : ui.boxes) {
            texts << text;
        }
        return texts;
    }

    Recorder log;
    FakeMessageBox ui;
    FakeSpeech speech;
    Settings s;
    ImeCatalog catalog;
    std::unique_ptr<COptionSheet> sheet;
    HotKeyService* hotKeys = nullptr;
};

TEST_F(OptionSheetTest, OkWithoutChangesWritesBackWhatEveryPageShowed)
{
    const QString before = Dump(s);
    VisitAll();
    Sheet().accept();
    EXPECT_EQ(Sheet().result(), QDialog::Accepted);
    EXPECT_EQ(Dump(s), before);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(OptionSheetTest, CancelAfterChangesOnEveryPageWritesNothing)
{
    const QString before = Dump(s);
    auto* general = Show<CPageGer>(COptionSheet::General);
    general->ColourButton(CPageGer::IDC_BACKGROUND)->askColour = [](const QColor&, QWidget*) {
        return std::optional<QColor>(Qt::red);
    };
    QTest::mouseClick(general->ColourButton(CPageGer::IDC_BACKGROUND), Qt::LeftButton);
    QTest::keyClick(general->HotKeyControl(), Qt::Key_F11, Qt::ControlModifier);
    Show<CPageIME>(COptionSheet::Ime)->List()->setCurrentRow(2);
    Show<CPageSpeech>(COptionSheet::Speech)->VolumeSlider()->setValue(10);
    Show<CPageHistory>(COptionSheet::History)->DaysEdit()->setText(QStringLiteral("30"));
    Sheet().reject();
    EXPECT_EQ(Dump(s), before);
}

TEST_F(OptionSheetTest, APageNeverShownKeepsItsFieldsEvenWhenTheyAreOutOfRange)
{
    s.Days = 500;
    s.keylayout = QStringLiteral("4090409");
    const QString before = Dump(s);
    Sheet().accept();
    EXPECT_EQ(Sheet().result(), QDialog::Accepted);
    EXPECT_EQ(Dump(s), before);
    EXPECT_THAT(log.calls, ::testing::IsEmpty());  // the speech page never touched the engine
}

TEST_F(OptionSheetTest, ColourButtonsOpenTheDialogOnTheMouseReleaseOnly)
{
    auto* general = Show<CPageGer>(COptionSheet::General);
    CColourButton* background = general->ColourButton(CPageGer::IDC_BACKGROUND);
    QList<QColor> asked;
    background->askColour = [&asked](const QColor& current, QWidget*) {
        asked << current;
        return std::optional<QColor>(QColor(0x12, 0x34, 0x56));
    };
    background->setFocus();
    QTest::keyClick(background, Qt::Key_Space);
    EXPECT_TRUE(asked.isEmpty());
    QTest::mouseClick(background, Qt::LeftButton);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked[0], ToQColor(0x800000));
    const Colour border = s.BorderColor;
    Sheet().accept();
    EXPECT_EQ(s.Background, 0x563412u);
    EXPECT_EQ(s.BorderColor, border);  // derived from the background only at load
}

TEST_F(OptionSheetTest, HotKeyFieldTakesEveryCombinationButTabAndEscape)
{
    auto* general = Show<CPageGer>(COptionSheet::General);
    CHotKeyEdit* field = general->HotKeyControl();
    EXPECT_EQ(field->text(), QStringLiteral("Ctrl + F12"));
    Sheet().show();
    field->setFocus();
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        HotKeyValue value;
    } cases[] = {
        {Qt::Key_F12, Qt::ControlModifier, {StoredModifiers::Control, 123}},
        {Qt::Key_Return, Qt::NoModifier, {StoredModifiers::None, 0x0D}},  // Enter is a key here, not OK
        {Qt::Key_K, Qt::ShiftModifier | Qt::AltModifier, {StoredModifiers::Shift | StoredModifiers::Alt, 'K'}},
        {Qt::Key_Backspace, Qt::NoModifier, {StoredModifiers::None, 0}},
        {Qt::Key_Escape, Qt::ShiftModifier, {StoredModifiers::Shift, 0x1B}},
    };
    for (const auto& c : cases) {
        QTest::keyClick(field, Qt::Key(c.key), c.modifiers);
        EXPECT_EQ(field->HotKey(), c.value) << c.key;
        EXPECT_TRUE(Sheet().isVisible()) << c.key;
    }
    QTest::keyClick(field, Qt::Key_Tab);
    EXPECT_FALSE(field->hasFocus());
    EXPECT_EQ(field->HotKey(), (HotKeyValue{StoredModifiers::Shift, 0x1B}));
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(Sheet().result(), QDialog::Rejected);
    EXPECT_FALSE(Sheet().isVisible());
    EXPECT_EQ(s.HotKeys[0].virtualKey, 123);
}

TEST_F(OptionSheetTest, WhereTheDesktopOwnsTheKeyItIsShownNotEditedAndTheStoredOneStays)
{
    FakeHotKeys portal(log);
    hotKeys = &portal;
    for (const auto& [trigger, shown] : {std::pair{QStringLiteral("Meta+K"), QStringLiteral("Meta+K")},
                                         std::pair{QString(), QStringLiteral("None")}}) {
        portal.desktopTrigger = trigger;
        portal.shortcutSettings = trigger.isEmpty();
        sheet.reset();
        const QString before = Dump(s);
        auto* general = Show<CPageGer>(COptionSheet::General);
        CHotKeyEdit* field = general->HotKeyControl();
        EXPECT_TRUE(field->DesktopOwned());
        EXPECT_EQ(field->text(), shown);
        QTest::keyClick(field, Qt::Key_F11, Qt::ControlModifier);
        EXPECT_EQ(field->text(), shown);
        EXPECT_EQ(general->ShortcutSettingsButton() != nullptr, portal.shortcutSettings);
        if (QPushButton* change = general->ShortcutSettingsButton()) {
            QTest::mouseClick(change, Qt::LeftButton);
            EXPECT_THAT(log.calls, ::testing::Contains("OpenShortcutSettings"));
        }
        Sheet().accept();
        EXPECT_EQ(Dump(s), before);
    }
    // Where the stored key rules, the field edits it as before.
    portal.desktopTrigger.reset();
    sheet.reset();
    EXPECT_FALSE(Show<CPageGer>(COptionSheet::General)->HotKeyControl()->DesktopOwned());
}

TEST_F(OptionSheetTest, AClearedHotKeyIsStoredAsZeroAndZero)
{
    s.HotKeys[0].valid = false;
    auto* general = Show<CPageGer>(COptionSheet::General);
    QTest::keyClick(general->HotKeyControl(), Qt::Key_Backspace);
    Sheet().accept();
    EXPECT_EQ(s.HotKeys[0], (HotKeyEntry{QStringLiteral("Get Text"), StoredModifiers::None, 0, 0, true}));
}

TEST_F(OptionSheetTest, HistoryPageRefusesDayCountsOutsideAYear)
{
    const struct {
        const char* text;
        const char* refusal;  // "" for accepted
    } cases[] = {
        {"1", ""},
        {"365", ""},
        {"0", "1 から 365 までの整数を入力してください。"},
        {"366", "1 から 365 までの整数を入力してください。"},
        {"", "整数を入力してください。"},
    };
    for (const auto& c : cases) {
        sheet.reset();
        ui.boxes.clear();
        auto* page = Show<CPageHistory>(COptionSheet::History);
        Sheet().show();
        page->DaysEdit()->setText(QString::fromUtf8(c.text));
        Sheet().accept();
        QCoreApplication::processEvents();
        const bool refused = *c.refusal != '\0';
        EXPECT_EQ(Sheet().isVisible(), refused) << c.text;
        EXPECT_EQ(BoxTexts(), refused ? QStringList{QString::fromUtf8(c.refusal)} : QStringList{}) << c.text;
        if (refused) {
            EXPECT_EQ(ui.boxes[0].second, unsigned(MB_OK | MB_ICONEXCLAMATION));
            EXPECT_TRUE(page->DaysEdit()->hasFocus()) << c.text;
            EXPECT_EQ(page->DaysEdit()->selectedText(), page->DaysEdit()->text()) << c.text;
            // Nor may the page be left.
            EXPECT_FALSE(Sheet().SetActivePage(COptionSheet::General));
        } else {
            EXPECT_EQ(s.Days, QString::fromUtf8(c.text).toInt());
        }
    }
}

TEST_F(OptionSheetTest, ARefusedClickPutsTheRadioButtonsBack)
{
    auto* page = Show<CPageHistory>(COptionSheet::History);
    Sheet().show();
    page->DaysEdit()->setText(QStringLiteral("0"));
    QTest::mouseClick(page->Radio(1), Qt::LeftButton);
    EXPECT_THAT(BoxTexts(), ElementsAre(QStringLiteral("1 から 365 までの整数を入力してください。")));
    EXPECT_TRUE(page->Radio(0)->isChecked());
    EXPECT_FALSE(page->Picker()->isEnabled());
    page->DaysEdit()->setText(QStringLiteral("3"));
    QTest::mouseClick(page->Radio(1), Qt::LeftButton);
    EXPECT_TRUE(page->Picker()->isEnabled());
    page->Picker()->setTime(QTime(7, 30));
    Sheet().accept();
    EXPECT_EQ(FormatTime(s.Clock), QStringLiteral("07:30:00"));
    EXPECT_FALSE(s.DispOnStart);
    EXPECT_EQ(s.Days, 3);
}

TEST_F(OptionSheetTest, HistoryPageEnablesItsControlsByTheCheckBoxAndTheTimeChoice)
{
    s.AutoDispHis = false;
    auto* page = Show<CPageHistory>(COptionSheet::History);
    const QList<QWidget*> after = {page->DaysEdit(), page->Radio(0), page->Radio(1), page->Picker()};
    for (QWidget* w : after) {
        EXPECT_FALSE(w->isEnabled());
    }
    EXPECT_TRUE(page->AutoBox()->isEnabled());
    QTest::mouseClick(page->AutoBox(), Qt::LeftButton);
    EXPECT_TRUE(page->DaysEdit()->isEnabled());
    EXPECT_TRUE(page->Radio(1)->isEnabled());
    EXPECT_FALSE(page->Picker()->isEnabled());  // "On App. started" is chosen
}

TEST_F(OptionSheetTest, AStoredDayCountOutOfRangeIsShownAndRefusedAtOnce)
{
    s.Days = 500;
    auto* page = Show<CPageHistory>(COptionSheet::History);
    EXPECT_EQ(page->DaysEdit()->text(), QStringLiteral("500"));
    EXPECT_THAT(BoxTexts(), ElementsAre(QStringLiteral("1 から 365 までの整数を入力してください。")));
    Sheet().accept();
    EXPECT_NE(Sheet().result(), QDialog::Accepted);
    EXPECT_EQ(s.Days, 500);
}

TEST_F(OptionSheetTest, ImePageSelectsTheStoredEntryAndStoresTheChosenOnesKey)
{
    auto* page = Show<CPageIME>(COptionSheet::Ime);
    ASSERT_EQ(page->List()->count(), 3);
    EXPECT_EQ(page->List()->currentRow(), 0);
    page->List()->setCurrentRow(2);
    Sheet().accept();
    EXPECT_EQ(s.keylayout, QStringLiteral("4090409"));
}

TEST_F(OptionSheetTest, ImePageChangesTheFontOnlyThroughTheDialogAndOk)
{
    const QString before = Dump(s);
    auto* page = Show<CPageIME>(COptionSheet::Ime);
    page->dotsPerInch = [] { return 96; };
    std::optional<QFont> answer;
    page->askFont = [&answer](const QFont&, QWidget*) { return answer; };
    QTest::mouseClick(page->ChangeButton(), Qt::LeftButton);  // cancelled
    EXPECT_EQ(page->WorkingFont(), *s.TextFont);
    QFont big(QStringLiteral("Sans"));
    big.setPixelSize(16);
    answer = big;
    QTest::mouseClick(page->ChangeButton(), Qt::LeftButton);
    EXPECT_EQ(page->FontLabel()->text(), QStringLiteral("Sans  12"));
    Sheet().reject();
    EXPECT_EQ(Dump(s), before);

    sheet.reset();
    page = Show<CPageIME>(COptionSheet::Ime);
    page->askFont = [&answer](const QFont&, QWidget*) { return answer; };
    QTest::mouseClick(page->ChangeButton(), Qt::LeftButton);
    Sheet().accept();
    EXPECT_EQ(s.TextFont->lfHeight, -16);
    EXPECT_EQ(s.TextFont->FaceName(), QStringLiteral("Sans"));
}

TEST_F(OptionSheetTest, SpeechPageFillsTheListsOnceWhenSpeechIsSwitchedOn)
{
    s.Speech.EnableSpeech = false;
    speech.ready = false;
    speech.voices = {QStringLiteral("English"), QStringLiteral("espeak ja"), QStringLiteral("Espeak JA kana")};
    auto* page = Show<CPageSpeech>(COptionSheet::Speech);
    EXPECT_EQ(page->VoiceList()->count(), 0);
    EXPECT_FALSE(page->VoiceList()->isEnabled());
    EXPECT_FALSE(page->ResetButton()->isEnabled());
    QTest::mouseClick(page->EnableBox(), Qt::LeftButton);
    EXPECT_TRUE(speech.ready);
    EXPECT_TRUE(page->VoiceList()->isEnabled());
    EXPECT_EQ(page->VoiceList()->count(), 3);
    // "espeak ja" is a prefix of the third voice; the search from the second
    // item on finds the second one first.
    EXPECT_EQ(page->VoiceList()->currentIndex(), 1);
    EXPECT_EQ(page->VolumeSlider()->value(), 80);
    QTest::mouseClick(page->EnableBox(), Qt::LeftButton);
    EXPECT_FALSE(page->VoiceList()->isEnabled());
    QTest::mouseClick(page->EnableBox(), Qt::LeftButton);
    EXPECT_EQ(page->VoiceList()->count(), 3);
    EXPECT_TRUE(page->EnableBox()->isChecked());
}

TEST_F(OptionSheetTest, SpeechSwitchedOnAndCancelledIsOffWithTheEngineDropped)
{
    s.Speech.EnableSpeech = false;
    speech.ready = false;
    auto* page = Show<CPageSpeech>(COptionSheet::Speech);
    QTest::mouseClick(page->EnableBox(), Qt::LeftButton);
    Sheet().reject();
    EXPECT_FALSE(s.Speech.EnableSpeech);
    EXPECT_FALSE(speech.ready);
    EXPECT_THAT(log.calls, ElementsAre("Initialize", "Release"));
}

TEST_F(OptionSheetTest, SpeechOkAppliesTheChoicesInOrder)
{
    speech.formatCount = 36;
    auto* page = Show<CPageSpeech>(COptionSheet::Speech);
    page->FormatList()->setCurrentIndex(5);
    page->RateSlider()->setValue(-4);
    log.Clear();
    Sheet().accept();
    EXPECT_THAT(log.calls, ElementsAre("SelectVoiceByDescription espeak ja", "SetFormatIndex 5",
                                       "SelectOutputByDescription Null Output", "SetVolume 80", "SetRate -4"));
    EXPECT_EQ(s.Speech.AudioFormat, 5);
    EXPECT_EQ(s.Speech.Rate, -4);
}

TEST_F(OptionSheetTest, ResetChoosesTheLayoutsVoiceAndTheDefaultsOnlyWithAnEngine)
{
    speech.formatCount = 36;
    speech.voices = {QStringLiteral("English"), QStringLiteral("espeak ja")};
    speech.outputs = {QStringLiteral("First"), QStringLiteral("Second")};
    s.Speech.Voice = QStringLiteral("English");
    s.Speech.AudioOutput = QStringLiteral("Second");
    auto* page = Show<CPageSpeech>(COptionSheet::Speech);
    speech.ready = false;
    log.Clear();
    QTest::mouseClick(page->ResetButton(), Qt::LeftButton);
    EXPECT_TRUE(log.calls.empty());
    EXPECT_EQ(page->VoiceList()->currentIndex(), 0);

    speech.ready = true;
    QTest::mouseClick(page->ResetButton(), Qt::LeftButton);
    EXPECT_THAT(log.calls, ElementsAre("SelectVoiceByLanguage " + std::to_string(0xE0010411u)));
    EXPECT_EQ(page->VoiceList()->currentIndex(), 1);
    EXPECT_EQ(page->VolumeSlider()->value(), 50);
    EXPECT_EQ(page->RateSlider()->value(), 0);
    EXPECT_EQ(page->FormatList()->currentIndex(), 18);
    EXPECT_EQ(page->OutputList()->currentIndex(), 0);
    EXPECT_EQ(s.Speech.Volume, 80);  // nothing stored before OK
}

TEST_F(OptionSheetTest, SpeechThatCannotBeCreatedIsSaidAndSwitchedOff)
{
    const QString missing = QStringLiteral("The espeak-ng voice data is missing: install espeak-ng-data.");
    const struct {
        quint32 code;
        QStringList boxes;
    } cases[] = {
        {2, {missing, QStringLiteral("Microsoft Speech API doesn't exist.")}},
        {0, {QStringLiteral("Microsoft Speech API doesn't exist.")}},
    };
    for (const auto& c : cases) {
        sheet.reset();
        ui.boxes.clear();
        s.Speech.EnableSpeech = true;
        speech.ready = false;
        speech.canInitialize = false;
        speech.errorCode = c.code;
        speech.errorText = missing;
        auto* page = Show<CPageSpeech>(COptionSheet::Speech);
        EXPECT_EQ(BoxTexts(), c.boxes);
        EXPECT_EQ(ui.boxes.back().second, unsigned(MB_OK));
        EXPECT_FALSE(page->EnableBox()->isChecked());
        EXPECT_FALSE(page->VoiceList()->isEnabled());
        Sheet().reject();
        EXPECT_FALSE(s.Speech.EnableSpeech);  // also after Cancel
    }
}

TEST_F(OptionSheetTest, AutostartBoxBelowTheOthersShowsTheEntryAndOnlyOkWritesOrRemovesIt)
{
    QTemporaryDir dir;
    const std::shared_ptr<void> restore(  // however the test ends
        nullptr, [saved = qgetenv("XDG_CONFIG_HOME"), wasSet = qEnvironmentVariableIsSet("XDG_CONFIG_HOME")](void*) {
            wasSet ? qputenv("XDG_CONFIG_HOME", saved) : qunsetenv("XDG_CONFIG_HOME");
        });
    ASSERT_TRUE(QFile(dir.filePath(QStringLiteral("file"))).open(QIODevice::WriteOnly));
    s.ProfileDir = QStringLiteral("/p");
    const QByteArray written = AutostartEntry(AutostartExec(QCoreApplication::applicationFilePath(), s.ProfileDir));
    const QByteArray edited = "[Desktop Entry]\nType=Application\nName=Mine\nExec=/k\n";
    const struct {
        const char* config;
        bool before;  // an entry there when the sheet opens
        bool click;
        bool ok;
        QByteArray after;  // empty: none
        const char* box;
    } cases[] = {
        {"a", false, true, true, written, ""},
        {"b", false, true, false, "", ""},
        {"c", true, true, true, "", ""},
        {"d", true, false, true, edited, ""},  // only a change is written
        {"file", false, true, true, "", "\nNot a directory"},
    };
    for (const auto& c : cases) {
        sheet.reset();
        ui.boxes.clear();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QString::fromLatin1(c.config))));
        const QString path = AutostartFilePath();
        if (c.before) {
            ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(edited) == edited.size());
        }
        auto* general = Show<CPageGer>(COptionSheet::General);
        QCheckBox* box = general->AutostartBox();
        Sheet().show();
        for (QWidget* other : general->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            EXPECT_TRUE(other == box || other->geometry().bottom() < box->geometry().top());
        }
        EXPECT_TRUE(box->geometry().contains(QRect(box->pos(), box->sizeHint())));  // not cut
        EXPECT_TRUE(general->rect().contains(box->geometry()));
        EXPECT_EQ(box->isChecked(), c.before) << c.config;
        if (c.click) {
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->height() / 2, box->height() / 2));
        }
        EXPECT_EQ(AutostartEnabled(path), c.before) << c.config << ": nothing written before the sheet closes";
        c.ok ? Sheet().accept() : Sheet().reject();
        QFile file(path);
        EXPECT_EQ(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), c.after) << c.config;
        EXPECT_EQ(BoxTexts(), *c.box ? QStringList{"error on write " + path + c.box} : QStringList()) << c.config;
    }
    EXPECT_EQ(ui.boxes[0].second, unsigned(MB_OK | MB_ICONERROR));
}

}  // namespace
