// The main frame: builds the window from the menu, toolbar and accelerator tables,
// lays out the three panes and dispatches commands by identifier.
#include "app/CMainFrame.h"
#include "app/StartPlace.h"

#include "app/AboutDialog.h"
#include "app/CSearchForView.h"
#include "resources/CommandIds.h"
#include "app/HelpDialog.h"
#include "app/MapDriveDialog.h"
#include "network/SearchServices.h"
#include "platform/ShellLauncher.h"
#include "app/tree/CLeftView.h"
#include "network/LanNetwork.h"
#include "resources/FrameResources.h"
#include "resources/ResourceIcon.h"
#include "resources/StringTable.h"
#include "resources/StringText.h"
#include "app/results/CQVView.h"
#include "app/results/ResultListModel.h"
#include "results/RowPath.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFontDialog>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

namespace qv {
namespace {

QString qstr(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

// Keys the window keeps even while a text box has the focus: a text box would
// otherwise claim Ctrl+A for its own select-all.
bool isWindowLevelKey(const QKeyEvent* key)
{
    const auto mods = key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    return mods == Qt::ControlModifier && (key->key() == Qt::Key_A || key->key() == Qt::Key_I);
}

// A saved entry's menu text: its position as the mnemonic ("&1" to "1&0", newest
// first), then its name, whose own "&" shows as it is.
QString criteriaItemText(int index, const QString& name)
{
    constexpr int kLongest = 60;
    QString shown = name.size() > kLongest ? name.left(kLongest - 1) + QChar(0x2026) : name;
    shown.replace(QLatin1Char('&'), QLatin1String("&&"));
    const QString number = index < 9 ? QStringLiteral("&%1").arg(index + 1) : QStringLiteral("1&0");
    return number + QLatin1Char(' ') + shown;
}

QString askCriteriaName(QWidget* owner, const QString& suggestion)
{
    QInputDialog dialog(owner);
    dialog.setObjectName(QStringLiteral("saveCriteriaDialog"));
    dialog.setWindowTitle(stringText(IDS_SAVE_CRITERIA).remove(QStringLiteral("(&S)...")));
    dialog.setLabelText(stringText(IDS_SAVE_CRITERIA_LABEL));
    dialog.setTextValue(suggestion);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("キャンセル"));
    dialog.setMinimumWidth(320); // room for a name of a few words
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

} // namespace

static_assert(SavedCriteriaList::kMostEntries == cmd::kCriteriaCommands, "one run and one delete command per entry");

CMainFrame::CMainFrame(std::shared_ptr<ShellLauncher> launcher, QWidget* parent)
    : QMainWindow(parent)
    , m_launcher(std::move(launcher))
    , m_lockKeys(&LockKeys::fromKeyboardLeds)
    , m_fontChooser([](QWidget* owner) -> std::optional<QFont> {
        bool ok = false;
        const QFont font = QFontDialog::getFont(&ok, owner);
        return ok ? std::optional<QFont>(font) : std::nullopt;
    })
    , m_shareChooser(&MapDriveDialog::ask)
    , m_criteriaNamer(&askCriteriaName)
{
    setObjectName(QStringLiteral("mainFrame"));
    setWindowIcon(resourceIcon(ResourceIconId::Program));
    // The document template's title: the first field of the document string. Start-up
    // replaces it with the caption.
    setWindowTitle(stringText(IDR_MAINFRAME).section(u'\n', 0, 0));
    setDockOptions(dockOptions() | QMainWindow::AnimatedDocks);

    createMenus();
    createToolbar();
    createAccelerators();
    createStatusBar();
    createPanes();
    createCriteriaMenu();
    resize(1024, 700);

    qApp->installEventFilter(this);
}

CMainFrame::~CMainFrame()
{
    qApp->removeEventFilter(this);
}

QAction* CMainFrame::makeCommandAction(const QString& label, int id)
{
    auto* action = new QAction(label, this);
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { executeCommand(id); });
    return action;
}

void CMainFrame::createMenus()
{
    std::vector<QMenu*> open;
    for (const MenuEntry& entry : qv::mainMenu()) {
        switch (entry.kind) {
        case MenuEntryKind::Popup: {
            QMenu* menu = open.empty() ? menuBar()->addMenu(qstr(entry.text)) : open.back()->addMenu(qstr(entry.text));
            open.push_back(menu);
            break;
        }
        case MenuEntryKind::EndPopup:
            open.pop_back();
            break;
        case MenuEntryKind::Separator:
            open.back()->addSeparator();
            break;
        case MenuEntryKind::Item: {
            // No QKeySequence on menu items: the key name after "\t" is shown as it
            // is, and the keys themselves are the accelerator table's.
            QAction* action = makeCommandAction(qstr(entry.text), entry.command);
            action->setObjectName(QStringLiteral("menu%1").arg(entry.command));
            if (entry.checkable) {
                action->setCheckable(true);
                action->setChecked(true);
            }
            open.back()->addAction(action);
            break;
        }
        }
    }
}

void CMainFrame::createToolbar()
{
    m_toolbar = new QToolBar(this);
    m_toolbar->setObjectName(QStringLiteral("toolbar"));
    m_toolbar->setWindowTitle(QStringLiteral("ツールバー"));
    m_toolbar->setIconSize(QSize(kToolbarImageSize, kToolbarImageSize));
    m_toolbar->setMovable(true);
    m_toolbar->setFloatable(true);
    m_toolbar->setAllowedAreas(Qt::AllToolBarAreas);
    auto* styles = new QActionGroup(this);
    styles->setExclusive(true);
    for (const ToolbarButton& button : qv::mainToolbar()) {
        if (button.command == 0) {
            m_toolbar->addSeparator();
            continue;
        }
        QAction* action = makeCommandAction(qstr(button.tip), button.command);
        action->setObjectName(QStringLiteral("button%1").arg(button.command));
        action->setIcon(QIcon(toolbarImage(button.image)));
        action->setToolTip(qstr(button.tip));
        action->setStatusTip(stringText(button.command)); // empty for buttons without a prompt string
        if (button.command >= cmd::ViewSmallIcons && button.command <= cmd::ViewDetails) {
            // The radio state follows the list's style (updateViewStyleButtons).
            action->setCheckable(true);
            action->setChecked(button.command == cmd::ViewDetails);
            styles->addAction(action);
        }
        m_toolbar->addAction(action);
    }
    addToolBar(Qt::TopToolBarArea, m_toolbar);

    if (QAction* item = findChild<QAction*>(QStringLiteral("menu%1").arg(cmd::ViewToolbar)))
        connect(m_toolbar, &QToolBar::visibilityChanged, item, [this, item] { item->setChecked(!m_toolbar->isHidden()); });
}

void CMainFrame::createAccelerators()
{
    for (const Accelerator& accel : qv::mainAccelerators()) {
        QAction* action = makeCommandAction(QString(), accel.command);
        action->setObjectName(QStringLiteral("accel_") + qstr(accel.key));
        action->setShortcut(QKeySequence(qstr(accel.key), QKeySequence::PortableText));
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
}

void CMainFrame::createStatusBar()
{
    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("statusBar"));
    m_message = new QLabel(stringText(IDS_IDLE_MESSAGE), bar);
    m_message->setObjectName(QStringLiteral("messagePane"));
    bar->addWidget(m_message, 1);
    const int ids[3] = {IDS_INDICATOR_CAPS, IDS_INDICATOR_NUM, IDS_INDICATOR_SCROLL};
    for (int i = 0; i < 3; ++i) {
        auto* pane = new QLabel(bar);
        pane->setObjectName(QStringLiteral("indicator") + stringText(ids[i]));
        pane->setAlignment(Qt::AlignCenter);
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        // Sized for its text whether the lock is on or off, so the bar does not jump.
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(stringText(ids[i])) + 12);
        pane->setProperty("indicatorText", stringText(ids[i]));
        bar->addPermanentWidget(pane);
        m_indicators[i] = pane;
    }
    setStatusBar(bar);

