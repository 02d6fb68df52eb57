#include "app/SearchFormControls.h"

#include "app/DialogUnits.h"
#include "app/FormIcons.h"
#include "app/SearchAnimation.h"
#include "resources/StringTable.h"
#include "resources/StringText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace qv {
namespace {

// Form 101 in dialog units.
constexpr int kFormWidth = 143;
constexpr int kFormHeight = 251;

enum class Kind { Label, ListCombo, EditCombo, PlaceEdit, DigitEdit, Button, Check, Group, Picker, AnimationFrame };

struct TemplateControl {
    FormControl id;
    Kind kind;
    const char* text;
    int x, y, w, h;
};

// The template's controls in its order, which is also the tab order. The two date
// pickers stand where their placeholders (101, 102) stand. Drop-down lists are
// given their closed height.
constexpr TemplateControl kTemplate[] = {
    {FormControl::NameLabel, Kind::Label, "名前:", 7, 33, 18, 10},
    {FormControl::TypeLabel, Kind::Label, "タイプ:", 7, 48, 21, 10},
    {FormControl::TypeList, Kind::ListCombo, "", 40, 47, 96, 12},
    {FormControl::PlaceBox, Kind::PlaceEdit, "", 40, 77, 95, 12},
    {FormControl::PlaceLabel, Kind::Label, "探す場所:", 7, 78, 32, 11},
    {FormControl::SearchButton, Kind::Button, "Search", 22, 109, 31, 15},
    {FormControl::StopButton, Kind::Button, "Stop", 54, 109, 31, 15},
    {FormControl::PauseButton, Kind::Button, "Pause", 86, 109, 31, 15},
    {FormControl::SubFolders, Kind::Check, "サブパスも検索", 7, 95, 66, 8},
    {FormControl::OptionsCheck, Kind::Check, "検索オプション", 76, 92, 55, 15},
    {FormControl::OptionGroup, Kind::Group, "検索オプション", 7, 129, 128, 89},
    {FormControl::StartPicker, Kind::Picker, "", 37, 172, 94, 11},
    {FormControl::StartLabel, Kind::Label, "始:", 15, 173, 25, 12},
    {FormControl::EndLabel, Kind::Label, "終:", 15, 187, 25, 8},
    {FormControl::EndPicker, Kind::Picker, "", 37, 185, 94, 11},
    {FormControl::TimeTypeList, Kind::ListCombo, "", 62, 156, 69, 12},
    {FormControl::MinSize, Kind::DigitEdit, "", 37, 199, 34, 12},
    {FormControl::MinSizeLabel, Kind::Label, ">=", 16, 200, 18, 9},
    {FormControl::MaxSize, Kind::DigitEdit, "", 86, 199, 34, 12},
    {FormControl::MaxSizeLabel, Kind::Label, "<=", 75, 201, 9, 8},
    {FormControl::KbLabel, Kind::Label, "Kb", 122, 201, 8, 12},
    {FormControl::TimeTypeLabel, Kind::Label, "時間タイプ:", 14, 156, 43, 12},
    {FormControl::TimeCheck, Kind::Check, "時間", 14, 141, 31, 10},
    {FormControl::SizeCheck, Kind::Check, "サイズ", 49, 141, 39, 10},
    {FormControl::ContainingLabel, Kind::Label, "含まれる文字列:", 7, 61, 33, 17},
    {FormControl::ContainingCheck, Kind::Check, "", 40, 64, 8, 9},
    {FormControl::AnimationFrame, Kind::AnimationFrame, "", 7, 7, 128, 21},
    {FormControl::NameBox, Kind::EditCombo, "", 40, 32, 96, 12},
    {FormControl::ContainingBox, Kind::EditCombo, "", 51, 62, 85, 12},
    // Added to the template in the free band below the option area, so that no control
    // of the template moves; last in the tab order.
    {FormControl::DocumentsCheck, Kind::Check, "文書の中も検索", 7, 224, 80, 10},
};

// The fourteen controls the option check box shows and hides.
constexpr FormControl kOptionArea[] = {
    FormControl::OptionGroup,
    FormControl::TimeCheck,
    FormControl::SizeCheck,
    FormControl::TimeTypeLabel,
    FormControl::TimeTypeList,
    FormControl::StartLabel,
    FormControl::EndLabel,
    FormControl::StartPicker,
    FormControl::EndPicker,
    FormControl::MinSize,
    FormControl::MaxSize,
    FormControl::MinSizeLabel,
    FormControl::MaxSizeLabel,
    FormControl::KbLabel,
};

// Type list rows: string and icon, in the order the criteria reading indexes.
constexpr std::pair<int, int> kTypeRows[] = {
    {IDS_TYPE_ALL, FormIcon::Everything},    {IDS_TYPE_FILES_AND_FOLDERS, FormIcon::FilesAndFolders},
    {IDS_KIND_SHARE, FormIcon::Share},       {IDS_KIND_COMPUTER, FormIcon::Computer},
    {IDS_KIND_WORKGROUP, FormIcon::Workgroup}, {IDS_KIND_PRINTER, FormIcon::Printer},
};
constexpr std::pair<int, int> kTimeTypeRows[] = {
    {IDS_COL_UPDATED, FormIcon::UpdateTime},
    {IDS_COL_CREATED, FormIcon::CreationTime},
    {IDS_COL_ACCESSED, FormIcon::AccessTime},
};

constexpr const char* kPickerFormat = "yyyy/M/d,H:m:s";

CheckState checkState(const QCheckBox* box)
{
    switch (box->checkState()) {
    case Qt::Checked: return CheckState::Checked;
    case Qt::PartiallyChecked: return CheckState::Indeterminate;
    default: return CheckState::Unchecked;
    }
}

Qt::CheckState qtCheckState(CheckState state)
{
    switch (state) {
    case CheckState::Checked: return Qt::Checked;
    case CheckState::Indeterminate: return Qt::PartiallyChecked;
    default: return Qt::Unchecked;
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

SearchFormControls::SearchFormControls(QWidget* owner)
{
    build(owner);
    fillLists();
}

void SearchFormControls::build(QWidget* owner)
{
    auto* ownerLayout = new QVBoxLayout(owner);
    ownerLayout->setContentsMargins(0, 0, 0, 0);
    m_scroll = new QScrollArea(owner);
    m_scroll->setFrameShape(QFrame::StyledPanel); // the form is bordered
    m_scroll->setWidgetResizable(false);
    ownerLayout->addWidget(m_scroll);
    m_page = new QWidget;
    m_page->setObjectName(QStringLiteral("form101"));

    QWidget* previousFocus = nullptr;
    for (const TemplateControl& c : kTemplate) {
        const QString caption = QString::fromUtf8(c.text);
        QWidget* w = nullptr;
        switch (c.kind) {
        case Kind::Label: {
            // One line, level with the box it names (the template's two-line cell of
            // 含まれる文字列: too: layout() gives a caption the width it needs).
            auto* label = new QLabel(caption, m_page);
            label->setWordWrap(false);
            label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            w = label;
            break;
        }
        case Kind::ListCombo: {
            auto* combo = new QComboBox(m_page);
            combo->setEditable(false);
            w = combo;
            break;
        }
        case Kind::EditCombo: {
            auto* combo = new QComboBox(m_page);
            combo->setEditable(true);
            // The history decides what enters the list, not the combo box.
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setDuplicatesEnabled(true);
            w = combo;
            break;
        }
        case Kind::PlaceEdit: {
            auto* edit = new QLineEdit(m_page);
            edit->setReadOnly(true);
            w = edit;
            break;
        }
        case Kind::DigitEdit: {
            auto* edit = new QLineEdit(m_page);
            edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
            w = edit;
            break;
        }
        case Kind::Button: {
            auto* button = new QPushButton(m_page);
            // The buttons show icons only; the caption is kept for accessibility and
            // changes all the same (Pause / go on).
            button->setAccessibleName(caption);
            w = button;
            break;
        }
        case Kind::Check:
            w = new QCheckBox(caption, m_page);
            break;
        case Kind::Group:
            w = new QGroupBox(caption, m_page);
            w->setFocusPolicy(Qt::NoFocus);
            break;
        case Kind::Picker: {
            auto* picker = new QDateTimeEdit(m_page);
            picker->setDisplayFormat(QString::fromLatin1(kPickerFormat));
            picker->setCalendarPopup(true);
            picker->setDateTime(QDateTime::currentDateTime());
            w = picker;
            break;
        }
        case Kind::AnimationFrame: {
            auto* frame = new QFrame(m_page);
            frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            frame->setLineWidth(2);
            auto* frameLayout = new QVBoxLayout(frame);
            frameLayout->setContentsMargins(2, 2, 2, 2);
            m_animation = new SearchAnimation(frame);
            m_animation->setObjectName(QStringLiteral("ctl%1").arg(int(FormControl::Animation)));
            m_animation->setProperty("controlId", int(FormControl::Animation));
            frameLayout->addWidget(m_animation);
            m_controls[FormControl::Animation] = m_animation;
            w = frame;
            break;
        }
        }
        w->setObjectName(QStringLiteral("ctl%1").arg(int(c.id)));
        w->setProperty("controlId", int(c.id));
        m_controls[c.id] = w;
        if (w->focusPolicy() != Qt::NoFocus && c.kind != Kind::Label) {
            if (previousFocus)
                QWidget::setTabOrder(previousFocus, w);
            previousFocus = w;
        }
    }
    // The pickers were made at set-up over their placeholders: they lie above the
    // captions that reach into them.
    control(FormControl::StartPicker)->raise();
    control(FormControl::EndPicker)->raise();
    m_scroll->setWidget(m_page);
    layout();
}

void SearchFormControls::layout()
{
    // Dialog units follow the page's font.
    const DialogUnits du(m_page->font());
    std::map<FormControl, QRect> rects;
    for (const TemplateControl& c : kTemplate)
        rects[c.id] = du.rect(c.x, c.y, c.w, c.h);
    fitCaptions(rects, du.x(1));
    for (const auto& [id, rect] : rects)
        control(id)->setGeometry(rect);
    // The scrolling extent is the whole template, whether the option area shows or not.
    m_page->setFixedSize(du.size(kFormWidth, kFormHeight));
}

void SearchFormControls::fitCaptions(std::map<FormControl, QRect>& rects, int gap) const
{
    // A caption is never wrapped nor cut: one wider than its cell takes the room it
    // needs, and the controls of its row that start inside that room move right, each
    // pushing the next (the template's caption cells are sized for fonts whose kana
    // and kanji are narrower than today's). Boxes keep their right edge, so the form
    // keeps its width and its right-hand alignment; other controls keep their size.
    const QFontMetrics metrics(m_page->font());
    const auto kindOf = [](FormControl id) {
        for (const TemplateControl& c : kTemplate)
            if (c.id == id)
                return c.kind;
        return Kind::Label;
    };
    const std::map<FormControl, QRect> cells = rects; // where the template puts them
    std::vector<FormControl> pushers;
    for (const TemplateControl& c : kTemplate) {
        if ((c.kind != Kind::Label && c.kind != Kind::Check) || !*c.text)
            continue;
        QRect& r = rects[c.id];
        // A check box's caption comes after its box and the style's spacing.
        const int needed = c.kind == Kind::Check ? control(c.id)->sizeHint().width()
                                                 : metrics.horizontalAdvance(QString::fromUtf8(c.text)) + 1;
        if (needed > r.width()) {
            r.setWidth(needed);
            pushers.push_back(c.id);
        }
    }
    while (!pushers.empty()) {
        const FormControl pusher = pushers.back();
        pushers.pop_back();
        const QRect p = rects[pusher];
        for (auto& [id, r] : rects) {
            const int middle = r.center().y();
            if (id == pusher || middle < p.top() || middle > p.bottom() || cells.at(id).left() <= cells.at(pusher).left() ||
                r.left() >= p.right() + 1 + gap)
                continue;
            const int left = p.right() + 1 + gap;
            switch (kindOf(id)) {
            case Kind::ListCombo:
            case Kind::EditCombo:
            case Kind::PlaceEdit:
            case Kind::DigitEdit:
            case Kind::Picker:
                r.setLeft(left);
                break;
            default:
                r.moveLeft(left);
                break;
            }
            pushers.push_back(id);
        }
    }
}

void SearchFormControls::fillLists()
{
    auto* types = as<QComboBox>(FormControl::TypeList);
    for (const auto& [stringId, icon] : kTypeRows)
        types->addItem(formIcon(icon), stringText(stringId));
    types->setCurrentIndex(0);
    auto* timeTypes = as<QComboBox>(FormControl::TimeTypeList);
    for (const auto& [stringId, icon] : kTimeTypeRows)
        timeTypes->addItem(formIcon(icon), stringText(stringId));
    timeTypes->setCurrentIndex(0);
}

SearchFormValues SearchFormControls::values() const
{
    SearchFormValues v;
    v.subFolders = checkState(as<QCheckBox>(FormControl::SubFolders));
    v.containing = checkState(as<QCheckBox>(FormControl::ContainingCheck));
    v.containingText = as<QComboBox>(FormControl::ContainingBox)->currentText().toStdString();
    v.documents = checkState(as<QCheckBox>(FormControl::DocumentsCheck));
    v.nameText = as<QComboBox>(FormControl::NameBox)->currentText().toStdString();
    v.typeIndex = as<QComboBox>(FormControl::TypeList)->currentIndex();
    v.optionsShown = checkState(as<QCheckBox>(FormControl::OptionsCheck));
    v.sizeCondition = checkState(as<QCheckBox>(FormControl::SizeCheck));
    v.timeCondition = checkState(as<QCheckBox>(FormControl::TimeCheck));
    v.timeTypeIndex = as<QComboBox>(FormControl::TimeTypeList)->currentIndex();
    v.startTime = pickerValue(as<QDateTimeEdit>(FormControl::StartPicker));
    v.endTime = pickerValue(as<QDateTimeEdit>(FormControl::EndPicker));
    v.minSizeText = as<QLineEdit>(FormControl::MinSize)->text().toStdString();
    v.maxSizeText = as<QLineEdit>(FormControl::MaxSize)->text().toStdString();
    return v;
}

void SearchFormControls::setValues(const SearchFormValues& v)
{
    as<QCheckBox>(FormControl::SubFolders)->setCheckState(qtCheckState(v.subFolders));
    as<QCheckBox>(FormControl::ContainingCheck)->setCheckState(qtCheckState(v.containing));
    as<QComboBox>(FormControl::ContainingBox)->setEditText(QString::fromStdString(v.containingText));
    as<QComboBox>(FormControl::NameBox)->setEditText(QString::fromStdString(v.nameText));
    as<QComboBox>(FormControl::TypeList)->setCurrentIndex(v.typeIndex);
    // Its toggled signal shows or hides the option area.
    as<QCheckBox>(FormControl::OptionsCheck)->setCheckState(qtCheckState(v.optionsShown));
    as<QCheckBox>(FormControl::SizeCheck)->setCheckState(qtCheckState(v.sizeCondition));
    as<QCheckBox>(FormControl::TimeCheck)->setCheckState(qtCheckState(v.timeCondition));
    as<QComboBox>(FormControl::TimeTypeList)->setCurrentIndex(v.timeTypeIndex);
    const auto setPicker = [this](FormControl id, const PickerValue& t) {
        if (t.valid)
            as<QDateTimeEdit>(id)->setDateTime(QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second)));
    };
    setPicker(FormControl::StartPicker, v.startTime);
    setPicker(FormControl::EndPicker, v.endTime);
    as<QLineEdit>(FormControl::MinSize)->setText(QString::fromStdString(v.minSizeText));
    as<QLineEdit>(FormControl::MaxSize)->setText(QString::fromStdString(v.maxSizeText));
}

void SearchFormControls::setOptionAreaShown(bool shown)
{
    for (const FormControl id : kOptionArea)
        control(id)->setVisible(shown);
}

} // namespace qv
