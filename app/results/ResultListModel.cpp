// The result rows as a table model: cells from the row list, headers from the
// string table, images from the icon resources or the icon theme.
#include "app/results/ResultListModel.h"

#include "platform/SmbUrl.h"
#include "resources/ResourceIcon.h"
#include "resources/StringTable.h"
#include "results/ResultImageList.h"
#include "results/RowPath.h"

#include <QMimeData>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <utility>

namespace qv {
namespace {

constexpr int kHeaderIds[kColumnCount] = {IDS_COL_NAME,    IDS_COL_PATH,     IDS_COL_SIZE,  IDS_COL_TYPE,        IDS_COL_UPDATED,
                                          IDS_COL_CREATED, IDS_COL_ACCESSED, IDS_COL_MATCH, IDS_COL_MATCH_STRING};
constexpr char kUriListType[] = "text/uri-list";
constexpr char kTextType[] = "text/plain";

// Theme names that stand in for the fixed images when the icon resources are missing.
constexpr const char* kFixedThemeNames[10] = {
    "folder", "text-x-generic", "text-x-generic", "folder-remote", "computer",
    "network-workgroup", "text-x-generic", "text-x-generic", "text-x-generic", "printer",
};

// A plain page, so that a row always has an image even without an icon theme; drawn
// at 16 and 32 px for the small and large styles.
QIcon drawnGenericIcon()
{
    QIcon icon;
    for (const int size : {16, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.scale(size / 16.0, size / 16.0);
        p.setPen(QPen(QColor(90, 90, 90), 16.0 / size));
        p.setBrush(Qt::white);
        p.drawRect(3, 1, 10, 13);
        p.drawLine(5, 5, 11, 5);
        p.drawLine(5, 8, 11, 8);
        p.drawLine(5, 11, 9, 11);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

ResultListModel::ResultListModel(QObject* parent) : QAbstractTableModel(parent) {}

ResultListModel::~ResultListModel()
{
    cancelBackgroundSort();
}

int ResultListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.count());
}

int ResultListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant ResultListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.count() || index.column() >= kColumnCount)
        return {};
    switch (role) {
    case Qt::DisplayRole: {
        const CellText text = m_rows.cellText(index.row(), static_cast<Column>(index.column()));
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    case Qt::DecorationRole:
        if (index.column() == 0)
            return iconFor(m_rows.image(index.row()));
        return {};
    case KeyRole:
        return QVariant::fromValue<qint64>(m_rows.key(index.row()));
    default:
        return {};
    }
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole: {
        const std::string_view text = loadString(kHeaderIds[section]);
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    case Qt::DecorationRole:
        if (m_arrowShown && section == m_arrowColumn)
            return resourceIcon(m_ascending ? ResourceIconId::SortUp : ResourceIconId::SortDown);
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    default:
        return QAbstractTableModel::headerData(section, orientation, role);
    }
}

Qt::ItemFlags ResultListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Never-has-children spares the tree view a question per row.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

void ResultListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= kColumnCount)
        return;
    cancelBackgroundSort();
    const bool ascending = order == Qt::AscendingOrder;
    if (m_rows.count() < kBackgroundSortRows) {
        applyOrder(m_rows.sortedOrder(static_cast<Column>(column), ascending));
        return;
    }
    const quint64 generation = ++m_sortGeneration;
    m_sortCancelled.store(false);
    m_sorter = std::thread([this, column, ascending, generation] {
        std::vector<std::int64_t> sortedKeys =
            m_rows.sortedOrder(static_cast<Column>(column), ascending, &m_sortCancelled);
        {
            std::lock_guard lock(m_sortResultMutex);
            m_sortResult = {generation, std::move(sortedKeys)};
        }
        // The model outlives the thread (its destructor joins), and a queued call
        // to an object that is gone is dropped.
        QMetaObject::invokeMethod(this, "finishBackgroundSort", Qt::QueuedConnection);
    });
}

void ResultListModel::finishBackgroundSort()
{
    SortResult result;
    {
        std::lock_guard lock(m_sortResultMutex);
        result = std::move(m_sortResult);
        m_sortResult = {};
    }
    if (result.generation != m_sortGeneration || !m_sorter.joinable())
        return; // given up meanwhile
    m_sorter.join();
    const std::vector<std::int64_t>& order = result.order;
    if (!order.empty())
        applyOrder(order);
    insertRows(std::exchange(m_waitingRows, {}));
    emit sorted();
}

