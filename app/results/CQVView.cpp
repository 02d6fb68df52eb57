// The result list pane over ResultListModel: a tree view for the details style and a
// list view for the three icon styles, sharing one selection model.
#include "app/results/CQVView.h"

#include "platform/ShellLauncher.h"
#include "platform/SmbUrl.h"
#include "app/results/ResultListModel.h"
#include "results/RowPath.h"

#include <QApplication>
#include <QDrag>
#include <QHeaderView>
#include <QItemSelection>
#include <QListView>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QUrl>

#include <algorithm>
#include <utility>
#include <vector>

namespace qv {
namespace {

constexpr int kShownAgainWidth = 100;
constexpr int kSmallIcon = 16;
constexpr int kLargeIcon = 32;
// Rows the icon styles lay out per pass of the event loop: a million rows take a
// few dozen passes, and the window answers in between.
constexpr int kIconLayoutBatch = 20000;

// Both inner views: a double-click opens the selected rows (the right button their
// folders), and a drag with either button carries the selected rows.
template <typename Base>
class PaneItemView : public Base {
public:
    explicit PaneItemView(CQVView* pane) : Base(pane), m_pane(pane)
    {
        this->setSelectionMode(QAbstractItemView::ExtendedSelection);
        this->setSelectionBehavior(QAbstractItemView::SelectRows);
        this->setEditTriggers(QAbstractItemView::NoEditTriggers);
        this->setDragEnabled(true);
        this->setDragDropMode(QAbstractItemView::DragOnly);
        this->setDefaultDropAction(Qt::CopyAction);
        this->setTextElideMode(Qt::ElideRight);
        // The right button belongs to the folder double-click and the right drag.
        this->setContextMenuPolicy(Qt::PreventContextMenu);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        m_selectionBeforeClick = {};
        const QModelIndex pressed = this->indexAt(event->position().toPoint());
        if (event->modifiers() == Qt::NoModifier && pressed.isValid() && this->selectionModel()->isSelected(pressed))
            m_selectionBeforeClick = this->selectionModel()->selection();
        if (event->button() == Qt::RightButton) {
            m_rightPressAt = event->position().toPoint();
            m_rightPressOnRow = this->indexAt(m_rightPressAt).isValid();
        }
        Base::mousePressEvent(event);
    }

    void mouseMoveEvent(QMouseEvent* event) override
    {
        // Qt starts drags for the left button only; the right one drags the same way.
        if (m_rightPressOnRow && event->buttons() == Qt::RightButton
            && (event->position().toPoint() - m_rightPressAt).manhattanLength() >= QApplication::startDragDistance()) {
            m_rightPressOnRow = false;
            m_pane->dragSelectedRows();
            return;
        }
        Base::mouseMoveEvent(event);
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::RightButton)
            m_rightPressOnRow = false;
        Base::mouseReleaseEvent(event);
    }

    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        const Qt::MouseButton button = event->button();
        const QModelIndex clicked = this->indexAt(event->position().toPoint());
        Base::mouseDoubleClickEvent(event);
        // The first click on one of several selected rows has left only that row
        // selected; the double-click acts on all the rows selected before it.
        if (clicked.isValid() && m_selectionBeforeClick.contains(clicked))
            this->selectionModel()->select(m_selectionBeforeClick, QItemSelectionModel::ClearAndSelect);
        m_selectionBeforeClick = {};
        if (button == Qt::LeftButton)
            m_pane->openSelectedRows();
        else if (button == Qt::RightButton)
            m_pane->openSelectedRowFolders();
    }

    void startDrag(Qt::DropActions) override { m_pane->dragSelectedRows(); }

private:
    CQVView* m_pane;
    QItemSelection m_selectionBeforeClick;
    QPoint m_rightPressAt;
    bool m_rightPressOnRow = false;
};

class DetailsView final : public PaneItemView<QTreeView> {
public:
    using PaneItemView::PaneItemView;
};

// List mode lays out a million uniform items quickly; icon mode keeps a position per
// item and does not. The large-icon style is list mode with the labels put under
// the icons.
class IconView final : public PaneItemView<QListView> {
public:
    using PaneItemView::PaneItemView;

