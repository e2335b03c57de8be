#include "window/CReadingDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "chrome/CMenuXP.h"
#include "core/DialogUnits.h"
#include "settings/Colours.h"
#include "settings/FontMapping.h"
#include "window/GetTextFlow.h"
#include "window/PopupGeometry.h"

namespace kotobane {

namespace {

const QString kPlacementKey = QStringLiteral("DlgReading");
const QString kSettingsSection = QStringLiteral("Settings");

// The system-menu entry that opens the About box.
const QString kAboutMenuText = QStringLiteral("Kotobane のﾊﾞｰｼﾞｮﾝ情報(&A)...");

QIcon Icon(const QString& id)
{
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(id));
}

}  // namespace

CReadingDlg::CReadingDlg(ReadingWindowServices services)
    : CResizeDlg(nullptr),
      m_services(services),
      m_text(new CRoundFrameEdit(services.settings, this)),
      m_lookUp(new CRoundedFlatButton(this)),
      m_speak(new CRoundedFlatButton(this)),
      m_hide(new CRoundedFlatButton(this)),
      m_menu(new CRoundedFlatButton(this)),
      m_engine(services.ime, services.clock, services.ui)
{
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setWindowIcon(Icon(QStringLiteral("128")));

    // Template 102, in dialog units.
    resize(DialogToPixels(QRect(0, 0, 112, 13)).size());
    m_text->setGeometry(DialogToPixels(QRect(0, 0, 68, 13)));
    m_lookUp->setGeometry(DialogToPixels(QRect(69, 0, 13, 13)));
    m_speak->setGeometry(DialogToPixels(QRect(83, 0, 13, 13)));
    m_hide->setGeometry(DialogToPixels(QRect(97, 0, 7, 6)));
    m_menu->setGeometry(DialogToPixels(QRect(97, 7, 7, 6)));
    m_text->setObjectName(QStringLiteral("text"));
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_text->setTabChangesFocus(true);
    // The box is one dialog line high; the outline's band is its only
    // margin, so that a CJK line at the dialog font's size is not clipped.
    m_text->document()->setDocumentMargin(0);

    connect(m_hide, &QPushButton::clicked, this, [this] { ShowPopup(false); });
    connect(m_speak, &QPushButton::clicked, this, &CReadingDlg::Speak);
    connect(m_lookUp, &QPushButton::clicked, this, [this] { OnCommand(IDC_LOOKUP); });
    connect(m_menu, &QPushButton::clicked, this, [this] { OnCommand(ID_MENU_BUTTON); });
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &CReadingDlg::OnTimer);
}

CReadingDlg::~CReadingDlg()
{
    m_timer.stop();
}

CRoundedFlatButton* CReadingDlg::Button(int id) const
{
    switch (id) {
    case IDC_LOOKUP:
        return m_lookUp;
    case IDC_SPEAK:
        return m_speak;
    case IDC_HIDE:
        return m_hide;
    case IDC_MENU:
        return m_menu;
    default:
        return nullptr;
    }
}

