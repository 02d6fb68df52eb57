// The location tree pane, where the user picks the place to search: the entire
// network and the workgroups at the top, computers, shares and folders listed one
// level per double-click. Listings run on a thread of the pane's own; the items
// arrive when they return.
#pragma once

#include "app/tree/CredentialsDialog.h"
#include "network/LocationLister.h"
#include "search/SearchPlace.h"

#include <QIcon>
#include <QSet>
#include <QTreeWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class QDrag;
class QMimeData;

namespace qv {

class CredentialStore;
class LocationSource;
class NetworkDirectory;
class LocationWorker;
class PasswordKeyring;

class CLeftView final : public QTreeWidget {
    Q_OBJECT
public:
    // What each item carries besides its text.
    enum Role {
        ImageRole = Qt::UserRole + 1, // index into the pane's images (below)
        SelectedImageRole,            // the image shown while the item is selected
        SerialRole,                   // names the item for listings that return later
        PlaceholderRole,              // true on the "…" child of an item being listed
    };
    // The pane's images, in the order of their indexes.
    enum Image {
        WorkgroupImage = 0,
        ComputerImage = 1,
        EntireNetworkImage = 2,
        ShareImage = 3,
        UnusedImage = 4,
        FolderImage = 5,
        SelectedFolderImage = 6,
        PrinterImage = 7,
    };
    static constexpr int kImageResources[8] = {139, 140, 134, 133, 143, 130, 147, 154};

    explicit CLeftView(QWidget* parent = nullptr);
    ~CLeftView() override;

    // Before the pane is first shown. Without a source the pane lists the network over
    // SMB through a helper of its own, with the program's shared credential store.
    void setLocationSource(std::shared_ptr<LocationSource> source, std::shared_ptr<CredentialStore> store,
                           std::shared_ptr<PasswordKeyring> keyring = nullptr);
    // Before the pane is first shown: the computers and workgroups discovery finds
    // join the tree as they arrive, and the computers the user names get an item of
    // their own at the top. Without one (and without a source) the pane uses the
    // program's directory; with a source of its own and no directory, none.
    void setNetworkDirectory(std::shared_ptr<NetworkDirectory> directory);
    NetworkDirectory* networkDirectory() const { return m_directory.get(); }
    // Asks for a computer's name or address; the default shows an input dialog.
    // An empty answer is a cancel.
    using ComputerPrompt = std::function<QString(QWidget* parent)>;
    void setComputerPrompt(ComputerPrompt prompt);
    // The top item that holds the computers the user named; null while there are none.
    QTreeWidgetItem* typedComputersItem() const;

    // Asked when a server refuses the account; the default shows CredentialsDialog.
    void setCredentialPrompt(CredentialPrompt prompt);
    // Runs a drag the pane has prepared with the actions it allows; the default runs
    // it with QDrag::exec.
    using DragRunner = std::function<void(QDrag& drag, Qt::DropActions allowed)>;
    void setDragRunner(DragRunner runner);

    QTreeWidgetItem* entireNetworkItem() const { return m_entireNetwork; }
    const QString& currentPath() const { return m_currentPath; }
    QIcon image(int index) const;

    // Selects the item that stands for the place (the entire network, a workgroup, a
    // typed computer or any item listed so far; names without regard to case). False,
    // changing nothing, when the tree shows no such item.
    bool selectPlace(const SearchPlace& place);

    // The search level of the selected item: 0 for the entire network (or an item
    // without text), otherwise its depth counted from the top, 1 for a top item.
    int selectionLevel() const;
    // The data a drag from the pane offers: the current path as a smb:// URL and as text.
    QMimeData* makeDragData() const;

    // Whether the item's listing (or the initial build, for none) is under way.
    bool isListing(const QTreeWidgetItem* item) const;
    int listingsUnderWay() const { return int(m_listing.size()) + (m_building ? 1 : 0); }

public slots:
    // What a double-click does: expands a container, lists a folder or collapses.
    void openSelection();
    // Asks for a computer ("\\\\NAME", "\\\\192.0.2.5", "\\\\[fe80::1]"), adds it under the
    // typed computers' item and selects it; a name that is no computer changes nothing.
    void addComputer();
    // Takes the selected typed computer out of the list.
    void removeSelectedComputer();
    // Runs discovery again; what it finds joins the tree.
    void lookAgain();

signals:
    // The place of the newly selected item, for the search form.
    void placeSelected(const qv::SearchPlace& place);
    // A text for the status bar; a double-click clears it.
    void statusText(const QString& text);
    // A listing has returned and its items are in place (for tests and observers).
    void listingFinished();

private slots:
    void runDelivered();

protected:
    void showEvent(QShowEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void setUp();
    void loadImages();
    void ensureSource();
    void startInitialBuild();
    void finishInitialBuild(const std::vector<std::string>& workgroups);
    // Adds what the directory knows and the tree does not show yet: workgroups at
    // the top, computers under workgroups already listed, the typed computers.
    void mergeDirectory();
    void mergeTypedComputers();
    bool isTypedComputer(const QTreeWidgetItem* item) const;

    void onSelectionChanged();
    QTreeWidgetItem* selectedItem() const;
    QString buildPath(QTreeWidgetItem* item);
    QString pathOf(QTreeWidgetItem* item) const;

    void expandContainer(QTreeWidgetItem* item, int level);
    void listFolder(QTreeWidgetItem* item);
    void startListing(QTreeWidgetItem* item, int level, ListingRequest request);
    void postListing(quint64 serial, int level, ListingRequest request);
    void finishListing(quint64 serial, int level, ListingRequest request, ListingReply reply);
    // Asks for an account and lists again with it; false when the user cancelled.
    bool retryWithAccount(quint64 serial, int level, ListingRequest request, const ListingReply& reply);
    void replaceChildren(QTreeWidgetItem* item, int level, const ListingReply& reply);

    // From the worker: runs the function on the window's thread, in delivery order.
    void deliver(std::function<void()> onWindowThread);

    QTreeWidgetItem* newItem(const QString& text, int image, int selectedImage);
    void setImages(QTreeWidgetItem* item, int image, int selectedImage);
    QTreeWidgetItem* itemBySerial(quint64 serial) const;
    static quint64 serialOf(const QTreeWidgetItem* item);
    void showBusy(QTreeWidgetItem* item);
    void endBusy(QTreeWidgetItem* item);
    void updateCursor();

    std::shared_ptr<LocationSource> m_source;
    std::shared_ptr<CredentialStore> m_store;
    std::shared_ptr<PasswordKeyring> m_keyring;
    std::shared_ptr<LocationLister> m_lister;
    std::unique_ptr<LocationWorker> m_worker;
    CredentialPrompt m_prompt;
    DragRunner m_dragRunner;
    ComputerPrompt m_computerPrompt;
    std::shared_ptr<NetworkDirectory> m_directory;
    int m_directoryListener = 0;
    std::atomic<bool> m_mergePosted{false};
    QTreeWidgetItem* m_typedItem = nullptr;

    QTreeWidgetItem* m_entireNetwork = nullptr;
    QString m_currentPath;
    QString m_walkRoot;
    std::vector<QIcon> m_images;
    quint64 m_nextSerial = 0;
    QSet<quint64> m_listing; // serials of the items whose listing is under way
    bool m_building = false;
    std::mutex m_deliveredMutex;
    std::vector<std::function<void()>> m_delivered;
    bool m_setUp = false;
};

} // namespace qv
