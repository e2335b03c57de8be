#pragma once

#include <QDialog>
#include <QList>
#include <QWidget>

#include "platform/DesktopServices.h"
#include "reading/ImeCatalog.h"
#include "settings/Settings.h"
#include "speech/SpeechEngine.h"

class QTabWidget;

namespace kotobane {

// A page of the options sheet. Its window is initialised when it is first
// shown; only such a page takes part in OK and Cancel.
class COptionPage : public QWidget {
    Q_OBJECT
public:
    // size: the page's template in dialog units.
    COptionPage(const QString& caption, QSize size);

    QString Caption() const { return m_caption; }
    bool Created() const { return m_created; }
    // The initialisation of the page's window, once.
    void Create();

    // Reads the controls back (the data exchange); false keeps the page in
    // front.
    virtual bool OnKillActive() { return true; }
    virtual void OnOK() { }
    virtual void OnCancel() { }

protected:
    virtual void OnInitDialog() { }
    // A template rectangle in pixels of the page's font.
    QRect Units(int x, int y, int width, int height) const;
    // Enables or disables every child created after first, in creation
    // order, as the pages' "all controls after" rules walk their siblings.
    void EnableSiblingsAfter(QWidget* first, bool enable);

private:
    QString m_caption;
    bool m_created = false;
};

// What the sheet's pages read and write.
struct OptionSheetServices {
    Settings& settings;
    const ImeCatalog& catalog;
    SpeechEngine& speech;
    MessageBoxService& ui;
    // The session's hot keys, for a desktop that owns their keys; may be null.
    HotKeyService* hotKeys = nullptr;
};

// The modal options dialog: General, IME, Speech and History, OK and Cancel.
class COptionSheet final : public QDialog {
    Q_OBJECT
public:
    enum PageIndex { General, Ime, Speech, History, PageCount };

    explicit COptionSheet(OptionSheetServices services, QWidget* parent = nullptr);

    COptionPage* Page(int index) const { return m_pages.value(index); }
    QTabWidget* Tabs() const { return m_tabs; }
    // Brings a page to the front as a click on its tab does; false when the
    // page in front refused to be left.
    bool SetActivePage(int index);

public Q_SLOTS:
    // OK: the page in front validates, then every page shown runs its OK
    // operation in tab order.
    void accept() override;
    // Cancel: no page writes anything.
    void reject() override;

private:
    void OnTabChanged(int index);

    QTabWidget* m_tabs;
    QList<COptionPage*> m_pages;
    int m_current = 0;
    bool m_reverting = false;
};

}  // namespace kotobane