    m_lockTimer = new QTimer(this);
    m_lockTimer->setInterval(500);
    connect(m_lockTimer, &QTimer::timeout, this, &CMainFrame::refreshLockKeys);
    m_lockTimer->start();
    refreshLockKeys();
}

void CMainFrame::setLockKeySource(std::function<LockKeys()> source)
{
    m_lockKeys = std::move(source);
    refreshLockKeys();
}

void CMainFrame::refreshLockKeys()
{
    const LockKeys keys = m_lockKeys ? m_lockKeys() : LockKeys{};
    const bool on[3] = {keys.caps, keys.num, keys.scroll};
    for (int i = 0; i < 3; ++i)
        m_indicators[i]->setText(on[i] ? m_indicators[i]->property("indicatorText").toString() : QString());
}

void CMainFrame::createPanes()
{
    m_outer = new QSplitter(Qt::Horizontal, this);
    m_outer->setObjectName(QStringLiteral("outerSplitter"));
    m_outer->setChildrenCollapsible(false);

    m_inner = new QSplitter(Qt::Vertical, m_outer);
    m_inner->setObjectName(QStringLiteral("innerSplitter"));
    m_inner->setChildrenCollapsible(false);

    m_model = new ResultListModel(this);
    m_view = new CQVView(m_outer);
    m_view->setResultModel(m_model);
    m_view->setShellLauncher(m_launcher.get());
    m_view->resize(300, 240);
    connect(m_view, &CQVView::viewStyleChanged, this, &CMainFrame::updateViewStyleButtons);

    m_form = new CSearchForView(m_inner);
    m_form->setResultModel(m_model);
    m_form->setSearchServices(SearchServices::makeDefault());
    connect(m_form, &CSearchForView::statusText, this, &CMainFrame::setMessageText);
    // Queued, so that the form has left its own handler before the window goes.
    connect(m_form, &CSearchForView::closeReady, this, &CMainFrame::close, Qt::QueuedConnection);
    m_formPane = m_form;
    m_formPane->setObjectName(QStringLiteral("searchForm"));
    m_formPane->resize(300, 220);

    m_tree = new CLeftView(m_inner);
    m_tree->setNetworkDirectory(LanNetwork::sharedDirectory());
    m_tree->resize(300, 220);
    connect(m_tree, &CLeftView::placeSelected, m_form, &CSearchForView::setSearchPlace);
    connect(m_tree, &CLeftView::statusText, this, &CMainFrame::setMessageText);

    m_inner->addWidget(m_formPane);
    m_inner->addWidget(m_tree);
    m_outer->addWidget(m_inner);
    m_outer->addWidget(m_view);

    // Extra room goes to the result list and the tree; the left column and the
    // form keep their sizes when the window grows.
    m_outer->setStretchFactor(0, 0);
    m_outer->setStretchFactor(1, 1);
    m_inner->setStretchFactor(0, 0);
    m_inner->setStretchFactor(1, 1);
    m_outer->setSizes({300, 724});
    m_inner->setSizes({220, 400});

    setCentralWidget(m_outer);
}