    void setLabelsBelowIcons(bool below) { m_labelsBelow = below; }

protected:
    void initViewItemOption(QStyleOptionViewItem* option) const override
    {
        QListView::initViewItemOption(option);
        if (m_labelsBelow) {
            option->decorationPosition = QStyleOptionViewItem::Top;
            option->decorationAlignment = Qt::AlignHCenter | Qt::AlignVCenter;
            option->displayAlignment = Qt::AlignHCenter | Qt::AlignTop;
            option->showDecorationSelected = false;
        }
    }

private:
    bool m_labelsBelow = false;
};

// Every cell of the icon styles takes its grid cell's size, so labels use the room
// the grid gives them; with uniform sizes the list view asks this once, not per row.
class IconCellDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void setCellSize(QSize size) { m_size = size; }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return m_size; }

private:
    QSize m_size;
};

// Grid lines between the cells of the details style, in the style's table grid colour.
class GridLineDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        const QWidget* widget = option.widget;
        const QStyle* style = widget ? widget->style() : QApplication::style();
        const int hint = style->styleHint(QStyle::SH_Table_GridLineColor, &option, widget);
        painter->save();
        painter->setPen(QColor::fromRgba(static_cast<QRgb>(hint)));
        const QRect r = option.rect;
        painter->drawLine(r.topRight(), r.bottomRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->restore();
    }
};

QUrl smbUrl(const std::string& networkName)
{
    const std::optional<SmbUrl> place = SmbUrl::fromNetworkName(networkName);
    if (!place)
        return {};
    return QUrl(QString::fromStdString(place->url()), QUrl::StrictMode);
}

} // namespace

CQVView::CQVView(QWidget* parent)
    : QStackedWidget(parent)
{
    setObjectName(QStringLiteral("resultList"));
    setFocusPolicy(Qt::StrongFocus);

    auto* details = new DetailsView(this);
    details->setObjectName(QStringLiteral("resultDetails"));
    details->setRootIsDecorated(false);
    details->setItemsExpandable(false);
    details->setUniformRowHeights(true); // a million rows must scroll without measuring each
    details->setAllColumnsShowFocus(true);
    details->setSortingEnabled(false);   // the model sorts on header clicks, with its own arrow
    details->setIconSize(QSize(kSmallIcon, kSmallIcon));
    details->setItemDelegate(new GridLineDelegate(details));
    QHeaderView* header = details->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(true);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setMinimumSectionSize(0);
    connect(header, &QHeaderView::sectionClicked, this, &CQVView::sortByHeader);
    m_details = details;

    auto* icons = new IconView(this);
    icons->setObjectName(QStringLiteral("resultIcons"));
    icons->setViewMode(QListView::ListMode);
    icons->setUniformItemSizes(true);
    icons->setWrapping(true);
    icons->setResizeMode(QListView::Adjust);
    icons->setMovement(QListView::Static);
    icons->setLayoutMode(QListView::Batched);
    icons->setBatchSize(kIconLayoutBatch);
    icons->setItemDelegate(new IconCellDelegate(icons));
    m_icons = icons;

    addWidget(m_details);
    addWidget(m_icons);
    setCurrentWidget(m_details);
    setFocusProxy(m_details);
}

void CQVView::setResultModel(ResultListModel* model)
{
    QItemSelectionModel* old = m_selection;
    m_model = model;
    m_details->setModel(model);
    m_selection = model ? new QItemSelectionModel(model, this) : nullptr;
    if (m_selection)
        m_details->setSelectionModel(m_selection);
    if (model) {
        model->keepSelectionOf(m_selection);
        connect(model, &ResultListModel::reorderedInPlace, this, [this] { currentView()->viewport()->update(); },
                Qt::UniqueConnection);
    }
    dropUnusedSelectionModels(m_details);
    if (m_style != ViewStyle::Details)
        attachIconView(true);
    delete old;
}

QAbstractItemView* CQVView::currentView() const
{
    return m_style == ViewStyle::Details ? static_cast<QAbstractItemView*>(m_details) : m_icons;
}

void CQVView::setViewStyle(ViewStyle style)
{
    if (style == m_style)
        return;
    const bool hadFocus = currentView()->hasFocus();
    const ViewStyle before = m_style;
    m_style = style;
    if (style == ViewStyle::Details) {
        setCurrentWidget(m_details);
        attachIconView(false);
    } else {
        applyIconLayout();
        if (before == ViewStyle::Details)
            attachIconView(true);
        setCurrentWidget(m_icons);
    }
    setFocusProxy(currentView());
    if (hadFocus)
        currentView()->setFocus(Qt::OtherFocusReason);
    if (m_selection && m_selection->currentIndex().isValid())
        currentView()->scrollTo(m_selection->currentIndex());
    emit viewStyleChanged(style);
}

