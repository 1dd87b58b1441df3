#include "ui/TroubleShootingWindow.h"

#include "core/ErrorLog.h"
#include "protocol/DebugText.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>
#include <utility>

namespace znr {

TroubleShootingWindow::TroubleShootingWindow(bool& debugMode, const ErrorLog& log,
                                             ExportText exportText, QWidget* parent)
    : QWidget(parent, Qt::Window), debugMode_(debugMode), log_(log),
      exportText_(std::move(exportText)) {
    setObjectName(QStringLiteral("frmDebug"));
    setWindowTitle(QStringLiteral("ZNR Trouble Shooting"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    txtDebug_ = new QPlainTextEdit(this);
    txtDebug_->setObjectName(QStringLiteral("txtDebug"));
    txtDebug_->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtDebug_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtDebug_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtDebug_->setUndoRedoEnabled(false); // an undo history would keep every dropped line
    txtDebug_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    connect(txtDebug_->document(), &QTextDocument::contentsChanged, this, [this] {
        if (!changing_)
            edited_ = true;
    });

    auto button = [this](const char* name, const char* text) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    auto* cmdExport = button("cmdExport", "Export");
    auto* cmdClear = button("cmdClear", "Clear");
    auto* cmdExit = button("cmdExit", "Exit");
    connect(cmdExport, &QPushButton::clicked, this, &TroubleShootingWindow::onExportClicked);
    connect(cmdClear, &QPushButton::clicked, this, &TroubleShootingWindow::onClearClicked);
    connect(cmdExit, &QPushButton::clicked, this, &TroubleShootingWindow::onExitClicked);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txtDebug_);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {cmdExport, cmdClear, cmdExit}) {
        buttons->addStretch();
        buttons->addWidget(b);
    }
    buttons->addStretch();
    layout->addLayout(buttons);
    setFixedSize(640, 420);
    start();
}

TroubleShootingWindow::~TroubleShootingWindow() {
    if (loaded_)
        debugMode_ = false;
}

void TroubleShootingWindow::start() {
    guarded(log_, "frmDebug.Form_Load", [&] {
        loaded_ = true;
        debugMode_ = true;
    });
}

void TroubleShootingWindow::unload() {
    guarded(log_, "frmDebug.Form_Unload", [&] {
        loaded_ = false;
        debugMode_ = false;
    });
}

void TroubleShootingWindow::closeEvent(QCloseEvent* e) {
    unload();
    e->accept();
}

template <class Change> void TroubleShootingWindow::ownChange(Change&& change) {
    changing_ = true;
    try {
        change();
    } catch (...) {
        changing_ = false;
        throw;
    }
    changing_ = false;
}

void TroubleShootingWindow::takeEditedText() {
    if (!edited_)
        return;
    record_ = debugBytesFromDisplay(txtDebug_->document()->toRawText());
    edited_ = false;
}

void TroubleShootingWindow::appendText(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return;
    takeEditedText();
    QScrollBar* bar = txtDebug_->verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    ownChange([&] {
        QTextCursor end(txtDebug_->document());
        end.movePosition(QTextCursor::End);
        // A CR LF split over two arrivals: the CR shown alone becomes part of the line break.
        if (record_.endsWith('\r') && bytes.startsWith('\n'))
            end.deletePreviousChar();
        end.insertText(debugDisplayText(bytes));
    });
    record_ += bytes;
    dropOldestText();
    if (following)
        bar->setValue(bar->maximum());
}

void TroubleShootingWindow::dropOldestText() {
    if (record_.size() <= MaxTextBytes)
        return;
    const qsizetype cut = debugTrimPoint(record_, KeptAfterTrim);
    const qsizetype lineStart = record_.lastIndexOf('\n', cut - 1) + 1;
    const int lines = int(record_.first(lineStart).count('\n'));
    const int chars = int(debugDisplayText(record_.mid(lineStart, cut - lineStart)).size());
    ownChange([&] {
        // Absolute positions: stepping through the characters would lay out the lines.
        QTextDocument* document = txtDebug_->document();
        QTextCursor front(document);
        front.setPosition(document->findBlockByNumber(lines).position() + chars,
                          QTextCursor::KeepAnchor);
        front.removeSelectedText();
    });
    record_.remove(0, cut);
}

QByteArray TroubleShootingWindow::currentText() {
    takeEditedText();
    return record_;
}

void TroubleShootingWindow::onExportClicked() {
    guarded(log_, "frmDebug.cmdExport_Click", [&] {
        const QByteArray text = currentText();
        if (exportText_)
            exportText_(text);
    });
}

void TroubleShootingWindow::onClearClicked() {
    guarded(log_, "frmDebug.cmdClear_Click", [&] {
        ownChange([&] { txtDebug_->clear(); });
        record_.clear();
        edited_ = false;
    });
}

void TroubleShootingWindow::onExitClicked() {
    guarded(log_, "frmDebug.cmdExit_Click", [&] { close(); });
}

} // namespace znr
