// The location tree pane, where the user picks the place to search. For now it
// holds the entire-network item only; selecting an item reports the search place.
#pragma once

#include "search/SearchPlace.h"

#include <QTreeWidget>

namespace qv {

class CLeftView final : public QTreeWidget {
    Q_OBJECT
public:
    explicit CLeftView(QWidget* parent = nullptr);

    QTreeWidgetItem* entireNetworkItem() const { return m_entireNetwork; }

signals:
    // The place of the newly selected item, for the search form.
    void placeSelected(const qv::SearchPlace& place);

private:
    void onSelectionChanged();

    QTreeWidgetItem* m_entireNetwork = nullptr;
};

} // namespace qv
