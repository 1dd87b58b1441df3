#pragma once

#include <QTimer>
#include <QWidget>

class QFormLayout;
class QLabel;

namespace znr {

class Connections;
class ConnectionList;
class DesktopServices;
class LastBatchPanel;

// The "Last Batch" window of one connection: its endpoint, what it did since the program
// started (batches filed, frames received, NAK8 sent, the last failure logged for it) and the
// batch it filed last. It follows the connection: a batch filed replaces the one shown, and
// deleting the connection closes the window.
class LastBatchWindow final : public QWidget {
    Q_OBJECT
public:
    LastBatchWindow(const Connections& connections, const ConnectionList& list, int index,
                    DesktopServices* desktop, QWidget* parent = nullptr);

    int connectionIndex() const { return index_; }

private:
    void showFiled();
    void showCounters();
    QLabel* addCounter(QFormLayout& form, const char* caption, const char* name);

    const Connections& connections_;
    const ConnectionList& list_;
    const int index_;
    QLabel* lblConnection_;
    QLabel* lblBatchesFiled_;
    QLabel* lblFramesReceived_;
    QLabel* lblNak8Sent_;
    QLabel* lblLastFailure_;
    LastBatchPanel* panel_;
    QTimer counterTimer_; // counters change with every frame; they are read now and then
};

} // namespace znr
