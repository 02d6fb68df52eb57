// The search form's controls, made and laid out from the form's template in dialog
// units, and what they hold as the criteria reading takes it.
#pragma once

#include "app/FormControl.h"
#include "search/SearchFormValues.h"

#include <QRect>
#include <map>

class QScrollArea;
class QWidget;

namespace qv {

class SearchAnimation;

class SearchFormControls final {
public:
    // Puts a scroll area holding the form's page into the owner, whose layout it sets.
    explicit SearchFormControls(QWidget* owner);

    QWidget* control(FormControl id) const { return m_controls.at(id); }
    template <class T> T* as(FormControl id) const { return static_cast<T*>(control(id)); }
    SearchAnimation* animation() const { return m_animation; }

    // The controls again in dialog units of the page's font (the font command).
    void layout();
    void setOptionAreaShown(bool shown);
    SearchFormValues values() const;
    // Puts `values` into the controls, so that values() gives them back unchanged. A
    // picker value that is not valid leaves its picker as it is (a picker always
    // holds a time).
    void setValues(const SearchFormValues& values);

private:
    // Widens the captions their text does not fit and moves what stands right of them.
    void fitCaptions(std::map<FormControl, QRect>& rects, int gap) const;
    void build(QWidget* owner);
    void fillLists();

    QScrollArea* m_scroll = nullptr;
    QWidget* m_page = nullptr;
    SearchAnimation* m_animation = nullptr;
    std::map<FormControl, QWidget*> m_controls;
};

} // namespace qv
