// Reads and writes the standard profile in the layout the registry profile had.
#include "app/StandardProfile.h"

#include "network/ComputerPool.h"
#include "network/SearchServices.h"
#include "resources/StringTable.h"

#include <algorithm>

namespace qv {
namespace {
const QString kRecentSection = QStringLiteral("Recent File List");
const QString kSettingsSection = QStringLiteral("Settings");
const QString kTypedSection = QStringLiteral("Typed Computers");
const QString kPreviewPages = QStringLiteral("PreviewPages");
const QString kSearchJobs = QStringLiteral("SearchJobs");
QString recentKey(int n) { return QStringLiteral("File%1").arg(n); }
} // namespace

std::unique_ptr<QSettings> StandardProfile::open()
{
    const std::string_view title = loadString(IDS_APP_TITLE);
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("Local AppWizard-Generated Applications"),
                                       QString::fromUtf8(title.data(), qsizetype(title.size())));
}

void StandardProfile::load(QSettings& settings)
{
    m_recentFiles.clear();
    settings.beginGroup(kRecentSection);
    for (int n = 1; n <= kRecentFileCount; ++n) {
        const QString path = settings.value(recentKey(n)).toString();
        if (!path.isEmpty())
            m_recentFiles << path;
    }
    settings.endGroup();
    m_previewPages = settings.value(kSettingsSection + u'/' + kPreviewPages, 0).toInt();
    const QVariant jobs = settings.value(kSettingsSection + u'/' + kSearchJobs);
    m_searchJobsKept = jobs.isValid();
    m_searchJobs = std::clamp(jobs.isValid() ? jobs.toInt() : SearchServices::kDefaultJobs, 1, ComputerPool::kMostWorkers);
    m_typedComputers.clear();
    settings.beginGroup(kTypedSection);
    for (int n = 1;; ++n) {
        const QString name = settings.value(QStringLiteral("Computer%1").arg(n)).toString();
        if (name.isEmpty())
            break;
        m_typedComputers << name;
    }
    settings.endGroup();
    m_savedCriteria.read(settings);
}

void StandardProfile::save(QSettings& settings) const
{
    // The section is rewritten whole, so entries beyond the list do not linger.
    settings.remove(kRecentSection);
    settings.beginGroup(kRecentSection);
    for (int n = 1; n <= m_recentFiles.size() && n <= kRecentFileCount; ++n)
        settings.setValue(recentKey(n), m_recentFiles.at(n - 1));
    settings.endGroup();
    if (m_previewPages != 0)
        settings.setValue(kSettingsSection + u'/' + kPreviewPages, m_previewPages);
    if (m_searchJobsKept)
        settings.setValue(kSettingsSection + u'/' + kSearchJobs, m_searchJobs);
    // Written only when the user has added a computer, so a profile that never had
    // one keeps just the standard sections.
    settings.remove(kTypedSection);
    if (!m_typedComputers.isEmpty()) {
        settings.beginGroup(kTypedSection);
        for (int n = 1; n <= m_typedComputers.size(); ++n)
            settings.setValue(QStringLiteral("Computer%1").arg(n), m_typedComputers.at(n - 1));
        settings.endGroup();
    }
    m_savedCriteria.write(settings);
    settings.sync();
}

void StandardProfile::saveSavedCriteria(QSettings& settings) const
{
    m_savedCriteria.write(settings);
    settings.sync();
}

} // namespace qv