void CReadingDlg::Initialise()
{
    Settings& s = m_services.settings;

    // The controls keep clear of the outline, so that it shows all round
    // and leaves a band to resize the window by.
    // The corners are no rounder than the template's size allows.
    m_frame = FrameFor(s.RoundDialog, size());
    const int band = m_frame.band;
    resize(size() + QSize(2 * band, 2 * band));
    for (QWidget* control : QList<QWidget*>{m_text, m_lookUp, m_speak, m_hide, m_menu}) {
        control->move(control->pos() + QPoint(band, band));
    }
    InitResizeBase();
    m_hide->setDefault(true);

    m_font = ToQFont(*s.TextFont);
    m_text->setFont(m_font);

    SetupButton(m_lookUp, QStringLiteral("139"), QStringLiteral("Get Selected text"));
    SetupButton(m_speak, QStringLiteral("149"), QStringLiteral("Speech the selected text"));
    SetupButton(m_hide, QStringLiteral("138"), QStringLiteral("Hide the window"));
    SetupButton(m_menu, QStringLiteral("140"), QStringLiteral("Menu"));
    m_speak->setEnabled(s.Speech.EnableSpeech);
    setFont(m_font);

    // Said once here, at the start of the copy on the desktop; a second copy
    // loads the same settings and ends without a word.
    for (const QString& notice : s.Notices) {
        m_services.ui.MessageBox(notice, MB_OK | MB_ICONEXCLAMATION);
    }
    m_engine.SelectIme(s.ReadingLayout.isEmpty() ? s.keylayout : s.ReadingLayout, IDC_TEXT);

    AddAnchor(m_text, IDC_TEXT, Stretch, Stretch, Stretch, Stretch, NoErase, -1.0, -1.0, -1.0, -1.0);
    for (int id : {IDC_LOOKUP, IDC_SPEAK, IDC_HIDE, IDC_MENU}) {
        AddAnchor(Button(id), id, Move, Move, Keep, Keep, NoErase, -1.0, -1.0, -1.0, -1.0);
    }
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    SetResizable(screen.width(), screen.height());

    // Taken before a restored size, whose layout waits for the first show.
    m_chrome = size() - m_text->size();

    RestorePlacement();
    m_home = geometry();
    setWindowTitle(QStringLiteral("IME reading"));
    HideSizeGrip();
    ApplyColours();

    // Moves over the window and its controls make it opaque before they
    // reach their target.
    setMouseTracking(true);
    for (QWidget* w : findChildren<QWidget*>()) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }
    m_text->viewport()->setMouseTracking(true);
    m_text->viewport()->installEventFilter(this);
    installEventFilter(this);

    RegisterHotKeys(m_services.desktop.HotKeys(), m_services.ui, s.HotKeys, true);
    m_shown = true;
    ShowPopup(false);
    m_timer.start();
    m_tray.Create(Icon(QStringLiteral("128")), QStringLiteral("Get Reading"),
                  [this](int command) { OnCommand(command); });
}

void CReadingDlg::OnCommand(int command)
{
    switch (command) {
    case IDC_LOOKUP:
    case ID_GET_TEXT:
        if (m_lookUpHandler) {
            m_lookUpHandler();
        }
        break;
    case ID_GET_READING:
        if (m_shown) {
            ShowPopup(false);
        } else if (m_lookUpHandler) {
            m_lookUpHandler();
        }
        break;
    case ID_TRAY_MENU:
        ShowMenu(0);
        break;
    case ID_MENU_BUTTON:
        activateWindow();
        ShowMenu(1);
        break;
    case ID_APP_ABOUT:
        ShowAbout();
        break;
    case ID_RUNNING:
        ShowRunning();
        break;
    case ID_HISTORY:
        OpenHistory();
        break;
    case ID_OPTION:
        OpenOptions();
        break;
    case ID_APP_EXIT:
        if (!CloseHistoryWindowForExit(m_historyWindow)) {
            break;
        }
        if (m_sheet) {
            m_sheet->reject();
        }
        // The icon goes first; the caller's run then ends and the destroy
        // and exit sequences follow.
        m_tray.RemoveIcon();
        QCoreApplication::exit(0);  // quit() would be refused by the popup's close handling
        break;
    default:
        break;
    }
}

void CReadingDlg::OpenOptions()
{
    if (m_sheet) {
        // A second sheet would register the hot keys while this one is open.
        m_sheet->raise();
        m_sheet->activateWindow();
        return;
    }
    Settings& s = m_services.settings;
    COptionSheet sheet({s, m_services.catalog, m_services.speech, m_services.ui, &m_services.desktop.HotKeys()});
    m_sheet = &sheet;
    // The combination then reaches the sheet's hot-key field as keys.
    RegisterHotKeys(m_services.desktop.HotKeys(), m_services.ui, s.HotKeys, false);
    const int result = sheet.exec();
    m_sheet = nullptr;
    if (result == QDialog::Accepted) {
        ApplyOptions();
    }
    RegisterHotKeys(m_services.desktop.HotKeys(), m_services.ui, s.HotKeys, true);
}

