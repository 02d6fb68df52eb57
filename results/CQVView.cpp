// The result list pane over ResultListModel.
#include "results/CQVView.h"

#include "results/ResultListModel.h"

#include <QHeaderView>
#include <QItemSelection>

namespace qv {

CQVView::CQVView(QWidget* parent)
    : QTreeView(parent)
{
    setObjectName(QStringLiteral("resultList"));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true); // 100,000 rows must scroll without measuring each
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideRight);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(true);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header()->setMinimumSectionSize(0);
}

void CQVView::setResultModel(ResultListModel* model)
{
    m_model = model;
    setModel(model);
}

void CQVView::showEvent(QShowEvent* event)
{
    QTreeView::showEvent(event);
    if (!m_columnsSetUp) {
        m_columnsSetUp = true;
        setUpColumns();
    }
}

void CQVView::setUpColumns()
{
    const int paneWidth = width();
    const int columns = model() ? model()->columnCount() : 0;
    for (int c = 0; c < columns && c < 9; ++c)
        header()->resizeSection(c, paneWidth * kWidthPercent[c] / 100);
}

void CQVView::setColumnShown(int column, bool shown)
{
    if (shown) {
        header()->setSectionHidden(column, false);
        header()->resizeSection(column, 100);
    } else {
        header()->setSectionHidden(column, true);
    }
}

void CQVView::selectAllRows()
{
    if (!model() || model()->rowCount() == 0)
        return;
    const int last = model()->rowCount() - 1;
    const QItemSelection all(model()->index(0, 0), model()->index(last, model()->columnCount() - 1));
    selectionModel()->select(all, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    selectionModel()->setCurrentIndex(model()->index(last, 0), QItemSelectionModel::NoUpdate);
}

void CQVView::invertRowSelection()
{
    if (!model() || model()->rowCount() == 0)
        return;
    const int last = model()->rowCount() - 1;
    const QItemSelection all(model()->index(0, 0), model()->index(last, model()->columnCount() - 1));
    selectionModel()->select(all, QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
    selectionModel()->setCurrentIndex(model()->index(last, 0), QItemSelectionModel::NoUpdate);
}

} // namespace qv
