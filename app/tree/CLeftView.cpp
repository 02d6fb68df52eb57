// The location tree pane. Items are identified across listings by a serial number
// kept in their data: a listing that returns after its item was deleted (its parent
// listed anew) finds no item and is dropped.
#include "app/tree/CLeftView.h"

#include "network/LanNetwork.h"
#include "network/LocationSource.h"
#include "network/NetworkDirectory.h"
#include "network/LocationWorker.h"
#include "network/SmbLocationSource.h"
#include "app/tree/TreeBranchStyle.h"
#include "platform/CredentialStore.h"
#include "platform/PasswordKeyring.h"
#include "platform/SmbUrl.h"
#include "resources/ResourceIcon.h"
#include "resources/StringTable.h"
#include "resources/StringText.h"

#include <QContextMenuEvent>
#include <QDrag>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QShowEvent>
#include <QTreeWidgetItemIterator>
#include <QUrl>

#include <algorithm>
#include <cerrno>

namespace qv {
namespace {

QString entireNetworkText() { return stringText(IDS_ENTIRE_NETWORK); }

QString keyOf(const QString& name)
{
    return QString::fromStdString(NetworkDirectory::keyOf(name.toStdString()));
}

// The order of the children of an item: by text, letters without regard to case.
bool textBefore(const QString& a, const QString& b)
{
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
}

bool isBelow(const QTreeWidgetItem* ancestor, const QTreeWidgetItem* item)
{
    for (const QTreeWidgetItem* up = item->parent(); up; up = up->parent())
        if (up == ancestor)
            return true;
    return false;
}

struct NewChild {
    QString text;
    int image;
    int selectedImage;
};

} // namespace

CLeftView::CLeftView(QWidget* parent)
    : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("locationTree"));
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Buttons and lines before the items, but none before the top items; selection
    // across the whole row, shown also when the pane has no focus.
    setStyle(TreeBranchStyle::instance());
    setRootIsDecorated(false);
    setItemsExpandable(true);
    setExpandsOnDoubleClick(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);

    connect(this, &QTreeWidget::itemSelectionChanged, this, &CLeftView::onSelectionChanged);
}

CLeftView::~CLeftView()
{
    // First, so that no discovery news is posted to a pane being destroyed (the
    // call waits for a listener that runs).
    if (m_directory && m_directoryListener)
        m_directory->unsubscribe(m_directoryListener);
    // A listing waiting for a silent server must not hold up the window's close:
    // aborting kills the tree's helper, so the worker's request returns at once.
    if (m_source)
        m_source->abort();
    if (m_keyring)
        m_keyring->cancel();
    if (m_worker)
        m_worker->stop();
}

void CLeftView::setLocationSource(std::shared_ptr<LocationSource> source, std::shared_ptr<CredentialStore> store,
                                  std::shared_ptr<PasswordKeyring> keyring)
{
    m_source = std::move(source);
    m_store = std::move(store);
    m_keyring = std::move(keyring);
}

void CLeftView::setCredentialPrompt(CredentialPrompt prompt) { m_prompt = std::move(prompt); }

void CLeftView::setNetworkDirectory(std::shared_ptr<NetworkDirectory> directory)
{
    m_directory = std::move(directory);
}

void CLeftView::setComputerPrompt(ComputerPrompt prompt) { m_computerPrompt = std::move(prompt); }

void CLeftView::setDragRunner(DragRunner runner) { m_dragRunner = std::move(runner); }

QIcon CLeftView::image(int index) const
{
    return index >= 0 && std::size_t(index) < m_images.size() ? m_images[std::size_t(index)] : QIcon();
}

// ---- set-up and the initial build

void CLeftView::showEvent(QShowEvent* event)
{
    QTreeWidget::showEvent(event);
    // The pane is built once, when it first shows; later shows (a splitter pane
    // hidden and shown again) keep what it holds.
    if (!m_setUp)
        setUp();
}

void CLeftView::setUp()
{
    m_setUp = true;
    loadImages();
    ensureSource();
    startInitialBuild();
    if (!m_directory)
        return;
    // Discovery answers arrive on its own thread; one merge at a time is posted.
    m_directoryListener = m_directory->subscribe([this] {
        if (!m_mergePosted.exchange(true))
            deliver([this] {
                m_mergePosted.store(false);
                mergeDirectory();
            });
    });
    mergeDirectory();
    m_directory->startDiscovery();
}

