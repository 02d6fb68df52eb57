// The application object: start-up and exit, the start directory, the standard
// profile, the document and the main frame, the about box and the help hook.
#pragma once

#include "app/CommandTarget.h"
#include "app/StandardProfile.h"
#include "app/StartPlace.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

namespace qv {

class CMainFrame;
class CQVDoc;
class ShellLauncher;

class CQVApp final : public QObject, public CommandTarget {
    Q_OBJECT
public:
    // The launcher opens help.txt and starts programs; null means the desktop's.
    explicit CQVApp(std::shared_ptr<ShellLauncher> launcher = nullptr, QObject* parent = nullptr);
    ~CQVApp() override;

    // The place the window opens with (qv's argument); before initInstance.
    void setStartPlace(StartPlace place) { m_startPlace = std::move(place); }

    // Start-up: start directory, profile, document, main frame, caption, show.
    // False when the window could not be built; the program then ends.
    bool initInstance();
    // Exit: writes the profile back.
    void exitInstance();

    // The current directory at start-up, without a trailing separator unless it is "/".
    const QString& startDirectory() const { return m_startDirectory; }
    CMainFrame* mainFrame() const { return m_frame.get(); }
    CQVDoc* document() const { return m_doc.get(); }
    const StandardProfile& profile() const { return m_profile; }

    // The program's data folder: share/quendle beside the folder of the executable, in
    // an installation (bin/ and share/) and in the build tree (app/ and share/) alike.
    // Nothing is read from the start directory: a file planted there is never used.
    static QString dataFolder(const QString& programDirectory);
    // help.txt of the data folder (opening it fails unreported when it is missing).
    static QString helpFilePath(const QString& programDirectory);

    // About box (57664) and the help hook (F1).
    bool onCommand(int id) override;

private:
    std::shared_ptr<ShellLauncher> m_launcher;
    QString m_startDirectory;
    StandardProfile m_profile;
    std::unique_ptr<CQVDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
    std::optional<StartPlace> m_startPlace;
};

} // namespace qv
