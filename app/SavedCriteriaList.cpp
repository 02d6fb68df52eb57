// The saved criteria and their profile section. The profile is a text file people
// edit and other versions write, so every value is checked as it is read: a search
// that runs with half its criteria would be worse than one that is not offered.
#include "app/SavedCriteriaList.h"

#include <QDate>
#include <QSettings>
#include <QTime>

#include <algorithm>
#include <optional>

namespace qv {
namespace {

const QString kSection = QStringLiteral("Saved Criteria");
const QString kName = QStringLiteral("Name");
const QString kNameText = QStringLiteral("NameText");
const QString kType = QStringLiteral("Type");
const QString kContaining = QStringLiteral("Containing");
const QString kContainingText = QStringLiteral("ContainingText");
const QString kSubFolders = QStringLiteral("SubFolders");
const QString kOptions = QStringLiteral("Options");
const QString kSizeCondition = QStringLiteral("SizeCondition");
const QString kMinSize = QStringLiteral("MinSize");
const QString kMaxSize = QStringLiteral("MaxSize");
const QString kTimeCondition = QStringLiteral("TimeCondition");
const QString kTimeType = QStringLiteral("TimeType");
const QString kFrom = QStringLiteral("From");
const QString kTo = QStringLiteral("To");
const QString kPlaceLevel = QStringLiteral("PlaceLevel");
const QString kPlacePath = QStringLiteral("PlacePath");
const QString kWalkRoot = QStringLiteral("WalkRoot");
const QString kLocal = QStringLiteral("Local");

// The form's lists: six types, three time types (-1: none chosen).
constexpr int kLastType = 5;
constexpr int kLastTimeType = 2;
// A folder deeper than this is no place anyone saved.
constexpr int kDeepestLevel = 255;

// Reads one entry's values; each reader leaves `ok` false on a value that is missing
// or not of its form.
class EntryReader final {
public:
    explicit EntryReader(QSettings& settings) : m_settings(settings) {}

    bool ok() const { return m_ok; }

    QString text(const QString& key)
    {
        const QVariant v = m_settings.value(key);
        // An unquoted comma in a hand-written line reads as a list.
        if (v.typeId() != QMetaType::QString)
            return fail<QString>();
        return v.toString();
    }

    bool flag(const QString& key)
    {
        const QVariant v = m_settings.value(key);
        if (v.typeId() == QMetaType::Bool)
            return v.toBool();
        const QString s = v.typeId() == QMetaType::QString ? v.toString() : QString();
        if (s == QLatin1String("true"))
            return true;
        if (s != QLatin1String("false"))
            m_ok = false;
        return false;
    }

    CheckState check(const QString& key) { return flag(key) ? CheckState::Checked : CheckState::Unchecked; }

    int number(const QString& key, int least, int most)
    {
        const QVariant v = m_settings.value(key);
        bool isNumber = false;
        const int n = v.typeId() == QMetaType::Int ? v.toInt(&isNumber)
                      : v.typeId() == QMetaType::QString ? v.toString().toInt(&isNumber, 10)
                                                         : 0;
        if (!isNumber || n < least || n > most)
            return fail<int>();
        return n;
    }