void CReadingDlg::ApplyOptions()
{
    Settings& s = m_services.settings;
    if (s.TextFont) {
        m_font = ToQFont(*s.TextFont);
        m_text->setFont(m_font);
        setFont(m_font);
    }
    // A back-end picked on the IME page is installed; a stored one that is
    // still missing keeps this run's stand-in.
    s.ReadingLayout = ChooseReadingLayout(m_services.catalog, s.keylayout, s.ReadingLayout).layout;
    m_engine.SelectIme(s.ReadingLayout.isEmpty() ? s.keylayout : s.ReadingLayout, IDC_TEXT);
    for (CRoundedFlatButton* button : {m_lookUp, m_speak, m_hide, m_menu}) {
        ApplyButtonColours(button);
    }
    ApplyColours();
    m_speak->setEnabled(s.Speech.EnableSpeech);
    if (isVisible()) {
        update();  // the text box's outline with it
    }
}

void CReadingDlg::ShowMenu(int position)
{
    CMenuXP menu(m_services.settings, m_services.desktop.Composited(), this);
    for (const MenuEntry& entry : MenuEntries(position)) {
        if (entry.command == 0) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(Icon(QStringLiteral("menu-%1").arg(entry.image)), entry.text);
        action->setData(entry.command);
        if (menu.defaultAction() == nullptr) {
            menu.setDefaultAction(action);
        }
    }
    if (QAction* chosen = menu.Exec(QCursor::pos())) {
        OnCommand(chosen->data().toInt());
    }
}

void CReadingDlg::SetupButton(CRoundedFlatButton* button, const QString& icon, const QString& tooltip)
{
    // The icons are drawn pixel by pixel at their design size: used at that
    // size when it fits, so that their one-pixel strokes stay sharp.
    const QSize design = QImageReader(QStringLiteral(":/icons/%1.svg").arg(icon)).size();
    const QSize room = button->size() - QSize(2, 2);
    button->setIconSize(design.isValid() && design.width() <= room.width() && design.height() <= room.height()
                            ? design
                            : button->size() - QSize(4, 4));
    button->SetIcon(Icon(icon));
    button->SetTooltipText(tooltip, true);
    button->setAccessibleName(tooltip);
    button->setFocusPolicy(Qt::TabFocus);
    ApplyButtonColours(button);
    button->SetRounded(true, true);
}

void CReadingDlg::ApplyButtonColours(CRoundedFlatButton* button)
{
    const Settings& s = m_services.settings;
    button->SetColor(0, ShiftColour(s.Background, 70), false);
    button->SetColor(2, s.Background, false);
    button->SetColor(4, s.Background, false);
    button->borderColour = s.BorderColor;
    button->SetIconColor(s.BorderColor);
}

void CReadingDlg::ApplyColours()
{
    const Settings& s = m_services.settings;
    QPalette window = palette();
    window.setColor(QPalette::Window, ToQColor(s.Background));
    setPalette(window);
    setAutoFillBackground(false);

    QPalette text = m_text->palette();
    text.setColor(QPalette::Base, ToQColor(ShiftColour(s.Background, 70)));
    text.setColor(QPalette::Text, ToQColor(s.TextColor));
    m_text->setPalette(text);
    update();
}

void CReadingDlg::RestorePlacement()
{
    WindowPlacement placement;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    if (ReadWindowPlacement(m_services.profile, kSettingsSection, kPlacementKey, placement)
        && PlacementFitsScreen(placement, screen.size())) {
        setGeometry(placement.left, placement.top, placement.right - placement.left, placement.bottom - placement.top);
        return;
    }
    move(CentreOnScreen(size(), screen, QGuiApplication::primaryScreen()->availableGeometry()));
}

void CReadingDlg::Destroy()
{
    RegisterHotKeys(m_services.desktop.HotKeys(), m_services.ui, m_services.settings.HotKeys, false);
    m_timer.stop();
    // The user's placement, not one grown to fit a text.
    const QRect normal = isMaximized() && normalGeometry().isValid() ? normalGeometry() : m_home;
    if (const std::optional<WindowPlacement> p = PlacementToStore(normal, isMaximized(), isMinimized())) {
        WriteWindowPlacement(m_services.profile, kSettingsSection, kPlacementKey, *p);
    }
}

void CReadingDlg::setVisible(bool visible)
{
    // The popup appears only through ShowPopup(true).
    if (visible && !m_shown) {
        return;
    }
    CResizeDlg::setVisible(visible);
}