void CLeftView::loadImages()
{
    m_images.clear();
    for (const int id : kImageResources)
        m_images.push_back(resourceIcon(id));
    setIconSize(QSize(16, 16));
}

void CLeftView::ensureSource()
{
    if (!m_source) {
        m_store = CredentialStore::shared();
        // Without a display nobody browses: the offscreen platform is where the
        // program's tests run, and they must never reach a real network. The pane
        // then shows the entire network only.
        const bool offscreen = QGuiApplication::platformName() == QLatin1String("offscreen");
        if (!m_directory && !offscreen)
            m_directory = LanNetwork::sharedDirectory();
        auto smb = std::make_shared<SmbLocationSource>(m_store, m_directory);
        if (offscreen)
            smb->abort();
        else
            m_keyring = PasswordKeyring::desktop();
        m_source = smb;
    }
    if (!m_prompt) {
        const bool offerKeyring = m_keyring != nullptr;
        m_prompt = [this, offerKeyring](const QString& server, const QString& place) {
            return CredentialsDialog::ask(this, server, place, offerKeyring);
        };
    }
    m_lister = std::make_shared<LocationLister>(m_source, m_store, m_keyring);
    m_worker = std::make_unique<LocationWorker>();
}

void CLeftView::startInitialBuild()
{
    // The providers are the machine's own list and ask no server, so they are
    // taken here; their workgroups come from the network, on the worker.
    std::vector<NetResource> providers;
    if (!m_source->listProviders(providers))
        return; // no network: the tree stays empty
    std::vector<NetResource> containers;
    for (const NetResource& provider : providers) {
        if (!m_entireNetwork) {
            m_entireNetwork = newItem(entireNetworkText(), EntireNetworkImage, EntireNetworkImage);
            addTopLevelItem(m_entireNetwork);
        }
        if (provider.container)
            containers.push_back(provider);
    }
    if (containers.empty())
        return;
    m_building = true;
    updateCursor();
    m_worker->post([this, source = m_source, containers] {
        std::vector<std::string> workgroups;
        for (const NetResource& provider : containers) {
            std::vector<std::string> more;
            source->listWorkgroups(provider, more);
            workgroups.insert(workgroups.end(), more.begin(), more.end());
        }
        deliver([this, workgroups] { finishInitialBuild(workgroups); });
    });
}

void CLeftView::finishInitialBuild(const std::vector<std::string>& workgroups)
{
    // Not sorted: the entire network first, then each provider's list as delivered
    // (discovery's workgroups after the browse list's), the typed computers last.
    int row = m_typedItem ? indexOfTopLevelItem(m_typedItem) : topLevelItemCount();
    for (const std::string& name : workgroups)
        insertTopLevelItem(row++, newItem(QString::fromStdString(name), WorkgroupImage, WorkgroupImage));
    m_building = false;
    updateCursor();
    mergeDirectory();
    emit listingFinished();
}

// ---- what discovery and the user add

