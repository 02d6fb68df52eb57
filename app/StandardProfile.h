// The framework's standard profile: the recent-file list (four entries) and the
// preview value, kept in an INI file under the XDG config folder with the section
// and value names a document/view framework gives its registry profile.
#pragma once

#include "app/SavedCriteriaList.h"

#include <QSettings>
#include <QString>
#include <QStringList>
#include <memory>

namespace qv {

class StandardProfile final {
public:
    static constexpr int kRecentFileCount = 4;

    // The profile file: organisation "Local AppWizard-Generated Applications",
    // application named by the application title (IDS_APP_TITLE).
    static std::unique_ptr<QSettings> open();

    // Reads "Recent File List/File1".."File4", "Settings/PreviewPages",
    // "Settings/SearchJobs", the typed computers and the saved criteria.
    void load(QSettings& settings);
    // Writes the recent-file list back (empty entries are not written), the
    // preview value when it is not 0, and the typed computers and the saved criteria,
    // each section only while it has entries.
    void save(QSettings& settings) const;

    const QStringList& recentFiles() const { return m_recentFiles; }
    int previewPages() const { return m_previewPages; }
    // "Settings/SearchJobs": computers a network-wide search walks at once (1 to 16;
    // 4 when the profile does not say). Written back only when the profile held it.
    int searchJobs() const { return m_searchJobs; }

    // The computers the user added to the tree by name or address ("\\\\NAME"), kept
    // in a section of their own, "Typed Computers" (Computer1, Computer2, ...).
    const QStringList& typedComputers() const { return m_typedComputers; }
    void setTypedComputers(const QStringList& computers) { m_typedComputers = computers; }

    // The search criteria saved by name, in their own section (SavedCriteriaList).
    const SavedCriteriaList& savedCriteria() const { return m_savedCriteria; }
    void setSavedCriteria(const SavedCriteriaList& criteria) { m_savedCriteria = criteria; }
    // Writes that section alone: the window keeps it up to date as the list changes.
    void saveSavedCriteria(QSettings& settings) const;

private:
    QStringList m_recentFiles;
    QStringList m_typedComputers;
    SavedCriteriaList m_savedCriteria;
    int m_previewPages = 0;
    int m_searchJobs = 4;
    bool m_searchJobsKept = false;
};

} // namespace qv
