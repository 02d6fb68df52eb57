// The document of the single-document application: no data of its own. Its only
// commands save the result list as a report.
#pragma once

#include "app/CommandTarget.h"

#include <QObject>

namespace qv {

class CQVDoc final : public QObject, public CommandTarget {
    Q_OBJECT
public:
    explicit CQVDoc(QObject* parent = nullptr);

    // A new, empty document is accepted as it is.
    bool onNewDocument();

    // Save (57603) and Save As (57604) write the report; until the report writer is
    // joined to the window they are accepted and do nothing.
    bool onCommand(int id) override;
};

} // namespace qv