void CLeftView::mergeDirectory()
{
    if (!m_directory)
        return;
    mergeTypedComputers();
    if (m_building || !m_entireNetwork)
        return; // the initial build's list comes first; it merges when it returns
    QHash<QString, QTreeWidgetItem*> workgroups;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* top = topLevelItem(i);
        if (top != m_entireNetwork && top != m_typedItem)
            workgroups.insert(keyOf(top->text(0)), top);
    }
    int row = m_typedItem ? indexOfTopLevelItem(m_typedItem) : topLevelItemCount();
    for (const std::string& name : m_directory->workgroups()) {
        const QString text = QString::fromStdString(name);
        if (workgroups.contains(keyOf(text)))
            continue;
        QTreeWidgetItem* item = newItem(text, WorkgroupImage, WorkgroupImage);
        insertTopLevelItem(row++, item);
        workgroups.insert(keyOf(text), item);
    }
    // Workgroups the user has opened get the computers found since.
    for (auto it = workgroups.cbegin(); it != workgroups.cend(); ++it) {
        QTreeWidgetItem* workgroup = it.value();
        if (!workgroup->isExpanded() || isListing(workgroup))
            continue;
        QSet<QString> shown;
        for (int i = 0; i < workgroup->childCount(); ++i)
            shown.insert(keyOf(workgroup->child(i)->text(0)));
        bool added = false;
        for (const NetworkDirectory::Computer& computer : m_directory->membersOf(workgroup->text(0).toStdString())) {
            const QString name = QStringLiteral("\\\\") + QString::fromStdString(computer.name);
            if (shown.contains(keyOf(name)))
                continue;
            workgroup->addChild(newItem(name, ComputerImage, ComputerImage));
            added = true;
        }
        if (added) {
            // In the pane's order of children (letters without regard to case).
            // Taking the children makes the view forget which of them were open.
            QTreeWidgetItem* current = currentItem();
            QList<QTreeWidgetItem*> open;
            for (QTreeWidgetItemIterator it(workgroup); *it; ++it)
                if ((*it)->isExpanded() && *it != workgroup && isBelow(workgroup, *it))
                    open.push_back(*it);
            QList<QTreeWidgetItem*> children = workgroup->takeChildren();
            std::stable_sort(children.begin(), children.end(), [](const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
                return textBefore(a->text(0), b->text(0));
            });
            workgroup->addChildren(children);
            for (QTreeWidgetItem* item : open)
                item->setExpanded(true);
            if (current && current != currentItem())
                setCurrentItem(current);
        }
    }
}

void CLeftView::mergeTypedComputers()
{
    const std::vector<std::string> typed = m_directory->typedComputers();
    if (typed.empty()) {
        delete m_typedItem;
        m_typedItem = nullptr;
        return;
    }
    if (!m_typedItem) {
        m_typedItem = newItem(stringText(IDS_TYPED_COMPUTERS), WorkgroupImage, WorkgroupImage);
        addTopLevelItem(m_typedItem);
    }
    if (isListing(m_typedItem))
        return;
    // In the order the user added them; a child already there keeps its item (and
    // what is listed below it).
    QHash<QString, QTreeWidgetItem*> old;
    while (m_typedItem->childCount() > 0) {
        QTreeWidgetItem* child = m_typedItem->takeChild(0);
        old.insert(keyOf(child->text(0)), child);
    }
    for (const std::string& name : typed) {
        const QString text = QString::fromStdString(name);
        QTreeWidgetItem* child = old.take(keyOf(text));
        m_typedItem->addChild(child ? child : newItem(text, ComputerImage, ComputerImage));
    }
    qDeleteAll(old);
    m_typedItem->setExpanded(true);
}

QTreeWidgetItem* CLeftView::typedComputersItem() const { return m_typedItem; }

bool CLeftView::isTypedComputer(const QTreeWidgetItem* item) const
{
    return item && m_typedItem && item->parent() == m_typedItem;
}

void CLeftView::addComputer()
{
    if (!m_directory)
        return;
    const QString answer = m_computerPrompt ? m_computerPrompt(this)
                                            : QInputDialog::getText(this, stringText(IDS_ADD_COMPUTER).remove(QStringLiteral("(&C)..."))
                                                                              .remove(QLatin1Char('&')),
                                                                    stringText(IDS_ADD_COMPUTER_LABEL));
    QString name = answer.trimmed();
    if (name.isEmpty())
        return;
    if (!name.startsWith(QStringLiteral("\\\\")))
        name.prepend(QStringLiteral("\\\\"));
    const auto place = SmbUrl::fromNetworkName(name.toStdString());
    if (!place || place->level() != SmbUrl::Level::Computer)
        return;
    const QString networkName = QString::fromStdString(place->networkName());
    m_directory->addTypedComputer(networkName.toStdString());
    mergeTypedComputers();
    for (int i = 0; m_typedItem && i < m_typedItem->childCount(); ++i)
        if (keyOf(m_typedItem->child(i)->text(0)) == keyOf(networkName))
            setCurrentItem(m_typedItem->child(i));
}

void CLeftView::removeSelectedComputer()
{
    QTreeWidgetItem* item = selectedItem();
    if (!m_directory || !isTypedComputer(item))
        return;
    m_directory->removeTypedComputer(item->text(0).toStdString());
    mergeTypedComputers();
}

