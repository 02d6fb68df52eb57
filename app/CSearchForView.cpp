// The search form pane: its controls (SearchFormControls), the reading of the
// criteria with their histories, and the buttons around the search session that runs
// each search (Search, Stop, Pause, the animation, the close handler's wait).
#include "app/CSearchForView.h"

#include "app/FormIcons.h"
#include "app/SearchAnimation.h"
#include "app/SearchFormControls.h"
#include "app/SearchSession.h"
#include "network/SearchServices.h"
#include "resources/StringTable.h"
#include "resources/StringText.h"
#include "search/CriteriaReader.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include <optional>

namespace qv {
namespace {

// Puts an entry new to a history on top of its drop-down list.
void addToTop(QComboBox* box, const std::string& entry)
{
    // Inserting into an empty list would select the entry and replace what was typed.
    const QString typed = box->currentText();
    box->insertItem(0, QString::fromStdString(entry));
    box->setEditText(typed);
}

} // namespace

struct CSearchForView::Impl {
    explicit Impl(CSearchForView* owner) : q(owner), controls(owner) {}

    QPushButton* button(FormControl id) const { return controls.as<QPushButton>(id); }
    void setPauseButton(int icon, std::optional<int> caption);
    void setIdleButtons();
    void searchEnded();

    CSearchForView* q;
    SearchFormControls controls;
    SearchSession session;

    // Criteria and what the reading remembers between searches.
    SearchCriteria criteria;
    SearchHistories histories;
    SearchPlace place;
    std::shared_ptr<SearchServices> services;
    std::optional<int> jobs;

