// The document: accepts new documents and owns the report commands.
#include "app/CQVDoc.h"

#include "app/CommandIds.h"

namespace qv {

CQVDoc::CQVDoc(QObject* parent)
    : QObject(parent)
{
}

bool CQVDoc::onNewDocument()
{
    return true;
}

bool CQVDoc::onCommand(int id)
{
    return id == cmd::SaveResult || id == cmd::SaveResultAs;
}

} // namespace qv
