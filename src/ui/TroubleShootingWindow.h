#pragma once

#include <QByteArray>
#include <QWidget>
#include <functional>

class QPlainTextEdit;

namespace znr {

class ErrorLog;

// The trouble-shooting window: live traffic appended by the receive path, which the user can
// clear, export as a raw traffic file, or close. `debugMode` is true from the window's creation
// until it is closed (or destroyed); it must outlive the window. The window deletes itself when
// closed. `exportText` saves a text as the trouble-shooting raw file (adds it to the window's
// raw record and exports the record).
//
// The box keeps at most MaxTextBytes: beyond that the oldest lines are dropped, down to
// KeptAfterTrim, so a long session cannot exhaust memory. The bytes appended are kept exactly
// as received (CR LF, lone CR, control characters) for the export; once the user edits the
// box, its visible text becomes the record, with CR LF line ends.
class TroubleShootingWindow final : public QWidget {
    Q_OBJECT
public:
    using ExportText = std::function<void(const QByteArray&)>;
    static constexpr qsizetype MaxTextBytes = 2 * 1024 * 1024;
    static constexpr qsizetype KeptAfterTrim = MaxTextBytes - MaxTextBytes / 8;

    TroubleShootingWindow(bool& debugMode, const ErrorLog& log, ExportText exportText,
                          QWidget* parent = nullptr);
    ~TroubleShootingWindow() override;

    // Adds bytes at the end of the box, whatever the user is doing in it. Cheap: nothing already
    // shown is laid out again.
    void appendText(const QByteArray& bytes);
    // The whole text of the box as bytes: what Export saves.
    QByteArray currentText();

    void start();
    void onExportClicked();
    void onClearClicked();
    void onExitClicked();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void unload();
    void takeEditedText();
    void dropOldestText();
    template <class Change> void ownChange(Change&& change);

    bool& debugMode_;
    const ErrorLog& log_;
    ExportText exportText_;
    bool loaded_ = false;
    QPlainTextEdit* txtDebug_ = nullptr;
    QByteArray record_;     // the box's text as bytes, while the user has not edited it since
    bool edited_ = false;   // the user changed the box since record_ was last in step
    bool changing_ = false; // a change of our own is being made to the box
};

} // namespace znr
