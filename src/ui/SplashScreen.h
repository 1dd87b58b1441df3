#pragma once

#include <QWidget>
#include <functional>

class QFrame;
class QLabel;
class QTimer;

namespace znr {

struct AppSettings;
class ErrorLog;

// The start window. start() reads the configuration (which opens the configured instruments
// while the main window stays hidden) and fills the labels. Once on screen it gives way to the
// main window after 1500 ms, or at once on a key press or a click on its frame; those two also
// make the standard folders.
class SplashScreen final : public QWidget {
    Q_OBJECT
public:
    struct Actions {
        std::function<void()> loadConfiguration; // sets iniFilePath and loads the settings
        std::function<void()> createDirectory;   // makes the standard folders
        std::function<void()> showMainWindow;
    };

    SplashScreen(const AppSettings& settings, const ErrorLog& log, Actions actions,
                 QWidget* parent = nullptr);

    void start();
    void onLeaveTimer();
    void onKeyPressed();
    void onFrameClicked();

    static QString versionText();

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void leave(const char* procedure, bool makeFolders);

    const AppSettings& settings_;
    const ErrorLog& log_;
    Actions actions_;
    QFrame* frame_;
    QLabel* lblVersion_;
    QLabel* lblCompany_;
    QTimer* leaveTimer_;
    bool left_ = false;
    bool framePressed_ = false; // the last press fell on the frame's own area
};

} // namespace znr