void CReadingDlg::ShowPopup(bool show)
{
    if (show == m_shown) {
        return;
    }
    m_shown = show;
    if (show) {
        m_services.desktop.KeepOffTaskbar(Hwnd(winId()), isVisible());
        setVisible(true);
        raise();
    } else {
        setVisible(false);
    }
}

void CReadingDlg::ShowText(const QString& text)
{
    SetText(text);
    ShowPopup(true);
    activateWindow();
}

void CReadingDlg::SetText(const QString& text)
{
    m_text->setPlainText(text);
    FitWindowToText();
}

void CReadingDlg::FitWindowToText()
{
    const QScreen* screen = QGuiApplication::screenAt(m_home.center());
    if (screen == nullptr) {
        screen = this->screen();
    }
    const QRect target = FitPopupToText(*m_text->document(), m_home, m_chrome, screen->availableGeometry());
    if (target != geometry()) {
        m_fitted = target;
        setGeometry(target);
    }
}

void CReadingDlg::NoteUserGeometry(bool resized)
{
    if (!m_home.isValid() || geometry() == m_fitted) {
        return;
    }
    m_fitted = QRect();
    if (resized) {
        m_home = geometry();
    } else {
        m_home.moveTopLeft(geometry().topLeft());
    }
}

void CReadingDlg::Speak()
{
    const Settings& s = m_services.settings;
    if (!s.Speech.EnableSpeech || !m_services.speech.IsReady()) {
        return;
    }
    const QTextCursor cursor = m_text->textCursor();
    m_services.speech.Speak(TextToSpeak(m_text->toPlainText(), cursor.selectionStart(), cursor.selectionEnd()));
}

void CReadingDlg::ShowAbout()
{
    QDialog about(this);
    about.setWindowTitle(QStringLiteral("About Kotobane"));
    about.setFixedSize(DialogToPixels(QRect(0, 0, 235, 55)).size());
    auto* icon = new QLabel(&about);
    icon->setPixmap(Icon(QStringLiteral("128")).pixmap(32, 32));
    icon->setGeometry(QRect(DialogToPixels(QRect(11, 17, 0, 0)).topLeft(), QSize(32, 32)));
    auto* version = new QLabel(QStringLiteral("Kotobane Version " KOTOBANE_VERSION), &about);
    version->setGeometry(DialogToPixels(QRect(40, 10, 119, 8)));
    auto* ok = new QPushButton(QStringLiteral("OK"), &about);
    ok->setGeometry(DialogToPixels(QRect(178, 7, 50, 14)));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, &about, &QDialog::accept);
    about.exec();
}

void CReadingDlg::ShowRunning()
{
    m_services.ui.MessageBox(QStringLiteral("It's running!"), MB_OK | MB_ICONEXCLAMATION);
}

void CReadingDlg::accept()
{
    // OK does nothing: Enter reaches the default button, which hides.
}

void CReadingDlg::reject()
{
    ShowPopup(false);
}

void CReadingDlg::closeEvent(QCloseEvent* event)
{
    event->ignore();
    ShowPopup(false);
}

void CReadingDlg::keyPressEvent(QKeyEvent* event)
{
    // Alt+Space opens the window menu, as a captioned window's would.
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::AltModifier) {
        ShowSystemMenu(mapToGlobal(QPoint(0, height())));
        return;
    }
    CResizeDlg::keyPressEvent(event);
}

void CReadingDlg::ShowSystemMenu(QPoint globalPos)
{
    QMenu menu(this);
    menu.addAction(kAboutMenuText, this, &CReadingDlg::ShowAbout);
    menu.exec(globalPos);
}

void CReadingDlg::paintEvent(QPaintEvent*)
{
    const Settings& s = m_services.settings;
    QPainter painter(this);
    const QRect all = rect();
    painter.fillRect(all, ToQColor(s.Background));

    // The outline: a one-pixel pen inside the window's bounds.
    painter.setPen(QPen(ToQColor(s.BorderColor), 1));
    painter.setBrush(Qt::NoBrush);
    const qreal radius = m_frame.round / 2.0;
    painter.drawRoundedRect(QRectF(all).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);

    const QColor light = ToQColor(s.BorderColor);
    const QColor dark = ToQColor(ShiftColour(s.BorderColor, -70));
    const QRect client = m_frame.Client(size());
    for (const GripStroke& stroke : GripStrokes(client.size())) {
        painter.setPen(QPen(stroke.dark ? dark : light, 1));
        painter.drawLine(stroke.line.translated(client.topLeft()));
    }
}

