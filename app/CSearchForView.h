// The search form pane (form 101): name, type, place, containing string, options,
// and the Search, Stop and Pause buttons with the search animation. It owns the
// criteria, the histories and the run control of the searches it starts.
#pragma once

#include "search/SearchPlace.h"

#include <QWidget>
#include <memory>

namespace qv {

class ResultListModel;
class SearchServices; // what a search needs besides the form: file systems, network, file types

class CSearchForView final : public QWidget {
    Q_OBJECT
public:
    explicit CSearchForView(QWidget* parent = nullptr);
    ~CSearchForView() override;

    // Where new rows go; the form clears it at each search start.
    void setResultModel(ResultListModel* model);
    // The services the searches run with (the frame makes them; tests pass scripted ones).
    void setSearchServices(std::shared_ptr<SearchServices> services);

    // Written by the location tree on every selection change; a running search keeps
    // the place it started with. Shows the place path in the place box (1003).
    void setSearchPlace(const SearchPlace& place);
    const SearchPlace& searchPlace() const;

    bool isSearching() const;

    // The main frame's close handler: true when the window may close now; otherwise
    // the running search is asked to stop and closeReady() follows when it has ended.
    bool requestClose();

public slots:
    void startSearch();  // command 1004
    void stopSearch();   // command 1005
    void pauseOrResume(); // command 1006

signals:
    // A line for the message pane of the status bar.
    void statusText(const QString& text);
    // The worker has ended after requestClose() returned false: close the window now.
    void closeReady();
    void searchStarted();
    void searchEnded();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace qv