    // What the size boxes accept: digits only, or nothing.
    std::string digits(const QString& key)
    {
        const QString s = text(key);
        if (!std::all_of(s.begin(), s.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
            return fail<std::string>();
        return s.toStdString();
    }

    // "yyyy-MM-ddTHH:mm:ss" in local time; empty for a picker without a value.
    PickerValue time(const QString& key)
    {
        const QString s = text(key);
        PickerValue value;
        if (s.isEmpty())
            return value;
        const QDate date = QDate::fromString(s.left(10), QStringLiteral("yyyy-MM-dd"));
        const QTime clock = QTime::fromString(s.mid(11), QStringLiteral("HH:mm:ss"));
        if (s.size() != 19 || s.at(10) != u'T' || !date.isValid() || !clock.isValid())
            return fail<PickerValue>();
        value.valid = true;
        value.year = date.year();
        value.month = date.month();
        value.day = date.day();
        value.hour = clock.hour();
        value.minute = clock.minute();
        value.second = clock.second();
        return value;
    }

private:
    template <class T> T fail()
    {
        m_ok = false;
        return T{};
    }

    QSettings& m_settings;
    bool m_ok = true;
};

std::optional<SavedCriteriaList::Entry> readEntry(QSettings& settings)
{
    EntryReader in(settings);
    SavedCriteriaList::Entry e;
    e.name = in.text(kName).trimmed();
    SearchFormValues& v = e.values;
    v.nameText = in.text(kNameText).toStdString();
    v.typeIndex = in.number(kType, 0, kLastType);
    v.containing = in.check(kContaining);
    v.containingText = in.text(kContainingText).toStdString();
    v.subFolders = in.check(kSubFolders);
    v.optionsShown = in.check(kOptions);
    v.sizeCondition = in.check(kSizeCondition);
    v.minSizeText = in.digits(kMinSize);
    v.maxSizeText = in.digits(kMaxSize);
    v.timeCondition = in.check(kTimeCondition);
    v.timeTypeIndex = in.number(kTimeType, -1, kLastTimeType);
    v.startTime = in.time(kFrom);
    v.endTime = in.time(kTo);
    SearchPlace& p = e.place;
    p.level = in.number(kPlaceLevel, LevelEntireNetwork, kDeepestLevel);
    p.placePath = in.text(kPlacePath).toStdString();
    p.walkRoot = in.text(kWalkRoot).toStdString();
    p.local = in.flag(kLocal);
    if (!in.ok() || e.name.isEmpty())
        return std::nullopt;
    return e;
}

QString timeText(const PickerValue& t)
{
    if (!t.valid)
        return {};
    return QStringLiteral("%1-%2-%3T%4:%5:%6")
        .arg(t.year, 4, 10, QLatin1Char('0'))
        .arg(t.month, 2, 10, QLatin1Char('0'))
        .arg(t.day, 2, 10, QLatin1Char('0'))
        .arg(t.hour, 2, 10, QLatin1Char('0'))
        .arg(t.minute, 2, 10, QLatin1Char('0'))
        .arg(t.second, 2, 10, QLatin1Char('0'));
}

// Check boxes of the form have two states.
bool isChecked(CheckState state) { return state == CheckState::Checked; }

void writeEntry(QSettings& settings, const SavedCriteriaList::Entry& e)
{
    const SearchFormValues& v = e.values;
    settings.setValue(kName, e.name);
    settings.setValue(kNameText, QString::fromStdString(v.nameText));
    settings.setValue(kType, v.typeIndex);
    settings.setValue(kContaining, isChecked(v.containing));
    settings.setValue(kContainingText, QString::fromStdString(v.containingText));
    settings.setValue(kSubFolders, isChecked(v.subFolders));
    settings.setValue(kOptions, isChecked(v.optionsShown));
    settings.setValue(kSizeCondition, isChecked(v.sizeCondition));
    settings.setValue(kMinSize, QString::fromStdString(v.minSizeText));
    settings.setValue(kMaxSize, QString::fromStdString(v.maxSizeText));
    settings.setValue(kTimeCondition, isChecked(v.timeCondition));
    settings.setValue(kTimeType, v.timeTypeIndex);
    settings.setValue(kFrom, timeText(v.startTime));
    settings.setValue(kTo, timeText(v.endTime));
    settings.setValue(kPlaceLevel, e.place.level);
    settings.setValue(kPlacePath, QString::fromStdString(e.place.placePath));
    settings.setValue(kWalkRoot, QString::fromStdString(e.place.walkRoot));
    settings.setValue(kLocal, e.place.local);
}

} // namespace

bool SavedCriteriaList::add(Entry entry)
{
    entry.name = entry.name.trimmed();
    if (entry.name.isEmpty())
        return false;
    std::erase_if(m_entries, [&](const Entry& e) { return e.name == entry.name; });
    m_entries.insert(m_entries.begin(), std::move(entry));
    if (m_entries.size() > size_t(kMostEntries))
        m_entries.resize(kMostEntries);
    return true;
}

void SavedCriteriaList::removeAt(int index)
{
    if (index >= 0 && index < count())
        m_entries.erase(m_entries.begin() + index);
}

void SavedCriteriaList::read(QSettings& settings)
{
    m_entries.clear();
    settings.beginGroup(kSection);
    for (int n = 1; n <= kMostEntries; ++n) {
        settings.beginGroup(QString::number(n));
        std::optional<Entry> entry = readEntry(settings);
        settings.endGroup();
        if (!entry)
            continue;
        const bool seen = std::any_of(m_entries.begin(), m_entries.end(),
                                      [&](const Entry& e) { return e.name == entry->name; });
        if (!seen)
            m_entries.push_back(std::move(*entry));
    }
    settings.endGroup();
}

void SavedCriteriaList::write(QSettings& settings) const
{
    // Rewritten whole, so entries beyond the list do not linger.
    settings.remove(kSection);
    if (m_entries.empty())
        return;
    settings.beginGroup(kSection);
    for (int n = 1; n <= count(); ++n) {
        settings.beginGroup(QString::number(n));
        writeEntry(settings, m_entries[size_t(n - 1)]);
        settings.endGroup();
    }
    settings.endGroup();
}

QString SavedCriteriaList::sectionName()
{
    return kSection;
}

} // namespace qv