void CReadingDlg::resizeEvent(QResizeEvent* event)
{
    CResizeDlg::resizeEvent(event);
    UpdateMask();
    NoteUserGeometry(true);
}

void CReadingDlg::moveEvent(QMoveEvent* event)
{
    CResizeDlg::moveEvent(event);
    NoteUserGeometry(false);
}

void CReadingDlg::UpdateMask()
{
    if (const QBitmap mask = PopupMask(size(), m_frame.round); !mask.isNull()) {
        setMask(mask);
    } else {
        clearMask();
    }
}

HitArea CReadingDlg::HitAt(QPoint clientPos) const
{
    return m_frame.HitAt(clientPos, size(), m_lookUp->geometry(), m_menu->geometry());
}

void CReadingDlg::mousePressEvent(QMouseEvent* event)
{
    const Qt::Edges edges = m_frame.EdgesAt(event->position().toPoint(), size());
    if (event->button() == Qt::LeftButton && edges.toInt() != 0 && windowHandle() != nullptr) {
        windowHandle()->startSystemResize(edges);
        return;
    }
    const HitArea area = HitAt(event->position().toPoint());
    if (event->button() == Qt::RightButton && area == HitArea::Drag) {
        ShowSystemMenu(event->globalPosition().toPoint());
        return;
    }
    if (event->button() == Qt::LeftButton && windowHandle() != nullptr) {
        if (area == HitArea::Drag) {
            windowHandle()->startSystemMove();
            return;
        }
        if (area == HitArea::Grip) {
            windowHandle()->startSystemResize(Qt::RightEdge | Qt::BottomEdge);
            return;
        }
    }
    CResizeDlg::mousePressEvent(event);
}

void CReadingDlg::mouseMoveEvent(QMouseEvent* event)
{
    if (const Qt::Edges edges = m_frame.EdgesAt(event->position().toPoint(), size()); edges.toInt() != 0) {
        setCursor(ResizeCursor(edges));
        CResizeDlg::mouseMoveEvent(event);
        return;
    }
    switch (HitAt(event->position().toPoint())) {
    case HitArea::Drag:
        setCursor(Qt::SizeAllCursor);
        break;
    case HitArea::Grip:
        setCursor(Qt::SizeFDiagCursor);
        break;
    case HitArea::None:
        unsetCursor();
        break;
    }
    CResizeDlg::mouseMoveEvent(event);
}

bool CReadingDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseMove) {
        ApplyAlpha(m_opacity.OnMouseMove());
    }
    return CResizeDlg::eventFilter(watched, event);
}

void CReadingDlg::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange) {
        ApplyAlpha(m_opacity.OnActivate(isActiveWindow()));
    }
    CResizeDlg::changeEvent(event);
}

void CReadingDlg::ApplyAlpha(std::optional<int> alpha)
{
    if (!alpha) {
        return;
    }
    m_alpha = *alpha;
    // Wayland has no window opacity; Qt would only warn at every change.
    if (QGuiApplication::platformName() != QLatin1String("wayland")) {
        setWindowOpacity(m_alpha / 255.0);
    }
}

void CReadingDlg::OpenHistory()
{
    if (m_history.historyFile.isEmpty()) {
        return;  // not wired: no file to show
    }
    OpenHistoryWindow(m_historyWindow, m_history, this);
}

void CReadingDlg::OnTimer()
{
    // The automatic display first; a window it opens runs modally, and the
    // ticks meanwhile find nothing due.
    if (!m_history.historyFile.isEmpty()) {
        CheckHistoryDisplay(m_services.settings, QDateTime::currentDateTime(), m_history.historyFile,
                            [this] { OpenHistory(); });
    }
    // The pointer only counts while the popup is opaque; asking for it is a
    // round trip to the X server, which would wake the idle program twice
    // a tick.
    const bool cursorInside = m_opacity.Opaque() && frameGeometry().contains(QCursor::pos());
    ApplyAlpha(m_opacity.OnTimer(isActiveWindow(), cursorInside));
}

}  // namespace kotobane
