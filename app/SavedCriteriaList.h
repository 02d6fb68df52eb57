// Search criteria the user saved by name: the form's values and the place, at most ten,
// newest first, kept in a section of the profile of their own.
#pragma once

#include "search/SearchFormValues.h"
#include "search/SearchPlace.h"

#include <QString>
#include <vector>

class QSettings;

namespace qv {

class SavedCriteriaList final {
public:
    static constexpr int kMostEntries = 10;

    struct Entry {
        QString name;
        SearchFormValues values;
        SearchPlace place;

        friend bool operator==(const Entry&, const Entry&) = default;
    };

    // Newest first.
    const std::vector<Entry>& entries() const { return m_entries; }
    int count() const { return int(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }

    // Saves `entry` on top under its name less surrounding blanks; an entry of the same
    // name is replaced, and the oldest goes when there would be more than ten. A name
    // that is empty after trimming is refused (false).
    bool add(Entry entry);
    // Index into entries(); one out of range changes nothing.
    void removeAt(int index);

    // The profile's section "Saved Criteria": entries 1 to 10 as groups of values.
    // Reading keeps the entries that are whole and well-formed, in their order, and
    // passes over every other one (a missing or malformed value, a name seen before).
    void read(QSettings& settings);
    // Rewrites the section; no section while the list is empty.
    void write(QSettings& settings) const;

    static QString sectionName();

private:
    std::vector<Entry> m_entries;
};

} // namespace qv
