// The result rows of the current search as a Qt table model: nine columns, newest
// row at the top. The result list pane shows it.
#pragma once

#include "results/ResultRowList.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <QItemSelectionModel>
#include <QPointer>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace qv {

class ResultImageList;

class ResultListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ResultListModel(QObject* parent = nullptr);
    // Waits for a sort still running in the background (cancelled first).
    ~ResultListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Reorders the rows by one column; selections and other persistent indexes
    // follow their rows. Rows added later still go to the top. A list of
    // kBackgroundSortRows rows or more is sorted on a thread of its own, so that the
    // window goes on answering: the rows change their order when it is done
    // (sorted() then), and rows that arrive meanwhile wait and then go on top.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    bool isSorting() const { return m_sorter.joinable(); }
    static constexpr int kBackgroundSortRows = 50000;

    // A click on a column header: the first click on a column sorts it ascending,
    // each further click on the arrow's column reverses the order. The arrow (up
    // for ascending, down for descending) moves to the clicked column's header.
    void sortByHeaderClick(int column);
    // -1 until the first header click.
    int sortColumn() const { return m_sortColumn; }
    bool ascending() const { return m_ascending; }
    // The column whose header the arrow belongs to, -1 for none; clear() hides the
    // arrow but keeps this column, so the next click on it reverses the last order.
    int arrowColumn() const { return m_arrowColumn; }
    bool arrowShown() const { return m_arrowShown; }

    // Dragging: every dragged row that names something on the network, top to
    // bottom, as smb:// URLs (text/uri-list) and as network names, one per line
    // (text/plain). Nothing happens to the rows after the drop.
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    QMimeData* mimeDataForRows(const QList<int>& rows) const;
    Qt::DropActions supportedDragActions() const override;

    // Adds the rows of one batch, oldest first, each at the top (one model insertion
    // per batch, not per row).
    void addRows(std::vector<ResultRow> rows);
    // Empties the list at a search start (a sort running is given up); the sort state
    // stays, the arrow goes.
    void clear();
    const ResultRowList& rows() const { return m_rows; }

    // The images behind ResultRow::image: the fixed ones and the file icons by name.
    void setImages(const ResultImageList* images);
    // The views' shared selection, which a sort carries over to the rows' new places
    // itself (see applyOrder); null leaves that to the layout change.
    void keepSelectionOf(QItemSelectionModel* selection) { m_selection = selection; }

    // Up to this many selected rows a sort moves the selection itself and only has
    // the views repaint; with more, or no selection model, the views lay out every
    // row again (about 50 ms a million rows in the details view).
    static constexpr qint64 kMostRowsReselected = 20000;

    // Qt::UserRole + this: the row key (qint64).
    static constexpr int KeyRole = Qt::UserRole + 1;

    // The picture of fixed image 0-9: the icon resource, else a theme icon.
    static QIcon fixedIcon(int image);

signals:
    // A background sort has put the rows in their new order.
    void sorted();
    // Every row may show other contents now, and nothing else changed (a sort that
    // kept the rows as many): the views repaint what they show.
    void reorderedInPlace();

private:
    QIcon iconFor(int image) const;
    void setArrowShown(bool shown);
    void insertRows(std::vector<ResultRow> rows);
    // Puts the rows in `order`, persistent indexes following their rows.
    void applyOrder(const std::vector<std::int64_t>& order);
    // The same as a change of contents: the selection is taken off, the persistent
    // indexes are moved and the selected rows are selected again at their new places.
    // False (nothing done) when the selection is too large for that.
    bool applyOrderInPlace(const std::vector<std::int64_t>& order);
    // Puts the rows in `order` and moves every persistent index but the pinned ones to
    // the new display row of the row it was on; gives the display row of every row key.
    std::vector<std::int64_t> reorderMovingPersistentIndexes(const std::vector<std::int64_t>& order,
                                                             const QModelIndexList& pinned = {});
    // Called through the event queue by the sort's thread, by name: the order and its
    // generation come through m_sortResult, under a mutex that ThreadSanitizer sees (a
    // functor queued by that thread would be read here with Qt's uninstrumented lock
    // between, which looks like a race).
    Q_INVOKABLE void finishBackgroundSort();
    void cancelBackgroundSort();

    ResultRowList m_rows;
    // The background sort reads m_rows while this thread only reads them too: rows that
    // come meanwhile wait here, and clear() and the next sort give the running one up.
    std::thread m_sorter;
    std::atomic<bool> m_sortCancelled{false};
    quint64 m_sortGeneration = 0;
    struct SortResult {
        quint64 generation = 0;
        std::vector<std::int64_t> order;
    };
    std::mutex m_sortResultMutex;
    SortResult m_sortResult;
    std::vector<ResultRow> m_waitingRows;
    const ResultImageList* m_images = nullptr;
    QPointer<QItemSelectionModel> m_selection;
    mutable QHash<int, QIcon> m_iconCache; // by image index; icons are looked up once
    int m_sortColumn = -1;
    bool m_ascending = true;
    int m_arrowColumn = -1;
    bool m_arrowShown = false;
};

} // namespace qv
