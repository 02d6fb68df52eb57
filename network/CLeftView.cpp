// The location tree pane: the entire-network item and the place it stands for.
#include "network/CLeftView.h"

#include "resources/ResourceIcon.h"
#include "resources/StringTable.h"

namespace qv {

CLeftView::CLeftView(QWidget* parent)
    : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("locationTree"));
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);

    const std::string_view text = loadString(IDS_ENTIRE_NETWORK);
    m_entireNetwork = new QTreeWidgetItem(this, {QString::fromUtf8(text.data(), qsizetype(text.size()))});
    m_entireNetwork->setIcon(0, resourceIcon(134));

    connect(this, &QTreeWidget::itemSelectionChanged, this, &CLeftView::onSelectionChanged);
}

void CLeftView::onSelectionChanged()
{
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (selected.isEmpty())
        return;
    // The entire-network item (or an item without text) is level 0; deeper levels
    // come with the network listing of the tree.
    emit placeSelected(SearchPlace::fromText(selected.first()->text(0).toStdString()));
}

} // namespace qv