void CMainFrame::addCommandRoute(CommandTarget* target)
{
    m_routes.push_back(target);
}

void CMainFrame::executeCommand(int id)
{
    if (onCommand(id))
        return;
    for (CommandTarget* target : m_routes)
        if (target->onCommand(id))
            return;
}

bool CMainFrame::onCommand(int id)
{
    switch (id) {
    case cmd::NewSearch:
        newSearch();
        return true;
    case cmd::AppExit:
        close();
        return true;
    case cmd::ViewToolbar:
    case cmd::ViewStatusBar: {
        // isHidden, not isVisible: before the window shows, nothing is visible.
        QWidget* bar = id == cmd::ViewToolbar ? static_cast<QWidget*>(m_toolbar) : statusBar();
        bar->setVisible(bar->isHidden());
        if (QAction* item = findChild<QAction*>(QStringLiteral("menu%1").arg(id)))
            item->setChecked(!bar->isHidden());
        return true;
    }
    case cmd::SelectAllAccel:
    case cmd::SelectAllMenu:
        m_view->setFocus(Qt::ShortcutFocusReason);
        m_view->selectAllRows();
        return true;
    case cmd::InvertSelection:
        m_view->setFocus(Qt::ShortcutFocusReason);
        m_view->invertRowSelection();
        return true;
    case cmd::HelpMenu:
    case cmd::HelpButton: {
        HelpDialog box(this);
        box.exec();
        return true;
    }
    case cmd::Mail:
        m_launcher->open(QUrl(QStringLiteral("mailto:") + AboutDialog::contactAddress() + QStringLiteral("?subject=Trawlex")));
        return true;
    case cmd::NextPane:
        focusPane(1);
        return true;
    case cmd::PrevPane:
        focusPane(-1);
        return true;
    case cmd::ViewSmallIcons:
    case cmd::ViewLargeIcons:
    case cmd::ViewList:
    case cmd::ViewDetails:
        setViewStyle(id);
        return true;
    case cmd::MapDriveButton:
    case cmd::MapDriveMenu:
        mapNetworkDrive();
        return true;

    case cmd::FontMenu:
    case cmd::FontButton:
        chooseFont();
        return true;
    case cmd::PrintAccel:
    case cmd::PrintButton:
    case cmd::PrintMenu:
        printSelectedFiles();
        return true;
    case cmd::SaveCriteria:
        saveCriteria();
        return true;
    default:
        if (cmd::columnOfCommand(id) >= 0) {
            showColumn(id);
            return true;
        }
        if (cmd::runCriteriaIndex(id) >= 0) {
            runSavedCriteria(cmd::runCriteriaIndex(id));
            return true;
        }
        if (cmd::deleteCriteriaIndex(id) >= 0) {
            deleteSavedCriteria(cmd::deleteCriteriaIndex(id));
            return true;
        }
        return false;
    }
}