void CLeftView::lookAgain()
{
    if (m_directory)
        m_directory->rediscover();
}

void CLeftView::contextMenuEvent(QContextMenuEvent* event)
{
    if (!m_directory) {
        QTreeWidget::contextMenuEvent(event);
        return;
    }
    if (QTreeWidgetItem* under = itemAt(viewport()->mapFromGlobal(event->globalPos())))
        setCurrentItem(under);
    QMenu menu(this);
    menu.addAction(stringText(IDS_ADD_COMPUTER), this, &CLeftView::addComputer);
    QAction* remove = menu.addAction(stringText(IDS_REMOVE_COMPUTER), this, &CLeftView::removeSelectedComputer);
    remove->setEnabled(isTypedComputer(selectedItem()));
    menu.addSeparator();
    menu.addAction(stringText(IDS_LOOK_AGAIN), this, &CLeftView::lookAgain);
    menu.exec(event->globalPos());
}

// ---- selection, level and path

QTreeWidgetItem* CLeftView::selectedItem() const
{
    const QList<QTreeWidgetItem*> items = selectedItems();
    return items.isEmpty() ? nullptr : items.first();
}

int CLeftView::selectionLevel() const
{
    const QTreeWidgetItem* item = selectedItem();
    if (!item)
        return LevelEntireNetwork;
    const QString text = item->text(0);
    if (text.isEmpty() || text == entireNetworkText())
        return LevelEntireNetwork;
    int level = 0;
    for (const QTreeWidgetItem* up = item; up; up = up->parent())
        ++level;
    return level;
}

bool CLeftView::selectPlace(const SearchPlace& place)
{
    if (place.local)
        return false;
    QTreeWidgetItem* found = nullptr;
    if (place.level == LevelEntireNetwork) {
        found = m_entireNetwork;
    } else {
        const QString wanted = keyOf(QString::fromStdString(place.placePath));
        for (QTreeWidgetItemIterator it(this); *it && !found; ++it) {
            QTreeWidgetItem* item = *it;
            if (item == m_entireNetwork || item == m_typedItem || item->data(0, PlaceholderRole).toBool())
                continue;
            const QString path = place.level >= LevelShare ? pathOf(item) : item->text(0);
            if (keyOf(path) != wanted)
                continue;
            // The level is the item's depth (a typed computer counts as a computer).
            int depth = 0;
            for (const QTreeWidgetItem* up = item; up; up = up->parent())
                ++depth;
            if (depth == place.level)
                found = item;
        }
    }
    if (!found)
        return false;
    scrollToItem(found);
    setCurrentItem(found);
    return true;
}

QString CLeftView::pathOf(QTreeWidgetItem* item) const
{
    QStringList texts; // the item's text and its ancestors', upward
    for (const QTreeWidgetItem* up = item; up; up = up->parent())
        texts.push_back(up->text(0));
    // A share's text is already its full network path; the computer and the
    // workgroup above it add nothing.
    texts.resize(std::max<qsizetype>(texts.size() - 2, 1));
    std::reverse(texts.begin(), texts.end());
    return texts.join(QLatin1Char('\\'));
}

QString CLeftView::buildPath(QTreeWidgetItem* item)
{
    m_currentPath = pathOf(item);
    m_walkRoot = m_currentPath;
    return m_currentPath;
}

void CLeftView::onSelectionChanged()
{
    QTreeWidgetItem* item = selectedItem();
    if (!item)
        return;
    const int level = selectionLevel();
    if (level >= LevelShare)
        buildPath(item);
    else
        m_currentPath = item->text(0);
    SearchPlace place;
    place.level = level;
    place.placePath = m_currentPath.toStdString();
    // Only shares and folders set the walk root; other places leave the last one.
    place.walkRoot = m_walkRoot.toStdString();
    emit placeSelected(place);
}

// ---- double-click: expansion and folder listing

void CLeftView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The view's own double-click handling (expand, edit) is not run: the first
    // click has selected the item, and opening works on the selection.
    if (event->button() == Qt::LeftButton)
        openSelection();
    event->accept();
}

