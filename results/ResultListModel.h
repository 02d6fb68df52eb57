// The result rows of the current search as a Qt table model: nine columns, newest
// row at the top. The result list pane shows it.
#pragma once

#include "results/ResultRowList.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <vector>

namespace qv {

class ResultImageList;

class ResultListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ResultListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Adds the rows of one batch, oldest first, each at the top (one model insertion
    // per batch, not per row).
    void addRows(std::vector<ResultRow> rows);
    void clear();
    const ResultRowList& rows() const { return m_rows; }

    // The images behind ResultRow::image: the fixed ones and the file icons by name.
    void setImages(const ResultImageList* images);

    // Qt::UserRole + this: the row key (qint64).
    static constexpr int KeyRole = Qt::UserRole + 1;

    // The picture of fixed image 0-9: the icon resource, else a theme icon.
    static QIcon fixedIcon(int image);

private:
    QIcon iconFor(int image) const;

    ResultRowList m_rows;
    const ResultImageList* m_images = nullptr;
    mutable QHash<int, QIcon> m_iconCache; // by image index; icons are looked up once
};

} // namespace qv