void CMainFrame::showColumn(int id)
{
    // The menu's check mark is the only record of a column's visibility; Qt has
    // already flipped it when the item was chosen.
    const QAction* item = findChild<QAction*>(QStringLiteral("menu%1").arg(id));
    if (item)
        m_view->setColumnWidth(cmd::columnOfCommand(id), item->isChecked() ? 100 : 0);
}

void CMainFrame::chooseFont()
{
    const std::optional<QFont> font = m_fontChooser(this);
    if (!font)
        return;
    // The form's controls take it through the form; toolbar, status bar and menus
    // keep theirs.
    m_paneFont = *font;
    m_form->setFont(*font);
    m_view->setPaneFont(*font);
    m_tree->setFont(*font);
}

void CMainFrame::mapNetworkDrive()
{
    const QUrl share = m_shareChooser(this);
    if (!share.isEmpty())
        m_launcher->mountShare(share);
}

void CMainFrame::printSelectedFiles()
{
    const ResultRowList& rows = m_model->rows();
    if (rows.count() == 0)
        return;
    for (const int row : m_view->selectedRows()) {
        if (row >= rows.count())
            continue;
        if (const std::optional<std::string> path = rowPath(rows.at(row)))
            m_launcher->print(QString::fromStdString(*path));
    }
}

void CMainFrame::setViewStyle(int id)
{
    static constexpr CQVView::ViewStyle styles[] = {CQVView::ViewStyle::SmallIcons, CQVView::ViewStyle::LargeIcons,
                                                    CQVView::ViewStyle::List, CQVView::ViewStyle::Details};
    m_view->setViewStyle(styles[id - cmd::ViewSmallIcons]);
    updateViewStyleButtons();
}

