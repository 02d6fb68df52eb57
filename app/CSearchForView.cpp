// The search form pane: the controls of form 101 laid out in dialog units, the
// reading of the criteria, and the run control of Search, Stop and Pause.
#include "app/CSearchForView.h"

#include "app/FormIcons.h"
#include "app/SearchAnimation.h"
#include "app/SearchServices.h"
#include "resources/StringTable.h"
#include "results/ResultListModel.h"
#include "results/RowBatchQueue.h"
#include "platform/SmbClient.h"
#include "search/CQVThread.h"
#include "search/CriteriaReader.h"
#include "search/SearchState.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QTextLayout>
#include <QTimer>

#include <mutex>
#include <QVBoxLayout>

#include <algorithm>
#include <map>
#include <optional>

namespace qv {
namespace {

// Form 101 in dialog units.
constexpr int kFormWidth = 143;
constexpr int kFormHeight = 251;

enum class Kind { Label, WrapLabel, ListCombo, EditCombo, PlaceEdit, DigitEdit, Button, Check, Group, Picker, AnimationFrame };

struct TemplateControl {
    int id;
    Kind kind;
    const char* text;
    int x, y, w, h;
};

// The template's controls in its order, which is also the tab order. The two date
// pickers stand where their placeholders (101, 102) stand. Drop-down lists are
// given their closed height.
constexpr TemplateControl kTemplate[] = {
    {1025, Kind::Label, "名前:", 7, 33, 18, 10},
    {1026, Kind::Label, "タイプ:", 7, 48, 21, 10},
    {1002, Kind::ListCombo, "", 40, 47, 96, 12},
    {1003, Kind::PlaceEdit, "", 40, 77, 95, 12},
    {1028, Kind::Label, "探す場所:", 7, 78, 32, 11},
    {1004, Kind::Button, "Search", 22, 109, 31, 15},
    {1005, Kind::Button, "Stop", 54, 109, 31, 15},
    {1006, Kind::Button, "Pause", 86, 109, 31, 15},
    {1008, Kind::Check, "サブパスも検索", 7, 95, 66, 8},
    {1010, Kind::Check, "検索オプション", 76, 92, 55, 15},
    {1011, Kind::Group, "検索オプション", 7, 129, 128, 89},
    {154, Kind::Picker, "", 37, 172, 94, 11},
    {1018, Kind::Label, "始:", 15, 173, 25, 12},
    {1019, Kind::Label, "終:", 15, 187, 25, 8},
    {155, Kind::Picker, "", 37, 185, 94, 11},
    {1012, Kind::ListCombo, "", 62, 156, 69, 12},
    {1013, Kind::DigitEdit, "", 37, 199, 34, 12},
    {1020, Kind::Label, ">=", 16, 200, 18, 9},
    {1014, Kind::DigitEdit, "", 86, 199, 34, 12},
    {1021, Kind::Label, "<=", 75, 201, 9, 8},
    {1022, Kind::Label, "Kb", 122, 201, 8, 12},
    {1017, Kind::Label, "時間タイプ:", 14, 156, 43, 12},
    {1015, Kind::Check, "時間", 14, 141, 31, 10},
    {1016, Kind::Check, "サイズ", 49, 141, 39, 10},
    {1027, Kind::WrapLabel, "含まれる文字列:", 7, 61, 33, 17},
    {1024, Kind::Check, "", 40, 64, 8, 9},
    {1031, Kind::AnimationFrame, "", 7, 7, 128, 21},
    {1030, Kind::EditCombo, "", 40, 32, 96, 12},
    {1032, Kind::EditCombo, "", 51, 62, 85, 12},
};

// The fourteen controls the option check box shows and hides.
constexpr int kOptionArea[] = {1011, 1015, 1016, 1017, 1012, 1018, 1019, 154, 155, 1013, 1014, 1020, 1021, 1022};

// Type list rows: string and icon, in the order the criteria reading indexes.
constexpr std::pair<int, int> kTypeRows[] = {
    {IDS_TYPE_ALL, 132}, {IDS_TYPE_FILES_AND_FOLDERS, 131}, {IDS_KIND_SHARE, 133},
    {IDS_KIND_COMPUTER, 140}, {IDS_KIND_WORKGROUP, 139}, {IDS_KIND_PRINTER, 154},
};
constexpr std::pair<int, int> kTimeTypeRows[] = {
    {IDS_COL_UPDATED, 144}, {IDS_COL_CREATED, 145}, {IDS_COL_ACCESSED, 146},
};

constexpr const char* kPickerFormat = "yyyy/M/d,H:m:s";

// Bound of the hand-over: the worker waits when this many events are not shown yet.
// One drain takes RowBatchQueue::drainBudget events, so that one turn of the event
// loop stays short however fast rows come.
constexpr std::size_t kQueueCapacity = RowBatchQueue::kMaxDrainBudget;
constexpr int kDrainIntervalMs = 40;

QString text(int id)
{
    const std::string_view s = loadString(id);
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

CheckState checkState(const QCheckBox* box)
{
    switch (box->checkState()) {
    case Qt::Checked: return CheckState::Checked;
    case Qt::PartiallyChecked: return CheckState::Indeterminate;
    default: return CheckState::Unchecked;
    }
}

PickerValue pickerValue(const QDateTimeEdit* picker)
{
    PickerValue value;
    const QDateTime dt = picker->dateTime();
    if (!dt.isValid())
        return value;
    value.valid = true;
    value.year = dt.date().year();
    value.month = dt.date().month();
    value.day = dt.date().day();
    value.hour = dt.time().hour();
    value.minute = dt.time().minute();
    value.second = dt.time().second();
    return value;
}

} // namespace

struct CSearchForView::Impl {
    explicit Impl(CSearchForView* owner) : q(owner) {}