void ResultListModel::cancelBackgroundSort()
{
    if (!m_sorter.joinable())
        return;
    m_sortCancelled.store(true);
    m_sorter.join();
    ++m_sortGeneration; // its queued end finds itself outdated
    insertRows(std::exchange(m_waitingRows, {}));
}

void ResultListModel::applyOrder(const std::vector<std::int64_t>& order)
{
    if (applyOrderInPlace(order))
        return;
    // A vertical sort: views and selection models keep one persistent index per
    // row, and the header leaves its sections alone.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    reorderMovingPersistentIndexes(order);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

bool ResultListModel::applyOrderInPlace(const std::vector<std::int64_t>& order)
{
    const qint64 count = m_rows.count();
    if (!m_selection || m_selection->model() != this || count == 0)
        return false;
    // A layout change has every view lay out all its rows again; the rows stay as
    // many, so a repaint is enough once the selection is where its rows went.
    const QItemSelection selection = m_selection->selection();
    const bool all = selection.size() == 1 && selection.front().top() == 0 && selection.front().bottom() == count - 1;
    std::vector<std::int64_t> selectedKeys;
    if (!all) {
        qint64 selectedRows = 0;
        for (const QItemSelectionRange& range : selection)
            selectedRows += range.height();
        if (selectedRows > kMostRowsReselected)
            return false;
        selectedKeys.reserve(static_cast<std::size_t>(selectedRows));
        for (const QItemSelectionRange& range : selection)
            for (int row = range.top(); row <= range.bottom(); ++row)
                selectedKeys.push_back(m_rows.key(row));
    }
    const QModelIndex first = index(0, 0);
    const QModelIndex last = index(static_cast<int>(count - 1), kColumnCount - 1);
    if (all && m_selection->currentIndex() != first && m_selection->currentIndex() != last) {
        // Every row stays selected: the selection's corners stay where they are.
        reorderMovingPersistentIndexes(order, {first, last});
        emit reorderedInPlace();
        return true;
    }
    if (!selection.isEmpty())
        m_selection->clearSelection();
    const std::vector<std::int64_t> rowOfKey = reorderMovingPersistentIndexes(order);
    // Not dataChanged over every row: the details view would look at each of them
    // (0.8 s a million rows). The views this model serves repaint on this signal.
    emit reorderedInPlace();
    if (selection.isEmpty())
        return true;
    QItemSelection again;
    if (all) {
        again.select(first, last);
    } else {
        std::vector<int> rows;
        rows.reserve(selectedKeys.size());
        for (const std::int64_t key : selectedKeys)
            rows.push_back(static_cast<int>(rowOfKey[static_cast<std::size_t>(key)]));
        std::sort(rows.begin(), rows.end());
        // Runs of neighbouring rows as one range each.
        for (std::size_t i = 0; i < rows.size();) {
            std::size_t end = i;
            while (end + 1 < rows.size() && rows[end + 1] == rows[end] + 1)
                ++end;
            again.append(QItemSelectionRange(index(rows[i], 0), index(rows[end], kColumnCount - 1)));
            i = end + 1;
        }
    }
    m_selection->select(again, QItemSelectionModel::Select);
    return true;
}

std::vector<std::int64_t> ResultListModel::reorderMovingPersistentIndexes(const std::vector<std::int64_t>& order,
                                                                         const QModelIndexList& pinned)
{
    QModelIndexList before = persistentIndexList();
    before.removeIf([&](const QModelIndex& index) { return pinned.contains(index); });
    std::vector<std::int64_t> keys;
    keys.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before)
        keys.push_back(m_rows.key(index.row()));
    m_rows.setOrder(order);
    std::vector<std::int64_t> rowOfKey = m_rows.displayIndexesByKey();
    if (!before.isEmpty()) {
        QModelIndexList after;
        after.reserve(before.size());
        for (qsizetype i = 0; i < before.size(); ++i) {
            const auto row = static_cast<int>(rowOfKey[static_cast<std::size_t>(keys[static_cast<std::size_t>(i)])]);
            after.append(createIndex(row, before[i].column()));
        }
        changePersistentIndexList(before, after);
    }
    return rowOfKey;
}