void CQVView::attachIconView(bool attached)
{
    // The list view only follows the model while it shows: hidden, it would lay out
    // every row again at each batch a search adds.
    if (!attached || !m_model) {
        m_icons->setModel(nullptr);
    } else {
        m_icons->setModel(m_model);
        m_icons->setSelectionModel(m_selection);
    }
    dropUnusedSelectionModels(m_icons);
}

void CQVView::dropUnusedSelectionModels(QAbstractItemView* view)
{
    // setModel() gives the view a selection model of its own each time; only the
    // shared one is kept.
    const auto children = view->findChildren<QItemSelectionModel*>(Qt::FindDirectChildrenOnly);
    for (QItemSelectionModel* made : children)
        if (made != view->selectionModel() && made != m_selection)
            delete made;
}

void CQVView::applyIconLayout()
{
    auto* icons = static_cast<IconView*>(m_icons);
    const QFontMetrics metrics(m_icons->font());
    const int line = metrics.height();
    const int letter = metrics.averageCharWidth();
    QSize grid;
    switch (m_style) {
    case ViewStyle::SmallIcons:
        icons->setLabelsBelowIcons(false);
        icons->setIconSize(QSize(kSmallIcon, kSmallIcon));
        icons->setFlow(QListView::LeftToRight);
        icons->setWordWrap(false);
        grid = QSize(kSmallIcon + 8 + letter * 18, std::max(kSmallIcon, line) + 6);
        break;
    case ViewStyle::List:
        icons->setLabelsBelowIcons(false);
        icons->setIconSize(QSize(kSmallIcon, kSmallIcon));
        icons->setFlow(QListView::TopToBottom);
        icons->setWordWrap(false);
        grid = QSize(kSmallIcon + 8 + letter * 24, std::max(kSmallIcon, line) + 2);
        break;
    case ViewStyle::LargeIcons:
        icons->setLabelsBelowIcons(true);
        icons->setIconSize(QSize(kLargeIcon, kLargeIcon));
        icons->setFlow(QListView::LeftToRight);
        icons->setWordWrap(true);
        grid = QSize(std::max(76, letter * 10), kLargeIcon + 2 * line + 12);
        break;
    case ViewStyle::Details:
        return;
    }
    static_cast<IconCellDelegate*>(icons->itemDelegate())->setCellSize(grid - QSize(4, 2));
    icons->setGridSize(grid);
    // The item size is measured once per layout; a new style must measure again.
    icons->setUniformItemSizes(false);
    icons->setUniformItemSizes(true);
}

std::vector<std::pair<int, int>> CQVView::selectedSpans() const
{
    // Ranges, not indexes: a million selected rows are one range, not nine million indexes.
    std::vector<std::pair<int, int>> spans;
    if (!m_selection || !m_model)
        return spans;
    for (const QItemSelectionRange& range : m_selection->selection())
        if (range.isValid())
            spans.emplace_back(range.top(), range.bottom());
    std::sort(spans.begin(), spans.end());
    // Overlapping and touching spans become one.
    std::vector<std::pair<int, int>> merged;
    for (const auto& span : spans) {
        if (!merged.empty() && span.first <= merged.back().second + 1)
            merged.back().second = std::max(merged.back().second, span.second);
        else
            merged.push_back(span);
    }
    return merged;
}

QList<int> CQVView::selectedRows() const
{
    QList<int> rows;
    for (const auto& [top, bottom] : selectedSpans())
        for (int row = top; row <= bottom; ++row)
            rows.append(row);
    return rows;
}

void CQVView::setColumnWidth(int column, int pixels)
{
    QHeaderView* header = m_details->header();
    if (pixels <= 0) {
        header->setSectionHidden(column, true);
        return;
    }
    header->setSectionHidden(column, false);
    header->resizeSection(column, pixels);
}

int CQVView::columnWidth(int column) const
{
    const QHeaderView* header = m_details->header();
    return header->isSectionHidden(column) ? 0 : header->sectionSize(column);
}