    bool closeRequest = false; // the frame asked to close during this search
    bool paused = true;        // cleared at each search start, toggled by Pause
};

void CSearchForView::Impl::setPauseButton(int icon, std::optional<int> caption)
{
    QPushButton* pause = button(FormControl::PauseButton);
    pause->setIcon(formIcon(icon));
    pause->setProperty("iconId", icon);
    if (caption)
        pause->setAccessibleName(stringText(*caption));
}

void CSearchForView::Impl::setIdleButtons()
{
    button(FormControl::SearchButton)->setEnabled(true);
    button(FormControl::StopButton)->setEnabled(false);
    button(FormControl::PauseButton)->setEnabled(false);
}

CSearchForView::CSearchForView(QWidget* parent) : QWidget(parent), m_impl(std::make_unique<Impl>(this))
{
    Impl& d = *m_impl;
    // Set-up: buttons, sub-folders and documents ticked, options hidden, animation still on its
    // first frame, icons on the buttons.
    d.setIdleButtons();
    d.controls.as<QCheckBox>(FormControl::SubFolders)->setChecked(true);
    d.controls.as<QCheckBox>(FormControl::DocumentsCheck)->setChecked(true);
    setOptionAreaShown(false);
    d.controls.animation()->stop();
    QPushButton* search = d.button(FormControl::SearchButton);
    search->setIcon(formIcon(FormIcon::Search));
    search->setProperty("iconId", int(FormIcon::Search));
    search->setDefault(true);
    QPushButton* stop = d.button(FormControl::StopButton);
    stop->setIcon(formIcon(FormIcon::Stop));
    stop->setProperty("iconId", int(FormIcon::Stop));
    d.setPauseButton(FormIcon::Pause, std::nullopt);

    connect(d.controls.as<QCheckBox>(FormControl::OptionsCheck), &QCheckBox::toggled, this,
            &CSearchForView::setOptionAreaShown);
    connect(search, &QPushButton::clicked, this, &CSearchForView::startSearch);
    connect(stop, &QPushButton::clicked, this, &CSearchForView::stopSearch);
    connect(d.button(FormControl::PauseButton), &QPushButton::clicked, this, &CSearchForView::pauseOrResume);
    connect(&d.session, &SearchSession::statusText, this, &CSearchForView::statusText);
    connect(&d.session, &SearchSession::ended, this, [this] { m_impl->searchEnded(); });
}

CSearchForView::~CSearchForView() = default;

void CSearchForView::setResultModel(ResultListModel* model)
{
    m_impl->session.setResultModel(model);
}

void CSearchForView::setSearchServices(std::shared_ptr<SearchServices> services)
{
    m_impl->services = std::move(services);
}

void CSearchForView::setSearchJobs(int jobs)
{
    m_impl->jobs = jobs;
}

void CSearchForView::setSearchPlace(const SearchPlace& place)
{
    m_impl->place = place;
    m_impl->controls.as<QLineEdit>(FormControl::PlaceBox)->setText(QString::fromStdString(place.placePath));
}

const SearchPlace& CSearchForView::searchPlace() const
{
    return m_impl->place;
}

bool CSearchForView::isSearching() const
{
    return m_impl->session.isSearching();
}

bool CSearchForView::isPaused() const
{
    return m_impl->session.isSearching() && m_impl->paused;
}

QWidget* CSearchForView::control(FormControl id) const
{
    return m_impl->controls.control(id);
}

const SearchCriteria& CSearchForView::criteria() const
{
    return m_impl->criteria;
}

const SearchState& CSearchForView::searchState() const
{
    return m_impl->session.state();
}

SearchFormValues CSearchForView::formValues() const
{
    return m_impl->controls.values();
}

void CSearchForView::setFormValues(const SearchFormValues& values)
{
    m_impl->controls.setValues(values);
}

void CSearchForView::setOptionAreaShown(bool shown)
{
    m_impl->controls.setOptionAreaShown(shown);
}

void CSearchForView::keyPressEvent(QKeyEvent* event)
{
    // Enter in any box of the form presses the default button, Search, while it is enabled.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        if (m_impl->button(FormControl::SearchButton)->isEnabled())
            startSearch();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CSearchForView::changeEvent(QEvent* event)
{
    // A new font (the font command) changes the size of a dialog unit.
    if (event->type() == QEvent::FontChange && m_impl)
        m_impl->controls.layout();
    QWidget::changeEvent(event);
}

// ---- Run control ----------------------------------------------------------

void CSearchForView::startSearch()
{
    Impl& d = *m_impl;
    if (d.session.isSearching())
        return; // Search stays disabled until the worker's end; a direct call changes nothing
    d.controls.animation()->play();
    d.closeRequest = false;
    d.button(FormControl::SearchButton)->setEnabled(false);
    d.button(FormControl::StopButton)->setEnabled(true);
    d.button(FormControl::PauseButton)->setEnabled(true);

    // Read the criteria; texts new to a history go to the top of their drop-down.
    const HistoryAdditions added = CriteriaReader::read(formValues(), d.place, d.criteria, d.histories);
    if (added.name)
        addToTop(d.controls.as<QComboBox>(FormControl::NameBox), *added.name);
    if (added.containing)
        addToTop(d.controls.as<QComboBox>(FormControl::ContainingBox), *added.containing);

    emit statusText(stringText(IDS_CLEAR_RESULTS));
    if (!d.services || !d.services->localFiles || !d.services->fileTypes)
        d.services = SearchServices::makeDefault();
    if (d.jobs)
        d.services->jobs = *d.jobs;
    d.session.start(d.criteria, d.place, d.services);
    d.paused = false;
    emit searchStarted();
}

void CSearchForView::stopSearch()
{
    Impl& d = *m_impl;
    d.controls.animation()->stop();
    if (d.session.isRunning())
        d.button(FormControl::PauseButton)->setAccessibleName(stringText(IDS_PAUSE));
    d.session.stop();
}

void CSearchForView::pauseOrResume()
{
    Impl& d = *m_impl;
    if (!d.session.isRunning())
        return;
    if (!d.paused) {
        d.setPauseButton(FormIcon::Resume, IDS_RESUME);
        d.session.pause();
        d.paused = true;
        d.controls.animation()->stop();
    } else {
        d.setPauseButton(FormIcon::Pause, IDS_PAUSE);
        d.session.resume();
        d.controls.animation()->play();
        d.paused = false;
    }
}

bool CSearchForView::requestClose()
{
    m_impl->closeRequest = true;
    return m_impl->session.requestClose();
}

void CSearchForView::Impl::searchEnded()
{
    if (closeRequest) {
        // The window closes now; the buttons stay as they are.
        emit q->closeReady();
        return;
    }
    controls.animation()->stop();
    setIdleButtons();
    setPauseButton(FormIcon::Pause, std::nullopt);
    emit q->searchEnded();
}

} // namespace qv