void ResultListModel::sortByHeaderClick(int column)
{
    if (column < 0 || column >= kColumnCount)
        return;
    m_sortColumn = column;
    if (column == m_arrowColumn) {
        m_ascending = !m_ascending;
    } else {
        setArrowShown(false);
        m_ascending = true;
        m_arrowColumn = column;
    }
    m_arrowShown = true;
    emit headerDataChanged(Qt::Horizontal, column, column);
    sort(column, m_ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void ResultListModel::setArrowShown(bool shown)
{
    if (m_arrowShown == shown)
        return;
    m_arrowShown = shown;
    if (m_arrowColumn >= 0)
        emit headerDataChanged(Qt::Horizontal, m_arrowColumn, m_arrowColumn);
}

QStringList ResultListModel::mimeTypes() const
{
    return {QString::fromLatin1(kUriListType), QString::fromLatin1(kTextType)};
}

QMimeData* ResultListModel::mimeData(const QModelIndexList& indexes) const
{
    // The view passes every selected cell, in the order they were selected.
    QList<int> rows;
    rows.reserve(indexes.size());
    for (const QModelIndex& index : indexes)
        if (index.isValid())
            rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return mimeDataForRows(rows);
}

QMimeData* ResultListModel::mimeDataForRows(const QList<int>& rows) const
{
    QByteArray uriList;
    QStringList paths;
    for (const int row : rows) {
        if (row < 0 || row >= m_rows.count())
            continue;
        const std::optional<std::string> path = rowPath(m_rows.at(row));
        if (!path)
            continue;
        const std::optional<SmbUrl> url = SmbUrl::fromNetworkName(*path);
        if (!url)
            continue;
        // text/uri-list lines end with CR LF.
        uriList.append(url->url()).append("\r\n");
        paths.append(QString::fromStdString(*path));
    }
    if (paths.isEmpty())
        return nullptr;
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kUriListType), uriList);
    mime->setText(paths.join(u'\n'));
    return mime;
}

Qt::DropActions ResultListModel::supportedDragActions() const
{
    return Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
}

void ResultListModel::addRows(std::vector<ResultRow> rows)
{
    if (isSorting()) {
        for (ResultRow& row : rows)
            m_waitingRows.push_back(std::move(row));
        return;
    }
    insertRows(std::move(rows));
}

void ResultListModel::insertRows(std::vector<ResultRow> rows)
{
    if (rows.empty())
        return;
    // Each row goes on top of the one before it, so the batch ends up reversed at
    // rows 0..n-1: one insertion of n rows at the top.
    beginInsertRows({}, 0, static_cast<int>(rows.size()) - 1);
    for (ResultRow& row : rows)
        m_rows.add(std::move(row));
    endInsertRows();
}

void ResultListModel::clear()
{
    if (m_sorter.joinable()) {
        m_sortCancelled.store(true);
        m_sorter.join();
        ++m_sortGeneration;
    }
    m_waitingRows.clear();
    beginResetModel();
    m_rows.clear();
    m_iconCache.clear();
    endResetModel();
    setArrowShown(false);
}

void ResultListModel::setImages(const ResultImageList* images)
{
    m_images = images;
    m_iconCache.clear();
    if (m_rows.count() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole});
}

QIcon ResultListModel::fixedIcon(int image)
{
    if (image < 0 || image >= kFirstFileImage)
        return {};
    // The resource icon has a 16 and a 32 px picture, for the small and large styles.
    const QIcon resource = resourceIcon(ResultImageList::kFixedIconResources[image]);
    if (!resource.isNull())
        return resource;
    QIcon themed = QIcon::fromTheme(QString::fromLatin1(kFixedThemeNames[image]));
    return themed.isNull() ? drawnGenericIcon() : themed;
}

QIcon ResultListModel::iconFor(int image) const
{
    const auto cached = m_iconCache.constFind(image);
    if (cached != m_iconCache.constEnd())
        return *cached;
    QIcon icon;
    if (image < kFirstFileImage) {
        icon = fixedIcon(image);
    } else {
        const std::string name = m_images ? m_images->iconName(image) : std::string();
        if (!name.empty())
            icon = QIcon::fromTheme(QString::fromStdString(name));
        if (icon.isNull())
            icon = QIcon::fromTheme(QStringLiteral("text-x-generic"));
        if (icon.isNull())
            icon = drawnGenericIcon();
    }
    m_iconCache.insert(image, icon);
    return icon;
}

} // namespace qv
