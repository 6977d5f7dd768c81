// Form1's search face: topic chooser, keyword box, search method, the Search button, the
// busy animation, the status line and the elapsed-time timer.
#include "common/messagebox.h"
#include "common/viewtips.h"
#include "core/progdir.h"
#include "core/runcontroller.h"
#include "core/runtexts.h"
#include "core/session.h"
#include "core/topicstore.h"
#include "driver/confirm.h"
#include "driver/searching.h"
#include "mainwindow/commands.h"
#include "mainwindow/form1.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QMovie>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

void Form1::buildSearchFace(QWidget *surface)
{
    auto label = [surface](const char *name, const QString &caption) {
        auto *l = new QLabel(caption, surface);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    LTopic = label("LTopic", QStringLiteral("検索テーマ"));
    LWord = label("LWord", QStringLiteral("キーワード"));
    LMethod = label("LMethod", QStringLiteral("検索方式"));
    ADR = label("ADR", QStringLiteral("閲覧対象"));

    Topic = new QComboBox(surface);
    Topic->setObjectName(QStringLiteral("Topic"));
    ElideChooser(Topic, 48);
    connect(Topic, &QComboBox::activated, this, [this](int) { Topic_Click(); });

    Word = new QLineEdit(surface);
    Word->setObjectName(QStringLiteral("Word"));
    Word->installEventFilter(this);

    TMethod = new QComboBox(surface);
    TMethod->setObjectName(QStringLiteral("TMethod"));
    connect(TMethod, &QComboBox::activated, this, [this](int) { TMethod_Click(); });

    Search = new QPushButton(QStringLiteral("検索開始"), surface);
    Search->setObjectName(QStringLiteral("Search"));
    Search->setAutoDefault(false);
    connect(Search, &QPushButton::clicked, this, [this] { Search_Click(); });

    finder = new QLabel(surface);
    finder->setObjectName(QStringLiteral("finder"));
    finder->setAlignment(Qt::AlignCenter);

    URL = new QLineEdit(surface);
    URL->setObjectName(QStringLiteral("URL"));

    Status = statusBar();
    Status->setObjectName(QStringLiteral("Status"));
    Status->setSizeGripEnabled(false);
    StatusLine = new QLabel(Status);
    StatusLine->setObjectName(QStringLiteral("StatusLine"));
    // It shows addresses from pages with their character references decoded: never markup.
    StatusLine->setTextFormat(Qt::PlainText);
    StatusLine->setTextInteractionFlags(Qt::NoTextInteraction);
    Status->addWidget(StatusLine, 1);
    Failures = new QToolButton(Status);
    Failures->setObjectName(QStringLiteral("Failures"));
    Failures->setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
    Failures->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    Failures->setAutoRaise(true);
    Failures->setFocusPolicy(Qt::NoFocus);
    connect(Failures, &QToolButton::clicked, this, [this] { runCommand(9); });
    Status->addPermanentWidget(Failures);
    Failures->hide();
    Status->installEventFilter(this);
    StatusLine->installEventFilter(this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Word) {
        if (event->type() == QEvent::FocusIn) {
            // Selecting at once would be undone by the mouse press that gave the focus.
            QTimer::singleShot(0, Word, [w = Word] { w->setSelection(0, w->text().size()); });
        } else if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                Word_KeyPress(13);
                return true;
            }
        }
    } else if ((watched == Status || watched == StatusLine) &&
               event->type() == QEvent::MouseButtonPress) {
        Status_Click();
        return true;
    } else if (LView && watched == LView->viewport()) {
        if (event->type() == QEvent::MouseButtonPress &&
            static_cast<QMouseEvent *>(event)->button() == Qt::RightButton) {
            rightPending_ = true;
            // The pop-up acts on the selected row: the row under the pointer becomes it.
            const QPoint at = static_cast<QMouseEvent *>(event)->position().toPoint();
            if (const QModelIndex index = LView->indexAt(at); index.isValid())
                LView->setCurrentIndex(index);
        } else if (event->type() == QEvent::MouseButtonRelease &&
                   static_cast<QMouseEvent *>(event)->button() == Qt::RightButton) {
            LView_MouseUp();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- start-up pieces ----

QStringList MethodCaptions()
{
    return {QStringLiteral("すべての語を含む"), QStringLiteral("いずれかの語を含む")};
}

void Form1::Init_TMethod()
{
    TMethod->clear();
    TMethod->addItems(MethodCaptions());
    // Every start begins with all words, whatever the settings file held.
    session_.settings.SearchMode = 0;
    TMethod->setCurrentIndex(0);
}

// Frames of the drawn animation used when the animation file is missing: a globe whose
// meridian turns.
static QPixmap spinnerFrame(int frame, qreal ratio)
{
    // Drawn at the screen's pixel density, so a scaled desktop gets a sharp globe.
    QPixmap pixmap(QSize(30, 30) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x1d, 0x4f, 0x91), 2));
    p.setBrush(QColor(0x9c, 0xc8, 0xf0));
    p.drawEllipse(3, 3, 24, 24);
    p.setBrush(Qt::NoBrush);
    const int w = 24 * ((frame % 8) + 1) / 9;
    p.drawEllipse(QRectF(15 - w / 2.0, 3, w, 24));
    p.drawLine(3, 15, 27, 15);
    return pixmap;
}