void CMainFrame::updateViewStyleButtons()
{
    static constexpr CQVView::ViewStyle styles[] = {CQVView::ViewStyle::SmallIcons, CQVView::ViewStyle::LargeIcons,
                                                    CQVView::ViewStyle::List, CQVView::ViewStyle::Details};
    for (int id = cmd::ViewSmallIcons; id <= cmd::ViewDetails; ++id) {
        QAction* button = findChild<QAction*>(QStringLiteral("button%1").arg(id));
        if (!button)
            continue;
        button->setEnabled(m_view != nullptr);
        button->setChecked(m_view && m_view->viewStyle() == styles[id - cmd::ViewSmallIcons]);
    }
}

// ---- saved criteria

void CMainFrame::createCriteriaMenu()
{
    // A menu of the form's own, beside menu 128: the frame's menus keep their items.
    m_criteriaMenu = new QMenu(stringText(IDS_CRITERIA_MENU), this);
    m_criteriaMenu->setObjectName(QStringLiteral("criteriaMenu"));
    m_deleteCriteriaMenu = new QMenu(stringText(IDS_DELETE_CRITERIA), m_criteriaMenu);
    m_deleteCriteriaMenu->setObjectName(QStringLiteral("deleteCriteriaMenu"));
    connect(m_criteriaMenu, &QMenu::aboutToShow, this, &CMainFrame::updateCriteriaMenu);
    m_form->setContextMenuPolicy(Qt::CustomContextMenu);
    // Right-clicks on the form's captions, check boxes, buttons and background arrive
    // here; the text boxes keep their own edit menus.
    connect(m_form, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_criteriaMenu->popup(m_form->mapToGlobal(at)); });
    updateCriteriaMenu();
}

void CMainFrame::updateCriteriaMenu()
{
    // The old items go once the event loop is back: the command running now may be
    // one of theirs. Until then they answer to no name.
    m_criteriaMenu->clear();
    m_deleteCriteriaMenu->clear();
    if (m_criteriaItems) {
        for (QObject* old : m_criteriaItems->children())
            old->setObjectName(QString());
        m_criteriaItems->deleteLater();
    }
    m_criteriaItems = new QObject(this);
    const auto addItem = [this](QMenu* menu, const QString& text, int id) {
        auto* action = new QAction(text, m_criteriaItems);
        action->setData(id);
        action->setObjectName(QStringLiteral("menu%1").arg(id));
        connect(action, &QAction::triggered, this, [this, id] { executeCommand(id); });
        menu->addAction(action);
        return action;
    };

    addItem(m_criteriaMenu, stringText(IDS_SAVE_CRITERIA), cmd::SaveCriteria);
    m_criteriaMenu->addSeparator();
    const auto& entries = m_savedCriteria.entries();
    if (entries.empty())
        m_criteriaMenu->addAction(stringText(IDS_NO_SAVED_CRITERIA))->setEnabled(false);
    // A search that runs keeps its criteria: another one waits for its end.
    const bool idle = !m_form->isSearching();
    for (int i = 0; i < int(entries.size()); ++i) {
        const QString text = criteriaItemText(i, entries[size_t(i)].name);
        addItem(m_criteriaMenu, text, cmd::RunCriteriaFirst + i)->setEnabled(idle);
        addItem(m_deleteCriteriaMenu, text, cmd::DeleteCriteriaFirst + i);
    }
    m_criteriaMenu->addSeparator();
    m_criteriaMenu->addMenu(m_deleteCriteriaMenu);
    m_deleteCriteriaMenu->setEnabled(!entries.empty());
}

void CMainFrame::setSavedCriteria(const SavedCriteriaList& criteria)
{
    m_savedCriteria = criteria;
    updateCriteriaMenu();
}

