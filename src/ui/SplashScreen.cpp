#include "ui/SplashScreen.h"

#include "config/AppSettings.h"
#include "core/ErrorLog.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

namespace znr {
namespace {

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QPixmap logo() {
    QPixmap pixmap(96, 96);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0, 84, 147));
    p.setPen(Qt::NoPen);
    p.drawEllipse(4, 4, 88, 88);
    p.setPen(Qt::white);
    QFont font = p.font();
    font.setBold(true);
    font.setPointSize(22);
    p.setFont(font);
    p.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("ZNR"));
    return pixmap;
}

} // namespace

SplashScreen::SplashScreen(const AppSettings& settings, const ErrorLog& log, Actions actions,
                           QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), settings_(settings), log_(log),
      actions_(std::move(actions)) {
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::StrongFocus);

    frame_ = new QFrame(this);
    frame_->setObjectName(QStringLiteral("Frame1"));
    frame_->setFrameShape(QFrame::Box);
    frame_->installEventFilter(this);

    auto* title = makeLabel(frame_, "Label1", QStringLiteral("ZNR"));
    QFont big = title->font();
    big.setPointSize(28);
    big.setBold(true);
    title->setFont(big);
    auto* product = makeLabel(frame_, "lblCompanyProduct", QStringLiteral(" INTERFACE"));
    product->setFont(big);
    lblVersion_ = makeLabel(frame_, "lblVersion", QStringLiteral("Version"));
    auto* platform = makeLabel(frame_, "lblPlatform", QStringLiteral("Platform"));
    auto* licenseTo = makeLabel(frame_, "lblLicenseTo", QStringLiteral("License To"));
    lblCompany_ = makeLabel(frame_, "lblCompany", QStringLiteral("Customer"));
    auto* warning = makeLabel(frame_, "lblWarning",
                              QStringLiteral("ZNR instrument support: call your supplier."));
    auto* imgLogo = makeLabel(frame_, "imgLogo", QString());
    imgLogo->setPixmap(logo());

    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(imgLogo);
    titleRow->addWidget(title);
    titleRow->addWidget(product);
    titleRow->addStretch();
    auto* inner = new QVBoxLayout(frame_);
    inner->addLayout(titleRow);
    for (QLabel* l : {lblVersion_, platform, licenseTo, lblCompany_, warning})
        inner->addWidget(l);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(frame_);

    leaveTimer_ = new QTimer(this);
    leaveTimer_->setObjectName(QStringLiteral("Timer1"));
    leaveTimer_->setSingleShot(true);
    leaveTimer_->setInterval(1500);
    connect(leaveTimer_, &QTimer::timeout, this, &SplashScreen::onLeaveTimer);
}

QString SplashScreen::versionText() {
    return QStringLiteral("Version %1.%2.%3")
        .arg(ZNR_VERSION_MAJOR)
        .arg(ZNR_VERSION_MINOR)
        .arg(ZNR_VERSION_PATCH);
}

void SplashScreen::start() {
    guarded(log_, "frmSplash.Form_Load", [&] {
        if (actions_.loadConfiguration)
            actions_.loadConfiguration();
        lblVersion_->setText(versionText());
        lblCompany_->setText(QString::fromLatin1(settings_.companyName));
        adjustSize();
        setFixedSize(size());
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->geometry().center() - rect().center());
    });
}

// The 1500 ms count from when the splash is on screen, so a slow start-up (instruments that
// take their 5 seconds to answer) never closes it before it was seen.
void SplashScreen::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!left_ && !leaveTimer_->isActive())
        leaveTimer_->start();
    // The window must be the active one too, or a window manager sends the keys elsewhere.
    activateWindow();
    setFocus();
}

void SplashScreen::onLeaveTimer() {
    leave("frmSplash.Timer1_Timer", false);
}

void SplashScreen::onKeyPressed() {
    leave("frmSplash.Form_KeyPress", true);
}

void SplashScreen::onFrameClicked() {
    leave("frmSplash.Frame1_Click", true);
}

void SplashScreen::keyPressEvent(QKeyEvent* e) {
    if (!e->text().isEmpty())
        onKeyPressed();
    else
        QWidget::keyPressEvent(e);
}

// A click is a press and a release on the frame's own area. A press or release on a label or
// the logo reaches the frame too (labels pass it on), so the point is checked against them.
bool SplashScreen::eventFilter(QObject* watched, QEvent* e) {
    const bool press = e->type() == QEvent::MouseButtonPress;
    if (watched != frame_ || (!press && e->type() != QEvent::MouseButtonRelease))
        return QWidget::eventFilter(watched, e);
    const QPoint at = static_cast<QMouseEvent*>(e)->position().toPoint();
    const bool onFrameItself = frame_->rect().contains(at) && !frame_->childAt(at);
    if (press)
        framePressed_ = onFrameItself;
    else if (std::exchange(framePressed_, false) && onFrameItself)
        onFrameClicked();
    return true;
}

void SplashScreen::leave(const char* procedure, bool makeFolders) {
    if (left_)
        return;
    left_ = true;
    leaveTimer_->stop();
    guarded(log_, procedure, [&] {
        if (makeFolders && actions_.createDirectory)
            actions_.createDirectory();
        if (actions_.showMainWindow)
            actions_.showMainWindow();
        close();
    });
}

} // namespace znr