    void buildControls();
    void fillLists();
    void layoutControls();
    void setPauseButton(int icon, std::optional<int> caption);
    template <class T> T* as(int id) const { return static_cast<T*>(controls.at(id)); }

    // Run control.
    void postWake();
    void drain(std::size_t maxEvents);
    std::size_t drainBudget() const { return RowBatchQueue::drainBudget(model ? model->rowCount() : 0); }
    void drainAll();
    void workerEnded(quint64 serial, CQVThread::Outcome outcome);
    void releaseWorker();

    CSearchForView* q;
    QScrollArea* scroll = nullptr;
    QWidget* page = nullptr;
    std::map<int, QWidget*> controls;
    SearchAnimation* animation = nullptr;

    // Criteria and what the reading remembers between searches.
    SearchCriteria criteria;
    SearchHistories histories;
    SearchPlace place;
    SearchState state;

    std::shared_ptr<SearchServices> services;
    QPointer<ResultListModel> model;

    // The running search. Every field is touched on the user-interface thread only:
    // the worker reaches the form through queued calls, never directly.
    std::shared_ptr<SearchServices> runningServices; // kept alive for the worker
    std::unique_ptr<RowBatchQueue> queue;            // outlives the worker that fills it
    std::unique_ptr<CQVThread> worker;
    bool searching = false;    // from Search until the worker's end has been handled
    bool stopFlag = false;     // Stop was pressed during this search
    bool closeRequest = false; // the frame asked to close during this search
    bool paused = true;        // cleared at each search start, toggled by Pause
    quint64 serial = 0;        // counts searches; a late end of an older one is ignored
    std::atomic<bool> wakePosted{false}; // one queued drain at a time, set by the worker
    std::mutex finishedMutex;            // guards finished
    std::vector<std::pair<quint64, CQVThread::Outcome>> finished; // worker ends not handled yet
    QTimer drainTimer;
    QTimer drainSoon; // single shot, 0 ms: the next batch on the next turn
};

void CSearchForView::Impl::buildControls()
{
    auto* layout = new QVBoxLayout(q);
    layout->setContentsMargins(0, 0, 0, 0);
    scroll = new QScrollArea(q);
    scroll->setFrameShape(QFrame::StyledPanel); // the form is bordered
    scroll->setWidgetResizable(false);
    layout->addWidget(scroll);
    page = new QWidget;
    page->setObjectName(QStringLiteral("form101"));

    QWidget* previousFocus = nullptr;
    for (const TemplateControl& c : kTemplate) {
        const QString caption = QString::fromUtf8(c.text);
        QWidget* w = nullptr;
        switch (c.kind) {
        case Kind::Label:
        case Kind::WrapLabel: {
            auto* label = new QLabel(caption, page);
            label->setWordWrap(c.kind == Kind::WrapLabel);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            w = label;
            break;
        }
        case Kind::ListCombo: {
            auto* combo = new QComboBox(page);
            combo->setEditable(false);
            w = combo;
            break;
        }
        case Kind::EditCombo: {
            auto* combo = new QComboBox(page);
            combo->setEditable(true);
            // The history decides what enters the list, not the combo box.
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setDuplicatesEnabled(true);
            w = combo;
            break;
        }
        case Kind::PlaceEdit: {
            auto* edit = new QLineEdit(page);
            edit->setReadOnly(true);
            w = edit;
            break;
        }
        case Kind::DigitEdit: {
            auto* edit = new QLineEdit(page);
            edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
            w = edit;
            break;
        }
        case Kind::Button: {
            auto* button = new QPushButton(page);
            // The buttons show icons only; the caption is kept for accessibility and
            // changes all the same (Pause / go on).
            button->setAccessibleName(caption);
            w = button;
            break;
        }
        case Kind::Check:
            w = new QCheckBox(caption, page);
            break;
        case Kind::Group:
            w = new QGroupBox(caption, page);
            w->setFocusPolicy(Qt::NoFocus);
            break;
        case Kind::Picker: {
            auto* picker = new QDateTimeEdit(page);
            picker->setDisplayFormat(QString::fromLatin1(kPickerFormat));
            picker->setCalendarPopup(true);
            picker->setDateTime(QDateTime::currentDateTime());
            w = picker;
            break;
        }
        case Kind::AnimationFrame: {
            auto* frame = new QFrame(page);
            frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            frame->setLineWidth(2);
            auto* frameLayout = new QVBoxLayout(frame);
            frameLayout->setContentsMargins(2, 2, 2, 2);
            animation = new SearchAnimation(frame);
            animation->setObjectName(QStringLiteral("ctl156"));
            animation->setProperty("controlId", 156);
            frameLayout->addWidget(animation);
            controls[156] = animation;
            w = frame;
            break;
        }
        }
        w->setObjectName(QStringLiteral("ctl%1").arg(c.id));
        w->setProperty("controlId", c.id);
        controls[c.id] = w;
        if (w->focusPolicy() != Qt::NoFocus && c.kind != Kind::Label && c.kind != Kind::WrapLabel) {
            if (previousFocus)
                QWidget::setTabOrder(previousFocus, w);
            previousFocus = w;
        }
    }
    // The pickers were made at set-up over their placeholders: they lie above the
    // captions that reach into them.
    controls.at(154)->raise();
    controls.at(155)->raise();
    scroll->setWidget(page);
    layoutControls();
}

void CSearchForView::Impl::layoutControls()
{
    // Dialog units follow the form's font: a horizontal unit is a quarter of the
    // average letter width, a vertical unit an eighth of the line height.
    const QFontMetricsF fm(page->font());
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const double unitX = fm.horizontalAdvance(letters) / 52.0 / 4.0;
    // The form's texts are Japanese: when the font takes its kana and kanji from a
    // fallback font with taller lines, the line height is that of a Japanese line, so
    // that two-line captions fit their two lines.
    QTextLayout sample(QStringLiteral("名前Ag"), page->font());
    sample.beginLayout();
    QTextLine line = sample.createLine();
    line.setLineWidth(1e6);
    const double lineHeight = std::max(fm.height(), line.height());
    sample.endLayout();
    const double unitY = lineHeight / 8.0;
    auto px = [](double v) { return static_cast<int>(v + 0.5); };
    for (const TemplateControl& c : kTemplate) {
        const QRect r(px(c.x * unitX), px(c.y * unitY), px(c.w * unitX), px(c.h * unitY));
        controls.at(c.id)->setGeometry(r);
    }
    // The scrolling extent is the whole template, whether the option area shows or not.
    page->setFixedSize(px(kFormWidth * unitX), px(kFormHeight * unitY));
}

void CSearchForView::Impl::fillLists()
{
    auto* types = as<QComboBox>(1002);
    for (const auto& [stringId, icon] : kTypeRows)
        types->addItem(formIcon(icon), text(stringId));
    types->setCurrentIndex(0);
    auto* timeTypes = as<QComboBox>(1012);
    for (const auto& [stringId, icon] : kTimeTypeRows)
        timeTypes->addItem(formIcon(icon), text(stringId));
    timeTypes->setCurrentIndex(0);
}

void CSearchForView::Impl::setPauseButton(int icon, std::optional<int> caption)
{
    auto* pause = as<QPushButton>(1006);
    pause->setIcon(formIcon(icon));
    pause->setProperty("iconId", icon);
    if (caption)
        pause->setAccessibleName(text(*caption));
}

CSearchForView::CSearchForView(QWidget* parent) : QWidget(parent), m_impl(std::make_unique<Impl>(this))
{
    Impl& d = *m_impl;
    d.buildControls();

    // Set-up: buttons, lists, sub-folders ticked, options hidden, animation still on
    // its first frame, icons on the buttons.
    d.controls.at(1004)->setEnabled(true);
    d.controls.at(1005)->setEnabled(false);
    d.controls.at(1006)->setEnabled(false);
    d.fillLists();
    d.as<QCheckBox>(1008)->setChecked(true);
    setOptionAreaShown(false);
    d.animation->stop();
    auto* search = d.as<QPushButton>(1004);
    search->setIcon(formIcon(FormIcon::Search));
    search->setProperty("iconId", int(FormIcon::Search));
    search->setDefault(true);
    auto* stop = d.as<QPushButton>(1005);
    stop->setIcon(formIcon(FormIcon::Stop));
    stop->setProperty("iconId", int(FormIcon::Stop));
    d.setPauseButton(FormIcon::Pause, std::nullopt);

    connect(d.as<QCheckBox>(1010), &QCheckBox::toggled, this, &CSearchForView::setOptionAreaShown);
    connect(search, &QPushButton::clicked, this, &CSearchForView::startSearch);
    connect(stop, &QPushButton::clicked, this, &CSearchForView::stopSearch);
    connect(d.as<QPushButton>(1006), &QPushButton::clicked, this, &CSearchForView::pauseOrResume);

    d.drainSoon.setSingleShot(true);
    d.drainSoon.setInterval(0);
    connect(&d.drainSoon, &QTimer::timeout, this, [this] { m_impl->drain(m_impl->drainBudget()); });
    d.drainTimer.setInterval(kDrainIntervalMs);
    connect(&d.drainTimer, &QTimer::timeout, this, [this] { m_impl->drain(m_impl->drainBudget()); });
}

CSearchForView::~CSearchForView()
{
    Impl& d = *m_impl;
    if (d.worker) {
        // Lets a worker waiting for room go, then waits for its end: the worker's
        // objects live in this form.
        if (d.queue)
            d.queue->close();
        d.worker.reset();
    }
    if (d.model)
        d.model->setImages(nullptr);
}

void CSearchForView::setResultModel(ResultListModel* model)
{
    m_impl->model = model;
    if (model)
        model->setImages(&m_impl->state.images);
}

void CSearchForView::setSearchServices(std::shared_ptr<SearchServices> services)
{
    m_impl->services = std::move(services);
}

void CSearchForView::setSearchPlace(const SearchPlace& place)
{
    m_impl->place = place;
    m_impl->as<QLineEdit>(1003)->setText(QString::fromStdString(place.placePath));
}

const SearchPlace& CSearchForView::searchPlace() const
{
    return m_impl->place;
}

bool CSearchForView::isSearching() const
{
    return m_impl->searching;
}

bool CSearchForView::isPaused() const
{
    return m_impl->searching && m_impl->paused;
}

QWidget* CSearchForView::control(int id) const
{
    const auto it = m_impl->controls.find(id);
    return it == m_impl->controls.end() ? nullptr : it->second;
}

const SearchCriteria& CSearchForView::criteria() const
{
    return m_impl->criteria;
}

const SearchState& CSearchForView::searchState() const
{
    return m_impl->state;
}

SearchFormValues CSearchForView::formValues() const
{
    const Impl& d = *m_impl;
    SearchFormValues v;
    v.subFolders = checkState(d.as<QCheckBox>(1008));
    v.containing = checkState(d.as<QCheckBox>(1024));
    v.containingText = d.as<QComboBox>(1032)->currentText().toStdString();
    v.nameText = d.as<QComboBox>(1030)->currentText().toStdString();
    v.typeIndex = d.as<QComboBox>(1002)->currentIndex();
    v.optionsShown = checkState(d.as<QCheckBox>(1010));
    v.sizeCondition = checkState(d.as<QCheckBox>(1016));
    v.timeCondition = checkState(d.as<QCheckBox>(1015));
    v.timeTypeIndex = d.as<QComboBox>(1012)->currentIndex();
    v.startTime = pickerValue(d.as<QDateTimeEdit>(154));
    v.endTime = pickerValue(d.as<QDateTimeEdit>(155));
    v.minSizeText = d.as<QLineEdit>(1013)->text().toStdString();
    v.maxSizeText = d.as<QLineEdit>(1014)->text().toStdString();
    return v;
}

void CSearchForView::setOptionAreaShown(bool shown)
{
    for (int id : kOptionArea)
        m_impl->controls.at(id)->setVisible(shown);
}

void CSearchForView::keyPressEvent(QKeyEvent* event)
{
    // Enter in any box of the form presses the default button, Search, while it is enabled.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        if (m_impl->controls.at(1004)->isEnabled())
            startSearch();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CSearchForView::changeEvent(QEvent* event)
{
    // A new font (the font command) changes the size of a dialog unit.
    if (event->type() == QEvent::FontChange && m_impl && m_impl->page)
        m_impl->layoutControls();
    QWidget::changeEvent(event);
}

// ---- Run control ----------------------------------------------------------

void CSearchForView::startSearch()
{
    Impl& d = *m_impl;
    if (d.searching)
        return; // Search stays disabled until the worker's end; a direct call changes nothing
    d.animation->play();
    d.closeRequest = false;
    d.stopFlag = false;
    d.controls.at(1004)->setEnabled(false);
    d.controls.at(1005)->setEnabled(true);
    d.controls.at(1006)->setEnabled(true);

    // Read the criteria; texts new to a history go to the top of their drop-down.
    const HistoryAdditions added = CriteriaReader::read(formValues(), d.place, d.criteria, d.histories);
    auto addToTop = [](QComboBox* box, const std::string& entry) {
        // Inserting into an empty list would select the entry and replace what was typed.
        const QString typed = box->currentText();
        box->insertItem(0, QString::fromStdString(entry));
        box->setEditText(typed);
    };
    if (added.name)
        addToTop(d.as<QComboBox>(1030), *added.name);
    if (added.containing)
        addToTop(d.as<QComboBox>(1032), *added.containing);

    emit statusText(text(IDS_CLEAR_RESULTS));

    // An earlier worker that ended on an error is still held; it has finished.
    d.worker.reset();
    d.state.reset(); // count, current names, and the images back to the ten fixed ones
    if (d.model) {
        d.model->clear();
        d.model->setImages(&d.state.images);
    }

    if (!d.services || !d.services->localFiles || !d.services->fileTypes)
        d.services = SearchServices::makeDefault();
    d.runningServices = d.services;
    d.queue = std::make_unique<RowBatchQueue>(kQueueCapacity);
    d.queue->setOnPending([&d] { d.postWake(); });
    d.wakePosted.store(false);

    const SearchServices& s = *d.runningServices;
    d.worker = std::make_unique<CQVThread>(CQVThread::Job{d.criteria, SearchTarget::of(d.place), *s.localFiles,
                                                          s.networkFiles.get(), s.enumerator.get(), *s.fileTypes,
                                                          *d.queue, d.state});
    if (s.smb) {
        // A helper killed by the last Stop is started afresh by this search.
        s.smb->reset();
        std::weak_ptr<SmbClient> smb = s.smb;
        d.worker->setOnStopRequest([smb] {
            if (auto client = smb.lock())
                client->abort();
        });
    }
    const quint64 serial = ++d.serial;
    d.worker->setOnFinished([this, serial](CQVThread::Outcome outcome) {
        // Worker thread: the end is handled on the user-interface thread, after every
        // row and text the worker queued before it.
        {
            const std::lock_guard lock(m_impl->finishedMutex);
            m_impl->finished.emplace_back(serial, outcome);
        }
        QMetaObject::invokeMethod(this, "workersFinished", Qt::QueuedConnection);
    });
    d.searching = true;
    d.worker->start();
    d.paused = false;
    d.drainTimer.start();
    emit searchStarted();
}

void CSearchForView::stopSearch()
{
    Impl& d = *m_impl;
    d.stopFlag = true;
    d.animation->stop();
    if (!d.worker)
        return;
    if (d.worker->isRunning()) {
        // What the walk showed before this Stop is shown first, then the empty text.
        d.drainAll();
        emit statusText(QString());
        d.as<QPushButton>(1006)->setAccessibleName(text(IDS_PAUSE));
        d.worker->requestStop(); // also lets a paused worker go, so that it sees the stop
    } else {
        d.releaseWorker();
    }
}

void CSearchForView::pauseOrResume()
{
    Impl& d = *m_impl;
    if (!d.worker || !d.worker->isRunning())
        return;
    if (!d.paused) {
        d.setPauseButton(FormIcon::Resume, IDS_RESUME);
        d.worker->pause();
        d.paused = true;
        d.animation->stop();
    } else {
        d.setPauseButton(FormIcon::Pause, IDS_PAUSE);
        d.worker->resume();
        d.animation->play();
        d.paused = false;
    }
}

bool CSearchForView::requestClose()
{
    Impl& d = *m_impl;
    d.closeRequest = true;
    if (d.worker && d.worker->isRunning()) {
        d.worker->requestStop();
        // Nothing more will be shown: a worker waiting for room goes on at once.
        if (d.queue)
            d.queue->close();
        return false;
    }
    d.releaseWorker();
    return true;
}

void CSearchForView::Impl::releaseWorker()
{
    worker.reset();
}

void CSearchForView::Impl::postWake()
{
    // Worker thread. The form outlives every worker (its destructor waits for it), so
    // posting to it is safe; a flag keeps the wake-ups to one in the event queue.
    if (!wakePosted.exchange(true))
        QMetaObject::invokeMethod(q, "drainWoken", Qt::QueuedConnection);
}

void CSearchForView::drainWoken()
{
    m_impl->drain(m_impl->drainBudget());
}

void CSearchForView::workersFinished()
{
    std::vector<std::pair<quint64, CQVThread::Outcome>> ends;
    {
        const std::lock_guard lock(m_impl->finishedMutex);
        ends.swap(m_impl->finished);
    }
    for (const auto& [serial, outcome] : ends)
        m_impl->workerEnded(serial, outcome);
}

void CSearchForView::Impl::drain(std::size_t maxEvents)
{
    wakePosted.store(false);
    if (!queue)
        return;
    std::vector<RowBatchQueue::Event> events = queue->drain(maxEvents);
    if (events.empty())
        return;
    std::vector<ResultRow> rows;
    rows.reserve(events.size());
    std::optional<std::string> latestText;
    for (RowBatchQueue::Event& event : events) {
        if (auto* row = std::get_if<ResultRow>(&event)) {
            rows.push_back(std::move(*row));
        } else {
            // Texts replace each other in the status bar; rows before a text are in
            // the list before it shows, rows after it come in the same turn.
            latestText = std::move(std::get<std::string>(event));
        }
    }
    if (model)
        model->addRows(std::move(rows));
    if (latestText)
        emit q->statusText(QString::fromStdString(*latestText));
    // More waiting: another turn soon. A zero timer rather than a posted call: the
    // event loop sends every posted call it has in one go, a call posted from one of
    // them included, while timers wait for the next turn, after input and painting.
    if (queue->pending() > 0)
        drainSoon.start();
}

void CSearchForView::Impl::drainAll()
{
    while (queue && queue->pending() > 0)
        drain(drainBudget());
}

void CSearchForView::Impl::workerEnded(quint64 endedSerial, CQVThread::Outcome outcome)
{
    if (endedSerial != serial || !searching)
        return;
    // Rows and texts still waiting were queued before the end: show them first, a
    // batch per turn, and come back here after them.
    if (queue && queue->pending() > drainBudget()) {
        drain(drainBudget());
        QMetaObject::invokeMethod(
            q, [this, endedSerial, outcome] { workerEnded(endedSerial, outcome); }, Qt::QueuedConnection);
        return;
    }
    drainAll();
    searching = false;
    drainTimer.stop();
    // The worker has done its work; after an error it is kept until Stop, the close
    // handler or the next search finds it ended.
    if (outcome != CQVThread::Outcome::Failed) {
        releaseWorker();
        runningServices.reset();
    }

    if (closeRequest) {
        // The window closes now; the buttons stay as they are.
        emit q->closeReady();
        return;
    }
    animation->stop();
    controls.at(1004)->setEnabled(true);
    controls.at(1005)->setEnabled(false);
    controls.at(1006)->setEnabled(false);
    setPauseButton(FormIcon::Pause, std::nullopt);
    emit q->searchEnded();
}

} // namespace qv
