// The search form pane: name, type, place, containing string, options, and the
// Search, Stop and Pause buttons with the search animation. It owns the criteria and
// the histories; each search runs in its SearchSession.
#pragma once

#include "app/FormControl.h"
#include "search/SearchFormValues.h"
#include "search/SearchPlace.h"

#include <QWidget>
#include <memory>

namespace qv {

class ResultListModel;
class SearchServices; // what a search needs besides the form: file systems, network, file types
struct SearchCriteria;
struct SearchState;

class CSearchForView final : public QWidget {
    Q_OBJECT
public:
    explicit CSearchForView(QWidget* parent = nullptr);
    ~CSearchForView() override;

    // Where new rows go; the form clears it at each search start.
    void setResultModel(ResultListModel* model);
    // The services the searches run with (the frame makes them; tests pass scripted ones).
    void setSearchServices(std::shared_ptr<SearchServices> services);
    // Computers a network-wide search walks at once (the profile's setting).
    void setSearchJobs(int jobs);

    // Written by the location tree on every selection change; a running search keeps
    // the place it started with. Shows the place path in the place box.
    void setSearchPlace(const SearchPlace& place);
    const SearchPlace& searchPlace() const;

    bool isSearching() const;
    // The worker is held by Pause.
    bool isPaused() const;

    QWidget* control(FormControl id) const;

    // The criteria and the state of the last search started here (the report prints
    // them; the found count is the state's).
    const SearchCriteria& criteria() const;
    const SearchState& searchState() const;

    // What the controls hold now, as the criteria reading takes it.
    SearchFormValues formValues() const;
    // Fills the controls with `values` (saved criteria); formValues() then gives them
    // back. The place is set apart (setSearchPlace).
    void setFormValues(const SearchFormValues& values);

    // Shows or hides the option area (its check box calls it); values are kept.
    void setOptionAreaShown(bool shown);

    // The main frame's close handler: true when the window may close now; otherwise
    // the running search is asked to stop and closeReady() follows when it has ended.
    bool requestClose();

public slots:
    void startSearch();
    void stopSearch();
    void pauseOrResume();

signals:
    // A line for the message pane of the status bar.
    void statusText(const QString& text);
    // The worker has ended after requestClose() returned false: close the window now.
    void closeReady();
    void searchStarted();
    void searchEnded();

protected:
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace qv