void CLeftView::openSelection()
{
    QTreeWidgetItem* item = selectedItem();
    // With nothing selected there is nothing to put children under; before the
    // pane was first shown nothing can be listed.
    if (item && m_worker && !isListing(item)) {
        const int level = selectionLevel();
        if (level <= LevelComputer)
            expandContainer(item, level);
        else
            listFolder(item);
    }
    emit statusText(QString());
}

void CLeftView::expandContainer(QTreeWidgetItem* item, int level)
{
    if (item->isExpanded()) {
        item->setExpanded(false);
        return;
    }
    ListingRequest request;
    request.kind = ListingRequest::Kind::Container;
    request.name = m_currentPath.toStdString();
    startListing(item, level, std::move(request));
}

void CLeftView::listFolder(QTreeWidgetItem* item)
{
    if (item->data(0, ImageRole).toInt() == PrinterImage)
        return;
    if (item->isExpanded()) {
        item->setExpanded(false);
        return;
    }
    ListingRequest request;
    request.kind = ListingRequest::Kind::Folder;
    request.name = buildPath(item).toStdString();
    startListing(item, LevelShare, std::move(request));
}

void CLeftView::startListing(QTreeWidgetItem* item, int level, ListingRequest request)
{
    const quint64 serial = serialOf(item);
    m_listing.insert(serial);
    showBusy(item);
    updateCursor();
    postListing(serial, level, std::move(request));
}

void CLeftView::postListing(quint64 serial, int level, ListingRequest request)
{
    m_worker->post([this, lister = m_lister, serial, level, request] {
        ListingReply reply = lister->run(request);
        deliver([this, serial, level, request, reply] { finishListing(serial, level, request, reply); });
    });
}

void CLeftView::finishListing(quint64 serial, int level, ListingRequest request, ListingReply reply)
{
    if (reply.error == EACCES && !reply.server.empty() && itemBySerial(serial)) {
        if (retryWithAccount(serial, level, std::move(request), reply))
            return;
    }
    m_listing.remove(serial);
    if (QTreeWidgetItem* item = itemBySerial(serial)) {
        endBusy(item);
        if (reply.error == 0)
            replaceChildren(item, level, reply);
        else
            item->setExpanded(false); // as it was before the double-click
    }
    updateCursor();
    emit listingFinished();
}

bool CLeftView::retryWithAccount(quint64 serial, int level, ListingRequest request, const ListingReply& reply)
{
    // Another listing may have logged on to the server since this one was refused:
    // then the account the session has now is tried without asking.
    if (m_store && m_store->find(reply.server) != reply.sessionAccount) {
        request.account.reset();
        request.remember = false;
        postListing(serial, level, std::move(request));
        return true;
    }
    QPointer<CLeftView> self(this);
    const std::optional<CredentialAnswer> answer =
        m_prompt(QString::fromStdString(reply.server), QString::fromStdString(request.name));
    if (!self)
        return true; // the pane went while the dialog was open
    if (!answer || !itemBySerial(serial))
        return false;
    request.account = answer->account;
    request.remember = answer->remember;
    postListing(serial, level, std::move(request));
    return true;
}

void CLeftView::replaceChildren(QTreeWidgetItem* item, int level, const ListingReply& reply)
{
    std::vector<NewChild> children;
    for (const NetResource& entry : reply.children) {
        const int image = entry.print ? PrinterImage : level == LevelComputer ? ShareImage : ComputerImage;
        children.push_back({QString::fromStdString(entry.remoteName), image, image});
    }
    for (const std::string& name : reply.folders)
        children.push_back({QString::fromStdString(name), FolderImage, SelectedFolderImage});
    std::stable_sort(children.begin(), children.end(),
                     [](const NewChild& a, const NewChild& b) { return textBefore(a.text, b.text); });

    qDeleteAll(item->takeChildren());
    QList<QTreeWidgetItem*> items;
    for (const NewChild& child : children)
        items.push_back(newItem(child.text, child.image, child.selectedImage));
    item->addChildren(items);
    item->setExpanded(true);
}

// ---- results crossing from the worker

