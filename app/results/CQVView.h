// The result list pane: the result rows in one of four view styles (details with the
// nine columns, small icons, large icons, list) over one model and one selection, so
// switching the style keeps the selection. It sorts on header clicks, opens the
// selected rows' files or folders on double-clicks and drags them to other programs.
#pragma once

#include <QList>
#include <QListView>
#include <QStackedWidget>
#include <QTreeView>

#include <utility>
#include <vector>

class QItemSelectionModel;

namespace qv {

class ResultListModel;
class ShellLauncher;

class CQVView final : public QStackedWidget {
    Q_OBJECT
public:
    enum class ViewStyle { SmallIcons, LargeIcons, List, Details };
    Q_ENUM(ViewStyle)

    explicit CQVView(QWidget* parent = nullptr);

    void setResultModel(ResultListModel* model);
    ResultListModel* resultModel() const { return m_model; }
    // Where open requests go; without one, double-clicks open nothing.
    void setShellLauncher(ShellLauncher* launcher) { m_launcher = launcher; }

    // Initial widths in percent of the pane's width, by column; they add up to 156 %,
    // so the list scrolls sideways.
    static constexpr int kWidthPercent[9] = {30, 30, 14, 12, 14, 14, 14, 14, 14};

    void setViewStyle(ViewStyle style);
    ViewStyle viewStyle() const { return m_style; }

    // The selection every style shows.
    QItemSelectionModel* selectionModel() const { return m_selection; }
    // Selected rows by display index, ascending.
    QList<int> selectedRows() const;

    // 0 hides the column, which keeps its place and index; more shows it that wide.
    void setColumnWidth(int column, int pixels);
    // 0 for a hidden column.
    int columnWidth(int column) const;
    // A column shown again is 100 px wide, whatever it was before.
    void setColumnShown(int column, bool shown);

    // Selects every row, each taking the focus in turn, so the last row ends with it.
    void selectAllRows();
    // Selected rows become unselected and the others selected; the last row ends with the focus.
    void invertRowSelection();

    // Double-click: asks the desktop to open each selected row's network path, top to
    // bottom. Rows without one (workgroups, local files) are passed over.
    void openSelectedRows();
    // Right double-click: opens the folder (Path cell) of each selected row that is on
    // the network.
    void openSelectedRowFolders();
    // Drag with either mouse button: the selected rows' network paths, offered for
    // copy, move and link.
    void dragSelectedRows();

    // The font of every style's view and of the column headers.
    void setPaneFont(const QFont& font);

    QTreeView* detailsView() const { return m_details; }
    QListView* iconView() const { return m_icons; }
    QAbstractItemView* currentView() const;

    // The sort state of the model, as header clicks leave it.
    int sortColumn() const;
    bool ascending() const;
    int arrowColumn() const;

signals:
    void viewStyleChanged(qv::CQVView::ViewStyle style);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Selected rows as ascending, disjoint [top, bottom] spans.
    std::vector<std::pair<int, int>> selectedSpans() const;
    void setUpColumns();
    void sortByHeader(int column);
    void attachIconView(bool attached);
    void applyIconLayout();
    void dropUnusedSelectionModels(QAbstractItemView* view);

    ResultListModel* m_model = nullptr;
    ShellLauncher* m_launcher = nullptr;
    QItemSelectionModel* m_selection = nullptr;
    QTreeView* m_details = nullptr;
    QListView* m_icons = nullptr;
    ViewStyle m_style = ViewStyle::Details;
    bool m_columnsSetUp = false;
};

} // namespace qv