void CQVView::setColumnShown(int column, bool shown)
{
    setColumnWidth(column, shown ? kShownAgainWidth : 0);
}

void CQVView::selectAllRows()
{
    if (!m_model || m_model->rowCount() == 0)
        return;
    const int last = m_model->rowCount() - 1;
    const QItemSelection all(m_model->index(0, 0), m_model->index(last, m_model->columnCount() - 1));
    m_selection->select(all, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_selection->setCurrentIndex(m_model->index(last, 0), QItemSelectionModel::NoUpdate);
}

void CQVView::invertRowSelection()
{
    if (!m_model || m_model->rowCount() == 0)
        return;
    const int last = m_model->rowCount() - 1;
    const int lastColumn = m_model->columnCount() - 1;
    // The gaps between the selected spans. Toggling the whole list instead makes Qt
    // compare every old range with every new one: seconds for a few thousand ranges.
    QItemSelection inverted;
    int next = 0;
    auto addGap = [&](int top, int bottom) {
        if (top <= bottom)
            inverted.append(QItemSelectionRange(m_model->index(top, 0), m_model->index(bottom, lastColumn)));
    };
    for (const auto& [top, bottom] : selectedSpans()) {
        addGap(next, top - 1);
        next = bottom + 1;
    }
    addGap(next, last);
    // Cleared first, so that the new selection is compared with an empty one.
    m_selection->clearSelection();
    m_selection->select(inverted, QItemSelectionModel::Select);
    m_selection->setCurrentIndex(m_model->index(last, 0), QItemSelectionModel::NoUpdate);
}

void CQVView::openSelectedRows()
{
    if (!m_launcher || !m_model)
        return;
    const ResultRowList& rows = m_model->rows();
    for (const int row : selectedRows()) {
        const std::optional<std::string> path = rowPath(rows.at(row));
        if (!path)
            continue;
        const QUrl url = smbUrl(*path);
        if (url.isValid())
            m_launcher->open(url);
    }
}

void CQVView::openSelectedRowFolders()
{
    if (!m_launcher || !m_model)
        return;
    const ResultRowList& rows = m_model->rows();
    for (const int row : selectedRows()) {
        const std::string folder(rows.cellText(row, Column::Path));
        if (!holdsNetworkPath(folder))
            continue;
        // A share row's Path ("WORKGROUP\\HOST") names no folder: it gives no URL.
        const QUrl url = smbUrl(folder);
        if (url.isValid())
            m_launcher->open(url);
    }
}

void CQVView::dragSelectedRows()
{
    if (!m_model)
        return;
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    QMimeData* data = m_model->mimeDataForRows(rows);
    if (!data)
        return; // nothing selected is on the network: there is nothing to offer
    auto* drag = new QDrag(currentView()); // Qt deletes it when the drag is over
    drag->setMimeData(data);
    const QIcon icon = m_model->index(rows.first(), 0).data(Qt::DecorationRole).value<QIcon>();
    if (!icon.isNull())
        drag->setPixmap(icon.pixmap(currentView()->iconSize()));
    // Whatever the target did with the files, the rows stay as they are.
    drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::CopyAction);
}

void CQVView::setPaneFont(const QFont& font)
{
    m_details->setFont(font);
    m_details->header()->setFont(font);
    m_icons->setFont(font);
    if (m_style != ViewStyle::Details)
        applyIconLayout();
}

int CQVView::sortColumn() const
{
    return m_model ? m_model->sortColumn() : -1;
}

bool CQVView::ascending() const
{
    return m_model ? m_model->ascending() : true;
}

int CQVView::arrowColumn() const
{
    return m_model ? m_model->arrowColumn() : -1;
}

void CQVView::sortByHeader(int column)
{
    if (m_model)
        m_model->sortByHeaderClick(column);
}

void CQVView::showEvent(QShowEvent* event)
{
    QStackedWidget::showEvent(event);
    if (!m_columnsSetUp) {
        m_columnsSetUp = true;
        setUpColumns();
    }
}

void CQVView::setUpColumns()
{
    const int paneWidth = width();
    const int columns = m_model ? m_model->columnCount() : 0;
    for (int c = 0; c < columns && c < 9; ++c)
        m_details->header()->resizeSection(c, paneWidth * kWidthPercent[c] / 100);
}

} // namespace qv
