// The result list pane: the nine columns of the result rows, newest row on top.
// Column widths are fixed once, from the pane's width when the window first shows.
#pragma once

#include <QTreeView>

namespace qv {

class ResultListModel;

class CQVView final : public QTreeView {
    Q_OBJECT
public:
    explicit CQVView(QWidget* parent = nullptr);

    void setResultModel(ResultListModel* model);
    ResultListModel* resultModel() const { return m_model; }

    // Initial widths in percent of the pane's width, by column; they add up to 156 %,
    // so the list scrolls sideways.
    static constexpr int kWidthPercent[9] = {30, 30, 14, 12, 14, 14, 14, 14, 14};

    // Hiding keeps the column's place and index; a column shown again is 100 px wide.
    void setColumnShown(int column, bool shown);

    // Selects every row, each taking the focus in turn, so the last row ends with it.
    void selectAllRows();
    // Selected rows become unselected and the others selected; the last row ends with the focus.
    void invertRowSelection();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setUpColumns();

    ResultListModel* m_model = nullptr;
    bool m_columnsSetUp = false;
};

} // namespace qv