void CLeftView::deliver(std::function<void()> onWindowThread)
{
    // The results go through a list under a mutex of our own and the wake-up
    // carries nothing: a result handed over inside Qt's event queue would cross
    // threads only by Qt's own locks, which ThreadSanitizer cannot see.
    bool wake = false;
    {
        std::lock_guard lock(m_deliveredMutex);
        wake = m_delivered.empty();
        m_delivered.push_back(std::move(onWindowThread));
    }
    if (wake)
        QMetaObject::invokeMethod(this, "runDelivered", Qt::QueuedConnection);
}

void CLeftView::runDelivered()
{
    std::vector<std::function<void()>> delivered;
    {
        std::lock_guard lock(m_deliveredMutex);
        delivered.swap(m_delivered);
    }
    for (const std::function<void()>& result : delivered)
        result();
}

// ---- items

QTreeWidgetItem* CLeftView::newItem(const QString& text, int image, int selectedImage)
{
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, SerialRole, ++m_nextSerial);
    setImages(item, image, selectedImage);
    return item;
}

void CLeftView::setImages(QTreeWidgetItem* item, int image, int selectedImage)
{
    item->setData(0, ImageRole, image);
    item->setData(0, SelectedImageRole, selectedImage);
    // The view paints an icon's Selected picture while the item is selected.
    QIcon icon = this->image(image);
    if (selectedImage != image) {
        const QIcon selected = this->image(selectedImage);
        for (const QSize& size : selected.availableSizes())
            icon.addPixmap(selected.pixmap(size), QIcon::Selected);
    }
    item->setIcon(0, icon);
}

quint64 CLeftView::serialOf(const QTreeWidgetItem* item) { return item->data(0, SerialRole).toULongLong(); }

QTreeWidgetItem* CLeftView::itemBySerial(quint64 serial) const
{
    for (QTreeWidgetItemIterator it(const_cast<CLeftView*>(this)); *it; ++it)
        if (serialOf(*it) == serial)
            return *it;
    return nullptr;
}

bool CLeftView::isListing(const QTreeWidgetItem* item) const
{
    return item ? m_listing.contains(serialOf(item)) : m_building;
}

void CLeftView::showBusy(QTreeWidgetItem* item)
{
    // The old children stay (a failing listing leaves them) but out of sight, and a
    // "…" child shows that the listing is under way.
    for (int i = 0; i < item->childCount(); ++i)
        item->child(i)->setHidden(true);
    auto* placeholder = new QTreeWidgetItem(QStringList{QStringLiteral("…")});
    placeholder->setData(0, PlaceholderRole, true);
    placeholder->setFlags(Qt::NoItemFlags);
    item->addChild(placeholder);
    item->setExpanded(true);
}

void CLeftView::endBusy(QTreeWidgetItem* item)
{
    for (int i = item->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* child = item->child(i);
        if (child->data(0, PlaceholderRole).toBool())
            delete item->takeChild(i);
        else
            child->setHidden(false);
    }
}

void CLeftView::updateCursor()
{
    if (listingsUnderWay() > 0)
        viewport()->setCursor(Qt::BusyCursor);
    else
        viewport()->unsetCursor();
}

// ---- drag

QMimeData* CLeftView::makeDragData() const
{
    auto* data = new QMimeData;
    const bool entireNetwork = m_currentPath == entireNetworkText();
    const std::optional<SmbUrl> place =
        entireNetwork ? std::optional<SmbUrl>(SmbUrl()) : SmbUrl::fromNetworkName(m_currentPath.toStdString());
    if (place)
        data->setUrls({QUrl::fromEncoded(QByteArray::fromStdString(place->url()), QUrl::StrictMode)});
    data->setText(m_currentPath);
    return data;
}

void CLeftView::startDrag(Qt::DropActions supportedActions)
{
    (void)supportedActions;
    // The place offered is the selected one, whichever item the drag started on.
    if (m_currentPath.isEmpty())
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(makeDragData());
    if (const QTreeWidgetItem* item = selectedItem())
        drag->setPixmap(item->icon(0).pixmap(16, 16));
    const Qt::DropActions allowed = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    if (m_dragRunner) {
        m_dragRunner(*drag, allowed);
        drag->deleteLater();
        return;
    }
    drag->exec(allowed, Qt::CopyAction);
}

} // namespace qv