void CMainFrame::saveCriteria()
{
    const QString suggestion =
        m_lastCriteriaName.isEmpty() ? QString::fromStdString(m_form->formValues().nameText) : m_lastCriteriaName;
    const QString name = m_criteriaNamer(this, suggestion);
    if (!m_savedCriteria.add({name, m_form->formValues(), m_form->searchPlace()}))
        return;
    m_lastCriteriaName = name.trimmed();
    updateCriteriaMenu();
    emit savedCriteriaChanged();
}

void CMainFrame::runSavedCriteria(int index)
{
    if (index >= m_savedCriteria.count() || m_form->isSearching())
        return;
    const SavedCriteriaList::Entry entry = m_savedCriteria.entries()[size_t(index)];
    m_lastCriteriaName = entry.name;
    m_form->setFormValues(entry.values);
    // The tree shows the place when it holds it; the form then takes the place as it
    // was saved, whatever the tree makes of its item.
    m_tree->selectPlace(entry.place);
    m_form->setSearchPlace(entry.place);
    m_form->startSearch();
}

void CMainFrame::deleteSavedCriteria(int index)
{
    if (index >= m_savedCriteria.count())
        return;
    m_savedCriteria.removeAt(index);
    updateCriteriaMenu();
    emit savedCriteriaChanged();
}

void CMainFrame::newSearch()
{
    // Another instance of this very program: never one that happens to lie in the folder
    // the program was started from, which anybody who can write there could plant.
    m_launcher->startProgram(QCoreApplication::applicationFilePath());
}

void CMainFrame::focusPane(int step)
{
    QWidget* panes[3] = {m_formPane, m_tree, m_view};
    int current = -1;
    const QWidget* focus = QApplication::focusWidget();
    for (int i = 0; i < 3; ++i)
        if (focus && (focus == panes[i] || panes[i]->isAncestorOf(focus)))
            current = i;
    const int next = current < 0 ? 0 : (current + step + 3) % 3;
    QWidget* pane = panes[next];
    if (pane->focusPolicy() & Qt::TabFocus) {
        pane->setFocus(Qt::OtherFocusReason);
        return;
    }
    // A container pane (the form): its first control that takes the focus.
    for (QWidget* w = pane->nextInFocusChain(); w && w != pane; w = w->nextInFocusChain()) {
        if (pane->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(pane) && w->isEnabled()) {
            w->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

void CMainFrame::openAtPlace(const StartPlace& start)
{
    m_form->setSearchPlace(start.place());
    if (!start.problem().isEmpty())
        setMessageText(start.problem());
    const auto selectInTree = [this, start] {
        SearchPlace workgroup;
        workgroup.level = LevelWorkgroup;
        workgroup.placePath = start.workgroupAlternative().toStdString();
        return m_tree->selectPlace(start.place()) ||
               (!start.workgroupAlternative().isEmpty() && m_tree->selectPlace(workgroup));
    };
    if (selectInTree())
        return;
    // The workgroups arrive with the tree's first listing. Once the user has picked a
    // place of their own, it stays.
    const std::string placePath = start.place().placePath;
    connect(m_tree, &CLeftView::listingFinished, this, [this, selectInTree, placePath] {
        if (m_form->searchPlace().placePath == placePath)
            selectInTree();
    }, Qt::SingleShotConnection);
}

void CMainFrame::setMessageText(const QString& message)
{
    m_message->setText(message.isEmpty() ? stringText(IDS_IDLE_MESSAGE) : message);
}

QString CMainFrame::messageText() const
{
    return m_message->text();
}

bool CMainFrame::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        // Prompts of menu items and buttons go to our message pane; QStatusBar's own
        // temporary message would hide it.
        setMessageText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride && isWindowLevelKey(static_cast<QKeyEvent*>(event))) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this) {
            // Refuse the text box's claim, so the window's shortcut runs.
            event->ignore();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!m_form->requestClose()) {
        // The search is asked to stop; closeReady() closes the window when it has.
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

} // namespace qv
