// Start-up in the order the program has always followed: start directory, profile,
// document and frame, caption, show.
#include "app/CQVApp.h"

#include "network/LanNetwork.h"
#include "network/NetworkDirectory.h"

#include "app/AboutDialog.h"
#include "app/CMainFrame.h"
#include "app/CQVDoc.h"
#include "app/CSearchForView.h"
#include "resources/CommandIds.h"
#include "app/DesktopShellLauncher.h"
#include "resources/ResourceIcon.h"
#include "resources/StringTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace qv {

CQVApp::CQVApp(std::shared_ptr<ShellLauncher> launcher, QObject* parent)
    : QObject(parent)
    , m_launcher(launcher ? std::move(launcher) : std::make_shared<DesktopShellLauncher>())
{
}

CQVApp::~CQVApp() = default;

bool CQVApp::initInstance()
{
    ensureResources();
    // QDir::currentPath has no trailing separator except for the root.
    m_startDirectory = QDir::currentPath();

    if (auto settings = StandardProfile::open())
        m_profile.load(*settings);
    const auto directory = LanNetwork::sharedDirectory();
    for (const QString& computer : m_profile.typedComputers())
        directory->addTypedComputer(computer.toStdString());

    m_doc = std::make_unique<CQVDoc>();
    if (!m_doc->onNewDocument())
        return false;
    m_frame = std::make_unique<CMainFrame>(m_launcher);
    m_frame->searchForm()->setSearchJobs(m_profile.searchJobs());
    m_frame->setSavedCriteria(m_profile.savedCriteria());
    // Written at once, so that a window opened by New search offers them too.
    connect(m_frame.get(), &CMainFrame::savedCriteriaChanged, this, [this] {
        m_profile.setSavedCriteria(m_frame->savedCriteria());
        if (auto settings = StandardProfile::open())
            m_profile.saveSavedCriteria(*settings);
    });
    m_doc->setReportSources(m_frame->searchForm(), m_frame->resultModel(), m_frame.get());
    m_frame->addCommandRoute(m_doc.get());
    m_frame->addCommandRoute(this);

    const std::string_view caption = loadString(IDS_MAIN_CAPTION);
    m_frame->setWindowTitle(QString::fromUtf8(caption.data(), qsizetype(caption.size())));
    m_frame->show();
    if (m_startPlace)
        m_frame->openAtPlace(*m_startPlace);
    return true;
}

void CQVApp::exitInstance()
{
    const auto directory = LanNetwork::sharedDirectory();
    QStringList typed;
    for (const std::string& computer : directory->typedComputers())
        typed << QString::fromStdString(computer);
    m_profile.setTypedComputers(typed);
    if (m_frame)
        m_profile.setSavedCriteria(m_frame->savedCriteria());
    LanNetwork::remember(*directory);
    if (auto settings = StandardProfile::open())
        m_profile.save(*settings);
    m_frame.reset();
    m_doc.reset();
}

QString CQVApp::dataFolder(const QString& programDirectory)
{
    return QDir::cleanPath(programDirectory + QStringLiteral("/../share/quendle"));
}

QString CQVApp::helpFilePath(const QString& programDirectory)
{
    return QDir(dataFolder(programDirectory)).filePath(QStringLiteral("help.txt"));
}

bool CQVApp::onCommand(int id)
{
    switch (id) {
    case cmd::AppAbout: {
        AboutDialog box(m_frame.get());
        box.exec();
        return true;
    }
    case cmd::HelpHook:
        m_launcher->open(QUrl::fromLocalFile(helpFilePath(QCoreApplication::applicationDirPath())));
        return true;
    default:
        return false;
    }
}

} // namespace qv