// A frame of the animation file, scaled smoothly to the screen's pixel density: a label
// playing the movie itself would enlarge it pixel by pixel on a scaled desktop.
static QPixmap smoothFrame(const QPixmap &frame, qreal ratio)
{
    QPixmap scaled =
        frame.scaled(frame.size() * ratio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(ratio);
    return scaled;
}

void Form1::Init_finder()
{
    const QString path = dataPath(QStringLiteral("earth15.gif"));
    if (!movie_ && QFileInfo::exists(path)) {
        movie_ = new QMovie(path, QByteArray(), this);
        if (!movie_->isValid()) {
            delete movie_;
            movie_ = nullptr;
        } else {
            connect(movie_, &QMovie::frameChanged, finder, [this] {
                finder->setPixmap(
                    smoothFrame(movie_->currentPixmap(), finder->devicePixelRatioF()));
            });
        }
    }
    if (movie_) {
        movie_->jumpToFrame(0);
        finder->setPixmap(smoothFrame(movie_->currentPixmap(), finder->devicePixelRatioF()));
        return;
    }
    if (!spinner_) {
        spinner_ = new QTimer(this);
        spinner_->setInterval(120);
        connect(spinner_, &QTimer::timeout, this, [this] {
            spinnerFrame_ = (spinnerFrame_ + 1) % 8;
            finder->setPixmap(spinnerFrame(spinnerFrame_, finder->devicePixelRatioF()));
        });
    }
    finder->setPixmap(spinnerFrame(0, finder->devicePixelRatioF()));
}

void Form1::Start_finder()
{
    finderRunning_ = true;
    if (movie_)
        movie_->start();
    else if (spinner_)
        spinner_->start();
}

void Form1::Stop_finder()
{
    finderRunning_ = false;
    if (movie_) {
        movie_->stop();
        movie_->jumpToFrame(0);
    } else if (spinner_) {
        spinner_->stop();
    }
}

QMovie *Form1::finderMovie() const
{
    return movie_;
}

bool Form1::finderRunning() const
{
    return finderRunning_;
}

// ---- topics ----

bool Form1::fillTopicChooser()
{
    const QSignalBlocker quiet(Topic);
    Topic->clear();
    const TopicStore &store = session_.topics;
    for (int t = 0; t < store.count; ++t)
        Topic->addItem(store.topics[t].name);
    // An empty store has nothing to select; the list then shows no site.
    if (store.count == 0)
        return false;
    Topic->setCurrentIndex(qBound(0, session_.settings.iTopic, store.count - 1));
    return true;
}

void Form1::Init_Topic()
{
    if (fillTopicChooser())
        runCommand(1);
}

void Form1::TopicsClosed(bool sitesChanged)
{
    // The listed results came from the current topic's sites: while those are the same, a
    // new or deleted other topic only renames the chooser's entries, and the results stay
    // without a question.
    if (sitesChanged)
        Init_Topic();
    else
        fillTopicChooser();
    // The tree of browse mode lists the topics too; it must not show the old ones.
    if (BrowseMode)
        BuildSiteTree();
}

void Form1::Topic_Click()
{
    runCommand(1);
}

void Form1::ChangeTopic()
{
    RunController &run = session_.run;
    const bool running = run.RunState == kRunSearch || run.RunState == kRunCheck;
    if (running || run.HitCount > 0) {
        // Enter, or a key pressed by mistake, keeps the results: giving them up takes a Yes.
        const auto answer =
            MsgBox(QStringLiteral("検索テーマを変えたら今の検索結果を放棄します。継続しますか？"),
                   QMessageBox::Yes | QMessageBox::No, QStringLiteral("検索テーマを変える前に"),
                   QMessageBox::Question, QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            Topic->setCurrentIndex(session_.settings.iTopic);
            return;
        }
        // The run would go on writing hits into the new topic's site list: end it first. It
        // may have ended while the question was open.
        if (run.RunState == kRunSearch || run.RunState == kRunCheck) {
            run.Do_Stop([this] { Do_SetTopic(); });
            return;
        }
    }
    Do_SetTopic();
}

void Form1::Do_SetTopic()
{
    session_.settings.iTopic = Topic->currentIndex();
    Before_Search();
}

void Form1::Before_Search()
{
    UseTopic(session_);
    LView_Current();
    session_.run.HitCount = 0;
    showFailures(0);
    // Nothing of the results given up may stay behind: neither the last run's line (its
    // counts would describe a list that is gone) nor the page of a hit in the preview.
    searchStatus_.clear();
    if (!BrowseMode)
        StatusLine->clear();
    clearPreview();
    runWindows_.searching()->Init_Form();
    runWindows_.confirm()->Init_Form();
}

// ---- keywords, method, Search button ----

void Form1::Word_KeyPress(int key)
{
    if (key == 13 && !SaidWhyNot(*this, 2))
        session_.run.Do_Toggle();
}

void Form1::Search_Click()
{
    if (!SaidWhyNot(*this, 2))
        session_.run.Do_Toggle();
}

void Form1::TMethod_Click()
{
    session_.settings.SearchMode = TMethod->currentIndex();
}

// ---- status line and timer ----

void Form1::setStatusText(const QString &text)
{
    StatusLine->setText(text);
    searchStatus_ = text;
}

void Form1::showPageStatus(const QString &text)
{
    StatusLine->setText(text);
}

QString Form1::statusText() const
{
    return StatusLine->text();
}

void Form1::ShowElapsed()
{
    const RunController &run = session_.run;
    setStatusText(ElapsedText(run.StatusText, run.ElapsedTicks));
}

void Form1::showFailures(int32_t failed)
{
    Failures->setText(QString::number(failed));
    Failures->setToolTip(FailedSitesTip(failed));
    Failures->setAccessibleName(FailedSitesTip(failed));
    Failures->setVisible(failed > 0);
}

void Form1::Timer1_Timer()
{
    session_.run.ElapsedTicks += 1;
    ShowElapsed();
    runWindows_.searchTick();
}

void Form1::Status_Click()
{
    QClipboard *clipboard = QApplication::clipboard();
    clipboard->clear();
    clipboard->setText(statusText());
}
