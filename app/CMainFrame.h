// The main window: menu bar, toolbar, window shortcuts and status bar, the two
// splitters that hold the search form, the location tree and the result list, the
// frame's commands, and what closing does while a search runs.
#pragma once

#include "app/CommandTarget.h"
#include "app/LockKeys.h"
#include "app/SavedCriteriaList.h"

#include <QFont>
#include <QMainWindow>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QMenu;
class QSplitter;
class QToolBar;
class QTimer;

namespace qv {

class CLeftView;
class CQVView;
class CSearchForView;
class ResultListModel;
class ShellLauncher;
class StartPlace;

class CMainFrame final : public QMainWindow, public CommandTarget {
    Q_OBJECT
public:
    explicit CMainFrame(std::shared_ptr<ShellLauncher> launcher, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Commands the frame does not handle go to these, in the order added.
    void addCommandRoute(CommandTarget* target);
    // Runs a command as its menu item, button or key would.
    void executeCommand(int id);
    bool onCommand(int id) override;

    // The three panes: form (inner 0,0), tree (inner 1,0), result list (outer 0,1).
    QWidget* searchFormPane() const { return m_formPane; }
    CSearchForView* searchForm() const { return m_form; }
    CLeftView* locationTree() const { return m_tree; }
    CQVView* rightPane() const { return m_view; }
    ResultListModel* resultModel() const { return m_model; }
    QSplitter* outerSplitter() const { return m_outer; }
    QSplitter* innerSplitter() const { return m_inner; }
    QToolBar* toolbar() const { return m_toolbar; }

    // Makes `start` the search place: the tree's item when the tree shows one (at once,
    // or when its first listing returns, unless another place was chosen meanwhile),
    // else the form's place; a problem goes to the status bar.
    void openAtPlace(const StartPlace& start);

    // The status bar's message pane; an empty text shows the idle text.
    void setMessageText(const QString& text);
    QString messageText() const;

    // Where the lock-key indicators read their states (tests script them).
    void setLockKeySource(std::function<LockKeys()> source);
    void refreshLockKeys();

    // The dialogs of the font and map-drive commands (tests answer them instead).
    using FontChooser = std::function<std::optional<QFont>(QWidget* owner)>;
    using ShareChooser = std::function<QUrl(QWidget* owner)>;
    void setFontChooser(FontChooser chooser) { m_fontChooser = std::move(chooser); }
    void setShareChooser(ShareChooser chooser) { m_shareChooser = std::move(chooser); }
    // The font the font command chose last; none before.
    std::optional<QFont> paneFont() const { return m_paneFont; }

    // Saved search criteria, offered by the search form's context menu: save the form
    // and its place under a name, run an entry (fills the form, sets the place, starts
    // the search), delete one. The application fills the list from the profile.
    const SavedCriteriaList& savedCriteria() const { return m_savedCriteria; }
    void setSavedCriteria(const SavedCriteriaList& criteria);
    QMenu* criteriaMenu() const { return m_criteriaMenu; }
    // Asks for the name to save under (tests answer instead); empty: nothing is saved.
    using CriteriaNamer = std::function<QString(QWidget* owner, const QString& suggestion)>;
    void setCriteriaNamer(CriteriaNamer namer) { m_criteriaNamer = std::move(namer); }

signals:
    // The saved criteria changed through the menu.
    void savedCriteriaChanged();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createMenus();
    void createToolbar();
    void createAccelerators();
    void createStatusBar();
    void createPanes();
    void createCriteriaMenu();
    void updateCriteriaMenu();
    void saveCriteria();
    void runSavedCriteria(int index);
    void deleteSavedCriteria(int index);
    QAction* makeCommandAction(const QString& text, int id);
    void focusPane(int step);
    void newSearch();
    void showColumn(int id);
    void chooseFont();
    void mapNetworkDrive();
    void printSelectedFiles();
    void setViewStyle(int id);
    void updateViewStyleButtons();

    std::shared_ptr<ShellLauncher> m_launcher;
    std::vector<CommandTarget*> m_routes;

    QToolBar* m_toolbar = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_indicators[3] = {};
    QTimer* m_lockTimer = nullptr;
    std::function<LockKeys()> m_lockKeys;
    FontChooser m_fontChooser;
    ShareChooser m_shareChooser;
    std::optional<QFont> m_paneFont;
    SavedCriteriaList m_savedCriteria;
    QMenu* m_criteriaMenu = nullptr;
    QMenu* m_deleteCriteriaMenu = nullptr;
    QObject* m_criteriaItems = nullptr; // owns the menus' items of the list shown
    CriteriaNamer m_criteriaNamer;
    QString m_lastCriteriaName; // saved or run last: the name the next save suggests

    QSplitter* m_outer = nullptr;
    QSplitter* m_inner = nullptr;
    QWidget* m_formPane = nullptr;
    CSearchForView* m_form = nullptr;
    CLeftView* m_tree = nullptr;
    CQVView* m_view = nullptr;
    ResultListModel* m_model = nullptr;
};

} // namespace qv
