// The result rows as a table model: cells from the row list, headers from the
// string table, images from the icon resources or the icon theme.
#include "results/ResultListModel.h"

#include "resources/StringTable.h"
#include "results/ResultImageList.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>

namespace qv {
namespace {

constexpr int kHeaderIds[kColumnCount] = {118, 119, 123, 126, 124, 61448, 61449, 61451, 61456};

// Theme names that stand in for the fixed images when the icon resources are missing.
constexpr const char* kFixedThemeNames[10] = {
    "folder", "text-x-generic", "text-x-generic", "folder-remote", "computer",
    "network-workgroup", "text-x-generic", "text-x-generic", "text-x-generic", "printer",
};

// A plain page, so that a row always has an image even without an icon theme.
QIcon drawnGenericIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QColor(90, 90, 90));
    p.setBrush(Qt::white);
    p.drawRect(3, 1, 10, 13);
    p.drawLine(5, 5, 11, 5);
    p.drawLine(5, 8, 11, 8);
    p.drawLine(5, 11, 9, 11);
    return QIcon(pixmap);
}

} // namespace

ResultListModel::ResultListModel(QObject* parent) : QAbstractTableModel(parent) {}

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
    const ResultRow& row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(row.cells[static_cast<std::size_t>(index.column())]);
    case Qt::DecorationRole:
        if (index.column() == 0)
            return iconFor(row.image);
        return {};
    case KeyRole:
        return QVariant::fromValue<qint64>(row.key);
    default:
        return {};
    }
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < kColumnCount) {
        const std::string_view text = loadString(kHeaderIds[section]);
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

void ResultListModel::addRows(std::vector<ResultRow> rows)
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
    beginResetModel();
    m_rows.clear();
    m_iconCache.clear();
    endResetModel();
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
    const QString resource = QStringLiteral(":/icons/%1.png").arg(ResultImageList::kFixedIconResources[image]);
    if (QFile::exists(resource))
        return QIcon(resource);
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
